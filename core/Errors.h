// The one way errors reach the user and the launcher ends itself.
#pragma once

#include <cstdint>

void showError(const char* text);
// Message record `id` (or its built-in text) with its first "{0}" replaced
// by `arg0` and its first "{1}" by `arg1`, each when given; a placeholder
// without its argument stays.
void showErrorMessage(int32_t id, const char* arg0, const char* arg1 = nullptr);
[[noreturn]] void fatalError(const char* text);
[[noreturn]] void fatalErrorMessage(int32_t id, const char* arg0, const char* arg1 = nullptr);
// Runs the registered clean-up (the launcher's temporary directory), then
// ends the process.
[[noreturn]] void exitLauncher(unsigned code);

// What the layers above must have done at these two points; they register it
// here, so that this layer needs to know none of them. Null: nothing to do.
using LauncherHook = void (*)();
// Runs before every error is shown (a splash screen must not cover it).
void setBeforeErrorShown(LauncherHook hook);
// Runs once before the process ends through exitLauncher.
void setBeforeExit(LauncherHook hook);
