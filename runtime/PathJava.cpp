#include "runtime/PathJava.h"

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

}  // namespace

bool hasVmLibrary(const std::string& javaExecutable) {
    return hasVmLibraryIn(binDirectoryOf(javaExecutable)) ||
           hasVmLibraryIn(binDirectoryOf(directoryPrefixOf(javaExecutable) + "..\\jre\\bin\\java.exe"));
}

bool findJavaOnPath(std::string& javaExecutable) {
    std::string path;
    if (!readEnvironmentVariable("PATH", path))
        return false;
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
