// Operations on the top-level windows of a process: bringing an instance's
// windows to the front, and counting the windows an application has shown.
#pragma once

#include "core/Platform.h"

// Acts on every visible top-level window of the process; with `restore`,
// minimised windows are restored and the process is brought to the front.
void activateProcessWindows(DWORD processId, bool restore);
// Visible top-level windows of the process, not counting the launcher's own
// console window.
int countProcessWindows(DWORD processId);
// The launcher's console window, looked up once per process; nullptr when
// there is none.
HWND findConsoleWindow();
