// The launcher's own executable: its path, the configuration block read from
// it, and the range copy that restores the files included behind the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/CommandLine.h"
#include "core/Platform.h"
#include "core/SelectedLocale.h"

// Narrow path of the launcher: the long form when the file-API code page holds
// it without loss, else a short (8.3) form.
const char* launcherPath();
// The long UTF-16 path.
const wchar_t* launcherPathWide();

HANDLE openLauncherFile();
// Writes the locale text ("de", "pt_BR") for the command line into `out`.
using LocaleFinder = void (*)(const WideArgs* arguments, char* out, size_t capacity);
// Reads the block into the record store, with the locale sections that
// `findLocale` chooses; every failure is fatal. Returns the value of
// ExecutableType.
int32_t loadConfiguration(const WideArgs& arguments, LocaleFinder findLocale);
// File offset of the first byte behind the block.
uint32_t blockEndOffset();


// `length` bytes of the launcher's file from `offset` into `out`; false
// (and `out` empty) when the file cannot be opened or ends before them.
bool readLauncherBytes(uint64_t offset, uint32_t length, std::string& out);

// The typed 8-byte read of the launcher file at its current position; a
// short read is fatal ("Internal Error: readLong").
int64_t readLong(HANDLE file);

// Copies `length` bytes from the current position of `source` in pieces of
// at most `chunkSize` bytes; 0 when done, 1 on a failed read, 2 on a failed
// write.
int copyRange(HANDLE source, HANDLE destination, int64_t length, bool scramble, size_t chunkSize = 8192);
