// The launcher's calls into advapi32: the registry and a few security calls.
// advapi32 is not imported. Loading it (with what it pulls in) was measured
// to cost about 5 ms per start under Wine, half of all the launcher's own
// work up to the JVM. kernel32 exports the registry functions since
// Windows 7 and they are taken from there; advapi32 itself is loaded, from
// the system directory, only for the security calls (single instance,
// reboot) and on older systems whose kernel32 lacks the registry.
#pragma once

#include "core/Platform.h"

namespace advapi32 {

// Same signatures and results as the system's; when no library provides a
// function, the registry calls return ERROR_PROC_NOT_FOUND and the others
// FALSE with that last error.
LONG RegCloseKey(HKEY key);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD classSize, PFILETIME lastWrite);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                           PTOKEN_PRIVILEGES previous, PDWORD returnLength);
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor, PULONG size);

// Whether the registry calls come from kernel32 (no advapi32 loaded for
// them); for the tests.
bool registryFromKernel32();

}  // namespace advapi32

// Owner of an open registry key.
class ScopedKey {
public:
    ScopedKey() = default;
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() {
        if (k_)
            advapi32::RegCloseKey(k_);
    }
    HKEY* receive() { return &k_; }
    HKEY get() const { return k_; }

private:
    HKEY k_ = nullptr;
};
