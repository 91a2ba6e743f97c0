#include "runtime/VersionCache.h"

#include <cstring>

#include "core/Advapi32.h"
#include "runtime/RuntimeText.h"

namespace {
constexpr DWORD kVersionCapacity = 8192;
}

bool versionCacheLookup(const std::string& javaExecutable, const FILETIME& lastWrite,
                        std::string& version) {
    ScopedKey key;
    if (advapi32::RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKey(javaExecutable).c_str(), 0, KEY_READ,
                      key.receive()) != ERROR_SUCCESS)
        return false;
    unsigned char stamp[8];
    DWORD size = sizeof stamp;
    if (advapi32::RegQueryValueExA(key.get(), "LastWriteTime", nullptr, nullptr, stamp, &size) != ERROR_SUCCESS ||
        size != sizeof stamp || std::memcmp(stamp, &lastWrite, sizeof stamp) != 0)
        return false;
    // The stored text carries no terminator; one byte more than the value may
    // fill keeps room for ours.
    char text[kVersionCapacity + 1];
    size = kVersionCapacity;
    if (advapi32::RegQueryValueExA(key.get(), "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS)
        return false;
    text[size < kVersionCapacity ? size : kVersionCapacity] = '\0';
    version = text;
    return true;
}

void versionCacheStore(const std::string& javaExecutable, const FILETIME& lastWrite,
                       const std::string& version) {
    ScopedKey key;
    if (advapi32::RegCreateKeyExA(HKEY_CURRENT_USER, versionCacheKey(javaExecutable).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.receive(),
                        nullptr) != ERROR_SUCCESS)
        return;
    advapi32::RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&lastWrite),
                   sizeof lastWrite);
    advapi32::RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.data()),
                   static_cast<DWORD>(version.size()));
}
