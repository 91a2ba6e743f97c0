#include "core/UserInterface.h"

namespace {

bool loadApi(UserApi& api) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    HMODULE gdi32 = LoadLibraryA("gdi32.dll");
    if (!user32 || !gdi32)
        return false;
    bool complete = true;
    // Every function must be there; a table with holes would crash later in
    // whatever window code happens to need the missing one.
#define KVO_BIND(module, name)                                                                          \
    api.name = reinterpret_cast<decltype(api.name)>(reinterpret_cast<void*>(GetProcAddress(module, #name))); \
    complete = complete && api.name != nullptr;
#define KVO_BIND_USER32(name) KVO_BIND(user32, name)
#define KVO_BIND_GDI32(name) KVO_BIND(gdi32, name)
    KVO_USER32_FUNCTIONS(KVO_BIND_USER32)
    KVO_GDI32_FUNCTIONS(KVO_BIND_GDI32)
#undef KVO_BIND_GDI32
#undef KVO_BIND_USER32
#undef KVO_BIND
    return complete;
}

bool commonControlsDone = false;

}  // namespace

const UserApi* userApi() {
    static UserApi api;
    static const bool loaded = loadApi(api);
    return loaded ? &api : nullptr;
}

void initCommonControls() {
    if (commonControlsDone)
        return;
    commonControlsDone = true;
    using InitFn = void(WINAPI*)();
    if (HMODULE comctl32 = LoadLibraryA("comctl32.dll"))
        if (auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControls"))))
            init();
}

int showMessageBox(HWND owner, const char* text, const char* title, UINT type) {
    initCommonControls();
    const UserApi* api = userApi();
    return api ? api->MessageBoxA(owner, text, title, type) : 0;
}

bool exitWindows(UINT flags, DWORD reason) {
    const UserApi* api = userApi();
    return api && api->ExitWindowsEx(flags, reason);
}
