#include "core/Paths.h"

#include "core/CodePage.h"
#include "core/LauncherFile.h"
#include "core/Platform.h"

namespace {

constexpr int kPathUnits = 8192;

template <class Change>
void changeWithoutLoss(std::string& path, Change change) {
    std::wstring wide;
    std::string result;
    if (!widenText(fileApiCodePage(), path, wide))
        return;
    change(wide);
    if (narrowExact(fileApiCodePage(), wide, result))
        path = result;
}

}  // namespace

void collapseBackslashes(std::wstring& path) { collapseBackslashesText(path); }

void collapseBackslashes(std::string& path) {
    changeWithoutLoss(path, [](std::wstring& w) { collapseBackslashesText(w); });
}

void lowerCasePath(std::string& path) {
    changeWithoutLoss(path, [](std::wstring& w) { lowerCaseAsciiText(w); });
}

std::string directoryOfFile(const char* file) {
    char full[kPathUnits];
    char* filePart = nullptr;
    const DWORD n = GetFullPathNameA(file, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full)
        return std::string();
    const size_t cut = filePart ? static_cast<size_t>(filePart - full) : n;
    return std::string(directoryOfFullPath(std::string_view(full, n), cut));
}

// LauncherFile.cpp calls back into this file only for collapseBackslashes,
// which calls nothing of it: two files that use each other, no loop of calls.
const std::string& launcherDirectory() {
    static const std::string dir = directoryOfFile(launcherPath());
    return dir;
}

std::string resolvePath(const std::string& path, const char* baseFile) {
    std::string result;
    if (isRelativePath(path))
        result = baseFile ? directoryOfFile(baseFile) : launcherDirectory();
    result += path;
    collapseBackslashes(result);
    return result;
}

std::string canonicalPath(const std::string& path, bool lowerCase) {
    const std::string resolved = resolvePath(path);
    char full[kPathUnits];
    const DWORD n = GetFullPathNameA(resolved.c_str(), sizeof full, full, nullptr);
    std::string result = (n > 0 && n < sizeof full) ? std::string(full, n) : std::string();
    if (lowerCase)
        lowerCasePath(result);
    collapseBackslashes(result);
    return result;
}

std::string resolvePathList(std::string_view list) {
    std::string joined;
    while (!list.empty()) {
        const size_t semi = list.find(';');
        const std::string_view entry = list.substr(0, semi);
        list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
        if (entry.empty())
            continue;
        if (!joined.empty())
            joined += ';';
        joined += resolvePath(std::string(entry));
    }
    return joined;
}

bool pathExists(const std::string& path) {
    if (isDriveRootText(path))
        return true;
    // A text that names one entry needs one attribute query; a directory
    // search costs several calls on some file systems and under Wine. The
    // search stays for what only it answers this way: wildcards match, and
    // a trailing separator never does.
    if (!path.empty() && path.find_first_of("*?") == std::string::npos && path.back() != '\\' &&
        path.back() != '/')
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAA data;
    ScopedFindHandle find(FindFirstFileA(path.c_str(), &data));
    return find.valid();
}
