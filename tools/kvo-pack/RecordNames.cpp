#include "tools/kvo-pack/RecordNames.h"

#include <algorithm>
#include <array>

#include "core/ConfigStore.h"
#include "core/MessageText.h"
#include "core/WebAddress.h"

namespace kvopack {
namespace {

constexpr size_t kText = 8191;  // the launcher's 8192-byte buffers

using K = ValueKind;

constexpr std::array kNames = {
    RecordName{"ApplicationName", rec::ApplicationName, K::text, kText, "empty",
               "Application name; the title of the splash window, and of the launcher's dialogs unless message "
               "1000 sets one.",
               "ApplicationName = Example"},
    RecordName{"OutputFile1Enabled", rec::OutputFile1Enabled, K::flag, kText, "0",
               "1: the application's System.out goes to OutputFile1.", "OutputFile1Enabled = 1"},
    RecordName{"OutputFile1", rec::OutputFile1, K::text, kText, "empty",
               "The file System.out goes to, made absolute against the launcher's folder; a name beginning with $ is "
               "left to the application.",
               "OutputFile1 = output.log"},
    RecordName{"OutputFile2Enabled", rec::OutputFile2Enabled, K::flag, kText, "0",
               "1: the application's System.err goes to OutputFile2.", "OutputFile2Enabled = 1"},
    RecordName{"OutputFile2", rec::OutputFile2, K::text, kText, "empty", "The file System.err goes to, as OutputFile1; the same name as OutputFile1: one file for both.",
               "OutputFile2 = error.log"},
    RecordName{"LauncherClassFlag", rec::LauncherClassFlag, K::flag, kText, "0",
               "1: the output files are appended to; 0: each start replaces them.", "LauncherClassFlag = 1"},
    RecordName{"ExecutableType", rec::ExecutableType, K::number, kText, "0 (console)",
               "1: GUI application (errors in dialogs, javaw.exe); 5: errors in dialogs; any other: "
               "console program, errors on standard error (in dialogs when it has none).",
               "ExecutableType = 1"},
    RecordName{"SplashEnabled", rec::SplashEnabled, K::flag, kText, "0",
               "1: a splash screen, from splash-bitmap in [resources] (or splash-image with "
               "JavaSplashLibrary).",
               "SplashEnabled = 1"},
    RecordName{"ClassPath", rec::ClassPath, K::classPath, kText, "empty",
               "Entries separated by \";\": a type letter (A archive, D folder of classes, S folder "
               "whose archives all count, E environment variable), 1 mandatory or 0 optional, the "
               "path. An A path may end in * or *.jar.",
               "ClassPath = A0.\\lib\\app.jar;A0.\\lib\\*"},
    RecordName{"MainClass", rec::MainClass, K::className, kText, "required",
               "The application's main class, dotted; kvo-runtime.jar calls its main.",
               "MainClass = com.example.app.Main"},
    RecordName{"VmOptions", rec::VmOptions, K::vmOptions, kText, "empty",
               "VM options, split like a command line; -include-options FILE reads an options file.",
               "VmOptions = -Xmx512m \"-Dapp.name=My App\""},
    RecordName{"Arguments", rec::Arguments, K::text, kText, "empty",
               "Arguments put before the user's, split like a command line.", "Arguments = --fast"},
    RecordName{"AcceptJOptions", rec::AcceptJOptions, K::flag, kText, "0",
               "1: arguments beginning with -J become VM options (-J-Xmx1g gives -Xmx1g).",
               "AcceptJOptions = 1"},
    RecordName{"MinJavaVersion", rec::MinJavaVersion, K::version, kText, "no bound",
               "Lowest Java version accepted, inclusive: 11, 17.0.2, or the old form 1.8. With "
               "kvo-runtime.jar packed, never below 1.8.",
               "MinJavaVersion = 17"},
    RecordName{"MaxJavaVersion", rec::MaxJavaVersion, K::version, kText, "no bound",
               "Highest Java version accepted, inclusive; 17 accepts every 17.x.", "MaxJavaVersion = 21"},
    RecordName{"JreSearchSequence", rec::JreSearchSequence, K::searchSequence, kText, "empty",
               "Where runtimes are looked for, in order, separated by \";\": A, B or R and a folder, E and "
               "an environment variable, S (the PATH), Y (the registry).",
               "JreSearchSequence = B.\\jre;Y;EJAVA_HOME"},
    RecordName{"AllowBetaJvm", rec::AllowBetaJvm, K::flag, kText, "0",
               "1: runtimes whose version holds beta, ea or rc are accepted.", "AllowBetaJvm = 1"},
    RecordName{"RequireJdk", rec::RequireJdk, K::flag, kText, "0",
               "1: only JDKs count (bin\\javac.exe, or lib\\tools.jar up to Java 8).", "RequireJdk = 1"},
    RecordName{"SplashImageWidth", rec::SplashImageWidth, K::number, kText, "the splash bitmap's",
               "Width of the splash image in pixels.", "SplashImageWidth = 480"},
    RecordName{"SplashImageHeight", rec::SplashImageHeight, K::number, kText, "the splash bitmap's",
               "Height of the splash image in pixels.", "SplashImageHeight = 300"},
    RecordName{"SplashAutoOff", rec::SplashAutoOff, K::flag, kText, "0",
               "1: the splash goes as soon as the application shows a window of its own.",
               "SplashAutoOff = 1"},
    RecordName{"WorkingDirectory", rec::WorkingDirectory, K::text, kText, "unchanged",
               "Working directory, relative to the launcher's folder.", "WorkingDirectory = ."},
    RecordName{"SplashTopmost", rec::SplashTopmost, K::flag, kText, "0",
               "1: the splash window stays above other windows.", "SplashTopmost = 1"},
    RecordName{"PreferredJvmType", rec::PreferredJvmType, K::text, 199, "none",
               "VM folder below the runtime's bin tried first (server, client, ...).",
               "PreferredJvmType = server"},
    RecordName{"QuietSwitches", rec::QuietSwitches, K::flag, kText, "0",
               "1: the switches -q and -c send errors to standard error (-c also attaches a console), "
               "and -console works.",
               "QuietSwitches = 1"},
    RecordName{"ConsoleSwitch", rec::ConsoleSwitch, K::flag, kText, "0",
               "1: the switch -console attaches a console for the application's output.",
               "ConsoleSwitch = 1"},
    RecordName{"GlobalSemaphore", rec::GlobalSemaphore, K::flag, kText, "0",
               "1: single instance across every session of the machine, not per session.",
               "GlobalSemaphore = 1"},
    RecordName{"InstallerApplicationId", rec::InstallerApplicationId, K::text, kText, "no lookup",
               "Application id under which an installer registered the runtime of an earlier "
               "installation.",
               "InstallerApplicationId = 1234-5678"},
    RecordName{"JavaDownloadUrl", rec::JavaDownloadUrl, K::webAddress, kWebAddressMax, "none",
               "Where users get Java: named in message 1016 ({3}) when no runtime fits; a GUI launcher asks "
               "whether to open it in the browser (1021).",
               "JavaDownloadUrl = https://example.com/java"},
    RecordName{"ProductFlavor", rec::ProductFlavor, K::text, 1, "vandrel",
               "One letter: e names the product korvo in titles, others vandrel; i adds "
               ".vandrel\\vdlruntime.jar to the class path and starts the installer's launcher class.",
               "ProductFlavor = i"},
    RecordName{"IncludedFileCount", rec::IncludedFileCount, K::number, kText, "0",
               "Number of included files; kvo-pack writes it from [files].", "IncludedFileCount = 0"},
    RecordName{"IncludedFileNames", rec::IncludedFileNames, K::text, kText, "empty",
               "Their names, separated by \";\"; kvo-pack writes it from [files].", "IncludedFileNames ="},
    RecordName{"IncludedFilesCache", rec::IncludedFilesCache, K::flag, kText, "0",
               "1: the included files are extracted once per user into a folder of the application's under "
               "%LOCALAPPDATA%\\korvo (the temporary folder when that is not set) and reused by later starts; "
               "they may then lie in deeper folders.",
               "IncludedFilesCache = 1"},
    RecordName{"RuntimeClasses", rec::RuntimeClasses, K::text, kText, "no Java half of the launcher's",
               "Where the classes of kvo-runtime.jar lie behind the block (offset and length); kvo-pack "
               "writes it unless [kvo-runtime] says include = no.",
               "RuntimeClasses ="},
    RecordName{"IncludedFilesHash", rec::IncludedFilesHash, K::text, kText, "none",
               "The hash of the included files' names and data that names their kept folder; kvo-pack writes "
               "it with IncludedFilesCache = 1.",
               "IncludedFilesHash ="},
    RecordName{"InstallationDirectory", rec::InstallationDirectory, K::text, kText, "the launcher's folder",
               "Installation root, relative to the launcher's folder; holds .vandrel\\.",
               "InstallationDirectory = ."},
    RecordName{"NativeLibraryPath", rec::NativeLibraryPath, K::text, kText, "empty",
               "Folders put in front of PATH before the runtime is loaded, separated by \";\".",
               "NativeLibraryPath = .\\bin"},
    RecordName{"SingleInstance", rec::SingleInstance, K::flag, kText, "0",
               "1: a second start hands its arguments to the running instance, raises its windows and "
               "ends.",
               "SingleInstance = 1"},
    RecordName{"StatusTextX", rec::StatusTextX, K::number, kText, "0", "x of the splash's status line.",
               "StatusTextX = 20"},
    RecordName{"StatusTextY", rec::StatusTextY, K::number, kText, "0", "y of the status line.",
               "StatusTextY = 260"},
    RecordName{"StatusText", rec::StatusText, K::text, kText, "empty",
               "The status line's first text; the application changes it.", "StatusText = Starting..."},
    RecordName{"StatusFontName", rec::StatusFontName, K::text, 31, "the system's",
               "Font of the status line, at most 31 bytes.", "StatusFontName = Tahoma"},
    RecordName{"StatusFontSize", rec::StatusFontSize, K::number, kText, "0",
               "Font size of the status line in points.", "StatusFontSize = 8"},
    RecordName{"StatusTextColor", rec::StatusTextColor, K::colour, kText, "0,0,0",
               "Colour of the status line: red,green,blue from 0 to 255.", "StatusTextColor = 255,255,255"},
    RecordName{"StatusFontWeight", rec::StatusFontWeight, K::number, kText, "0",
               "Font weight of the status line (400 normal, 700 bold).", "StatusFontWeight = 400"},
    RecordName{"VersionTextX", rec::VersionTextX, K::number, kText, "0", "x of the splash's version line.",
               "VersionTextX = 20"},
    RecordName{"VersionTextY", rec::VersionTextY, K::number, kText, "0", "y of the version line.",
               "VersionTextY = 275"},
    RecordName{"VersionText", rec::VersionText, K::text, kText, "empty", "The version line's text.",
               "VersionText = Version 1.0"},
    RecordName{"VersionFontName", rec::VersionFontName, K::text, 31, "the system's",
               "Font of the version line, at most 31 bytes.", "VersionFontName = Tahoma"},
    RecordName{"VersionFontSize", rec::VersionFontSize, K::number, kText, "0",
               "Font size of the version line in points.", "VersionFontSize = 8"},
    RecordName{"VersionTextColor", rec::VersionTextColor, K::colour, kText, "0,0,0",
               "Colour of the version line: red,green,blue from 0 to 255.", "VersionTextColor = 0,0,0"},
    RecordName{"VersionFontWeight", rec::VersionFontWeight, K::number, kText, "0",
               "Font weight of the version line.", "VersionFontWeight = 700"},
    RecordName{"JavaSplashLibrary", rec::JavaSplashLibrary, K::flag, kText, "0",
               "1: the splash is shown by the runtime's splash library, from splash-image in "
               "[resources], once a runtime is found.",
               "JavaSplashLibrary = 1"},
};

constexpr std::array kMessages = {
    MessageRecord{msg::Title, "",
                  "The title of every error dialog; without it the application's name (ApplicationName), and "
                  "the built-in text only when that is not set either."},
    MessageRecord{msg::JvmNotStarted, "{1} what failed: the VM's own words, or the exception with its causes",
                  "The runtime's VM library could not be loaded, the JVM could not be created, or the application "
                  "could not be started: its main class was not found, it has no public static void main(String[]), "
                  "or main ended with an exception."},
    MessageRecord{msg::FileNotFound, "{0} the entry", "A mandatory class-path entry is missing or empty."},
    MessageRecord{msg::VariableUndefined, "{0} the variable",
                  "A mandatory class-path variable (E entry) is not defined."},
    MessageRecord{msg::InternalError, "{0} an error code",
                  "Included files, the temporary folder or the single-instance hand-over failed."},
    MessageRecord{msg::MainClassNotLoaded, "{1} the VM's error",
                  "The launcher class was not found in the class path (a launcher class of your own, or "
                  "[kvo-runtime] include = no)."},
    MessageRecord{msg::MainMethodNotFound, "{1} the VM's error", "The launcher class has no main method."},
    MessageRecord{msg::NotPowerUser, "", "No temporary folder could be made."},
    MessageRecord{msg::NoJvm,
                  "{0} 32 or 64, {1} the versions needed, {2} the runtimes found and why each was refused, {3} "
                  "JavaDownloadUrl",
                  "No runtime fits, also when the only ones found are of the other width. With JavaDownloadUrl the "
                  "address follows a text without {3}, and a dialog asks 1021 below it."},
    MessageRecord{msg::EnvVarNoJvm32, "{0} the variable, {1}, {2} as 1016",
                  "32-bit launcher: the runtime an E entry names cannot be loaded."},
    MessageRecord{msg::EnvVarNoJvm64, "{0} the variable, {1}, {2} as 1016", "1017 for the 64-bit launcher."},
    MessageRecord{msg::JvmDamaged32, "{0} the location, {1}, {2} as 1016",
                  "32-bit launcher: the runtime found at a location cannot be loaded."},
    MessageRecord{msg::JvmDamaged64, "{0} the location, {1}, {2} as 1016", "1019 for the 64-bit launcher."},
    MessageRecord{msg::DownloadQuestion, "",
                  "Asked below 1016 in a dialog with Yes and No when JavaDownloadUrl is set; Yes opens the address "
                  "in the browser."},
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Optimal string alignment distance over letters folded to lower case.
// A lower bound of the distance, in one pass over each text: the letters one
// has more of than the other (an edit changes that count by one at most, a
// swap not at all).
size_t letterCountDistance(std::string_view a, std::string_view b) {
    std::array<int, 256> count{};
    for (char c : a)
        ++count[static_cast<unsigned char>(lower(c))];
    for (char c : b)
        --count[static_cast<unsigned char>(lower(c))];
    size_t more = 0, fewer = 0;
    for (char c : a) {
        int& n = count[static_cast<unsigned char>(lower(c))];
        more += size_t(n > 0 ? n : 0);
        n = 0;
    }
    for (char c : b) {
        int& n = count[static_cast<unsigned char>(lower(c))];
        fewer += size_t(n < 0 ? -n : 0);
        n = 0;
    }
    return std::max(more, fewer);
}

// The longest name nearestName compares.
constexpr size_t kLongestCompared = 64;

// The distance, or `cap + 1` for any above `cap`: it runs for every unknown
// name against every record name, and most are far apart. Three rows of the
// table at a time, each as long as `b` (at most kLongestCompared); a row
// whose least entry, and the row before's plus one, exceed the cap cannot
// lead to a distance within it.
size_t editDistance(std::string_view a, std::string_view b, size_t cap) {
    std::array<size_t, kLongestCompared + 1> rows[3];
    size_t* before = rows[0].data();
    size_t* last = rows[1].data();
    size_t* row = rows[2].data();
    for (size_t j = 0; j <= b.size(); ++j)
        last[j] = j;
    size_t lastLeast = 0;
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        size_t least = row[0];
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            row[j] = std::min(std::min(last[j], row[j - 1]) + 1, last[j - 1] + cost);
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                row[j] = std::min(row[j], before[j - 2] + 1);
            least = std::min(least, row[j]);
        }
        if (std::min(least, lastLeast + 1) > cap)
            return cap + 1;
        lastLeast = least;
        std::swap(before, last);
        std::swap(last, row);
    }
    return std::min(last[b.size()], cap + 1);
}

void pad(std::string& out, size_t width) {
    if (out.size() < width)
        out.append(width - out.size(), ' ');
}

std::string markdownCell(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '|' || c == '\\' || c == '*' || c == '_')
            out += '\\';
        out += c;
    }
    return out;
}

// A text as a configuration line writes it after ":=": line feeds as \n.
std::string asWritten(std::string_view text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

}  // namespace

std::span<const RecordName> recordNames() { return kNames; }

const RecordName* findRecordByName(std::string_view name) {
    for (const auto& r : kNames)
        if (r.name == name)
            return &r;
    return nullptr;
}

const RecordName* findRecordById(int32_t id) {
    for (const auto& r : kNames)
        if (r.id == id)
            return &r;
    return nullptr;
}

const std::vector<std::string_view>& recordNameList() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> list;
        for (const auto& r : kNames)
            list.push_back(r.name);
        return list;
    }();
    return names;
}

std::string_view nearestName(std::string_view name, const std::vector<std::string_view>& candidates) {
    // Names are short; a longer text is no misspelt name, and the table
    // below stays small.
    if (name.empty() || name.size() > kLongestCompared)
        return {};
    std::string_view best;
    size_t bestDistance = SIZE_MAX;
    // No name that differs in length by more than the slips allowed below can
    // be taken, nor be nearer than one that can.
    const size_t mostAllowed = std::max<size_t>(1, name.size() / 4);
    for (std::string_view candidate : candidates) {
        const size_t apart = name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (apart > mostAllowed)
            continue;
        // Only one nearer than the best so far, and within the most allowed, counts.
        const size_t cap = std::min(mostAllowed, bestDistance - 1);
        if (letterCountDistance(candidate, name) > cap)
            continue;
        const size_t d = editDistance(candidate, name, cap);
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    // About one slip in four letters: "SingelInstance" is meant, "Foo" is not.
    const size_t allowed = std::max<size_t>(1, std::min(name.size(), best.size()) / 4);
    return bestDistance <= allowed ? best : std::string_view();
}

std::span<const MessageRecord> messageRecords() { return kMessages; }

std::string_view kindName(ValueKind kind) {
    switch (kind) {
    case K::text: return "text";
    case K::number: return "number";
    case K::flag: return "switch 0/1";
    case K::colour: return "colour r,g,b";
    case K::version: return "version";
    case K::classPath: return "class path";
    case K::searchSequence: return "search entries";
    case K::className: return "class name";
    case K::vmOptions: return "VM options";
    case K::webAddress: return "web address";
    }
    return "text";
}

std::string formatRecordList(bool markdown) {
    std::string out;
    if (markdown) {
        out += "| Id | Name | Type | When absent | Meaning |\n|---|---|---|---|---|\n";
        for (const RecordName& r : kNames)
            out += "| " + std::to_string(r.id) + " | `" + std::string(r.name) + "` | " +
                   std::string(kindName(r.kind)) + " | " + markdownCell(r.absent) + " | " +
                   markdownCell(r.meaning) + " |\n";
        out += "\n| Message | Placeholders | Shown when | Built-in text |\n|---|---|---|---|\n";
        for (const MessageRecord& m : kMessages)
            out += "| " + std::to_string(m.id) + " | " + markdownCell(m.placeholders) + " | " +
                   markdownCell(m.shownWhen) + " | " + markdownCell(asWritten(builtInMessage(m.id))) + " |\n";
        return out;
    }
    out += "Records the launcher reads. Write them as \"Name = value\" above the first\n"
           "[section]; every value is text, numbers and switches included.\n\n";
    for (const RecordName& r : kNames) {
        std::string line = "  " + std::to_string(r.id);
        pad(line, 9);
        line += r.name;
        pad(line, 33);
        line += kindName(r.kind);
        pad(line, 50);
        out += line + "absent: " + std::string(r.absent) + "\n";
        out += std::string(9, ' ') + std::string(r.meaning) + "\n";
    }
    out += "\nMessages, given by number (\"1016 := text\") above the first section, or in [wide] and\n"
           "[locale KEY] sections for any character and the user's language; the launcher\n"
           "fills in {0} to {3}:\n\n";
    for (const MessageRecord& m : kMessages) {
        std::string line = "  " + std::to_string(m.id);
        pad(line, 9);
        out += line + std::string(m.shownWhen) + "\n";
        if (!m.placeholders.empty())
            out += std::string(9, ' ') + std::string(m.placeholders) + "\n";
        out += std::string(9, ' ') + "built-in: " + asWritten(builtInMessage(m.id)) + "\n";
    }
    return out;
}

}  // namespace kvopack
