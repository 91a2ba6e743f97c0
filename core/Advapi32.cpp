#include "core/Advapi32.h"

#include <sddl.h>

namespace advapi32 {
namespace {

#define KVO_REGISTRY_FUNCTIONS(X) \
    X(RegCloseKey)                \
    X(RegCreateKeyExA)            \
    X(RegEnumKeyExA)              \
    X(RegOpenKeyExA)              \
    X(RegQueryValueExA)           \
    X(RegSetValueExA)

#define KVO_SECURITY_FUNCTIONS(X) \
    X(AdjustTokenPrivileges)      \
    X(ConvertStringSecurityDescriptorToSecurityDescriptorA) \
    X(LookupPrivilegeValueA)      \
    X(OpenProcessToken)

#define KVO_MEMBER(name) decltype(&::name) name = nullptr;
struct RegistryTable {
    KVO_REGISTRY_FUNCTIONS(KVO_MEMBER)
    bool fromKernel32 = false;
};
struct SecurityTable {
    KVO_SECURITY_FUNCTIONS(KVO_MEMBER)
};
#undef KVO_MEMBER

template <class Fn>
bool bind(HMODULE module, const char* name, Fn& out) {
    out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    return out != nullptr;
}

// By its full path: the search order must never reach the working or the
// launcher's directory.
HMODULE loadAdvapi32() {
    static const HMODULE module = [] {
        wchar_t path[MAX_PATH + 16];
        const UINT n = GetSystemDirectoryW(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return HMODULE(nullptr);
        lstrcpyW(path + n, L"\\advapi32.dll");
        return LoadLibraryW(path);
    }();
    return module;
}

// All or nothing from one library: a table mixing two implementations of
// the registry could hand one's keys to the other.
bool bindRegistry(HMODULE module, RegistryTable& table) {
    bool complete = true;
#define KVO_BIND(name) complete = bind(module, #name, table.name) && complete;
    KVO_REGISTRY_FUNCTIONS(KVO_BIND)
#undef KVO_BIND
    return complete;
}

// Bound on first use; start-up makes the first call on the main thread,
// before any other thread of the launcher exists.
const RegistryTable* registry() {
    static RegistryTable table;
    static const bool bound = [] {
        if (bindRegistry(GetModuleHandleW(L"kernel32.dll"), table)) {
            table.fromKernel32 = true;
            return true;
        }
        return bindRegistry(loadAdvapi32(), table);
    }();
    return bound ? &table : nullptr;
}

const SecurityTable* security() {
    static SecurityTable table;
    static const bool bound = [] {
        HMODULE module = loadAdvapi32();
        bool complete = true;
#define KVO_BIND(name) complete = bind(module, #name, table.name) && complete;
        KVO_SECURITY_FUNCTIONS(KVO_BIND)
#undef KVO_BIND
        return complete;
    }();
    return bound ? &table : nullptr;
}

BOOL missing() {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

}  // namespace

LONG RegCloseKey(HKEY key) {
    const RegistryTable* api = registry();
    return api ? api->RegCloseKey(key) : ERROR_PROC_NOT_FOUND;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    const RegistryTable* api = registry();
    return api ? api->RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result,
                                      disposition)
               : ERROR_PROC_NOT_FOUND;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD classSize, PFILETIME lastWrite) {
    const RegistryTable* api = registry();
    return api ? api->RegEnumKeyExA(key, index, name, nameSize, reserved, keyClass, classSize, lastWrite)
               : ERROR_PROC_NOT_FOUND;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    const RegistryTable* api = registry();
    return api ? api->RegOpenKeyExA(key, subKey, options, access, result) : ERROR_PROC_NOT_FOUND;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    const RegistryTable* api = registry();
    return api ? api->RegQueryValueExA(key, name, reserved, type, data, size) : ERROR_PROC_NOT_FOUND;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    const RegistryTable* api = registry();
    return api ? api->RegSetValueExA(key, name, reserved, type, data, size) : ERROR_PROC_NOT_FOUND;
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    const SecurityTable* api = security();
    return api ? api->OpenProcessToken(process, access, token) : missing();
}

BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    const SecurityTable* api = security();
    return api ? api->LookupPrivilegeValueA(system, name, luid) : missing();
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                           PTOKEN_PRIVILEGES previous, PDWORD returnLength) {
    const SecurityTable* api = security();
    return api ? api->AdjustTokenPrivileges(token, disableAll, state, length, previous, returnLength) : missing();
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor, PULONG size) {
    const SecurityTable* api = security();
    return api ? api->ConvertStringSecurityDescriptorToSecurityDescriptorA(text, revision, descriptor, size)
               : missing();
}

bool registryFromKernel32() {
    const RegistryTable* api = registry();
    return api && api->fromKernel32;
}

}  // namespace advapi32
