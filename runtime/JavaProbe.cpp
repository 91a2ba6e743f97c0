#include "runtime/JavaProbe.h"


#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "runtime/LauncherMachine.h"
#include "runtime/MachineCheck.h"
#include "runtime/ProbeEnvironment.h"
#include "runtime/RuntimeImage.h"
#include "runtime/RuntimeText.h"
#include "runtime/SearchReport.h"
#include "runtime/VersionCache.h"
#include "runtime/VersionRules.h"
#include "services/TempDir.h"

namespace {

constexpr char kFailedRunVersion[] = "1.0.0";
constexpr int kPathCapacity = 8192;
// The version line is read as into a buffer of 100 bytes: a longer first line
// names no version the launcher could use anyway.
constexpr size_t kVersionLineCapacity = 100;
DWORD probeTimeoutMs = 60000;

// A JDK up to 8 has lib\tools.jar and its VM in jre\bin; since 9 there is
// neither, and bin\javac.exe tells a JDK from a runtime image, whose VM lies
// in bin\server.
bool isJdkHome(const std::string& home, std::string& javaExecutable) {
    if (pathExists(home + "\\lib\\tools.jar"))
        return true;
    if (pathExists(home + "\\bin\\javac.exe")) {
        javaExecutable = home + "\\bin\\java.exe";
        return true;
    }
    logMessage("%s is not a JDK: it has neither lib\\tools.jar nor bin\\javac.exe", home.c_str());
    std::string library;
    if (pathExists(home + "\\bin\\java.exe") || findVmLibrary(home + "\\bin\\java.exe", library))
        noteRefusedRuntime(canonicalPath(home, true), "", "not a JDK");
    return false;
}

std::string probeCommandLine(const std::string& javaExecutable) {
    char shortPath[kPathCapacity];
    const DWORD n = GetShortPathNameA(javaExecutable.c_str(), shortPath, sizeof shortPath);
    std::string program = (n > 0 && n < sizeof shortPath) ? std::string(shortPath, n) : javaExecutable;
    // Without short names (they can be switched off per volume) the path may
    // keep its blanks; unquoted, "c:\program files\..." would start
    // c:\program.exe.
    if (program.find(' ') != std::string::npos)
        program = '"' + program + '"';
    return program + " -version";
}

}  // namespace

void setProbeTimeout(DWORD milliseconds) { probeTimeoutMs = milliseconds; }

bool javaExecutableForHome(const std::string& home, std::string& javaExecutable) {
    javaExecutable = home + "\\jre\\bin\\java.exe";
    if (getConfigBool(rec::RequireJdk))
        return isJdkHome(home, javaExecutable);
    if (!pathExists(javaExecutable))
        javaExecutable = home + "\\bin\\java.exe";
    return true;
}

bool isVersionAccepted(const std::string& version, const std::string& lower, const std::string& upper,
                       bool betaAllowed) {
    const VersionVerdict verdict =
        judgeVersion(version, lower, upper, betaAllowed || getConfigBool(rec::AllowBetaJvm));
    if (verdict == VersionVerdict::Beta)
        logMessage("beta vm not allowed");
    return verdict == VersionVerdict::Accepted;
}

bool runJavaVersion(const std::string& javaExecutable, const FILETIME& lastWrite, std::string& version) {
    std::string command = probeCommandLine(javaExecutable);
    char outputName[kPathCapacity] = "";
    makeTempFileName(outputName, sizeof outputName);
    if (outputName[0] == '\0') {
        logMessage("no temporary file for %s", command.c_str());
        return false;
    }

    ScopedHandle errorOutput;
    {
        ScopedHandle created(CreateFileA(outputName, GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        HANDLE inheritable = nullptr;
        if (created.valid() && DuplicateHandle(GetCurrentProcess(), created.get(), GetCurrentProcess(),
                                               &inheritable, 0, TRUE, DUPLICATE_SAME_ACCESS))
            errorOutput = ScopedHandle(inheritable);
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdError = errorOutput.get();
    PROCESS_INFORMATION process = {};
    std::u16string environment;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        environment = probeEnvironmentBlock(reinterpret_cast<const char16_t*>(block));
        FreeEnvironmentStringsW(block);
    }
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS | (environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT),
                        environment.empty() ? nullptr : environment.data(), nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        logMessage("Could not create process %s > %s (error %lu)", command.c_str(), outputName, error);
        errorOutput.close();
        DeleteFileA(outputName);
        return false;
    }
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);

    WaitForSingleObject(processHandle.get(), probeTimeoutMs);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    logMessage("Exit Code %lu", exitCode);
    if (exitCode == STILL_ACTIVE) {
        logMessage("Terminating process");
        TerminateProcess(processHandle.get(), 1);
        // Until it has really gone it may hold the output file open, and the
        // file could not be deleted.
        WaitForSingleObject(processHandle.get(), 5000);
    } else if (exitCode != 0) {
        versionCacheStore(javaExecutable, lastWrite, kFailedRunVersion);
    }
    processHandle.close();
    threadHandle.close();
    // Read through the handle the child wrote with (the file is not opened a
    // second time) and without the C library's stdio, whose first use in a
    // process costs more than the rest of the reading; as text, the way
    // fgets reads it.
    std::string line;
    if (exitCode == 0 && errorOutput.valid()) {
        LARGE_INTEGER start = {};
        char raw[2 * kVersionLineCapacity];
        DWORD got = 0;
        if (SetFilePointerEx(errorOutput.get(), start, nullptr, FILE_BEGIN) &&
            ReadFile(errorOutput.get(), raw, sizeof raw, &got, nullptr))
            line = firstTextLine(std::string_view(raw, got), kVersionLineCapacity);
    }
    errorOutput.close();
    if (exitCode != 0) {
        DeleteFileA(outputName);
        return false;
    }

    const bool haveLine = !line.empty();
    DeleteFileA(outputName);
    if (!haveLine || !parseVersionLine(line.c_str(), version))
        return false;
    logMessage("Java version: %s", version.c_str());
    return true;
}

namespace {

// Every refusal is logged where it is made, and kept for the message that
// tells the user what was found when nothing fits.
void refuse(const std::string& home, const std::string& version, const std::string& reason,
            const std::string& otherWidth = {}) {
    const RefusedRuntime refused{home, version, reason, otherWidth};
    logMessage("passed over: %s", describeRefusedRuntime(refused).c_str());
    noteRefusedRuntime(home, version, reason, otherWidth);
}

const char* refusalReason(VersionVerdict verdict) {
    switch (verdict) {
    case VersionVerdict::Beta:
        return "beta release";
    case VersionVerdict::BelowLower:
        return "too old";
    case VersionVerdict::AboveUpper:
        return "too new";
    default:
        return "accepted";
    }
}

}  // namespace

bool checkJavaExe(std::string& javaExecutable, std::string& version, const std::string& lower,
                  const std::string& upper, bool betaAllowed) {
    logMessage("checkJavaExe (%s, [out], %s, %s, %d)", javaExecutable.c_str(), lower.c_str(), upper.c_str(),
               betaAllowed ? 1 : 0);
    javaExecutable = canonicalPath(javaExecutable, true);

    // The attributes are one call; a directory search for the one name
    // costs several under some file systems.
    FILETIME lastWrite = {};
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    const bool exists = GetFileAttributesExA(javaExecutable.c_str(), GetFileExInfoStandard, &attributes) != 0;
    if (exists)
        lastWrite = attributes.ftLastWriteTime;
    // A runtime made with jlink --strip-native-commands has its VM library
    // and no java.exe: the library is what the launcher loads anyway.
    std::string vmLibrary;
    if (!exists && !findVmLibrary(javaExecutable, vmLibrary)) {
        logMessage("file doesn't exist");
        logMessage("checkJavaExe returning 0");
        return false;
    }
    const std::string home = runtimeRootOf(javaExecutable);
    if (exists)
        logMessage("file exists");
    else
        logMessage("no java.exe; the runtime has its VM library %s", vmLibrary.c_str());
    version.clear();

    bool accepted = false;
    bool judged = false;
    std::string releaseFile;
    // A process can only load a jvm.dll of its own machine, and a runtime's
    // java executable is built for the same machine as its library. Reading
    // the header costs no process start, so a runtime of the other width is
    // passed over even when the cache would answer for it.
    uint16_t machine = 0;
    if (checkRuntimeMachine(exists ? javaExecutable : vmLibrary, &machine) == MachineCheck::Other) {
        if (machine) {
            // Its release file, when it has one, says which Java it is.
            if (!readReleaseVersion(javaExecutable, version, releaseFile))
                version.clear();
            const std::string width = machineWidth(machine);
            refuse(home, version, otherWidthReason(width, thisLauncher.bits), width);
        } else {
            refuse(home, "", "not a Windows program");
        }
    } else if (readReleaseVersion(javaExecutable, version, releaseFile)) {
        // The release file says what "-version" would print, without a
        // process start (a whole JVM on Windows).
        logMessage("got version from release file %s: %s", releaseFile.c_str(), version.c_str());
        judged = true;
    } else if (!exists) {
        if (lower.empty() && upper.empty()) {
            logMessage("version unknown (no release file with JAVA_VERSION); accepted, no bounds are configured");
            accepted = true;
        } else {
            logMessage("version unknown (no release file with JAVA_VERSION, no java.exe): passed over, since "
                       "version bounds are configured");
            refuse(home, "", "version unknown: no release file and no java.exe");
        }
    } else if (versionCacheLookup(javaExecutable, lastWrite, version) && version != kFailedRunVersion) {
        logMessage("got version from registry %s", version.c_str());
        judged = true;
    } else if (runJavaVersion(javaExecutable, lastWrite, version)) {
        logMessage("got version from execution %s", version.c_str());
        versionCacheStore(javaExecutable, lastWrite, version);
        judged = true;
    } else {
        logMessage("couldn't get version");
        refuse(home, "", "java.exe -version failed");
    }
    if (judged) {
        const VersionVerdict verdict =
            judgeVersion(version, lower, upper, betaAllowed || getConfigBool(rec::AllowBetaJvm));
        if (verdict == VersionVerdict::Beta)
            logMessage("beta vm not allowed");
        accepted = verdict == VersionVerdict::Accepted;
        if (!accepted)
            refuse(home, version, refusalReason(verdict));
    }

    // Without java.exe there is no javaw.exe either, and none is needed: the
    // VM is loaded into this process.
    if (accepted && exists && getConfigInt(rec::ExecutableType) == 1) {
        javaExecutable = windowedExecutableOf(javaExecutable);
        accepted = pathExists(javaExecutable);
        if (!accepted)
            refuse(home, version, "no javaw.exe");
    }
    logMessage("checkJavaExe returning %d", accepted ? 1 : 0);
    return accepted;
}
