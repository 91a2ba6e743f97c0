#include "core/Environment.h"

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
