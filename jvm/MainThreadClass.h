// The class of the thread that runs the application's main, as class-file
// bytes, free of the platform and of the JVM.
#pragma once

#include <string>
#include <string_view>

// A final class `className` (slashed form) that extends java.lang.Thread,
// with a constructor taking the thread's name and a native run(), which
// the launcher registers. No bytecode but the constructor's call of
// Thread(String), so every VM that reads class files of version 50 loads it.
std::string mainThreadClassFile(std::string_view className);
