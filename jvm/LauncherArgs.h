// The argument array of the launcher class's main, and the small text rules
// of the JVM start.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "core/CommandLine.h"

struct LauncherArgsInput {
    bool guiApplication = false;          // ExecutableType == 1
    std::string mainClass;                // as configured, dots kept
    std::u16string outputFile1;           // empty when disabled
    std::u16string outputFile2;
    bool launcherFlag = false;
    WideArgs configuredArguments;         // the split Arguments record
    bool acceptJOptions = false;
};

// GUI flag, main class, output files, flag, command-line name, configured
// arguments, then the user's arguments without the withheld ones.
WideArgs buildLauncherArguments(const LauncherArgsInput& input, const WideArgs& commandLine);

// "-J..." (when accepted as VM options) and "-Dsun.locale.formatasdefault=..."
// are for the launcher, not for the application.
bool isWithheldArgument(std::u16string_view arg, bool acceptJOptions);
// "-J" and a VM option behind it.
bool isJOption(std::u16string_view arg);
// The last "-Dsun.locale.formatasdefault=..." argument, the one that counts;
// nullptr when there is none.
const std::u16string* lastFormatAsDefaultArgument(const WideArgs& arguments);

// The leading values of that array, before the application's arguments.
constexpr size_t kLeadingLauncherValues = 6;

// The application's main as the launcher can call it itself, instead of
// through the launcher class: when the array asks the launcher class for
// nothing but the call (no output file, not even one left to the
// application) and names the main class as JNI's FindClass takes it (ASCII
// letters, digits, '_' and '$', in parts separated by '.' or '/'). Anything
// else is the launcher class's to read, as before.
struct DirectMain {
    std::string className;  // slashed
    bool guiApplication = false;
    // What an earlier start's check of main is remembered under
    // (mainCheckKey), and whether one was.
    std::string checkKey;
    bool checkedBefore = false;
};
std::optional<DirectMain> directMainOf(const WideArgs& launcherValues);
// Whether the VM's options set korvo.processCommFile to a file (the last
// setting counts, as for the VM): single-instance mode, whose hand-over the
// launcher class starts before main.
bool namesCommFile(const std::deque<std::string>& vmOptions);
// Whether the VM may set a property the launcher sets from what it reads
// besides the options it is given: `environmentOptions` (JAVA_TOOL_OPTIONS,
// and _JAVA_OPTIONS, which HotSpot takes after the given options) naming a
// korvo.* property, or an options file of HotSpot's own (-XX:VMOptionsFile).
// The launcher class's setting then wins as it always did.
bool othersMaySetLauncherProperties(const std::deque<std::string>& vmOptions, std::string_view environmentOptions);

// "com/vandrel/runtime/launcher/WinLauncher" for the installer flavour.
const char* launcherClassName(char productFlavor);
std::string slashedClassName(std::string_view name);
