// The one way errors reach the user and the launcher ends itself.
#pragma once

#include <cstdint>

#include "core/Platform.h"

void showError(const char* text);
// Message record `id` (or its built-in text), its first "{0}" replaced by
// `argument` and its first "{1}" by `detail` when they are given.
void showErrorMessage(int32_t id, const char* argument, const char* detail = nullptr);
[[noreturn]] void fatalError(const char* text);
[[noreturn]] void fatalErrorMessage(int32_t id, const char* argument, const char* detail = nullptr);
// Runs the registered clean-up (the launcher's temporary directory), then
// ends the process.
[[noreturn]] void exitLauncher(unsigned code);
void setErrorOwnerWindow(HWND window);

// What the layers above must have done at these two points; they register it
// here, so that this layer needs to know none of them. Null: nothing to do.
using LauncherHook = void (*)();
// Runs before every error is shown (a splash screen must not cover it).
void setBeforeErrorShown(LauncherHook hook);
// Runs once before the process ends through exitLauncher.
void setBeforeExit(LauncherHook hook);
