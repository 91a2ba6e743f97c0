#include "services/TempDir.h"

#include <direct.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/CodePage.h"
#include "core/AsciiCase.h"
#include "core/BoundedCopy.h"
#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "services/FolderTree.h"
#include "services/IncludedFileName.h"
#include "services/IncludedFilesCache.h"

char launcherTempDir[kTempPathCapacity] = "";
uint32_t unextractedPosition = 0;
bool launcherTempDirKept = false;

namespace {

// snprintf that leaves `out` empty instead of cut.
template <class... Args>
bool formatWhole(char* out, size_t capacity, const char* format, Args... args) {
    const int n = std::snprintf(out, capacity, format, args...);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        if (capacity > 0)
            out[0] = '\0';
        return false;
    }
    return true;
}

// HOMEDRIVE followed by HOMEPATH, or empty when they do not fit.
void homeDirectory(char* out, size_t capacity) {
    const DWORD cap = static_cast<DWORD>(capacity);
    DWORD n = GetEnvironmentVariableA("HOMEDRIVE", out, cap);
    if (n >= cap)
        n = 0;
    out[n] = '\0';
    const DWORD m = GetEnvironmentVariableA("HOMEPATH", out + n, cap - n);
    if (m >= cap - n)
        out[0] = '\0';
    else
        out[n + m] = '\0';
}

// The path is kept when its long form exists and the code page holds it.
bool usableAsIs(const char* path) {
    std::wstring wide;
    wchar_t longForm[kTempPathCapacity];
    DWORD n = 0;
    if (widenText(fileApiCodePage(), path, wide)) {
        // A path without a short (8.3) name is its own long form, which the
        // code page already holds; then only its existence is in question.
        // The long form is looked up folder by folder, costly under Wine.
        if (wide.find(L'~') == std::wstring::npos && wide.size() < kTempPathCapacity) {
            // Whatever the path names, as the long-form lookup accepts it:
            // behind a trailing separator a file is found as well.
            std::wstring entry = wide;
            if (entry.size() > 3 && (entry.back() == L'\\' || entry.back() == L'/'))
                entry.pop_back();
            if (GetFileAttributesW(entry.c_str()) != INVALID_FILE_ATTRIBUTES)
                return true;
        } else {
            n = GetLongPathNameW(wide.c_str(), longForm, static_cast<DWORD>(kTempPathCapacity));
        }
    }
    if (n == 0 || n >= kTempPathCapacity) {
        // Nothing reachable is there (TMP naming a missing drive or a file):
        // writing into it would only fail later and less clearly.
        logMessage("temp path %s cannot be used (last error %lu)", path, GetLastError());
        return false;
    }
    std::string narrow;
    if (!narrowExact(fileApiCodePage(), std::wstring_view(longForm, n), narrow)) {
        logMessage("temp path %s holds characters the code page cannot show", path);
        return false;
    }
    return true;
}

bool chooseFallback(char* out, size_t capacity) {
    char windows[MAX_PATH] = "";
    const UINT w = GetWindowsDirectoryA(windows, sizeof windows);
    if (w == 0 || w >= sizeof windows)
        windows[0] = '\0';
    std::string windowsTemp;
    if (windows[0] != '\0')
        windowsTemp = std::string(windows) + "\\temp";
    const std::string candidates[] = {windowsTemp, "c:\\temp", "c:\\tmp", windows, "c:\\"};
    for (const std::string& candidate : candidates) {
        if (candidate.empty() || !isWritableDirectory(candidate.c_str()))
            continue;
        if (candidate == "c:\\") {
            const int made = _mkdir("c:\\tmp");
        logMessage("make dir returned %d", made);
            if (!isWritableDirectory("c:\\tmp"))
                return false;
            return copyWhole(out, capacity, "c:\\tmp");
        }
        logMessage("using %s as temp path", candidate.c_str());
        return copyWhole(out, capacity, candidate);
    }
    return false;
}

std::wstring lowerAsciiText(std::wstring text) {
    for (wchar_t& c : text)
        c = lowerAscii(c);
    return text;
}

// Paths are shown in the log as the file functions' code page writes them.
std::string shown(std::wstring_view wide) { return narrowForDisplay(fileApiCodePage(), wide); }

[[noreturn]] void failIncludedFile(const char* format, std::wstring_view what) {
    logError(format, shown(what).c_str());
    fatalErrorMessage(msg::InternalError, "11");
}

}  // namespace

void chooseTempPath(char* out, size_t capacity) {
    wchar_t wide[kTempPathCapacity];
    const DWORD n = GetTempPathW(static_cast<DWORD>(kTempPathCapacity), wide);
    const DWORD error = GetLastError();
    logMessage("GetTempPath returned %d (last error %d)", static_cast<int>(n), static_cast<int>(error));
    if (capacity == 0)
        return;
    out[0] = '\0';
    bool representable = true;
    if (n > 0 && n < kTempPathCapacity) {
        const int made = _wmkdir(wide);
        logMessage("make dir returned %d", made);
        // A letter the code page lacks must not turn into a look-alike: that
        // would name (and create) another directory.
        std::string narrow;
        representable = narrowExact(fileApiCodePage(), std::wstring_view(wide, n), narrow) &&
                        copyWhole(out, capacity, narrow);
        if (!representable)
            logMessage("temp path %ls holds characters the code page cannot show", wide);
    } else {
        homeDirectory(out, capacity);
        logMessage("No temp dir defined. Using home %s", out);
    }
    if (representable && out[0] != '\0' && usableAsIs(out))
        return;
    if (!chooseFallback(out, capacity))
        fatalErrorMessage(msg::NotPowerUser, nullptr);
}

bool isWritableDirectory(const char* dir) {
    char test[kTempPathCapacity];
    if (!formatWhole(test, sizeof test, "%s\\kvo_w_testdir", dir))
        return false;
    _rmdir(test);  // a crashed earlier run may have left it
    if (_mkdir(test) != 0)
        return false;
    const bool exists = pathExists(test);
    _rmdir(test);
    return exists;
}

void makeTempFileName(char* out, size_t capacity) {
    char path[kTempPathCapacity];
    chooseTempPath(path, sizeof path);
    logMessage("tempPath is %s", path);
    char name[MAX_PATH];
    if (GetTempFileNameA(path, "kvo", 0, name) != 0) {
        if (!copyWhole(out, capacity, name))
            logError("temporary file name %s does not fit", name);
    } else {
        logMessage("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
        // Seeded once: reseeding within the same second would repeat the name
        // on every retry of the temporary directory.
        static bool seeded = false;
        if (!seeded) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            seeded = true;
        }
        if (!formatWhole(out, capacity, "%skvo%d", path, std::rand()))
            logError("temporary file name in %s does not fit", path);
    }
    logMessage("tempFile is %s", out);
}

bool processCommFilePath(char* out, size_t capacity, unsigned long pid) {
    char path[kTempPathCapacity];
    chooseTempPath(path, sizeof path);
    return formatWhole(out, capacity, "%skvo_p%d.tmp", path, static_cast<int>(pid));
}

void createLauncherTempDir() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        char file[kTempPathCapacity];
        makeTempFileName(file, sizeof file);
        const int32_t now = static_cast<int32_t>(static_cast<uint32_t>(std::time(nullptr)));
        if (file[0] == '\0' ||
            !formatWhole(launcherTempDir, sizeof launcherTempDir, "%s_dir%d", file, static_cast<int>(now))) {
            // An empty or cut name would put the directory somewhere else.
            logMessage("Could not create dir (%d)", static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
            continue;
        }
        logMessage("Temp dir: %s", launcherTempDir);
        if (CreateDirectoryA(launcherTempDir, nullptr))
            return;
        logMessage("Could not create dir (%d)", static_cast<int>(GetLastError()));
    }
    launcherTempDir[0] = '\0';
    fatalErrorMessage(msg::InternalError, "7");
}

int extractIncludedFile(HANDLE launcherFile, const wchar_t* target, size_t chunkSize, bool recoverable) {
    const int64_t length = readLong(launcherFile);
    logMessage("extracting %s (size: %lld)", shown(target).c_str(), static_cast<long long>(length));
    if (length <= 0)
        return 0;
    ScopedHandle out(CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        logError("could not create %s (%lu)", shown(target).c_str(), GetLastError());
        if (recoverable)
            return 2;
        fatalErrorMessage(msg::InternalError, "11");
    }
    // The file is closed on failure too, so that the error exit can delete
    // it along with the temporary directory.
    return copyRange(launcherFile, out.get(), length, true, chunkSize);
}

int extractIncludedFile(HANDLE launcherFile, const char* target) {
    std::wstring wide;
    if (!widenText(fileApiCodePage(), target, wide))
        failIncludedFile("included file path %s is not text of the code page", std::wstring());
    return extractIncludedFile(launcherFile, wide.c_str());
}

// The names of the included files to extract, read as characters: in a
// double-byte code page (932, 936, 949, 950) the second byte of a character
// can be the backslash's. Every name is checked before anything is written:
// the block, not the launcher, decides the names, and none may reach
// outside the directory. Ends the launcher on a name it refuses.
std::vector<std::wstring> checkedIncludedFileNames(int32_t count, bool anyDepth) {
    std::wstring list;
    if (!widenText(fileApiCodePage(), getConfigString(rec::IncludedFileNames), list))
        failIncludedFile("included file names%s are not text of the code page", std::wstring());
    std::vector<std::wstring> names;
    for (std::wstring_view name : includedFileNamesToHandle(list, count)) {
        if (const char* problem = includedFileNameProblem(name, anyDepth)) {
            logError("included file name %s refused: %s", shown(name).c_str(), problem);
            fatalErrorMessage(msg::InternalError, "11");
        }
        names.emplace_back(name);
    }
    return names;
}

int extractIncludedFilesInto(const std::wstring& directory, const std::vector<std::wstring>& names,
                             bool allLevels, size_t chunkSize, bool recoverable) {
    ScopedHandle file(openLauncherFile());
    if (!file.valid()) {
        logError("Could not open %s", launcherPath());
        fatalError("Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    LARGE_INTEGER start;
    start.QuadPart = blockEndOffset();
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        logError("could not seek to the included files (%lu)", GetLastError());
        return 1;
    }

    // Every level is made once: a runtime has hundreds of files in a few
    // folders, and each attempt is a call into the system.
    std::set<std::wstring> made;
    for (const std::wstring& name : names) {
        const std::wstring target = directory + L"\\" + name;
        if (target.size() >= kTempPathCapacity) {
            if (!recoverable)
                failIncludedFile("the path of included file %s is too long", name);
            logError("the path of included file %s is too long", shown(name).c_str());
            return 2;
        }
        for (size_t slash = name.find(L'\\'); slash != std::wstring::npos;
             slash = allLevels ? name.find(L'\\', slash + 1) : std::wstring::npos) {
            const std::wstring level = target.substr(0, directory.size() + 1 + slash);
            if (allLevels && !made.insert(lowerAsciiText(level)).second)
                continue;
            logMessage("creating directory %s", shown(level).c_str());
            if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                logError("failed to create directory %s", shown(level).c_str());
        }
        const int result = extractIncludedFile(file.get(), target.c_str(), chunkSize, recoverable);
        if (result != 0) {
            logError("Failed to extract %s", shown(target).c_str());
            return result;
        }
    }

    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (SetFilePointerEx(file.get(), zero, &position, FILE_CURRENT))
        unextractedPosition = static_cast<uint32_t>(position.QuadPart);
    return 0;
}

int extractIncludedFiles(bool createDirectory) {
    logMessage("extracting files");
    const int32_t count = getConfigInt(rec::IncludedFileCount);
    logMessage("Included files: %d", static_cast<int>(count));
    // The folder is the included files' alone: without them none is made,
    // and nothing is written into the temporary path.
    if (count == 0) {
        if (createDirectory)
            launcherTempDir[0] = '\0';
        return 0;
    }
    // Kept files may lie deeper: a runtime's do.
    const bool kept = getConfigBool(rec::IncludedFilesCache);
    const std::vector<std::wstring> names = checkedIncludedFileNames(count, kept);
    if (kept && createDirectory) {
        if (useIncludedFilesCache(names)) {
            logMessage("unextracted position: %u", static_cast<unsigned>(unextractedPosition));
            logMessage("extracting files done");
            return 0;
        }
        logMessage("the included files go into a fresh temporary folder instead");
    }

    if (createDirectory)
        createLauncherTempDir();
    if (launcherTempDir[0] == '\0') {
        logError("no temporary directory to extract the included files into");
        fatalErrorMessage(msg::InternalError, "11");
    }
    std::wstring directory;
    if (!widenText(fileApiCodePage(), launcherTempDir, directory))
        failIncludedFile("temporary directory%s is not text of the code page", std::wstring());
    const int result = extractIncludedFilesInto(directory, names, kept, kept ? kKeptFilesChunk : 8192, false);
    if (result != 0)
        return result;
    logMessage("unextracted position: %u", static_cast<unsigned>(unextractedPosition));
    logMessage("extracting files done");
    return 0;
}

namespace {

// Wide throughout: a name that ends in a double-byte character whose second
// byte is the backslash's would otherwise be taken for one that ends in a
// separator.
void emptyDirectoryWide(const std::wstring& directory, bool recurse) {
    logMessage("emptying %s", shown(directory).c_str());
    const wchar_t* separator = directory.back() == L'\\' ? L"" : L"\\";
    const std::wstring pattern = directory + separator + L"*.*";
    if (pattern.size() >= kTempPathCapacity)
        return;
    WIN32_FIND_DATAW entry;
    ScopedFindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find.valid())
        return;
    do {
        const std::wstring_view name(entry.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const std::wstring full = directory + separator + std::wstring(name);
        if (full.size() >= kTempPathCapacity)
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logMessage("attempting to remove %s (%d)", shown(full).c_str(), recurse ? 1 : 0);
            // A link is removed as a link: what it points to is not ours.
            if (recurse && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                emptyDirectoryWide(full, false);
            RemoveDirectoryW(full.c_str());
        } else {
            logMessage("attempting to delete %s", shown(full).c_str());
            DeleteFileW(full.c_str());
        }
    } while (FindNextFileW(find.get(), &entry));
}

}  // namespace

void emptyDirectory(const char* directory, bool recurse) {
    if (!directory || directory[0] == '\0' || directory[0] == '.')
        return;
    std::wstring wide;
    if (!widenText(fileApiCodePage(), directory, wide) || wide.empty()) {
        logError("emptying %s: not text of the code page", directory);
        return;
    }
    emptyDirectoryWide(wide, recurse);
}

void removeLauncherTempDir() {
    if (launcherTempDir[0] == '\0' || launcherTempDirKept)
        return;
    emptyDirectory(launcherTempDir, true);
    // Names of a launcher that keeps its files may lie deeper than emptying reaches.
    std::wstring wide;
    if (!RemoveDirectoryA(launcherTempDir) && getConfigBool(rec::IncludedFilesCache) &&
        widenText(fileApiCodePage(), launcherTempDir, wide))
        removeFolderTree(wide);
}
