#include "core/UserInterface.h"

#include <string>
#include <string_view>

#include <objbase.h>

#include "core/WebAddress.h"

HINSTANCE launcherInstance = nullptr;

namespace {

// Resource 2 of the launcher: the manifest that names the common controls of
// version 6. INVALID_HANDLE_VALUE when it cannot be had (a program without
// that resource, such as a test): windows then get the plain controls.
HANDLE commonControlsContext() {
    static const HANDLE context = [] {
        ACTCTXW request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = GetModuleHandleW(nullptr);
        request.lpResourceName = MAKEINTRESOURCEW(kCommonControlsManifest);
        return CreateActCtxW(&request);
    }();
    return context;
}

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
    // The common controls come up in the same step: their library
    // registers its window classes while it holds the loader lock, and the
    // first window call of a process may need that lock too (Wine loads its
    // display driver then). Two threads doing one each deadlock; here one
    // thread does both, and any other waits outside the loader lock.
    // Loaded under the version-6 context, so that the library every later
    // window uses is the one loaded here.
    activateCommonControls();
    using InitFn = void(WINAPI*)();
    if (HMODULE comctl32 = LoadLibraryA("comctl32.dll"))
        if (auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControls"))))
            init();
    return complete;
}

}  // namespace

bool activateCommonControls() {
    // Per thread: an activation context is active on the thread that
    // activated it, and on threads that thread creates afterwards.
    static thread_local bool active = false;
    if (active)
        return true;
    const HANDLE context = commonControlsContext();
    ULONG_PTR cookie = 0;
    // Never deactivated: the thread's windows need it for as long as they
    // live, and the thread keeps it to its end.
    active = context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie);
    return active;
}

const UserApi* userApi() {
    static UserApi api;
    static const bool loaded = loadApi(api);
    return loaded ? &api : nullptr;
}

void initCommonControls() {
    activateCommonControls();
    userApi();
}

int showMessageBox(HWND owner, const char* text, const char* title, UINT type) {
    initCommonControls();
    const UserApi* api = userApi();
    return api ? api->MessageBoxA(owner, text, title, type) : 0;
}

int showMessageBoxWide(HWND owner, const wchar_t* text, const wchar_t* title, UINT type) {
    initCommonControls();
    const UserApi* api = userApi();
    return api ? api->MessageBoxW(owner, text, title, type) : 0;
}

bool openInBrowser(const char* address) {
    // Never a path or a program: the shell would start whatever it names.
    if (!isWebAddress(address))
        return false;
    // By their full paths, as every library the launcher loads itself.
    const auto systemFunction = [](const wchar_t* library, const char* name) -> FARPROC {
        wchar_t path[MAX_PATH + 16];
        const UINT n = GetSystemDirectoryW(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return nullptr;
        path[n] = L'\\';
        lstrcpyW(path + n + 1, library);
        const HMODULE module = LoadLibraryW(path);
        return module ? GetProcAddress(module, name) : nullptr;
    };
    using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
    const auto shellExecute = reinterpret_cast<ShellExecuteFn>(
        reinterpret_cast<void*>(systemFunction(L"shell32.dll", "ShellExecuteW")));
    if (!shellExecute)
        return false;
    // The browser may be reached through a shell extension, which needs COM
    // on the calling thread.
    if (const auto coInitialize = reinterpret_cast<CoInitializeExFn>(
            reinterpret_cast<void*>(systemFunction(L"ole32.dll", "CoInitializeEx"))))
        coInitialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // ASCII only, so each byte is its character.
    const std::string_view text(address);
    const std::wstring wide(text.begin(), text.end());
    return reinterpret_cast<INT_PTR>(shellExecute(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool exitWindows(UINT flags, DWORD reason) {
    const UserApi* api = userApi();
    return api && api->ExitWindowsEx(flags, reason);
}
