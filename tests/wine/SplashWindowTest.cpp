// The splash window in this process (placement, title, the hide and the end
// of its thread), the status line's text conversion and the copy of Java
// strings the controller hands it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/ConfigStore.h"
#include "core/UserInterface.h"
#include "core/Platform.h"
#include "splash/ControllerPoll.h"
#include "splash/SplashController.h"
#include "splash/SplashWindow.h"

namespace {

// The splash window of this process: tests of other processes running at
// the same time show theirs on the same display.
BOOL CALLBACK findOwnSplash(HWND h, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || std::strcmp(cls, "KorvoSplashScreen") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(param) = h;
    return FALSE;
}

HWND ownSplash() {
    HWND found = nullptr;
    EnumWindows(findOwnSplash, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND waitForSplash(bool visible, DWORD timeoutMs) {
    // As the launcher's own threads do, no window call before the user
    // interface libraries are up: under Wine a window call racing the splash
    // thread's loading of them deadlocks both threads.
    EXPECT_NE(userApi(), nullptr);
    const DWORD start = GetTickCount();
    do {
        HWND h = ownSplash();
        if (h && (!visible || IsWindowVisible(h)))
            return h;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

// A splash starts once per process; ctest runs every test in a process of
// its own, a whole run of this program only the first window test.
bool splashUsed = false;

#define REQUIRE_FRESH_SPLASH()                                                              \
    if (splashUsed)                                                                         \
        GTEST_SKIP() << "the splash was already used in this process; run this test alone"; \
    splashUsed = true

// Waits for the window to go while serving this thread's own windows, as an
// application's UI thread would: the splash thread may call into them (to
// raise them when it hides), and those calls wait for this thread.
bool gone(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(5);
    }
    return !IsWindow(window);
}

TEST(SplashWindow, CentredTitledHiddenAndGoneWithinATick) {
    REQUIRE_FRESH_SPLASH();
    ConfigStore& store = configStore();
    store.narrow[rec::SplashEnabled] = "1";
    store.narrow[rec::ApplicationName] = "Splash In Test";
    store.narrow[rec::SplashImageWidth] = "201";
    store.narrow[rec::SplashImageHeight] = "99";
    store.narrow[rec::StatusText] = "status";
    store.narrow[rec::SplashTopmost] = "1";

    showSplash(SW_SHOWNORMAL);
    HWND window = waitForSplash(true, 5000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(splashWindow(), window);

    RECT desktop, placed;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, (desktop.right - desktop.left - 201) / 2);
    EXPECT_EQ(placed.top, (desktop.bottom - desktop.top - 99) / 2);
    EXPECT_EQ(placed.right - placed.left, 201);
    EXPECT_EQ(placed.bottom - placed.top, 99);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Splash In Test");
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), LONG(WS_POPUP));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    showSplash(0);
    EXPECT_FALSE(IsWindowVisible(window)) << "hidden before showSplash returns";
    const DWORD hidden = GetTickCount();
    EXPECT_TRUE(gone(window, 2000)) << "the splash thread ends at its next tick";
    EXPECT_LT(GetTickCount() - hidden, 400u);
    EXPECT_EQ(splashWindow(), nullptr);

    // Once hidden, a splash is not started again in the same process.
    showSplash(SW_SHOWNORMAL);
    EXPECT_EQ(waitForSplash(false, 300), nullptr);
    setStatusText(L"ignored without a window");
}

TEST(SplashWindow, AutoOffWhenTheApplicationShowsAWindow) {
    REQUIRE_FRESH_SPLASH();
    ConfigStore& store = configStore();
    store.narrow[rec::SplashEnabled] = "1";
    store.narrow[rec::SplashAutoOff] = "1";
    store.narrow[rec::SplashImageWidth] = "120";
    store.narrow[rec::SplashImageHeight] = "60";
    store.narrow[rec::SplashTopmost] = "0";

    showSplash(SW_SHOWNORMAL);
    HWND splash = waitForSplash(true, 5000);
    ASSERT_NE(splash, nullptr);
    EXPECT_FALSE(GetWindowLongA(splash, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Sleep(350);
    EXPECT_TRUE(IsWindowVisible(splash)) << "the splash alone is not an application window";

    HWND application = CreateWindowExA(0, "STATIC", "application", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(application, nullptr);
    EXPECT_TRUE(gone(splash, 2000)) << "hidden and ended once a second window shows";
    EXPECT_TRUE(IsWindowVisible(application));
    DestroyWindow(application);
}

TEST(StatusText, AnsiCodePageWithReplacement) {
    char out[64];
    // The test prefix runs with code page 1252.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(statusTextToNarrow(L"Loading \u00e9t\u00e9 \u2026", out, sizeof out), 13u);
    EXPECT_STREQ(out, "Loading \xe9t\xe9 \x85");
    EXPECT_EQ(statusTextToNarrow(L"\u0416a", out, sizeof out), 2u);
    EXPECT_STREQ(out, "?a");
    EXPECT_EQ(statusTextToNarrow(L"", out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(statusTextToNarrow(L"a\nb", out, sizeof out), 3u) << "a line feed stays a character";
}

TEST(StatusText, CutToTheBufferWithoutWritingPastIt) {
    std::wstring longText(9000, L'x');
    char out[8192 + 8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(statusTextToNarrow(longText.c_str(), out, 8192), 8191u);
    EXPECT_EQ(out[8191], '\0');
    EXPECT_EQ(out[8192], '#');

    char small[4];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(statusTextToNarrow(L"abcdef", small, 4), 3u);
    EXPECT_STREQ(small, "abc");
    // A character outside the BMP is not split at the cut.
    EXPECT_EQ(statusTextToNarrow(L"ab\U0001F600", small, 4), 2u);
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(statusTextToNarrow(L"abc", small, 1), 0u);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(statusTextToNarrow(L"abc", small, 0), 0u);
}

// A Java string as the fake JNI environment below serves it.
struct FakeString {
    const jchar* chars;
    jsize length;
};
int released = 0;

const jchar* JNICALL fakeGetStringChars(JNIEnv*, jstring s, jboolean* isCopy) {
    if (isCopy)
        *isCopy = JNI_FALSE;
    return reinterpret_cast<FakeString*>(s)->chars;
}
jsize JNICALL fakeGetStringLength(JNIEnv*, jstring s) { return reinterpret_cast<FakeString*>(s)->length; }
void JNICALL fakeReleaseStringChars(JNIEnv*, jstring, const jchar*) { ++released; }

TEST(JavaStringText, CopiesByLengthAndReleasesOnce) {
    JNINativeInterface_ table = {};
    table.GetStringChars = fakeGetStringChars;
    table.GetStringLength = fakeGetStringLength;
    table.ReleaseStringChars = fakeReleaseStringChars;
    JNIEnv_ env;
    env.functions = &table;

    std::u16string text = u"old";
    EXPECT_FALSE(javaStringText(&env, nullptr, text));
    EXPECT_EQ(text, u"");
    EXPECT_EQ(released, 0);

    // Java strings carry their length and no terminator.
    const jchar chars[] = {u'L', u'o', 0x2026, u'!', u'#', u'#'};
    FakeString s = {chars, 4};
    ASSERT_TRUE(javaStringText(&env, reinterpret_cast<jstring>(&s), text));
    EXPECT_EQ(text, u"Lo\u2026!");
    EXPECT_EQ(released, 1);

    FakeString empty = {chars, 0};
    ASSERT_TRUE(javaStringText(&env, reinterpret_cast<jstring>(&empty), text));
    EXPECT_EQ(text, u"");
    EXPECT_EQ(released, 2);

    FakeString unavailable = {nullptr, 3};
    EXPECT_FALSE(javaStringText(&env, reinterpret_cast<jstring>(&unavailable), text));
    EXPECT_EQ(released, 2) << "nothing to release when no characters were handed out";
}

}  // namespace
