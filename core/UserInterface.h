// The launcher's calls into user32, gdi32 and comctl32. These libraries are
// loaded on first use: a start that shows no window never pays for them, and
// on some systems (Wine among them) their loading costs more than the whole
// rest of a start up to the JVM. Every window, dialog and painting call goes
// through userApi(); the list below is the complete set the launcher uses.
#pragma once

#include "core/Platform.h"

#define KVO_USER32_FUNCTIONS(X) \
    X(BeginPaint)               \
    X(CreateWindowExA)          \
    X(DefWindowProcA)           \
    X(DestroyWindow)            \
    X(DispatchMessageA)         \
    X(EndPaint)                 \
    X(EnumWindows)              \
    X(ExitWindowsEx)            \
    X(FillRect)                 \
    X(FindWindowA)              \
    X(GetClientRect)            \
    X(GetDC)                    \
    X(GetDesktopWindow)         \
    X(GetForegroundWindow)      \
    X(GetLastActivePopup)       \
    X(GetMessageA)              \
    X(GetSystemMetrics)         \
    X(GetWindowRect)            \
    X(GetWindowThreadProcessId) \
    X(InvalidateRect)           \
    X(IsIconic)                 \
    X(IsWindow)                 \
    X(IsWindowVisible)          \
    X(KillTimer)                \
    X(LoadCursorA)              \
    X(LoadIconA)                \
    X(LoadImageA)               \
    X(MessageBoxA)              \
    X(MessageBoxW)              \
    X(PostMessageA)             \
    X(PostQuitMessage)          \
    X(PostThreadMessageA)       \
    X(RegisterClassA)           \
    X(ReleaseDC)                \
    X(SendMessageA)             \
    X(SetForegroundWindow)      \
    X(SetTimer)                 \
    X(SetWindowPos)             \
    X(ShowWindow)               \
    X(TranslateMessage)         \
    X(UpdateWindow)

#define KVO_GDI32_FUNCTIONS(X) \
    X(BitBlt)                  \
    X(CreateCompatibleBitmap)  \
    X(CreateCompatibleDC)      \
    X(CreateFontIndirectA)     \
    X(DeleteDC)                \
    X(DeleteObject)            \
    X(GetBkMode)               \
    X(GetDeviceCaps)           \
    X(GetStockObject)          \
    X(SelectObject)            \
    X(SetBkMode)               \
    X(SetTextColor)            \
    X(TextOutA)

// Typed entry points, named as the system names them: api->ShowWindow(...).
struct UserApi {
#define KVO_USER_API_MEMBER(name) decltype(&::name) name;
    KVO_USER32_FUNCTIONS(KVO_USER_API_MEMBER)
    KVO_GDI32_FUNCTIONS(KVO_USER_API_MEMBER)
#undef KVO_USER_API_MEMBER
};

// The table, loaded once together with the common controls by whichever
// thread asks first, while any other thread waits for it; nullptr when a
// library or one of its functions cannot be had. A thread makes no window
// call of its own before it has passed here.
const UserApi* userApi();

// The resource id of the manifest naming the common controls of version 6.
constexpr int kCommonControlsManifest = 101;

// Makes the common controls of version 6 those of the calling thread (and of
// the threads it starts afterwards), once per thread; false when they cannot
// be had. The application manifest does not name them: binding them costs
// every start, and most starts show no window.
bool activateCommonControls();
// On the calling thread activateCommonControls, then userApi (which loads
// the common controls once per process): before every first window or
// dialog of a thread.
void initCommonControls();
// The module handle WinMain was given; null before it runs.
extern HINSTANCE launcherInstance;
// The owner of later error dialogs (the splash window while it is up).
void setErrorOwnerWindow(HWND window);

// MessageBoxA after initCommonControls; 0 when user32 cannot be had.
int showMessageBox(HWND owner, const char* text, const char* title, UINT type);
// The same with MessageBoxW, for texts the code page may not hold.
int showMessageBoxWide(HWND owner, const wchar_t* text, const wchar_t* title, UINT type);
// Opens `address` in the user's browser (ShellExecuteW); false when it is no
// web address (isWebAddress) or the shell cannot open it.
bool openInBrowser(const char* address);
// ExitWindowsEx; false when user32 cannot be had.
bool exitWindows(UINT flags, DWORD reason);
