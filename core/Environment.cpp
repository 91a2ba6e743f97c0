#include "core/Environment.h"

#include <cstdlib>
#include <vector>

#include "core/Platform.h"

namespace {

// One reader for both forms: the whole value, whatever its length.
template <typename Char, typename Get>
bool readWhole(const Char* name, std::basic_string<Char>& value, Get get) {
    value.clear();
    std::vector<Char> buffer(8192);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = get(name, buffer.data(), static_cast<DWORD>(buffer.size()));
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

}  // namespace

bool readEnvironmentVariable(const char* name, std::string& value) {
    return readWhole(name, value, GetEnvironmentVariableA);
}

bool readEnvironmentVariable(const wchar_t* name, std::wstring& value) {
    return readWhole(name, value, GetEnvironmentVariableW);
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
