#include "runtime/RegistryRuntimes.h"

#include <algorithm>
#include <vector>

#include "core/Advapi32.h"
#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "runtime/JavaProbe.h"
#include "runtime/RuntimeText.h"
#include "runtime/SearchReport.h"
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
    // The keys of Java 9 and later: their CurrentVersion is whatever was
    // installed last, so the greatest version in range is taken instead, and
    // a version subkey without a home is reported.
    bool modern;
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
    {"SOFTWARE\\Semeru\\JDK", "openj9\\MSI", "Path", false, true},
    {"SOFTWARE\\Semeru\\JRE", "openj9\\MSI", "Path", true, true},
    // Named like "zulu-17" or after the product: not a version.
    {"SOFTWARE\\Azul Systems\\Zulu", "", "InstallationPath", false, false},
    {"SOFTWARE\\BellSoft\\Liberica", "", "InstallationPath", false, false},
};

// Machine-wide installs first: on equal versions the earlier source wins,
// so a per-user install of the same version does not replace the machine's.
const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// A key's name in log lines; per-user keys say so.
std::string keyText(HKEY root, const std::string& name) {
    return root == HKEY_CURRENT_USER ? "HKCU\\" + name : name;
}

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

// Whether the text ends in a backslash of its own, not in the second byte of
// a double-byte character that happens to be 0x5C (ソ, 表, 能 in code page
// 932): the value was read in the ANSI code page.
bool endsWithBackslash(const std::string& text) {
    if (text.empty() || text.back() != '\\')
        return false;
    size_t i = 0;
    while (i + 1 < text.size())
        i += IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1;
    return i == text.size() - 1;
}

// A home directory from a key written by today's installers: a non-empty
// REG_SZ that fits the buffer, without the trailing backslash some write.
bool readHome(HKEY key, const char* name, std::string& home) {
    DWORD type = 0;
    DWORD size = 0;
    if (advapi32::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size >= kValueCapacity || !readString(key, name, kValueCapacity, home))
        return false;
    while (home.size() > 3 && endsWithBackslash(home))
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

// A runtime whose key name lies outside the bounds is not probed; the user
// who is told that nothing fits still learns it is there and why.
void noteOutOfRange(const std::string& home, const std::string& version, const VersionBounds& bounds) {
    const std::string canonical = canonicalPath(home, true);
    if (!pathExists(canonical))
        return;
    const bool old = judgeVersion(version, bounds.lower, bounds.upper, true) == VersionVerdict::BelowLower;
    noteRefusedRuntime(canonical, version, old ? "too old" : "too new");
}

std::string currentVersionInRange(HKEY root, const char* keyName, const VersionBounds& bounds) {
    std::string version;
    if (!readString(root, keyName, "CurrentVersion", kCurrentVersionCapacity, version) ||
        !isVersionInRange(reportedVersionOfKeyName(version), bounds.lower, bounds.upper))
        return std::string();
    return version;
}

bool findCurrentVersionJvm(HKEY root, const JavaSoftKeys& keys, const VersionBounds& bounds, Candidate& result) {
    const std::string jdkVersion = currentVersionInRange(root, keys.jdk, bounds);
    const std::string jreVersion =
        getConfigBool(rec::RequireJdk) ? std::string() : currentVersionInRange(root, keys.jre, bounds);
    const std::string key = compareVersionNumbers(jdkVersion, jreVersion) > 0
                                ? std::string(keys.jdk) + "\\" + jdkVersion
                                : std::string(keys.jre) + "\\" + jreVersion;
    std::string home;
    if (!readString(root, key, "JavaHome", kValueCapacity, home))
        return false;
    if (!probeHome(home, bounds, result))
        return false;
    result.source = keyText(root, key);
    return true;
}

// Version subkeys are walked from the greatest name in range down; the first
// runtime accepted ends the walk. Names are taken as the runtime would
// report them ("1.8.0.212" as 1.8.0_212).
bool findEnumeratedJvm(HKEY root, const char* baseKey, bool reportShape, const VersionBounds& bounds,
                       Candidate& result) {
    ScopedKey base;
    if (advapi32::RegOpenKeyExA(root, baseKey, 0, kReadAccess, base.receive()) != ERROR_SUCCESS)
        return false;
    std::vector<std::string> versions;
    for (std::string& name : subkeyNames(base.get())) {
        const std::string reported = reportedVersionOfKeyName(name);
        if (isVersionInRange(reported, bounds.lower, bounds.upper)) {
            versions.push_back(std::move(name));
            continue;
        }
        std::string home;
        if (readString(base.get(), name, "JavaHome", kValueCapacity, home))
            noteOutOfRange(home, reported, bounds);
    }
    std::sort(versions.begin(), versions.end(), [](const std::string& a, const std::string& b) {
        return compareVersionNumbers(reportedVersionOfKeyName(a), reportedVersionOfKeyName(b)) < 0;
    });
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        std::string home;
        if (!readString(base.get(), *it, "JavaHome", kValueCapacity, home)) {
            if (reportShape)
                logMessage("skipping registry key %s\\%s: no JavaHome value", keyText(root, baseKey).c_str(),
                           it->c_str());
            continue;
        }
        if (probeHome(home, bounds, result)) {
            result.source = keyText(root, std::string(baseKey) + "\\" + *it);
            return true;
        }
    }
    return false;
}

// The keys up to Java 8 by their original rules: CurrentVersion first, then
// the JRE versions, then the JDK versions.
bool findJavaSoftJvm(HKEY root, const JavaSoftKeys& keys, const VersionBounds& bounds, Candidate& result) {
    if (findCurrentVersionJvm(root, keys, bounds, result))
        return true;
    if (!getConfigBool(rec::RequireJdk) && findEnumeratedJvm(root, keys.jre, keys.modern, bounds, result))
        return true;
    return findEnumeratedJvm(root, keys.jdk, keys.modern, bounds, result);
}

// The keys since Java 9: the greater of the best JRE and the best JDK, the
// JRE on equal versions; CurrentVersion is not read.
bool findModernJavaSoftJvm(HKEY root, const JavaSoftKeys& keys, const VersionBounds& bounds, Candidate& result) {
    Candidate jre;
    Candidate jdk;
    const bool haveJre =
        !getConfigBool(rec::RequireJdk) && findEnumeratedJvm(root, keys.jre, keys.modern, bounds, jre);
    const bool haveJdk = findEnumeratedJvm(root, keys.jdk, keys.modern, bounds, jdk);
    if (haveJdk && (!haveJre || compareVersionNumbers(jdk.version, jre.version) > 0))
        result = jdk;
    else if (haveJre)
        result = jre;
    return haveJre || haveJdk;
}

// The greatest accepted runtime below one vendor key; of equal versions the
// first enumerated.
bool findVendorJvmUnder(HKEY root, const VendorKey& vendor, const VersionBounds& bounds, Candidate& best) {
    ScopedKey base;
    if (advapi32::RegOpenKeyExA(root, vendor.base, 0, kReadAccess, base.receive()) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (const std::string& name : subkeyNames(base.get())) {
        const std::string keyName = vendor.homeKey[0] ? name + "\\" + vendor.homeKey : name;
        std::string home;
        {
            ScopedKey key;
            if (advapi32::RegOpenKeyExA(base.get(), keyName.c_str(), 0, kReadAccess, key.receive()) != ERROR_SUCCESS ||
                !readHome(key.get(), vendor.homeValue, home)) {
                logMessage("skipping registry key %s\\%s: no %s text value", keyText(root, vendor.base).c_str(),
                           keyName.c_str(), vendor.homeValue);
                continue;
            }
        }
        // "8.0.392.8" names a runtime that reports 1.8.0_392: the name is
        // held against the bounds in that form, or a legacy bound "1.8"
        // would drop it.
        const std::string reported = reportedVersionOfKeyName(name);
        if (vendor.versionNames && !isVersionInRange(reported, bounds.lower, bounds.upper)) {
            logMessage("skipping registry key %s\\%s: version out of range", keyText(root, vendor.base).c_str(),
                       name.c_str());
            noteOutOfRange(home, reported, bounds);
            continue;
        }
        Candidate candidate;
        if (probeHome(home, bounds, candidate) &&
            (!found || compareVersionNumbers(candidate.version, best.version) > 0)) {
            candidate.source = keyText(root, std::string(vendor.base) + "\\" + name);
            best = candidate;
            found = true;
        }
    }
    return found;
}

bool findVendorJvm(HKEY root, const VersionBounds& bounds, Candidate& best) {
    bool found = false;
    for (const VendorKey& vendor : kVendorKeys) {
        if (vendor.jreOnly && getConfigBool(rec::RequireJdk))
            continue;
        Candidate candidate;
        if (findVendorJvmUnder(root, vendor, bounds, candidate) &&
            (!found || compareVersionNumbers(candidate.version, best.version) > 0)) {
            best = candidate;
            found = true;
        }
    }
    return found;
}

// The runtime installers' keys, machine-wide and then per user: the original
// JavaSoft keys by their own rules, the keys of Java 9 and later and those
// of the OpenJDK builds; the greatest version wins, the earlier source on
// equal versions.
bool findInstalledJvm(const VersionBounds& bounds, Candidate& result) {
    bool found = false;
    for (HKEY root : kRoots) {
        Candidate candidates[3];
        const bool have[3] = {findJavaSoftJvm(root, kJavaSoftKeys, bounds, candidates[0]),
                              findModernJavaSoftJvm(root, kJavaSoftKeys9, bounds, candidates[1]),
                              findVendorJvm(root, bounds, candidates[2])};
        for (int i = 0; i < 3; ++i) {
            if (!have[i])
                continue;
            if (i == 0 && root == HKEY_LOCAL_MACHINE)
                logMessage("found sun %s %s", candidates[i].javaExecutable.c_str(), candidates[i].version.c_str());
            else
                logMessage("found registered %s %s under %s", candidates[i].javaExecutable.c_str(),
                           candidates[i].version.c_str(), candidates[i].source.c_str());
            if (!found || compareVersionNumbers(candidates[i].version, result.version) > 0) {
                result = candidates[i];
                found = true;
            }
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
