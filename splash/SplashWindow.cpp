#include "splash/SplashWindow.h"

#include <cstdio>
#include <cstring>

#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/StartupState.h"
#include "core/UserInterface.h"
#include "runtime/JvmState.h"
#include "services/ProcessWindows.h"
#include "splash/SplashController.h"
#include "splash/SplashLayout.h"

namespace {

constexpr WORD splashImageId = 10000;
constexpr size_t textCapacity = 8192;
constexpr size_t faceCapacity = 32;  // LOGFONT's face name

// The hand-over between main and splash thread. Checking and setting the flag,
// creating the window and showing it happen under one lock, so a hide that
// comes first always prevents the window and a hide that comes later always
// finds it shown.
SRWLOCK splashLock = SRWLOCK_INIT;
bool splashInitialized = false;
HWND window = nullptr;

// Read by the splash thread only, after createSplashWindow.
int windowWidth = 0;
int windowHeight = 0;
int imageWidth = 0;
int imageHeight = 0;
char statusText[textCapacity];
char versionText[textCapacity];
int statusX = 0, statusY = 0, versionX = 0, versionY = 0;
COLORREF statusColor = 0, versionColor = 0;
HFONT statusFont = nullptr;
HFONT versionFont = nullptr;
UINT_PTR timer = 0;

// Main thread only: the native splash thread, kept so that the end of the
// application can wait for it to let go of the JVM.
HANDLE splashThreadHandle = nullptr;
constexpr DWORD splashEndWaitMs = 2000;

// The runtime's splash library (main thread only).
using SplashInitFn = void (*)();
using SplashLoadMemoryFn = int (*)(void*, int);
using SplashCloseFn = void (*)();
SplashCloseFn splashClose = nullptr;
bool librarySplashClosed = false;

HINSTANCE instance() { return launcherInstance ? launcherInstance : GetModuleHandleA(nullptr); }

void createSplashFonts(const UserApi* ui, HDC dc) {
    if (statusFont)
        return;
    const int dpi = ui->GetDeviceCaps(dc, LOGPIXELSY);
    LOGFONTA font = {};
    font.lfPitchAndFamily = FF_SWISS;
    font.lfHeight = fontHeightForPoints(getConfigInt(rec::StatusFontSize), dpi);
    font.lfWeight = getConfigInt(rec::StatusFontWeight);
    getConfigString(rec::StatusFontName, font.lfFaceName, faceCapacity);
    statusFont = ui->CreateFontIndirectA(&font);
    font.lfHeight = fontHeightForPoints(getConfigInt(rec::VersionFontSize), dpi);
    font.lfWeight = getConfigInt(rec::VersionFontWeight);
    getConfigString(rec::VersionFontName, font.lfFaceName, faceCapacity);
    versionFont = ui->CreateFontIndirectA(&font);
}

void drawLine(const UserApi* ui, HDC dc, HFONT font, COLORREF color, int x, int y, const char* text) {
    // A font that could not be made gives way to the system font.
    ui->SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : ui->GetStockObject(SYSTEM_FONT));
    ui->SetTextColor(dc, color);
    ui->TextOutA(dc, x, y, text, int(std::strlen(text)));
}

// Everything is drawn off screen and copied in one go, so a status line that
// changes every tick does not flicker.
void paintSplash(HWND hwnd) {
    const UserApi* ui = userApi();
    PAINTSTRUCT paint;
    HDC dc = ui->BeginPaint(hwnd, &paint);
    if (!dc)
        return;
    createSplashFonts(ui, dc);
    HDC memory = ui->CreateCompatibleDC(dc);
    HBITMAP buffer = ui->CreateCompatibleBitmap(dc, windowWidth, windowHeight);
    if (!memory || !buffer) {
        if (buffer)
            ui->DeleteObject(buffer);
        if (memory)
            ui->DeleteDC(memory);
        ui->EndPaint(hwnd, &paint);
        return;
    }
    HGDIOBJ previousBitmap = ui->SelectObject(memory, buffer);
    RECT all = {0, 0, windowWidth, windowHeight};
    ui->FillRect(memory, &all, static_cast<HBRUSH>(ui->GetStockObject(LTGRAY_BRUSH)));

    // Loaded for every paint: the image is only needed while painting.
    if (HANDLE image = ui->LoadImageA(instance(), MAKEINTRESOURCEA(splashImageId), IMAGE_BITMAP, 0, 0,
                                      LR_DEFAULTCOLOR)) {
        if (HDC imageDc = ui->CreateCompatibleDC(memory)) {
            HGDIOBJ previousImage = ui->SelectObject(imageDc, image);
            ui->BitBlt(memory, 0, 0, imageWidth, imageHeight, imageDc, 0, 0, SRCCOPY);
            ui->SelectObject(imageDc, previousImage);
            ui->DeleteDC(imageDc);
        }
        ui->DeleteObject(image);
    }

    const int previousMode = ui->GetBkMode(memory);
    ui->SetBkMode(memory, TRANSPARENT);
    HGDIOBJ previousFont = ui->SelectObject(memory, ui->GetStockObject(SYSTEM_FONT));
    const COLORREF previousColor = ui->SetTextColor(memory, statusColor);
    drawLine(ui, memory, statusFont, statusColor, statusX, statusY, statusText);
    drawLine(ui, memory, versionFont, versionColor, versionX, versionY, versionText);
    // Restored, so the kept fonts are never left selected into a context.
    ui->SelectObject(memory, previousFont);
    ui->SetBkMode(memory, previousMode);
    ui->SetTextColor(memory, previousColor);

    ui->BitBlt(dc, 0, 0, windowWidth, windowHeight, memory, 0, 0, SRCCOPY);
    ui->SelectObject(memory, previousBitmap);
    ui->DeleteObject(buffer);
    ui->DeleteDC(memory);
    ui->EndPaint(hwnd, &paint);
}

LRESULT CALLBACK splashWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const UserApi* ui = userApi();
    switch (message) {
    case WM_PAINT:
        paintSplash(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_DESTROY:
        ui->PostQuitMessage(0);
        return 0;
    default:
        return ui->DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

HWND createSplashWindow(const UserApi* ui) {
    getConfigString(rec::StatusText, statusText, sizeof statusText);
    getConfigString(rec::VersionText, versionText, sizeof versionText);
    statusColor = getConfigColor(rec::StatusTextColor);
    versionColor = getConfigColor(rec::VersionTextColor);
    imageWidth = getConfigInt(rec::SplashImageWidth);
    imageHeight = getConfigInt(rec::SplashImageHeight);
    statusX = getConfigInt(rec::StatusTextX);
    statusY = getConfigInt(rec::StatusTextY);
    versionX = getConfigInt(rec::VersionTextX);
    versionY = getConfigInt(rec::VersionTextY);
    windowWidth = imageWidth;
    windowHeight = imageHeight;

    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = splashWindowProc;
    windowClass.hInstance = instance();
    windowClass.hIcon = ui->LoadIconA(instance(), "ID_SPLASH_ICON");
    if (!windowClass.hIcon)
        logMessage("splash window class without icon");
    windowClass.hCursor = ui->LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "KorvoSplashScreen";
    if (!ui->RegisterClassA(&windowClass))
        logError("splash window class not registered (%lu)", GetLastError());

    RECT desktop = {};
    ui->GetWindowRect(ui->GetDesktopWindow(), &desktop);
    const SplashOrigin at =
        centredOrigin(desktop.left, desktop.top, desktop.right, desktop.bottom, windowWidth, windowHeight);
    HWND created = ui->CreateWindowExA(0, "KorvoSplashScreen", getConfigString(rec::ApplicationName), WS_POPUP,
                                       at.x, at.y, windowWidth, windowHeight, nullptr, nullptr, instance(),
                                       nullptr);
    if (!created)
        logError("splash window not created (%lu)", GetLastError());
    return created;
}

DWORD WINAPI splashThread(void* parameter) {
    const int showCommand = static_cast<int>(reinterpret_cast<intptr_t>(parameter));
    logMessage("Showing splash screen");
    initCommonControls();
    const UserApi* ui = userApi();
    {
        AcquireSRWLockExclusive(&splashLock);
        if (splashInitialized || !ui) {
            // A hide came first, or there is no user interface to be had.
            splashInitialized = true;
            ReleaseSRWLockExclusive(&splashLock);
            return 0;
        }
        logMessage("Initializing splash screen");
        window = createSplashWindow(ui);
        splashInitialized = true;
        if (window) {
            ui->ShowWindow(window, showCommand);
            if (getConfigBool(rec::SplashTopmost))
                ui->SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            // Under the lock, so that a hide that clears the owner cannot
            // come between.
            setErrorOwnerWindow(window);
        }
        ReleaseSRWLockExclusive(&splashLock);
    }
    setSplashAutoOff(getConfigBool(rec::SplashAutoOff));
    timer = ui->SetTimer(nullptr, splashTimerId, splashTimerPeriodMs, splashTimer);
    if (!timer) {
        // Without the tick nothing would ever end this thread or hide the
        // window; a splash that cannot be steered is not shown at all.
        logError("splash timer not started (%lu)", GetLastError());
        closeSplashWindow();
        return 0;
    }
    MSG message;
    while (ui->GetMessageA(&message, nullptr, 0, 0) > 0) {
        ui->TranslateMessage(&message);
        ui->DispatchMessageA(&message);
    }
    return 0;
}

void startNativeSplash(int showCommand) {
    logMessage("Starting splash screen thread");
    HANDLE thread = CreateThread(nullptr, 0, splashThread, reinterpret_cast<void*>(intptr_t(showCommand)), 0,
                                 nullptr);
    if (!thread) {
        logError("splash screen thread not started (%lu)", GetLastError());
        return;
    }
    if (splashThreadHandle)
        CloseHandle(splashThreadHandle);
    splashThreadHandle = thread;
}

void hideNativeSplash() {
    logMessage("Hiding splash screen");
    AcquireSRWLockExclusive(&splashLock);
    const bool existed = splashInitialized;
    splashInitialized = true;
    HWND shown = window;
    // The window goes with its thread at the next tick; a dialog it owned
    // would go with it, so later error dialogs have no owner.
    setErrorOwnerWindow(nullptr);
    ReleaseSRWLockExclusive(&splashLock);
    if (!existed || !shown)
        return;
    const UserApi* ui = userApi();
    if (!ui)
        return;
    ui->ShowWindow(shown, SW_HIDE);
    DWORD foregroundProcess = 0;
    if (HWND foreground = ui->GetForegroundWindow())
        ui->GetWindowThreadProcessId(foreground, &foregroundProcess);
    if (foregroundProcess != GetCurrentProcessId())
        activateProcessWindows(GetCurrentProcessId(), false);
}

void startLibrarySplash() {
    if (splashInitialized)
        return;
    char path[textCapacity];
    const int n = std::snprintf(path, sizeof path, "%s\\bin\\splashscreen.dll", jvmHome);
    if (n < 0 || size_t(n) >= sizeof path) {
        logError("Could not load splashscreen.dll");
        return;
    }
    logMessage("loading splashscreen dll from %s", path);
    HMODULE library = LoadLibraryA(path);
    if (!library) {
        logError("Could not load splashscreen.dll");
        return;
    }
    auto close = reinterpret_cast<SplashCloseFn>(reinterpret_cast<void*>(GetProcAddress(library, "SplashClose")));
    auto init = reinterpret_cast<SplashInitFn>(reinterpret_cast<void*>(GetProcAddress(library, "SplashInit")));
    auto load = reinterpret_cast<SplashLoadMemoryFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "SplashLoadMemory")));
    if (!close || !init || !load) {
        logError("Could not find functions in splashscreen.dll");
        return;
    }
    init();
    void* data = nullptr;
    DWORD size = 0;
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(splashImageId), RT_RCDATA);
    if (resource) {
        if (HGLOBAL loaded = LoadResource(nullptr, resource)) {
            data = LockResource(loaded);
            size = data ? SizeofResource(nullptr, resource) : 0;
        }
    }
    const int result = load(data, int(size));
    logMessage("splash load memory returned %d (%p, %p, %d)", result, static_cast<void*>(resource), data, int(size));
    splashClose = close;
    splashInitialized = true;
}

void hideLibrarySplash() {
    // Closed once: the library is not asked to remove a splash it has
    // already removed.
    if (!splashInitialized || !splashClose || librarySplashClosed)
        return;
    librarySplashClosed = true;
    splashClose();
}

}  // namespace

void showSplash(int showCommand) {
    const bool library = getConfigBool(rec::JavaSplashLibrary);
    if (showCommand != 0) {
        if (library)
            startLibrarySplash();
        else
            startNativeSplash(showCommand);
    } else {
        if (library)
            hideLibrarySplash();
        else
            hideNativeSplash();
    }
}

void endSplashForJvmEnd() {
    if (!splashThreadHandle)
        return;
    if (WaitForSingleObject(splashThreadHandle, 0) == WAIT_TIMEOUT) {
        logMessage("splash screen still up at the application's end");
        hideNativeSplash();
        // The thread detaches and ends on its next tick; one that is stuck
        // in a call into the application is attached as a daemon and does
        // not hold the JVM up.
        if (WaitForSingleObject(splashThreadHandle, splashEndWaitMs) == WAIT_TIMEOUT)
            logError("splash screen thread did not end within %lu ms", splashEndWaitMs);
    }
    CloseHandle(splashThreadHandle);
    splashThreadHandle = nullptr;
}

HWND splashWindow() {
    AcquireSRWLockShared(&splashLock);
    HWND current = window;
    ReleaseSRWLockShared(&splashLock);
    return current;
}

void closeSplashWindow() {
    AcquireSRWLockExclusive(&splashLock);
    HWND closing = window;
    window = nullptr;
    setErrorOwnerWindow(nullptr);
    ReleaseSRWLockExclusive(&splashLock);
    const UserApi* ui = userApi();
    // No tick may come between the close and the end of the message loop.
    ui->KillTimer(nullptr, timer);
    if (closing && ui->DestroyWindow(closing))
        return;  // WM_DESTROY posts the quit message
    ui->PostQuitMessage(0);
}

size_t statusTextToNarrow(const wchar_t* text, char* out, size_t capacity) {
    if (capacity == 0)
        return 0;
    out[0] = '\0';
    const auto* units = reinterpret_cast<const char16_t*>(text);
    size_t limit = capacity - 1;
    // One UTF-16 unit gives one or two bytes: shorten until the bytes fit.
    for (;;) {
        const size_t count = fittingUnits(units, limit);
        if (count == 0)
            return 0;
        // No look-alike letters: a character the code page lacks shows as
        // "?", not as another word.
        const int bytes =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, int(count), nullptr, 0, "?", nullptr);
        if (bytes <= 0)
            return 0;
        if (size_t(bytes) <= capacity - 1) {
            const int written =
                WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, int(count), out, bytes, "?", nullptr);
            const size_t length = written > 0 ? size_t(written) : 0;
            out[length] = '\0';
            return length;
        }
        const size_t excess = size_t(bytes) - (capacity - 1);
        const size_t step = (excess + 1) / 2;
        limit = count > step ? count - step : 0;
        if (limit == 0)
            return 0;
    }
}

void setStatusText(const wchar_t* text) {
    HWND current = splashWindow();
    if (!current || !text)
        return;
    statusTextToNarrow(text, statusText, sizeof statusText);
    const UserApi* ui = userApi();
    if (!ui)
        return;
    ui->InvalidateRect(current, nullptr, FALSE);
    ui->UpdateWindow(current);
}
