// The temporary path, the launcher's own temporary directory and the files
// included behind the configuration block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Platform.h"

// Paths here live in buffers of this size, terminator included.
constexpr size_t kTempPathCapacity = 8192;

// Empty when there is none.
extern char launcherTempDir[kTempPathCapacity];
// File offset behind the last included file read; 0 until an extraction ends.
extern uint32_t unextractedPosition;
// launcherTempDir is the folder the included files are kept in from one start
// to the next (record IncludedFilesCache): never emptied by the launcher.
extern bool launcherTempDirKept;

// The system's temporary path (with a trailing backslash), or the first
// writable fallback (without one). Ends the launcher with message 1015 when
// there is none. Evaluated anew on every call.
void chooseTempPath(char* out, size_t capacity);
// True when a directory can be made (and removed again) inside `dir`.
bool isWritableDirectory(const char* dir);
// A fresh "kvo" name in the temporary path; the system creates it as an empty
// file unless it had to fall back to a pseudo-random name.
void makeTempFileName(char* out, size_t capacity);
// The communication file of process `pid` in the temporary path; false (and
// `out` empty) when the name does not fit.
bool processCommFilePath(char* out, size_t capacity, unsigned long pid);
// Sets launcherTempDir to a new directory; ends the launcher when ten
// attempts fail.
void createLauncherTempDir();

// 0 on success, else the failing copy's code (1 read, 2 write).
int extractIncludedFiles(bool createDirectory);
// The names of the included files an extraction handles, each checked
// before anything is written (any folder depth with `anyDepth`); ends the
// launcher with message 1009 and "11" on a name it refuses.
std::vector<std::wstring> checkedIncludedFileNames(int32_t count, bool anyDepth);
// Writes the included files, which begin behind the block, into `directory`,
// making the first folder level of each name (every level with
// `allLevels`), copying pieces of at most `chunkSize` bytes; 0, or the
// failing copy's code. Sets unextractedPosition behind the last one read.
// A file that cannot be created ends the launcher with message 1009 and
// "11", unless `recoverable`: then the result is 2, for a caller that has
// another place to put the files.
int extractIncludedFilesInto(const std::wstring& directory, const std::vector<std::wstring>& names,
                             bool allLevels, size_t chunkSize, bool recoverable);
// The piece size of extractions a launcher that keeps its files makes: a
// runtime is large, and every read and write is a call into the system.
constexpr size_t kKeptFilesChunk = 1024 * 1024;
// Restores the next included file from `launcherFile` into `target`.
int extractIncludedFile(HANDLE launcherFile, const char* target);
int extractIncludedFile(HANDLE launcherFile, const wchar_t* target, size_t chunkSize = 8192,
                        bool recoverable = false);
// Removes the launcher's temporary directory with what it holds (nothing
// when there is none, or when it is kept); the launcher's last step before
// it ends.
void removeLauncherTempDir();
// Deletes what `directory` holds; with `recurse`, also the files of its
// direct subdirectories and those subdirectories. Relative paths are left.
void emptyDirectory(const char* directory, bool recurse);
