#include "core/Advapi32.h"
#include "core/Console.h"

#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "core/Platform.h"
#include "core/UserInterface.h"

bool attachConsole() {
    // Bound at run time: the call does not exist on every Windows.
    const auto attach = kernel32Function<BOOL(WINAPI*)(DWORD)>("AttachConsole");
    if (attach) {
        if (attach(ATTACH_PARENT_PROCESS))
            return true;
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return true;
    }
    return AllocConsole() != FALSE;
}

namespace {

bool knownKind(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool standardErrorUsable() {
    // The C runtime took its handle at start-up: a console attached later
    // does not reach it.
    return knownKind(GetStdHandle(STD_ERROR_HANDLE)) &&
           knownKind(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr))));
}

void rebootSystem() {
    Sleep(5000);
    HANDLE rawToken = nullptr;
    if (!advapi32::OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return;
    ScopedHandle token(rawToken);
    TOKEN_PRIVILEGES privileges = {};
    advapi32::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    advapi32::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    // A privilege that was not granted is reported only through GetLastError.
    if (GetLastError() == ERROR_SUCCESS)
        exitWindows(EWX_REBOOT, 0);
}
