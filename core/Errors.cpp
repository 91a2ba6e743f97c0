#include "core/Errors.h"

#include <cstdio>
#include <string>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/MessageText.h"
#include "core/StartupState.h"
#include "core/UserInterface.h"

namespace {
HWND errorOwner = nullptr;
LauncherHook beforeErrorShown = nullptr;
LauncherHook beforeExit = nullptr;
}  // namespace

void setErrorOwnerWindow(HWND window) { errorOwner = window; }
void setBeforeErrorShown(LauncherHook hook) { beforeErrorShown = hook; }
void setBeforeExit(LauncherHook hook) { beforeExit = hook; }

void showError(const char* text) {
    if (beforeErrorShown)
        beforeErrorShown();
    std::string shown(text);
    if (const char* path = logFilePath()) {
        char longPath[8192];
        const DWORD n = GetLongPathNameA(path, longPath, sizeof longPath);
        shown += "\n\nLog: ";
        shown += (n > 0 && n < sizeof longPath) ? longPath : path;
    }
    if (useErrorDialogs) {
        showMessageBox(errorOwner, shown.c_str(), getConfigString(msg::Title), MB_ICONERROR);
    } else {
        std::fprintf(stderr, "%s\n", shown.c_str());
        std::fflush(stderr);
    }
}

void showErrorMessage(int32_t id, const char* argument) {
    const char* text = getConfigString(id);
    if (!argument) {
        showError(text);
        return;
    }
    showError(replaceFirstPlaceholder(text, argument).c_str());
}

void fatalError(const char* text) {
    showError(text);
    exitLauncher(1);
}

void fatalErrorMessage(int32_t id, const char* argument) {
    showErrorMessage(id, argument);
    exitLauncher(1);
}

void exitLauncher(unsigned code) {
    // Taken out first: an error inside the clean-up must not run it again.
    if (LauncherHook hook = beforeExit) {
        beforeExit = nullptr;
        hook();
    }
    ExitProcess(code);
}
