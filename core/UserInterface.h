// The launcher's calls into user32 and comctl32. Both libraries are loaded
// on first use: a start that shows no window never pays for them, and under
// some systems (Wine among them) their loading costs more than the whole
// rest of a start up to the JVM.
#pragma once

#include "core/Platform.h"

// InitCommonControls, once, before the first window of the process.
void initCommonControls();
// MessageBoxA; 0 when user32 cannot be had.
int showMessageBox(HWND owner, const char* text, const char* title, UINT type);
// ExitWindowsEx; false when user32 cannot be had.
bool exitWindows(UINT flags, DWORD reason);
