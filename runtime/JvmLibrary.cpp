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

// A runtime message: "{0}" as always, "{1}" the range the application needs
// and "{2}" the runtimes the search found and why each was refused. A
// record without "{1}" and "{2}" reads as it always did.
void showRuntimeMessage(int32_t id, const char* argument) {
    const VersionBounds bounds = searchBounds(false);
    const std::string range = describeVersionRange(bounds.lower, bounds.upper);
    const std::string found = describeRefusedRuntimes(refusedRuntimes(), kRefusedTextLimit);
    const char* record = messageText(id);
    std::string text = fillPlaceholders(record, argument, range.c_str(), found.c_str());
    // A record with "{2}" says in its own words what was found; to one
    // without, a runtime of the wrong width is told in a sentence of its own.
    const std::string note = otherWidthNote(refusedRuntimes(), thisLauncher.bits);
    if (!note.empty() && std::string_view(record).find("{2}") == std::string_view::npos)
        text = text.empty() ? note : text + "\n\n" + note;
    showError(text.c_str());
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
