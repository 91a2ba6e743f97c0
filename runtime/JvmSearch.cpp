#include "runtime/JvmSearch.h"

#include <cstdio>

#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "runtime/JavaProbe.h"
#include "runtime/LauncherMachine.h"
#include "runtime/MachineCheck.h"
#include "runtime/PackedRuntime.h"
#include "runtime/PathJava.h"
#include "runtime/RegistryRuntimes.h"
#include "runtime/RuntimeImage.h"
#include "runtime/RuntimeText.h"
#include "runtime/SearchReport.h"
#include "runtime/VersionRules.h"
#include "services/RuntimeClasses.h"

namespace {

constexpr char kPreferredLocationFile[] = "\\.vandrel\\pref_jre.cfg";
constexpr char kInstallerLocationFile[] = "\\.vandrel\\inst_jre.cfg";
constexpr DWORD kValueCapacity = 8192;

SearchTextExpander searchTextExpander = nullptr;

FoundRuntime found(FoundBy how, std::string javaExecutable, std::string location) {
    FoundRuntime result;
    result.foundBy = how;
    result.javaExecutable = std::move(javaExecutable);
    result.location = std::move(location);
    return result;
}

// Entries "A" and "R" with an absolute text name one fixed place that the
// main pass has judged already; relative ones, and every "B", are retried.
bool retriedInFallback(const SearchEntry& entry) {
    if (entry.letter == 'B')
        return true;
    return (entry.letter == 'A' || entry.letter == 'R') && !isAbsoluteLocation(entry.text);
}

}  // namespace

bool readLocationFile(const char* suffix, std::string& line) {
    const std::string path = canonicalPath(getConfigString(rec::InstallationDirectory), false) + suffix;
    // Most installations have no such file. Asking for its attributes is a
    // fraction of what the C library's first fopen costs.
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return false;
    char buffer[8192];
    const bool haveLine = std::fgets(buffer, sizeof buffer, file) != nullptr;
    std::fclose(file);
    if (!haveLine)
        return false;
    line = buffer;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return true;
}

bool checkLocation(const std::string& location, bool verify, const VersionBounds& bounds,
                   std::string& javaExecutable) {
    const std::string home = canonicalPath(location, true);
    unpackRuntime(home);
    const bool usable = javaExecutableForHome(home, javaExecutable);
    if (!verify)
        return true;
    std::string version;
    return usable && checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, true);
}

bool checkEnvironmentVariable(const char* name, const VersionBounds& bounds, std::string& javaExecutable) {
    char value[kValueCapacity];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    // A value that does not fit was not copied at all.
    if (n == 0 || n >= sizeof value)
        return false;
    std::string home = replaceChar(std::string(value, n), '/', '\\');
    if (stripSurroundingQuotes(home))
        logMessage("%s is written in quotes; using %s", name, home.c_str());
    std::string version;
    return javaExecutableForHome(home, javaExecutable) &&
           checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, false);
}

bool searchPathForJava(const VersionBounds& bounds, std::string& javaExecutable) {
    if (!findJavaOnPath(javaExecutable))
        return false;
    std::string version;
    return checkJavaExe(javaExecutable, version, bounds.lower, bounds.upper, false);
}

void setSearchTextExpander(SearchTextExpander expand) { searchTextExpander = expand; }

VersionBounds searchBounds(bool log) {
    VersionBounds bounds{getConfigString(rec::MinJavaVersion), getConfigString(rec::MaxJavaVersion)};
    if (!carriesJavaHalf(configStore()) || !lowerBoundAdmitsBelowJavaHalf(bounds.lower))
        return bounds;
    if (log)
        logMessage("lower bound %s taken as %s: the launcher's Java half (kvo-runtime.jar) needs Java 8 or later",
                   bounds.lower.empty() ? "(none)" : bounds.lower.c_str(), kJavaHalfLowestVersion.data());
    bounds.lower = lowerBoundForJavaHalf(bounds.lower);
    return bounds;
}

FoundRuntime findJvm() {
    logMessage("Searching for a JVM");
    forgetRefusedRuntimes();
    const std::string sequence = getConfigString(rec::JreSearchSequence);
    const VersionBounds bounds = searchBounds(true);
    std::string javaExecutable;
    std::string line;

    if (readLocationFile(kPreferredLocationFile, line)) {
        logMessage("Has preferred location %s", line.c_str());
        if (checkLocation(line, true, bounds, javaExecutable)) {
            logMessage("Using preferred location");
            return found(Location, javaExecutable, line);
        }
    }

    const std::vector<SearchEntry> entries = splitSearchSequence(sequence);
    for (const SearchEntry& entry : entries) {
        std::string text = entry.text;
        if (searchTextExpander)
            searchTextExpander(text);
        logMessage("Testing location %s (type %c)", text.c_str(), entry.letter);
        switch (entry.letter) {
        case 'A':
        case 'B':
        case 'R':
            if (checkLocation(text, true, bounds, javaExecutable))
                return found(Location, javaExecutable, text);
            break;
        case 'E':
            if (checkEnvironmentVariable(text.c_str(), bounds, javaExecutable))
                return found(EnvironmentVariable, javaExecutable, text);
            break;
        case 'S':
            if (searchPathForJava(bounds, javaExecutable))
                return found(PathSearch, javaExecutable, text);
            break;
        case 'Y':
            if (findRegisteredJvm(bounds, javaExecutable))
                return found(Registry, javaExecutable, std::string());
            break;
        default:
            break;
        }
    }

    if (readLocationFile(kInstallerLocationFile, line)) {
        logMessage("Has installer location %s", line.c_str());
        if (checkLocation(line, true, bounds, javaExecutable)) {
            logMessage("Using installer location");
            return found(Location, javaExecutable, line);
        }
    }

    // Without a version check: a private runtime that exists is better than
    // none, even when its version could not be confirmed.
    for (const SearchEntry& entry : entries) {
        if (!retriedInFallback(entry))
            continue;
        logMessage("Testing relative location %s", entry.text.c_str());
        checkLocation(entry.text, false, bounds, javaExecutable);
        // A runtime without java.exe counts by its VM library.
        std::string vmLibrary;
        if (pathExists(javaExecutable) || findVmLibrary(javaExecutable, vmLibrary)) {
            const std::string& file = vmLibrary.empty() ? javaExecutable : vmLibrary;
            logMessage("%s exists", file.c_str());
            // A runtime of another width exists too, but no launcher of
            // this width can load it: taking it would only fail later.
            uint16_t machine = 0;
            if (checkRuntimeMachine(file, &machine) == MachineCheck::Other && machine) {
                const std::string width = machineWidth(machine);
                logMessage("passed over: %s is built for another machine", file.c_str());
                noteRefusedRuntime(runtimeRootOf(javaExecutable), "", otherWidthReason(width, thisLauncher.bits),
                                   width);
                continue;
            }
            return found(Location, javaExecutable, entry.text);
        }
    }

    if (findPreviousInstallation(HKEY_CURRENT_USER, bounds, javaExecutable)) {
        logMessage("found JRE from previous installation (user) %s", javaExecutable.c_str());
        return found(Registry, javaExecutable, std::string());
    }
    if (findPreviousInstallation(HKEY_LOCAL_MACHINE, bounds, javaExecutable)) {
        logMessage("found JRE from previous installation (machine) %s", javaExecutable.c_str());
        return found(Registry, javaExecutable, std::string());
    }
    logMessage("Search sequence finished");

    for (const char* name : {"KORVO_JAVA_HOME", "VANDREL_JAVA_HOME"})
        if (checkEnvironmentVariable(name, bounds, javaExecutable))
            return found(EnvironmentVariable, javaExecutable, name);
    const std::vector<RefusedRuntime>& refused = refusedRuntimes();
    logMessage("No runtime fits %s; runtimes found: %u", describeVersionRange(bounds.lower, bounds.upper).c_str(),
               static_cast<unsigned>(refused.size()));
    for (const RefusedRuntime& runtime : refused)
        logMessage("  %s", describeRefusedRuntime(runtime).c_str());
    return FoundRuntime();
}
