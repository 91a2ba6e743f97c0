// The launcher's own temporary directory and the files included behind the
// configuration block.
#pragma once

#include <cstdint>

// Empty when there is none.
extern char launcherTempDir[8192];
// File offset behind the last included file read; 0 until an extraction ends.
extern uint32_t unextractedPosition;

// 0 on success, else the failing copy's code.
int extractIncludedFiles(bool createDirectory);
void emptyDirectory(const char* directory, bool recurse);
