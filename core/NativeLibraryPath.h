// Native library directories on PATH, set once before the JVM is created.
// Apart from the console's file: it resolves paths against the launcher's
// directory, and the error path, which uses the console, must not lead back
// to the launcher file that reports its errors through it.
#pragma once

#include <string>

// Puts the directories of record NativeLibraryPath in front of PATH;
// `expand` replaces the variables in the list first.
void setNativeLibraryPath(void (*expand)(std::string& text));
