// Entry point of the launcher: runs the start-up steps in their fixed order.
// Every step either returns (the start goes on) or ends the process through
// exitLauncher with its exit code.
#include <cstring>
#include <string>

#include "core/CommandLine.h"
#include "core/ConfigStore.h"
#include "core/Console.h"
#include "core/Errors.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/NativeLibraryPath.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "core/StepTimes.h"
#include "core/UserInterface.h"
#include "jvm/JavaVMLauncher.h"
#include "jvm/Locale.h"
#include "jvm/Variables.h"
#include "runtime/JvmLibrary.h"
#include "runtime/JvmSearch.h"
#include "runtime/RuntimeLibrarySearch.h"
#include "services/SingleInstance.h"
#include "services/TempDir.h"
#include "splash/SplashWindow.h"

namespace {

constexpr unsigned exitCodeNoJvm = 83;

bool isCreateLogSwitch(const std::u16string& arg) {
    return arg == u"-create-vdl-log" || arg == u"-create-kvo-log" || arg == u"/create-vdl-log" ||
           arg == u"/create-kvo-log";
}

// Returns false for the reboot keyword, after the reboot request.
bool handleFirstArguments(const char* tail) {
    if (tail && tail[0] != '\0' && std::strcmp(tail, "__vdl_reboot") == 0) {
        rebootSystem();
        return false;
    }
    if (tail && std::strncmp(tail, "__vdl_lang_restart", 18) == 0)
        langRestart = true;
    if (tail && std::strncmp(tail, "-q_vdl_internal", 15) == 0) {
        useErrorDialogs = false;
        quietSwitchGiven = true;
    }
    return true;
}

void setWorkingDirectory() {
    std::string dir = getConfigString(rec::WorkingDirectory);
    if (dir.empty()) {
        logMessage("working directory unchanged");
        return;
    }
    expandVariables(dir);
    dir = canonicalPath(dir, false);
    SetCurrentDirectoryA(dir.c_str());
    logMessage("change working directory to %s", dir.c_str());
}

// The title of the launcher's own dialogs: the application's name, which
// tells the user whose dialog it is, else the product's.
const char* dialogTitle(const char* productName) {
    const char* name = getConfigString(rec::ApplicationName);
    return *name ? name : productName;
}

void offerLogInExplorer() {
    const char* path = logFilePath();
    std::string text = "The following log file will be created:\n\n";
    text += path ? path : "";
    text += "\n\nDo you want to open an Explorer window?";
    if (showMessageBox(nullptr, text.c_str(), dialogTitle(productTitle), MB_YESNO) != IDYES)
        return;
    char shortPath[MAX_PATH] = "";
    char windowsDir[MAX_PATH] = "";
    GetShortPathNameA(path ? path : "", shortPath, MAX_PATH);
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    std::string command = std::string(windowsDir) + "\\explorer.exe /select," + shortPath;
    logMessage("calling %s", command.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        logMessage("could not open explorer window %lu", GetLastError());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void hideSplashForError() { showSplash(0); }

// The step-times clock: the benchmark's own (milliseconds since the process
// was created). The precise system time exists since Windows 8.
double millisecondsSinceCreation() {
    using PreciseTime = void(WINAPI*)(LPFILETIME);
    static const PreciseTime precise = kernel32Function<PreciseTime>("GetSystemTimePreciseAsFileTime");
    FILETIME now, created, exited, kernel, user;
    if (precise)
        precise(&now);
    else
        GetSystemTimeAsFileTime(&now);
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const ULONGLONG a = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG b = (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return double(a - b) / 10000.0;
}

// An early end leaves through ExitProcess, which runs no exit handlers.
void endBeforeExit() {
    removeLauncherTempDir();
    writeStepTimes();
}

// The lower layers call up only through what is registered here.
void wireLayers() {
    setBeforeErrorShown(hideSplashForError);
    setBeforeExit(endBeforeExit);
    setSearchTextExpander(expandVariables);
}

void initialise(WideArgs& args, HINSTANCE instance) {
    launcherTempDir[0] = '\0';
    if (args.size() > 1 && isCreateLogSwitch(args[1])) {
        args.erase(args.begin() + 1);
        createLogRequested = true;
    }
    loadConfiguration(args, determineLocale);
    launcherInstance = instance;
    char flavor[2];
    getConfigString(rec::ProductFlavor, flavor, sizeof flavor);
    productFlavor = flavor[0];
    productTitle = productFlavor == 'e' ? "korvo" : "vandrel";
    if (!langRestart)
        setWorkingDirectory();
    if (createLogRequested)
        offerLogInExplorer();
}

void applyLauncherSwitches(const WideArgs& args) {
    const bool quiet = getConfigBool(rec::QuietSwitches);
    if (!quiet && !getConfigBool(rec::ConsoleSwitch))
        return;
    for (const std::u16string& arg : args) {
        if (quiet && arg == u"-q") {
            useErrorDialogs = false;
            quietSwitchGiven = true;
        } else if (arg == u"-console") {
            attachConsole();
        } else if (quiet && arg == u"-c") {
            useErrorDialogs = false;
            quietSwitchGiven = true;
            if (attachConsole())
                break;
            showMessageBox(nullptr, "Error: Could not allocate console.", dialogTitle("vandrel"), MB_OK);
            exitLauncher(1);
        }
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR tail, int showCommand) {
    beginStepTimes(millisecondsSinceCreation);
    keepWorkingDirectoryOffLibrarySearch();
    wireLayers();
    // The common controls are initialised before the first window instead
    // (initCommonControls): a start without one never loads them.
    if (!handleFirstArguments(tail))
        return 0;

    WideArgs args;
    splitArguments(reinterpret_cast<const char16_t*>(GetCommandLineW()), args);
    initialise(args, instance);
    applyLauncherSwitches(args);
    if (!langRestart)
        checkSingleInstance();
    if (getConfigBool(rec::SplashEnabled) && !getConfigBool(rec::JavaSplashLibrary))
        showSplash(showCommand);
    if (extractIncludedFiles(true) != 0)
        fatalErrorMessage(msg::InternalError, "16");
    setNativeLibraryPath(expandVariables);
    if (!LoadDLL())
        exitLauncher(exitCodeNoJvm);
    if (getConfigBool(rec::SplashEnabled) && getConfigBool(rec::JavaSplashLibrary))
        showSplash(showCommand);
    setBeforeDestroyJavaVM(endSplashForJvmEnd);
    if (!launchProgram(args, true))
        fatalErrorMessage(msg::JvmNotStarted, nullptr, launchFailureDetail());
    return 0;
}
