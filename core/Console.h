// Process-level services at fixed points of start-up: a console for the GUI
// program, the reboot keyword, native library directories on PATH.
#pragma once

// True when the process has a console afterwards.
bool attachConsole();
void rebootSystem();
#include <string>

// Puts the directories of record NativeLibraryPath in front of PATH;
// `expand` replaces the variables in the list first.
void setNativeLibraryPath(void (*expand)(std::string& text));
