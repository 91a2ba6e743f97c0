#include "runtime/RuntimeImage.h"

#include <vector>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "runtime/ReleaseFile.h"
#include "runtime/RuntimeText.h"
#include "runtime/VmTypes.h"

namespace {

bool findVmLibraryIn(const std::string& binDirectory, std::string& library) {
    for (const char* type : vmTypesToTry(getConfigString(rec::PreferredJvmType))) {
        library = binDirectory + "\\" + type + "\\jvm.dll";
        if (pathExists(library))
            return true;
    }
    library.clear();
    return false;
}

// At most kReleaseFileReadLimit bytes of a regular file; false when it
// cannot be read (a missing file is the common case and costs one lookup).
bool readHead(const std::string& path, std::string& content) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    std::vector<char> buffer(kReleaseFileReadLimit);
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        return false;
    content.assign(buffer.data(), got);
    return true;
}

}  // namespace

bool findVmLibrary(const std::string& javaExecutable, std::string& library) {
    return findVmLibraryIn(binDirectoryOf(javaExecutable), library) ||
           findVmLibraryIn(binDirectoryOf(directoryPrefixOf(javaExecutable) + "..\\jre\\bin\\java.exe"), library);
}

bool readReleaseVersion(const std::string& javaExecutable, std::string& version, std::string& file) {
    for (const std::string& candidate : releaseFileCandidates(javaExecutable)) {
        std::string content;
        if (!readHead(candidate, content))
            continue;
        if (releaseJavaVersion(content, version)) {
            file = candidate;
            return true;
        }
        logMessage("%s names no readable JAVA_VERSION", candidate.c_str());
    }
    return false;
}
