#include "runtime/JvmLibrary.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/MessageText.h"
#include "core/Paths.h"
#include "core/UserInterface.h"
#include "core/WebAddress.h"
#include "runtime/JniEntry.h"
#include "runtime/JvmSearch.h"
#include "runtime/JvmState.h"
#include "runtime/LauncherMachine.h"
#include "runtime/MachineCheck.h"
#include "runtime/RuntimeLibrarySearch.h"
#include "runtime/RuntimeText.h"
#include "runtime/SearchReport.h"
#include "runtime/VersionRules.h"
#include "runtime/VmTypes.h"

namespace {

constexpr size_t kBinDirectoryMax = 1999;

// The machine of a VM library that did not load because it is built for
// another one; 0 when none was.
uint16_t otherWidthLibrary = 0;
constexpr size_t kLibraryPathCapacity = 8192;

struct EnvironmentValue {
    bool defined = false;
    std::wstring text;
};

// The whole value, however long, and in UTF-16, so that a restore puts back
// exactly what was there (a narrow copy loses the letters the code page
// lacks).
EnvironmentValue readPath() {
    EnvironmentValue value;
    value.defined = readEnvironmentVariable(L"PATH", value.text);
    return value;
}

// The process environment and the C runtime's copy (what getenv reads, and
// what a JVM started in this process sees through it) must agree.
void setPath(const EnvironmentValue& value) {
    const std::string shown = narrowForDisplay(fileApiCodePage(), value.text);
    if (writeEnvironmentVariable(L"PATH", value.defined ? &value.text : nullptr)) {
        logMessage("Setting PATH %s", shown.c_str());
    } else {
        const DWORD error = GetLastError();
        logMessage("Setting PATH %s failed with error %lu", shown.c_str(), error);
    }
}

HMODULE tryVmType(const std::string& binDirectory, const char* type) {
    const std::string path = binDirectory + "\\" + type + "\\jvm.dll";
    if (path.size() >= kLibraryPathCapacity)
        return nullptr;
    const bool exists = pathExists(path);
    logMessage("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
    if (!exists)
        return nullptr;
    HMODULE library = loadRuntimeLibrary(path, binDirectory);
    const DWORD error = GetLastError();
    // A library of the other width cannot load; its own line says why
    // rather than the loader's bare error code. Read only after a failure:
    // a start that loads its library pays nothing for it.
    uint16_t machine = 0;
    if (!library && checkRuntimeMachine(path, &machine) != MachineCheck::Other)
        logMessage("Failed with error code %lu", error);
    else if (!library && machine)
        otherWidthLibrary = machine;
    return library;
}

HMODULE tryBinDirectory(const std::string& binDirectory) {
    if (binDirectory.size() > kBinDirectoryMax) {
        logError("bin directory too long: %s", binDirectory.c_str());
        return nullptr;
    }
    const EnvironmentValue saved = readPath();
    std::wstring bin;
    widenText(fileApiCodePage(), binDirectory, bin);
    setPath(EnvironmentValue{true, saved.text + L";" + bin});

    char preferred[200];
    getConfigString(rec::PreferredJvmType, preferred, sizeof preferred);
    HMODULE library = nullptr;
    for (const char* type : vmTypesToTry(preferred)) {
        library = tryVmType(binDirectory, type);
        if (library)
            break;
    }
    if (!library)
        setPath(saved);
    return library;
}

// The text of the found runtimes fills at most this much of a message.
constexpr size_t kRefusedTextLimit = 2048;

// The download address when the configuration names one the browser may
// open; "" otherwise (a word there is no address, and a path must not be
// handed to the shell).
std::string downloadAddress() {
    const std::string address = getConfigString(rec::JavaDownloadUrl);
    if (!address.empty() && !isWebAddress(address)) {
        logMessage("JavaDownloadUrl %s is no http:// or https:// address: none offered", address.c_str());
        return {};
    }
    return address;
}

// A runtime message: "{0}" as always, "{1}" the range the application needs
// and "{2}" the runtimes the search found and why each was refused; 1016
// also "{3}", the download address. A record without "{1}" and "{2}" reads
// as it always did.
void showRuntimeMessage(int32_t id, const char* argument) {
    const VersionBounds bounds = searchBounds(false);
    const std::string range = describeVersionRange(bounds.lower, bounds.upper);
    const std::string found = describeRefusedRuntimes(refusedRuntimes(), kRefusedTextLimit);
    const std::string address = id == msg::NoJvm ? downloadAddress() : std::string();
    MessageSource source = findMessage(id);
    if (source.builtIn && !address.empty())
        source.narrow = kBuiltInNoJvmWithDownload;
    const std::u16string record = source.narrow.empty() ? std::u16string(source.wide) : widenMessageText(source.narrow);
    MessageArguments arguments;
    if (argument)
        arguments[0] = widenMessageText(argument);
    arguments[1] = widenMessageText(range);
    arguments[2] = widenMessageText(found);
    if (!address.empty())
        arguments[3] = widenMessageText(address);
    std::u16string text = fillPlaceholders(record, arguments);
    // A record with "{2}" says in its own words what was found; to one
    // without, a runtime of the wrong width is told in a sentence of its own.
    const std::string note = otherWidthNote(refusedRuntimes(), thisLauncher.bits);
    if (!note.empty() && record.find(u"{2}") == std::u16string::npos)
        text = text.empty() ? widenMessageText(note) : text + u"\n\n" + widenMessageText(note);
    if (address.empty()) {
        showErrorWide(text);
        return;
    }
    // The address is shown whatever the text says; a console prints it.
    if (record.find(u"{3}") == std::u16string::npos)
        text += (text.empty() ? u"" : u"\n\n") + widenMessageText(address);
    if (!showErrorAndAsk(text, messageTextWide(msg::DownloadQuestion)))
        return;
    if (openInBrowser(address.c_str()))
        logMessage("Opened %s in the browser", address.c_str());
    else
        logError("Could not open %s in the browser (error %lu)", address.c_str(), GetLastError());
}

void showFailureFor(const FoundRuntime& runtime) {
    // Not damaged, and no heap size or antivirus tool to blame: this
    // launcher cannot load a library of another machine.
    if (otherWidthLibrary) {
        const std::string width = machineWidth(otherWidthLibrary);
        noteRefusedRuntime(runtimeRootOf(runtime.javaExecutable), "", otherWidthReason(width, thisLauncher.bits),
                           width);
        showRuntimeMessage(msg::NoJvm, thisLauncher.bits);
        return;
    }
    switch (runtime.foundBy) {
    case PathSearch:
        showRuntimeMessage(msg::NoJvm, thisLauncher.bits);
        break;
    case Location:
        showRuntimeMessage(thisLauncher.jvmDamagedMessage, runtime.location.c_str());
        break;
    case EnvironmentVariable:
        showRuntimeMessage(thisLauncher.envVarNoJvmMessage, runtime.location.c_str());
        break;
    default:
        break;
    }
    showErrorMessage(msg::JvmNotStarted, nullptr, "");
}

}  // namespace

HMODULE loadJvmLibrary(const char* javaExecutable) {
    if (HMODULE library = tryBinDirectory(binDirectoryOf(javaExecutable)))
        return library;
    // A JDK found through its own bin directory keeps the VM in jre\bin.
    return tryBinDirectory(binDirectoryOf(directoryPrefixOf(javaExecutable) + "..\\jre\\bin\\java.exe"));
}

bool bindCreateJavaVM(HMODULE library) {
    if (!library)
        return false;
    FARPROC entry = GetProcAddress(library, "JNI_CreateJavaVM");
    if (!entry)
        return false;
    setCreateJavaVMEntry(reinterpret_cast<CreateJavaVMEntry>(reinterpret_cast<void (*)()>(entry)));
    return true;
}

bool LoadDLL() {
    const FoundRuntime runtime = findJvm();
    if (runtime.foundBy == FoundByNone) {
        logError("No JVM found");
        showRuntimeMessage(msg::NoJvm, thisLauncher.bits);
        return false;
    }
    const char* javaExecutable = runtime.javaExecutable.c_str();
    logMessage("Trying to load JVM-DLL from %s", javaExecutable);
    HMODULE library = loadJvmLibrary(javaExecutable);
    setJvmHome(javaExecutable);
    if (!library)
        logError("Could not get DLL-Handle.");
    const bool bound = bindCreateJavaVM(library);
    if (!bound)
        logError("Could not load functions");
    if (library && bound) {
        logMessage("Loading of JVM-DLL successful");
        return true;
    }
    showFailureFor(runtime);
    return false;
}
