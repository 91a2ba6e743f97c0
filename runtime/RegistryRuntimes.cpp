#include "runtime/RegistryRuntimes.h"

#include <algorithm>
#include <vector>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "runtime/JavaProbe.h"
#include "runtime/RuntimeText.h"
#include "runtime/VersionRules.h"

namespace {

constexpr char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
constexpr char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kLocatedKey[] = "SOFTWARE\\orrin-labs\\korvo\\locatedjvms\\";
constexpr char kInstallationsKey[] = "SOFTWARE\\orrin-labs\\vandrel\\installations";
constexpr DWORD kCurrentVersionCapacity = 100;
constexpr DWORD kValueCapacity = 8192;

struct Candidate {
    std::string javaExecutable;
    std::string version;
};

// A string value that fits `capacity` bytes including a terminator; values
// stored without one are terminated here.
bool readString(HKEY key, const char* name, DWORD capacity, std::string& value) {
    std::vector<char> buffer(capacity);
    DWORD size = capacity - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    buffer[size < capacity ? size : capacity - 1] = '\0';
    value = buffer.data();
    return true;
}

bool readString(HKEY root, const std::string& keyName, const char* name, DWORD capacity, std::string& value) {
    ScopedKey key;
    if (RegOpenKeyExA(root, keyName.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    return readString(key.get(), name, capacity, value);
}

// Subkey names in enumeration order. A name too long for the buffer is
// skipped; any other error ends the walk, so a key deleted meanwhile cannot
// keep it going forever.
std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    std::vector<char> name(kValueCapacity);
    std::vector<char> keyClass(kValueCapacity);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = kValueCapacity;
        DWORD classSize = kValueCapacity;
        const LONG status = RegEnumKeyExA(key, index, name.data(), &nameSize, nullptr, keyClass.data(),
                                          &classSize, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), nameSize);
    }
    return names;
}

bool probeHome(const std::string& home, const VersionBounds& bounds, Candidate& result) {
    std::string javaExecutable;
    std::string version;
    if (!javaExecutableForHome(home, javaExecutable) ||
        !checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, false))
        return false;
    result = Candidate{javaExecutable, version};
    return true;
}

std::string currentVersionInRange(const char* keyName, const VersionBounds& bounds) {
    std::string version;
    if (!readString(HKEY_LOCAL_MACHINE, keyName, "CurrentVersion", kCurrentVersionCapacity, version) ||
        !isVersionInRange(version, bounds.lower, bounds.upper))
        return std::string();
    return version;
}

bool findCurrentVersionJvm(const VersionBounds& bounds, Candidate& result) {
    const std::string jdkVersion = currentVersionInRange(kJdkKey, bounds);
    const std::string jreVersion =
        getConfigBool(rec::RequireJdk) ? std::string() : currentVersionInRange(kJreKey, bounds);
    const std::string key = compareVersionText(jdkVersion, jreVersion) > 0
                                ? std::string(kJdkKey) + "\\" + jdkVersion
                                : std::string(kJreKey) + "\\" + jreVersion;
    std::string home;
    if (!readString(HKEY_LOCAL_MACHINE, key, "JavaHome", kValueCapacity, home))
        return false;
    return probeHome(home, bounds, result);
}

bool findEnumeratedJvm(const char* baseKey, const VersionBounds& bounds, Candidate& result) {
    ScopedKey base;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, baseKey, 0, KEY_READ, base.receive()) != ERROR_SUCCESS)
        return false;
    std::vector<std::string> versions;
    for (std::string& name : subkeyNames(base.get()))
        if (isVersionInRange(name, bounds.lower, bounds.upper))
            versions.push_back(std::move(name));
    std::sort(versions.begin(), versions.end(),
              [](const std::string& a, const std::string& b) { return compareVersionText(a, b) < 0; });
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        std::string home;
        if (readString(base.get(), *it, "JavaHome", kValueCapacity, home) && probeHome(home, bounds, result))
            return true;
    }
    return false;
}

bool findJavaSoftJvm(const VersionBounds& bounds, Candidate& result) {
    if (findCurrentVersionJvm(bounds, result))
        return true;
    if (!getConfigBool(rec::RequireJdk) && findEnumeratedJvm(kJreKey, bounds, result))
        return true;
    return findEnumeratedJvm(kJdkKey, bounds, result);
}

// The greatest accepted version below one root; of equal versions the first
// enumerated.
bool findLocatedJvmUnder(HKEY root, const VersionBounds& bounds, Candidate& best) {
    ScopedKey key;
    if (RegOpenKeyExA(root, kLocatedKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    bool found = false;
    best.version.clear();
    for (const std::string& name : subkeyNames(key.get())) {
        std::string javaExecutable = replaceChar(name, '/', '\\');
        std::string version;
        if (checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, true) &&
            compareVersionText(version, best.version) > 0) {
            best = Candidate{javaExecutable, version};
            found = true;
        }
    }
    return found;
}

bool findLocatedJvm(const VersionBounds& bounds, Candidate& result) {
    Candidate user;
    Candidate machine;
    const bool haveUser = findLocatedJvmUnder(HKEY_CURRENT_USER, bounds, user);
    const bool haveMachine = findLocatedJvmUnder(HKEY_LOCAL_MACHINE, bounds, machine);
    if (haveUser && (!haveMachine || compareVersionText(user.version, machine.version) > 0))
        result = user;
    else if (haveMachine)
        result = machine;
    return haveUser || haveMachine;
}

}  // namespace

bool findRegisteredJvm(const VersionBounds& bounds, std::string& javaExecutable) {
    Candidate javaSoft;
    Candidate located;
    const bool haveJavaSoft = findJavaSoftJvm(bounds, javaSoft);
    const bool haveLocated = findLocatedJvm(bounds, located);
    if (haveJavaSoft)
        logMessage("found sun %s %s", javaSoft.javaExecutable.c_str(), javaSoft.version.c_str());
    if (haveLocated)
        logMessage("found located %s %s", located.javaExecutable.c_str(), located.version.c_str());
    if (haveLocated && (!haveJavaSoft || compareVersionText(javaSoft.version, located.version) <= 0))
        javaExecutable = located.javaExecutable;
    else if (haveJavaSoft)
        javaExecutable = javaSoft.javaExecutable;
    return haveJavaSoft || haveLocated;
}

bool findPreviousInstallation(HKEY root, const VersionBounds& bounds, std::string& javaExecutable) {
    const std::string applicationId = getConfigString(rec::InstallerApplicationId);
    if (applicationId.empty())
        return false;
    std::string installations;
    {
        ScopedKey key;
        if (RegOpenKeyExA(root, kInstallationsKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), applicationId.c_str(), nullptr, nullptr, nullptr, &size) !=
                ERROR_SUCCESS ||
            size == 0 || !readString(key.get(), applicationId.c_str(), kValueCapacity, installations))
            return false;
    }
    logMessage("found installations: %s", installations.c_str());
    for (const std::string& directory : splitList(installations)) {
        Candidate candidate;
        if (probeHome(directory + "\\jre", bounds, candidate)) {
            javaExecutable = candidate.javaExecutable;
            return true;
        }
    }
    return false;
}
