#include "core/Environment.h"

#include <cstdlib>
#include <vector>

#include "core/Platform.h"

bool readEnvironmentVariable(const char* name, std::string& value) {
    value.clear();
    std::vector<char> buffer(8192);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        if (n < buffer.size()) {
            value.assign(buffer.data(), n);
            return true;
        }
        // Too small: n is the size needed, terminator included. The value may
        // change between the calls, so ask again.
        buffer.resize(n);
    }
}

bool readEnvironmentVariable(const wchar_t* name, std::wstring& value) {
    value.clear();
    std::vector<wchar_t> buffer(8192);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        if (n < buffer.size()) {
            value.assign(buffer.data(), n);
            return true;
        }
        buffer.resize(n);
    }
}

bool writeEnvironmentVariable(const wchar_t* name, const std::wstring* value) {
    const bool set = SetEnvironmentVariableW(name, value ? value->c_str() : nullptr) != FALSE;
    const DWORD error = GetLastError();
    // The C runtime keeps its own copy; "NAME=" removes the variable there.
    const std::wstring assignment = std::wstring(name) + L"=" + (value ? *value : std::wstring());
    _wputenv(assignment.c_str());
    SetLastError(error);
    return set;
}
