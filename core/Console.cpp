#include "core/Console.h"

#include <cstdlib>
#include <string>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "core/UserInterface.h"

bool attachConsole() {
    using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
    // Bound at run time: the call does not exist on every Windows.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto attach = kernel ? reinterpret_cast<AttachConsoleFn>(
                               reinterpret_cast<void*>(GetProcAddress(kernel, "AttachConsole")))
                         : nullptr;
    if (attach) {
        if (attach(ATTACH_PARENT_PROCESS))
            return true;
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return true;
    }
    return AllocConsole() != FALSE;
}

void rebootSystem() {
    Sleep(5000);
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return;
    ScopedHandle token(rawToken);
    TOKEN_PRIVILEGES privileges = {};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    // A privilege that was not granted is reported only through GetLastError.
    if (GetLastError() == ERROR_SUCCESS)
        exitWindows(EWX_REBOOT, 0);
}

void setNativeLibraryPath(void (*expand)(std::string& text)) {
    std::string list = getConfigString(rec::NativeLibraryPath);
    logMessage("native lib dir is %s", list.c_str());
    expand(list);

    std::string value = resolvePathList(list);
    if (!value.empty() && value.back() != ';')
        value += ';';

    constexpr DWORD kPathValue = 16384;
    char old[kPathValue];
    const DWORD n = GetEnvironmentVariableA("PATH", old, kPathValue);
    const bool oldFits = n < kPathValue && value.size() + n < kPathValue;
    if (!oldFits) {
        // Cutting PATH would hide system directories from the runtime; keep it.
        logError("Setting PATH (native libs) skipped: value longer than %lu bytes", kPathValue);
        return;
    }
    value.append(old, n);
    if (SetEnvironmentVariableA("PATH", value.c_str()))
        logMessage("Setting PATH (native libs) %s", value.c_str());
    else
        logMessage("Setting PATH (native libs) %s failed with error %lu", value.c_str(), GetLastError());
    const std::string assignment = "PATH=" + value;
    _putenv(assignment.c_str());
}
