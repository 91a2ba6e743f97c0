// The one way errors reach the user and the launcher ends itself.
#pragma once

#include <cstdint>

#include "core/Platform.h"

void showError(const char* text);
// Message record `id`, its first "{0}" replaced by `argument` when given.
void showErrorMessage(int32_t id, const char* argument);
[[noreturn]] void fatalError(const char* text);
[[noreturn]] void fatalErrorMessage(int32_t id, const char* argument);
// Removes the launcher's temporary directory, then ends the process.
[[noreturn]] void exitLauncher(unsigned code);
void setErrorOwnerWindow(HWND window);
