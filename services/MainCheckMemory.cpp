#include "services/MainCheckMemory.h"

#include <vector>

#include "core/Advapi32.h"
#include "core/LauncherFile.h"
#include "core/Platform.h"

namespace {

constexpr char kValueName[] = "PublicStaticMain";

std::string keyOfLauncher() {
    std::string key = "SOFTWARE\\orrin-labs\\korvo\\mains\\";
    for (const char* c = launcherPath(); *c; ++c)
        key += *c == '\\' ? '/' : *c;
    return key;
}

}  // namespace

EntryStamp stampOfEntry(const std::string& entry) {
    EntryStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(entry.c_str(), GetFileExInfoStandard, &data))
        return stamp;
    // A folder, or a link the name may be moved to point elsewhere through.
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        stamp.kind = EntryStamp::other;
        return stamp;
    }
    stamp.kind = EntryStamp::file;
    stamp.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    stamp.lastWrite = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

bool mainCheckRemembered(const std::string& fingerprint) {
    if (fingerprint.empty())
        return false;
    ScopedKey key;
    if (advapi32::RegOpenKeyExA(HKEY_CURRENT_USER, keyOfLauncher().c_str(), 0, KEY_READ, key.receive()) !=
        ERROR_SUCCESS)
        return false;
    // One byte more than the text: a longer value is another text.
    std::vector<char> stored(fingerprint.size() + 1);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(stored.size());
    if (advapi32::RegQueryValueExA(key.get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(stored.data()),
                                   &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != fingerprint.size())
        return false;
    return fingerprint.compare(0, std::string::npos, stored.data(), size) == 0;
}

void rememberMainCheck(const std::string& fingerprint) {
    if (fingerprint.empty())
        return;
    ScopedKey key;
    if (advapi32::RegCreateKeyExA(HKEY_CURRENT_USER, keyOfLauncher().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return;
    // Binary: the text is compared byte for byte, never converted.
    advapi32::RegSetValueExA(key.get(), kValueName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(fingerprint.data()),
                             static_cast<DWORD>(fingerprint.size()));
}
