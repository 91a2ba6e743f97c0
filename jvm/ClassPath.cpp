#include "jvm/ClassPath.h"

#include <cstring>
#include <string_view>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "jvm/Variables.h"
#include "runtime/RuntimeText.h"
#include "services/IncludedFilesCache.h"
#include "services/TempDir.h"

namespace {

// A class path that silently lost an archive would start the application
// half-broken; what does not fit is left out whole and named in the log.
void appendOrLog(ClassPathText& classPath, std::string_view piece) {
    if (!classPath.append(piece))
        logError("class path longer than %u bytes: %.*s left out",
                 static_cast<unsigned>(ClassPathText::kCapacity - 1), static_cast<int>(piece.size()),
                 piece.data());
}

bool allPiecesExist(const std::string& joined) {
    const std::vector<std::string> pieces = splitList(joined);
    for (const std::string& piece : pieces)
        if (!pathExists(piece))
            return false;
    return !pieces.empty();
}

void appendVariableEntry(ClassPathText& classPath, const ClassPathEntry& entry) {
    char value[8192];
    const DWORD n = GetEnvironmentVariableA(entry.text.c_str(), value, sizeof value);
    const DWORD error = GetLastError();
    if (n > 0 && n < sizeof value) {
        appendOrLog(classPath, classPathValueOfVariable(std::string_view(value, n)));
        return;
    }
    if (n >= sizeof value) {
        logError("environment variable %s is longer than %u bytes: left out of the class path",
                 entry.text.c_str(), static_cast<unsigned>(sizeof value - 1));
        return;
    }
    // A mandatory variable that is set but empty is as useless as a missing one.
    if (entry.mandatory && (error == ERROR_ENVVAR_NOT_FOUND || n == 0))
        fatalErrorMessage(msg::VariableUndefined, entry.text.c_str());
}

// A folder's entries as the wide calls list them: the narrow ones would
// hand over "??.jar" for a name the code page cannot hold.
std::vector<FolderEntry> listFolderEntries(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::wstring wide;
    if (!widenText(fileApiCodePage(), folder + "\\*", wide))
        return entries;
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(wide.c_str(), &data));
    if (!find.valid())
        return entries;
    do
        entries.push_back({std::u16string(reinterpret_cast<const char16_t*>(data.cFileName)),
                           std::u16string(reinterpret_cast<const char16_t*>(data.cAlternateFileName)),
                           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    while (FindNextFileW(find.get(), &data));
    return entries;
}

bool hasWildcardPiece(const std::string& text) {
    for (const std::string& piece : splitList(text))
        if (classPathWildcardFolder(piece))
            return true;
    return false;
}

// "A0.\lib\*" as the java command expands "lib/*" (OptionText.h).
bool appendWildcardEntry(ClassPathText& classPath, const std::string& text) {
    ArchiveSystem system;
    system.absolute = [](const std::string& path) { return resolvePath(path); };
    system.exists = pathExists;
    system.list = listFolderEntries;
    system.narrow = [](std::u16string_view name) -> std::optional<std::string> {
        std::string narrow;
        if (!narrowExact(fileApiCodePage(), name, narrow))
            return std::nullopt;
        return narrow;
    };
    system.log = [](const std::string& line) { logMessage("%s", line.c_str()); };
    const ArchiveEntry entry = expandArchiveEntry(text, system);
    for (const std::string& path : entry.paths)
        appendOrLog(classPath, path + ";");
    return entry.found;
}

}  // namespace

std::vector<std::string> listDirectoryFiles(const std::string& directory, const char* extension) {
    std::string pattern = directory + "\\*";
    if (extension[0] != '.')
        pattern += '.';
    pattern += extension;
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    ScopedFindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find.valid())
        return names;
    do
        names.emplace_back(data.cFileName);
    while (FindNextFileA(find.get(), &data));
    return names;
}

bool appendDirectoryArchives(ClassPathText& classPath, const std::string& directory, const char* extension) {
    if (!pathExists(directory))
        return false;
    for (const std::string& name : listDirectoryFiles(directory, extension))
        appendOrLog(classPath, resolvePath(directory + "\\" + name) + ";");
    return true;
}

void appendConfiguredClassPath(ClassPathText& classPath) {
    char record[8192];
    getConfigString(rec::ClassPath, record, sizeof record);
    logMessage("classpath entry %s", record);
    for (const std::string& raw : splitList(record)) {
        ClassPathEntry entry = parseClassPathEntry(raw);
        expandVariables(entry.text);
        bool found = true;
        switch (entry.type) {
        case 'A':
            if (hasWildcardPiece(entry.text)) {
                found = appendWildcardEntry(classPath, entry.text);
                break;
            }
            [[fallthrough]];
        case 'D': {
            // Judged by the absolute paths that go on the class path: a
            // relative entry means the launcher's directory, not wherever
            // the working directory happens to be.
            const std::string absolute = resolvePathList(entry.text);
            found = allPiecesExist(absolute);
            appendOrLog(classPath, absolute + ";");
            break;
        }
        case 'S': {
            const std::string directory = resolvePath(entry.text);
            found = appendDirectoryArchives(classPath, directory, "jar");
            appendDirectoryArchives(classPath, directory, "zip");
            break;
        }
        case 'E':
            appendVariableEntry(classPath, entry);
            break;
        default:
            break;
        }
        if (entry.mandatory && !found)
            fatalErrorMessage(msg::FileNotFound, entry.text.c_str());
    }
}

std::string buildClassPathOption(const std::optional<std::string>& classPathPrepend,
                                 const std::optional<std::string>& classPathReplace,
                                 const std::optional<std::string>& classPathAppend) {
    ClassPathText classPath;
    if (classPathPrepend)
        appendOrLog(classPath, *classPathPrepend + ";");
    if (launcherTempDir[0] != '\0' && launcherTempDirKept) {
        for (const char* folder : {"", "user"})
            for (const char* extension : {"jar", "zip"})
                for (const std::string& path : keptIncludedFiles(folder, extension))
                    appendOrLog(classPath, path + ";");
    } else if (launcherTempDir[0] != '\0') {
        const std::string temp = launcherTempDir;
        appendDirectoryArchives(classPath, temp, "jar");
        appendDirectoryArchives(classPath, temp, "zip");
        appendDirectoryArchives(classPath, temp + "\\user", "jar");
        appendDirectoryArchives(classPath, temp + "\\user", "zip");
    }
    if (productFlavor == 'i') {
        std::string archive = canonicalPath(getConfigString(rec::InstallationDirectory), false);
        if (archive.empty() || archive.back() != '\\')
            archive += '\\';
        archive += ".vandrel\\vdlruntime.jar;";
        appendOrLog(classPath, archive);
    }
    if (classPathReplace)
        appendOrLog(classPath, *classPathReplace);
    else
        appendConfiguredClassPath(classPath);
    if (classPathAppend) {
        if (!classPath.endsWith(';'))
            appendOrLog(classPath, ";");
        appendOrLog(classPath, *classPathAppend);
    }
    return classPath.text();
}
