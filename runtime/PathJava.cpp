#include "runtime/PathJava.h"

#include <algorithm>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "runtime/PathEntries.h"
#include "runtime/RuntimeText.h"
#include "runtime/VmTypes.h"

namespace {

bool hasVmLibraryIn(const std::string& binDirectory) {
    const char* preferred = getConfigString(rec::PreferredJvmType);
    if (preferred[0] != '\0' && pathExists(binDirectory + "\\" + preferred + "\\jvm.dll"))
        return true;
    for (const char* type : kVmTypes)
        if (pathExists(binDirectory + "\\" + type + "\\jvm.dll"))
            return true;
    return false;
}

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

}  // namespace

bool hasVmLibrary(const std::string& javaExecutable) {
    return hasVmLibraryIn(binDirectoryOf(javaExecutable)) ||
           hasVmLibraryIn(binDirectoryOf(directoryPrefixOf(javaExecutable) + "..\\jre\\bin\\java.exe"));
}

bool findJavaOnPath(std::string& javaExecutable) {
    const std::string path = narrowPathValue();
    for (const std::string& directory : absolutePathDirectories(path)) {
        const std::string candidate = fileInDirectory(directory, "java.exe");
        if (!pathExists(candidate))
            continue;
        if (!hasVmLibrary(candidate)) {
            logMessage("%s has no VM library beside it: passed over", candidate.c_str());
            continue;
        }
        javaExecutable = candidate;
        return true;
    }
    return false;
}
