#include "runtime/PathJava.h"

#include <algorithm>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "runtime/PathEntries.h"
#include "runtime/RuntimeImage.h"
#include "runtime/RuntimeText.h"

namespace {

// PATH with each entry in the file functions' code page: exactly, or as its
// short form. The narrow copy Windows would make replaces a letter the code
// page lacks by a look-alike, which names another directory.
std::string narrowPathValue() {
    std::wstring wide;
    if (!readEnvironmentVariable(L"PATH", wide))
        return std::string();
    std::string joined;
    size_t start = 0;
    while (start <= wide.size()) {
        const size_t semi = std::min(wide.find(L';', start), wide.size());
        std::wstring entry = wide.substr(start, semi - start);
        start = semi + 1;
        if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"')
            entry = entry.substr(1, entry.size() - 2);
        if (entry.empty())
            continue;
        std::string narrow;
        if (!narrowExact(fileApiCodePage(), entry, narrow)) {
            std::wstring shortForm(8192, L'\0');
            const DWORD m = GetShortPathNameW(entry.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
            if (m == 0 || m >= shortForm.size() ||
                !narrowExact(fileApiCodePage(), std::wstring_view(shortForm.data(), m), narrow)) {
                logMessage("PATH entry %ls has no name in the code page: passed over", entry.c_str());
                continue;
            }
        }
        joined += narrow;
        joined += ';';
    }
    return joined;
}

using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Looked up at run time: systems before Vista lack the call (and links).
GetFinalPathFn getFinalPathFunction() {
    static const GetFinalPathFn function = kernel32Function<GetFinalPathFn>("GetFinalPathNameByHandleW");
    return function;
}

// The file a symbolic link (such as the java.exe of the system's javapath
// folder, which points into an installed runtime) finally names, in the
// file functions' code page; false when it names itself or cannot be told.
bool linkTarget(const std::string& path, std::string& target) {
    GetFinalPathFn getFinalPath = getFinalPathFunction();
    std::wstring wide;
    if (!getFinalPath || !widenText(fileApiCodePage(), path, wide))
        return false;
    ScopedHandle file(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                  FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return false;
    std::wstring final(8192, L'\0');
    const DWORD n = getFinalPath(file.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (n == 0 || n >= final.size())
        return false;
    final.resize(n);
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.compare(0, 4, L"\\\\?\\") == 0)
        final = final.substr(4);
    if (!narrowExact(fileApiCodePage(), final, target))
        return false;
    return lstrcmpiA(target.c_str(), path.c_str()) != 0;
}

}  // namespace

bool hasVmLibrary(const std::string& javaExecutable) {
    std::string library;
    return findVmLibrary(javaExecutable, library);
}

bool findJavaOnPath(std::string& javaExecutable) {
    const std::string path = narrowPathValue();
    for (const std::string& directory : absolutePathDirectories(path)) {
        const std::string candidate = fileInDirectory(directory, "java.exe");
        if (!pathExists(candidate))
            continue;
        if (hasVmLibrary(candidate)) {
            javaExecutable = candidate;
            return true;
        }
        std::string target;
        if (linkTarget(candidate, target)) {
            logMessage("%s is a link to %s", candidate.c_str(), target.c_str());
            if (hasVmLibrary(target)) {
                javaExecutable = target;
                return true;
            }
        }
        logMessage("%s has no VM library beside it: passed over", candidate.c_str());
    }
    return false;
}
