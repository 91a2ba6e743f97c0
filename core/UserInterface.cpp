#include "core/UserInterface.h"

namespace {

// Looks a function up in a system library, loading the library once; the
// library stays loaded for the life of the process.
template <class Fn>
Fn systemFunction(HMODULE& module, const char* library, const char* name) {
    if (!module)
        module = LoadLibraryA(library);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE user32 = nullptr;
HMODULE comctl32 = nullptr;
bool commonControlsDone = false;

}  // namespace

void initCommonControls() {
    if (commonControlsDone)
        return;
    commonControlsDone = true;
    using InitFn = void(WINAPI*)();
    if (auto init = systemFunction<InitFn>(comctl32, "comctl32.dll", "InitCommonControls"))
        init();
}

int showMessageBox(HWND owner, const char* text, const char* title, UINT type) {
    initCommonControls();
    using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
    auto messageBox = systemFunction<MessageBoxFn>(user32, "user32.dll", "MessageBoxA");
    return messageBox ? messageBox(owner, text, title, type) : 0;
}

bool exitWindows(UINT flags, DWORD reason) {
    using ExitWindowsFn = BOOL(WINAPI*)(UINT, DWORD);
    auto exitWindowsEx = systemFunction<ExitWindowsFn>(user32, "user32.dll", "ExitWindowsEx");
    return exitWindowsEx && exitWindowsEx(flags, reason);
}
