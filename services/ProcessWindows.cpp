// The enumeration state travels with each call (through the LPARAM), so the
// splash thread and the main thread may enumerate at the same time.
#include "services/ProcessWindows.h"

#include <cstdio>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/UserInterface.h"

namespace {

struct Enumeration {
    const UserApi* ui;
    DWORD processId;
    bool restore;
    HWND skip;
    int count;
};

bool isProcessWindow(const Enumeration& e, HWND window) {
    if (!e.ui->IsWindowVisible(window))
        return false;
    DWORD owner = 0;
    e.ui->GetWindowThreadProcessId(window, &owner);
    return owner == e.processId;
}

BOOL CALLBACK activateWindow(HWND window, LPARAM param) {
    Enumeration& e = *reinterpret_cast<Enumeration*>(param);
    if (!isProcessWindow(e, window))
        return TRUE;
    logMessage("found window %p", static_cast<void*>(window));
    if (e.restore && e.ui->IsIconic(window)) {
        logMessage("restore");
        e.ui->ShowWindow(window, SW_RESTORE);
    }
    logMessage("foreground");
    e.ui->SetForegroundWindow(window);
    logMessage("popup");
    HWND popup = e.ui->GetLastActivePopup(window);
    e.ui->SetForegroundWindow(popup ? popup : window);
    logMessage("done");
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM param) {
    Enumeration& e = *reinterpret_cast<Enumeration*>(param);
    if (window != e.skip && isProcessWindow(e, window))
        ++e.count;
    return TRUE;
}

// Console windows belong to the console host, not to the launcher: the one
// way to tell ours is to give it a title nobody else has and look that up.
HWND lookUpConsoleWindow() {
    if (getConfigInt(rec::ExecutableType) == 1)
        return nullptr;  // a GUI launcher has no console
    char saved[8192];
    if (GetConsoleTitleA(saved, sizeof saved) == 0)
        return nullptr;
    char unique[64];
    std::snprintf(unique, sizeof unique, "%lu/%lu", GetTickCount(), GetCurrentProcessId());
    if (!SetConsoleTitleA(unique))
        return nullptr;
    Sleep(40);  // the title reaches the window asynchronously
    const UserApi* ui = userApi();
    HWND found = ui ? ui->FindWindowA(nullptr, unique) : nullptr;
    SetConsoleTitleA(saved);
    return found;
}

}  // namespace

void activateProcessWindows(DWORD processId, bool restore) {
    const UserApi* ui = userApi();
    if (!ui) {
        logError("window functions unavailable: windows of process %lu left as they are", processId);
        return;
    }
    Enumeration e{ui, processId, restore, nullptr, 0};
    ui->EnumWindows(activateWindow, reinterpret_cast<LPARAM>(&e));
}

int countProcessWindows(DWORD processId) {
    HWND console = findConsoleWindow();
    const UserApi* ui = userApi();
    if (!ui)
        return 0;
    Enumeration e{ui, processId, false, console, 0};
    ui->EnumWindows(countWindow, reinterpret_cast<LPARAM>(&e));
    return e.count;
}

HWND findConsoleWindow() {
    static const HWND console = lookUpConsoleWindow();
    return console;
}
