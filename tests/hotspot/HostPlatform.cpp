// The platform under the launcher's JVM stage when it runs natively: what the
// Windows launcher takes from its records, files, code pages and dialogs,
// taken here from the host's command line and the Linux process. Everything
// above this seam is the launcher's own code.
#include "tests/hotspot/HostPlatform.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/CommandLineNarrow.h"
#include "core/ConfigBlock.h"
#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/SelectedLocale.h"
#include "core/StartupState.h"
#include "core/StepTimes.h"
#include "jvm/ClassPath.h"
#include "jvm/LaunchInputs.h"
#include "jvm/Variables.h"
#include "jvm/VariableText.h"
#include "services/RuntimeClasses.h"

extern char** environ;

HostSettings host;

namespace {

std::mutex logLock;

void writeLogLine(const char* prefix, const char* format, va_list args) {
    noteStep(format);
    std::lock_guard<std::mutex> lock(logLock);
    if (host.logFile.empty())
        return;
    // Opened for every line, as the launcher's log: a crash loses nothing.
    FILE* out = std::fopen(host.logFile.c_str(), "a");
    if (!out)
        return;
    if (prefix)
        std::fputs(prefix, out);
    std::vfprintf(out, format, args);
    std::fputc('\n', out);
    std::fclose(out);
}

std::string directoryPart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string withSlash(const std::string& directory) {
    return !directory.empty() && directory.back() == '/' ? directory : directory + "/";
}

// The launcher writes one line per dialog for the tests to read; line feeds
// inside a message are kept as "\n".
void recordMessage(const std::string& text) {
    std::string line;
    for (char c : text)
        line += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    if (FILE* out = std::fopen(host.messagesFile.c_str(), "a")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

void logExpanded(const char* pattern, const char* value, const char* text) {
    logMessage("expanding %s to %s in %s.", pattern, value, text);
}

std::string environmentBlock() {
    std::string block;
    for (char** entry = environ; entry && *entry; ++entry) {
        block += *entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

}  // namespace

// --- texts -------------------------------------------------------------------

std::u16string utf16(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        char32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

std::string utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

void splitArgumentsNarrow(const char* text, NarrowArgs& out) {
    WideArgs wide;
    splitArguments(utf16(text), wide);
    for (const std::u16string& argument : wide)
        out.push_back(utf8(argument));
}

std::string narrowArgument(std::u16string_view argument) { return utf8(argument); }
std::string narrowArgumentQuietly(std::u16string_view argument) { return utf8(argument); }

// --- log and messages --------------------------------------------------------

void logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLogLine(nullptr, format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLogLine("ERROR: ", format, args);
    va_end(args);
}

const char* logFilePath() { return host.logFile.empty() ? nullptr : host.logFile.c_str(); }

void showError(const char* text) {
    recordMessage(text);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

// Messages on this host are bytes: each stands for one UTF-16 unit and goes
// back as that byte (a unit beyond one byte as "?"), so a narrow message
// reads as it was written.
std::u16string widenMessageText(std::string_view text) {
    std::u16string out;
    for (char c : text)
        out += char16_t(static_cast<unsigned char>(c));
    return out;
}

void showErrorWide(std::u16string_view text) {
    std::string narrow;
    for (char16_t unit : text)
        narrow += unit < 0x100 ? char(unit) : '?';
    showError(narrow.c_str());
}

void exitLauncher(unsigned code) {
    std::fflush(nullptr);
    // As ExitProcess: no exit handlers of the VM's run on the way out.
    _exit(static_cast<int>(code));
}

// --- records, paths and files ------------------------------------------------

void expandVariables(std::string& text) {
    if (!mayHoldVariables(text))
        return;
    const std::string directory = withSlash(host.directory);
    LauncherValues values{directory, "", "", "/tmp/"};
    ExpandReport report;
    report.expanded = logExpanded;
    replaceLauncherVariables(text, values, report);
    if (text.find("${") != std::string::npos)
        replaceEnvironmentVariables(text, environmentBlock().c_str(), report);
}

std::string resolvePath(const std::string& path, const char* baseFile) {
    if (!path.empty() && path[0] == '/')
        return path;
    return (baseFile ? directoryPart(baseFile) : withSlash(host.directory)) + path;
}

bool localeLanguage(char*, size_t) { return false; }
bool localeCountry(char*, size_t) { return false; }

namespace {

// The archives of one folder with `extension`, in name order (the order a
// Windows folder lists them in).
std::vector<std::string> folderArchives(const std::string& folder, const char* extension) {
    std::vector<std::string> found;
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return found;
    const std::string suffix = std::string(".") + extension;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(withSlash(folder) + name);
    }
    closedir(listing);
    std::sort(found.begin(), found.end());
    return found;
}

std::string installationDirectory() {
    std::string directory = getConfigString(rec::InstallationDirectory);
    expandVariables(directory);
    return withSlash(resolvePath(directory, nullptr));
}

}  // namespace

// The class path in the launcher's order, as the VM on this machine reads
// it (':' between entries): the extracted archives, the installer flavour's
// runtime archive, then each configured entry against the launcher's
// directory.
std::string buildClassPathOption(const std::optional<std::string>& classPathPrepend,
                                 const std::optional<std::string>& classPathReplace,
                                 const std::optional<std::string>& classPathAppend) {
    std::string path;
    auto add = [&path](const std::string& piece) {
        if (!path.empty())
            path += ':';
        path += piece;
    };
    if (classPathPrepend)
        add(*classPathPrepend);
    if (!host.tempDir.empty())
        for (const std::string& folder : {host.tempDir, withSlash(host.tempDir) + "user"})
            for (const char* extension : {"jar", "zip"})
                for (const std::string& archive : folderArchives(folder, extension))
                    add(archive);
    if (productFlavor == 'i')
        add(installationDirectory() + ".vandrel/vdlruntime.jar");
    if (classPathReplace) {
        add(*classPathReplace);
    } else {
        const std::string entries = getConfigString(rec::ClassPath);
        for (size_t start = 0; start < entries.size();) {
            size_t end = entries.find(';', start);
            if (end == std::string::npos)
                end = entries.size();
            const ClassPathEntry entry = parseClassPathEntry(std::string_view(entries).substr(start, end - start));
            if (!entry.text.empty())
                add(resolvePath(entry.text, nullptr));
            start = end + 1;
        }
    }
    if (classPathAppend)
        add(*classPathAppend);
    return "-Djava.class.path=" + path;
}

std::string commFilePath(long pid) { return withSlash(host.directory) + "kvo_p" + std::to_string(pid) + ".tmp"; }

OptionList buildSystemProperties() {
    const std::string exe = withSlash(host.directory) + "app";
    OptionList props;
    if (productFlavor == 'i')
        props.push_back("-Dkorvo.isVandrel=true");
    props.push_back("-Dkorvo.moduleName=" + exe);
    props.push_back("-Dsun.java.command=" + exe);
    if (getConfigBool(rec::SingleInstance))
        props.push_back("-Dkorvo.processCommFile=" + commFilePath(getpid()));
    props.push_back("-Dkorvo.tempDir=" + host.tempDir);
    props.push_back("-Dkorvo.unextractedPosition=0");
    return props;
}

std::string vmOptionsFromEnvironment() {
    std::string both;
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (const char* value = std::getenv(name))
            both += std::string(value) + " ";
    return both;
}

std::u16string recordTextWide(const std::string& text) { return utf16(text); }

std::u16string outputFileWide(const std::string& file) { return utf16(resolvePath(file, nullptr)); }

bool firstRunMarkerPresent() {
    return access((installationDirectory() + ".vandrel/firstrun").c_str(), F_OK) == 0;
}

std::string argumentForLog(const std::u16string& argument) { return utf8(argument); }

std::string javaTextForDisplay(std::u16string_view text) { return utf8(text); }

void writeVmText(FILE* stream, const char* text, size_t length) {
    std::fwrite(text, 1, length, stream);
    std::fflush(stream);
}

// As the exe reads them from itself: the place its own block names, behind
// that block. A file that begins as a PE image has the block behind its
// last section; else (an overlay) at its start.
bool readJavaHalfPack(std::string& pack, std::string& problem) {
    pack.clear();
    if (host.launcherFile.empty())
        return true;
    std::string file;
    if (FILE* in = std::fopen(host.launcherFile.c_str(), "rb")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            file.append(buffer, n);
        std::fclose(in);
    } else {
        problem = "cannot open " + host.launcherFile;
        return false;
    }
    MemorySource source(file);
    ConfigStore own;
    int64_t blockEnd = 0;
    bool read = false;
    if (file.compare(0, 2, "MZ") == 0) {
        BlockFailure failure;
        read = decodeConfigBlock(source, "", own, blockEnd, failure);
    } else {
        BlockDecoder decoder(source, nullptr);
        read = decoder.readRecords(own) && decoder.readLocaleSections(own, "");
        blockEnd = source.position();
    }
    if (!read) {
        problem = "no block in " + host.launcherFile;
        return false;
    }
    const std::string text = own.narrow[rec::RuntimeClasses];
    if (text.empty())
        return true;
    logMessage("%s: %s", kRuntimeClassesReaderMark, text.c_str());
    const std::optional<RuntimeClassesPlace> place = parseRuntimeClassesPlace(text);
    if (!place) {
        problem = "its record RuntimeClasses reads '" + text + "'";
        return false;
    }
    const uint64_t start = uint64_t(blockEnd) + place->offset;
    if (start > file.size() || file.size() - start < place->length) {
        problem = "the launcher's file ends before them";
        return false;
    }
    pack = file.substr(start, place->length);
    return true;
}

FILE* openDefaultOptionsFile() {
    FILE* file = host.optionsFile.empty() ? nullptr : std::fopen(host.optionsFile.c_str(), "rb");
    logMessage("vmoptions: %s, file: %p", host.optionsFile.c_str(), static_cast<void*>(file));
    return file;
}

// The host keeps nothing between starts: every start checks main itself.
std::string mainCheckKey(const std::string&, const OptionList&) { return std::string(); }
bool mainCheckedBefore(const std::string&) { return false; }
void rememberMainChecked(const std::string&) {}
