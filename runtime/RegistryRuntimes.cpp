#include "runtime/RegistryRuntimes.h"

#include <algorithm>
#include <vector>

#include "core/Advapi32.h"
#include "core/ConfigStore.h"
#include "core/Log.h"
#include "runtime/JavaProbe.h"
#include "runtime/RuntimeText.h"
#include "runtime/VersionRules.h"

namespace {

constexpr char kLocatedKey[] = "SOFTWARE\\orrin-labs\\korvo\\locatedjvms\\";
constexpr char kInstallationsKey[] = "SOFTWARE\\orrin-labs\\vandrel\\installations";
constexpr DWORD kCurrentVersionCapacity = 100;
constexpr DWORD kValueCapacity = 8192;
// Runtime installers write to the registry view of their own width, and a
// launcher can only use runtimes of its own: a 64-bit launcher reads the
// 64-bit view (which it would by default; the flag says so), a 32-bit one
// opens keys without a flag and so reads the 32-bit view on 64-bit Windows.
constexpr REGSAM kReadAccess = KEY_READ | (sizeof(void*) == 8 ? KEY_WOW64_64KEY : 0);

// A JavaSoft JDK key and its JRE twin: CurrentVersion values and version
// subkeys holding "JavaHome".
struct JavaSoftKeys {
    const char* jdk;
    const char* jre;
    // The keys of Java 9 and later are read beyond the original rules; a
    // version subkey without a home there is reported.
    bool reportShape;
};
constexpr JavaSoftKeys kJavaSoftKeys = {"SOFTWARE\\JavaSoft\\Java Development Kit",
                                        "SOFTWARE\\JavaSoft\\Java Runtime Environment", false};
constexpr JavaSoftKeys kJavaSoftKeys9 = {"SOFTWARE\\JavaSoft\\JDK", "SOFTWARE\\JavaSoft\\JRE", true};

// Keys that the installers of OpenJDK builds write instead: one subkey per
// installed runtime, its home in `homeValue` of `homeKey` below it.
struct VendorKey {
    const char* base;
    const char* homeKey;  // "" for the version subkey itself
    const char* homeValue;
    bool jreOnly;        // skipped with RequireJdk
    bool versionNames;   // subkeys are named by version, so bounds can sort them out unprobed
};
constexpr VendorKey kVendorKeys[] = {
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "hotspot\\MSI", "Path", false, true},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "hotspot\\MSI", "Path", true, true},
    {"SOFTWARE\\Eclipse Foundation\\JDK", "hotspot\\MSI", "Path", false, true},
    {"SOFTWARE\\Eclipse Foundation\\JRE", "hotspot\\MSI", "Path", true, true},
    {"SOFTWARE\\AdoptOpenJDK\\JDK", "hotspot\\MSI", "Path", false, true},
    {"SOFTWARE\\AdoptOpenJDK\\JRE", "hotspot\\MSI", "Path", true, true},
    {"SOFTWARE\\Microsoft\\JDK", "hotspot\\MSI", "Path", false, true},
    // Named like "zulu-17": not a version.
    {"SOFTWARE\\Azul Systems\\Zulu", "", "InstallationPath", false, false},
};

struct Candidate {
    std::string javaExecutable;
    std::string version;
    std::string source;  // the key it was registered under, for the log
};

// A string value that fits `capacity` bytes including a terminator; values
// stored without one are terminated here.
bool readString(HKEY key, const char* name, DWORD capacity, std::string& value) {
    std::vector<char> buffer(capacity);
    DWORD size = capacity - 1;
    if (advapi32::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    buffer[size < capacity ? size : capacity - 1] = '\0';
    value = buffer.data();
    return true;
}

bool readString(HKEY root, const std::string& keyName, const char* name, DWORD capacity, std::string& value) {
    ScopedKey key;
    if (advapi32::RegOpenKeyExA(root, keyName.c_str(), 0, kReadAccess, key.receive()) != ERROR_SUCCESS)
        return false;
    return readString(key.get(), name, capacity, value);
}

// A home directory from a key written by today's installers: a non-empty
// REG_SZ that fits the buffer, without the trailing backslash some write.
bool readHome(HKEY key, const char* name, std::string& home) {
    DWORD type = 0;
    DWORD size = 0;
    if (advapi32::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size >= kValueCapacity || !readString(key, name, kValueCapacity, home))
        return false;
    while (home.size() > 3 && home.back() == '\\')
        home.pop_back();
    return !home.empty();
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
        const LONG status = advapi32::RegEnumKeyExA(key, index, name.data(), &nameSize, nullptr, keyClass.data(),
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
    result = Candidate{javaExecutable, version, std::string()};
    return true;
}

std::string currentVersionInRange(const char* keyName, const VersionBounds& bounds) {
    std::string version;
    if (!readString(HKEY_LOCAL_MACHINE, keyName, "CurrentVersion", kCurrentVersionCapacity, version) ||
        !isVersionInRange(version, bounds.lower, bounds.upper))
        return std::string();
    return version;
}

bool findCurrentVersionJvm(const JavaSoftKeys& keys, const VersionBounds& bounds, Candidate& result) {
    const std::string jdkVersion = currentVersionInRange(keys.jdk, bounds);
    const std::string jreVersion =
        getConfigBool(rec::RequireJdk) ? std::string() : currentVersionInRange(keys.jre, bounds);
    const std::string key = compareVersionNumbers(jdkVersion, jreVersion) > 0
                                ? std::string(keys.jdk) + "\\" + jdkVersion
                                : std::string(keys.jre) + "\\" + jreVersion;
    std::string home;
    if (!readString(HKEY_LOCAL_MACHINE, key, "JavaHome", kValueCapacity, home))
        return false;
    if (!probeHome(home, bounds, result))
        return false;
    result.source = key;
    return true;
}

bool findEnumeratedJvm(const char* baseKey, bool reportShape, const VersionBounds& bounds, Candidate& result) {
    ScopedKey base;
    if (advapi32::RegOpenKeyExA(HKEY_LOCAL_MACHINE, baseKey, 0, kReadAccess, base.receive()) != ERROR_SUCCESS)
        return false;
    std::vector<std::string> versions;
    for (std::string& name : subkeyNames(base.get()))
        if (isVersionInRange(name, bounds.lower, bounds.upper))
            versions.push_back(std::move(name));
    std::sort(versions.begin(), versions.end(),
              [](const std::string& a, const std::string& b) { return compareVersionNumbers(a, b) < 0; });
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        std::string home;
        if (!readString(base.get(), *it, "JavaHome", kValueCapacity, home)) {
            if (reportShape)
                logMessage("skipping registry key %s\\%s: no JavaHome value", baseKey, it->c_str());
            continue;
        }
        if (probeHome(home, bounds, result)) {
            result.source = std::string(baseKey) + "\\" + *it;
            return true;
        }
    }
    return false;
}

bool findJavaSoftJvm(const JavaSoftKeys& keys, const VersionBounds& bounds, Candidate& result) {
    if (findCurrentVersionJvm(keys, bounds, result))
        return true;
    if (!getConfigBool(rec::RequireJdk) && findEnumeratedJvm(keys.jre, keys.reportShape, bounds, result))
        return true;
    return findEnumeratedJvm(keys.jdk, keys.reportShape, bounds, result);
}

// The greatest accepted runtime below one vendor key; of equal versions the
// first enumerated.
bool findVendorJvmUnder(const VendorKey& vendor, const VersionBounds& bounds, Candidate& best) {
    ScopedKey base;
    if (advapi32::RegOpenKeyExA(HKEY_LOCAL_MACHINE, vendor.base, 0, kReadAccess, base.receive()) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (const std::string& name : subkeyNames(base.get())) {
        if (vendor.versionNames && !isVersionInRange(name, bounds.lower, bounds.upper))
            continue;
        const std::string keyName = vendor.homeKey[0] ? name + "\\" + vendor.homeKey : name;
        std::string home;
        {
            ScopedKey key;
            if (advapi32::RegOpenKeyExA(base.get(), keyName.c_str(), 0, kReadAccess, key.receive()) != ERROR_SUCCESS ||
                !readHome(key.get(), vendor.homeValue, home)) {
                logMessage("skipping registry key %s\\%s: no %s text value", vendor.base, keyName.c_str(),
                           vendor.homeValue);
                continue;
            }
        }
        Candidate candidate;
        if (probeHome(home, bounds, candidate) &&
            (!found || compareVersionNumbers(candidate.version, best.version) > 0)) {
            candidate.source = std::string(vendor.base) + "\\" + name;
            best = candidate;
            found = true;
        }
    }
    return found;
}

bool findVendorJvm(const VersionBounds& bounds, Candidate& best) {
    bool found = false;
    for (const VendorKey& vendor : kVendorKeys) {
        if (vendor.jreOnly && getConfigBool(rec::RequireJdk))
            continue;
        Candidate candidate;
        if (findVendorJvmUnder(vendor, bounds, candidate) &&
            (!found || compareVersionNumbers(candidate.version, best.version) > 0)) {
            best = candidate;
            found = true;
        }
    }
    return found;
}

// The runtime installers' keys: the original JavaSoft keys by their own
// rules, then the keys of Java 9 and later and of the OpenJDK builds; the
// greatest version wins, the earlier source on equal versions.
bool findInstalledJvm(const VersionBounds& bounds, Candidate& result) {
    bool found = findJavaSoftJvm(kJavaSoftKeys, bounds, result);
    if (found)
        logMessage("found sun %s %s", result.javaExecutable.c_str(), result.version.c_str());
    Candidate later[2];
    const bool haveLater[2] = {findJavaSoftJvm(kJavaSoftKeys9, bounds, later[0]),
                               findVendorJvm(bounds, later[1])};
    for (int i = 0; i < 2; ++i) {
        if (!haveLater[i])
            continue;
        logMessage("found registered %s %s under %s", later[i].javaExecutable.c_str(), later[i].version.c_str(),
                   later[i].source.c_str());
        if (!found || compareVersionNumbers(later[i].version, result.version) > 0) {
            result = later[i];
            found = true;
        }
    }
    return found;
}

// The greatest accepted version below one root; of equal versions the first
// enumerated.
bool findLocatedJvmUnder(HKEY root, const VersionBounds& bounds, Candidate& best) {
    ScopedKey key;
    if (advapi32::RegOpenKeyExA(root, kLocatedKey, 0, kReadAccess, key.receive()) != ERROR_SUCCESS)
        return false;
    bool found = false;
    best.version.clear();
    for (const std::string& name : subkeyNames(key.get())) {
        std::string javaExecutable = replaceChar(name, '/', '\\');
        std::string version;
        if (checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, true) &&
            compareVersionNumbers(version, best.version) > 0) {
            best = Candidate{javaExecutable, version, std::string()};
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
    if (haveUser && (!haveMachine || compareVersionNumbers(user.version, machine.version) > 0))
        result = user;
    else if (haveMachine)
        result = machine;
    return haveUser || haveMachine;
}

}  // namespace

bool findRegisteredJvm(const VersionBounds& bounds, std::string& javaExecutable) {
    Candidate javaSoft;
    Candidate located;
    const bool haveJavaSoft = findInstalledJvm(bounds, javaSoft);
    const bool haveLocated = findLocatedJvm(bounds, located);
    if (haveLocated)
        logMessage("found located %s %s", located.javaExecutable.c_str(), located.version.c_str());
    if (haveLocated && (!haveJavaSoft || compareVersionNumbers(javaSoft.version, located.version) <= 0))
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
        if (advapi32::RegOpenKeyExA(root, kInstallationsKey, 0, kReadAccess, key.receive()) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        if (advapi32::RegQueryValueExA(key.get(), applicationId.c_str(), nullptr, nullptr, nullptr, &size) !=
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
