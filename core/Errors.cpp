#include "core/Errors.h"

#include <cstdio>
#include <string>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/MessageText.h"
#include "core/StartupState.h"
#include "core/UserInterface.h"
#include "services/TempDir.h"
#include "splash/SplashWindow.h"

namespace {
HWND errorOwner = nullptr;
}

void setErrorOwnerWindow(HWND window) { errorOwner = window; }

void showError(const char* text) {
    showSplash(0);
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
    if (launcherTempDir[0] != '\0') {
        emptyDirectory(launcherTempDir, true);
        RemoveDirectoryA(launcherTempDir);
    }
    ExitProcess(code);
}
