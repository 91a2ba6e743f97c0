// The application's hand on the native splash: every 100 ms the splash thread
// asks the controller class what to do, and ends once the window is hidden.
#pragma once

#include "core/Platform.h"

constexpr UINT_PTR splashTimerId = 9962;
constexpr UINT splashTimerPeriodMs = 100;

// Timer procedure of the splash thread (installed without a window).
void CALLBACK splashTimer(HWND, UINT, UINT_PTR, DWORD);

// Whether the splash hides itself once the application shows a window of its
// own; noted by the splash thread when the window is shown.
void setSplashAutoOff(bool on);
