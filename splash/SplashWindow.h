// The splash screen: a borderless window with an image and two text lines,
// painted by a thread of its own, or the Java runtime's splash library.
#pragma once

#include <cstddef>

#include "core/Platform.h"

// Starts the splash screen (non-zero show command) or hides it (0).
void showSplash(int showCommand);

// Main thread, once the application has ended: hides a native splash that
// is still up and waits (bounded) until its thread has let go of the JVM.
void endSplashForJvmEnd();

// Replaces the status line and paints it before returning. Splash thread
// only; does nothing before the window exists.
void setStatusText(const wchar_t* text);

// The native splash window; nullptr before it exists, when creation failed
// and after the splash thread has closed it.
HWND splashWindow();

// Splash thread only: destroys the window, which ends the thread's message
// loop.
void closeSplashWindow();

// The status line's narrow form of `text` in the ANSI code page, cut to what
// `capacity` bytes hold with the terminator; characters the code page lacks
// become '?'. Returns the length written.
size_t statusTextToNarrow(const wchar_t* text, char* out, size_t capacity);
