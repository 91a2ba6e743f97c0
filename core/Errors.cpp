#include "core/Errors.h"

#include <cstdio>
#include <string>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Console.h"
#include "core/Log.h"
#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "core/UserInterface.h"

namespace {
HWND errorOwner = nullptr;
LauncherHook beforeErrorShown = nullptr;
LauncherHook beforeExit = nullptr;

// The long form of a path when the code page holds it exactly; else the
// path as it is (a look-alike letter would send the user to another file).
std::string longFormForDisplay(const char* path) {
    std::wstring wide;
    if (!widenText(fileApiCodePage(), path, wide))
        return path;
    std::wstring longForm(8192, L'\0');
    const DWORD n = GetLongPathNameW(wide.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    std::string narrow;
    if (n == 0 || n >= longForm.size() || !narrowExact(fileApiCodePage(), std::wstring_view(longForm.data(), n), narrow))
        return path;
    return narrow;
}

}  // namespace

void setErrorOwnerWindow(HWND window) { errorOwner = window; }
void setBeforeErrorShown(LauncherHook hook) { beforeErrorShown = hook; }
void setBeforeExit(LauncherHook hook) { beforeExit = hook; }

void showError(const char* text) {
    if (beforeErrorShown)
        beforeErrorShown();
    std::string shown(text);
    if (const char* path = logFilePath()) {
        shown += "\n\nLog: ";
        shown += longFormForDisplay(path);
    }
    // Errors of a console-type launcher that nobody could read (started from
    // Explorer, without a standard error) are shown after all; only a switch
    // that asks for no dialogs keeps them off the screen.
    if (useErrorDialogs || (!quietSwitchGiven && !standardErrorUsable())) {
        showMessageBox(errorOwner, shown.c_str(), messageText(msg::Title), MB_ICONERROR);
    } else {
        std::fprintf(stderr, "%s\n", shown.c_str());
        std::fflush(stderr);
    }
}

void exitLauncher(unsigned code) {
    // Taken out first: an error inside the clean-up must not run it again.
    if (LauncherHook hook = beforeExit) {
        beforeExit = nullptr;
        hook();
    }
    ExitProcess(code);
}
