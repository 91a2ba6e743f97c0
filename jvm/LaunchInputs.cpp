#include "jvm/LaunchInputs.h"

#include <cwchar>
#include <optional>
#include <string>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "services/MainCheckMemory.h"
#include "services/RuntimeClasses.h"
#include "services/SingleInstance.h"
#include "services/TempDir.h"

namespace {

constexpr size_t kPropertyCapacity = 8192;

std::u16string widen(const std::string& text, UINT codePage) {
    if (text.empty())
        return std::u16string();
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(n > 0 ? n : 0, u'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(wide.data()), n);
    return wide;
}

// Property texts live in 8192-byte buffers; a value that would not fit is
// cut at the buffer's end and the cut is logged, so nothing is written past
// it and nothing is lost silently.
std::string property(const char* name, const std::string& value) {
    std::string text = std::string("-D") + name + "=" + value;
    if (text.size() >= kPropertyCapacity) {
        logError("property %s longer than %u bytes: cut", name, static_cast<unsigned>(kPropertyCapacity - 1));
        text.resize(kPropertyCapacity - 1);
    }
    return text;
}

// Binary: the reader knows the text rules itself, UTF-16 files too.
FILE* openOptionsCandidate(const std::wstring& path) { return _wfopen(path.c_str(), L"rb"); }

FILE* openDefaultFor(const std::wstring& exe) {
    if (exe.size() >= 4) {
        const std::wstring first = exe.substr(0, exe.size() - 4) + L".vmoptions";
        FILE* file = openOptionsCandidate(first);
        logMessage("vmoptions2: exe %ls file: %ls, file: %p", exe.c_str(), first.c_str(),
                   static_cast<void*>(file));
        if (file)
            return file;
    }
    const std::wstring second = exe + L".vmoptions";
    FILE* file = openOptionsCandidate(second);
    logMessage("vmoptions: opts2: %ls, file: %p", second.c_str(), static_cast<void*>(file));
    return file;
}

// The number of a stream of the VM's C runtime, which need not be the
// launcher's: the stream is never handed to the launcher's own functions,
// but to the _fileno of the module that holds it. Standard error when that
// cannot be learned.
int vmStreamNumber(FILE* stream) {
    HMODULE owner = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(stream), &owner))
        return 2;
    using FileNumber = int(__cdecl*)(FILE*);
    const auto fileNumber = reinterpret_cast<FileNumber>(reinterpret_cast<void*>(GetProcAddress(owner, "_fileno")));
    return fileNumber ? fileNumber(stream) : 2;
}

}  // namespace

void writeVmText(FILE* stream, const char* text, size_t length) {
    FILE* out = vmStreamNumber(stream) == 1 ? stdout : stderr;
    std::fwrite(text, 1, length, out);
    std::fflush(out);
}

OptionList buildSystemProperties() {
    OptionList props;
    if (const char* semaphore = instanceSemaphoreName())
        props.push_back(property("korvo.semaphoreName", semaphore));
    if (productFlavor == 'i')
        props.push_back("-Dkorvo.isVandrel=true");
    props.push_back(property("korvo.moduleName", launcherPath()));
    props.push_back(property("sun.java.command", launcherPath()));
    if (getConfigBool(rec::SingleInstance)) {
        char comm[kTempPathCapacity];
        processCommFilePath(comm, sizeof comm, GetCurrentProcessId());
        props.push_back(property("korvo.processCommFile", comm));
    }
    props.push_back(property("korvo.tempDir", launcherTempDir));
    props.push_back("-Dkorvo.unextractedPosition=" +
                    std::to_string(langRestart ? -1 : static_cast<long long>(unextractedPosition)));
    std::string value;
    readEnvironmentVariable("PATH", value);
    std::string path = "-Djava.library.path=" + value;
    if (path.size() >= kPropertyCapacity) {
        logError("java.library.path longer than %u bytes: cut", static_cast<unsigned>(kPropertyCapacity - 1));
        path.resize(kPropertyCapacity - 1);
    }
    props.push_back(path);
    if (!readEnvironmentVariable("MANPATH", value))
        props.push_back("-Dkorvo.consoleCodepage=cp" + std::to_string(GetConsoleOutputCP()));
    return props;
}

std::u16string recordTextWide(const std::string& text) { return widen(text, CP_ACP); }

std::u16string outputFileWide(const std::string& file) {
    return widen(canonicalPath(file, false), fileApiCodePage());
}

bool firstRunMarkerPresent() {
    std::string marker = canonicalPath(getConfigString(rec::InstallationDirectory), false);
    marker += "\\.vandrel\\firstrun";
    return pathExists(marker);
}

std::string argumentForLog(const std::u16string& argument) {
    return narrowForDisplay(fileApiCodePage(),
                            std::wstring_view(reinterpret_cast<const wchar_t*>(argument.data()), argument.size()));
}

std::string javaTextForDisplay(std::u16string_view text) {
    return narrowForDisplay(CP_ACP, std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

bool readJavaHalfPack(std::string& pack, std::string& problem) {
    pack.clear();
    const std::string text = getConfigString(rec::RuntimeClasses);
    if (text.empty())
        return true;
    logMessage("%s: %s", kRuntimeClassesReaderMark, text.c_str());
    const std::optional<RuntimeClassesPlace> place = parseRuntimeClassesPlace(text);
    if (!place) {
        problem = "its record RuntimeClasses reads '" + text + "'";
        return false;
    }
    if (!readLauncherBytes(uint64_t(blockEndOffset()) + place->offset, place->length, pack)) {
        problem = "the launcher's file ends before them";
        return false;
    }
    return true;
}

std::string vmOptionsFromEnvironment() {
    std::string both;
    std::string value;
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (readEnvironmentVariable(name, value))
            both += value + " ";
    return both;
}

FILE* openDefaultOptionsFile() {
    if (FILE* file = openDefaultFor(launcherPathWide()))
        return file;
    wchar_t module[8192];
    const DWORD n = GetModuleFileNameW(nullptr, module, 8192);
    if (n == 0 || n >= 8192)
        return nullptr;
    return openDefaultFor(module);
}

std::string mainCheckKey(const std::string& slashedMainClass, const OptionList& vmOptions) {
    return mainCheckFingerprint(slashedMainClass, vmOptions, vmOptionsFromEnvironment(), stampOfEntry);
}

bool mainCheckedBefore(const std::string& key) { return mainCheckRemembered(key); }

void rememberMainChecked(const std::string& key) { rememberMainCheck(key); }
