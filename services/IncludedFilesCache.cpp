#include "services/IncludedFilesCache.h"

#include <cstdint>
#include <string_view>

#include "core/AsciiCase.h"
#include "core/BoundedCopy.h"
#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Platform.h"
#include "services/CacheFolder.h"
#include "services/FolderTree.h"
#include "services/IncludedFileName.h"
#include "services/TempDir.h"

namespace {

// Starts that meet each other (a folder published or removed under them)
// look again; this many times, then the start uses a fresh folder.
constexpr int kAttempts = 4;

std::string shown(std::wstring_view wide) { return narrowForDisplay(fileApiCodePage(), wide); }

std::wstring ascii(std::string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring number(unsigned long value) { return std::to_wstring(value); }

// The content folder of this process, open until the process ends.
ScopedHandle heldFolder;

// Opened without FILE_SHARE_DELETE: while the handle lives, no one can
// rename the folder, which is the only way anyone removes it. A link is
// opened as itself, never followed.
ScopedHandle openFolder(const std::wstring& path) {
    return ScopedHandle(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
}

bool isPlainFolder(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr) || isFolder(path))
        return true;
    logError("could not create the folder %s (%lu)", shown(path).c_str(), GetLastError());
    return false;
}

// The user's local application data, else the temporary path, which is the
// user's own as well; with the folder of every application's files.
std::wstring cacheRoot() {
    wchar_t value[kTempPathCapacity];
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", value, DWORD(kTempPathCapacity));
    const std::wstring_view local(value, n < kTempPathCapacity ? n : 0);
    const bool absolute = local.size() >= 3 && ((local[1] == L':' && local[2] == L'\\') ||
                                                (local[0] == L'\\' && local[1] == L'\\'));
    std::wstring root;
    if (absolute && isFolder(std::wstring(local))) {
        root = local;
    } else {
        char temp[kTempPathCapacity];
        chooseTempPath(temp, sizeof temp);
        logMessage("LOCALAPPDATA names no folder; the included files are kept below %s", temp);
        if (!widenText(fileApiCodePage(), temp, root))
            return {};
    }
    while (root.size() > 3 && root.back() == L'\\')
        root.pop_back();
    if (root.empty())
        return {};
    return root + (root.back() == L'\\' ? L"" : L"\\") + ascii(kCacheRootName);
}

std::wstring applicationFolder() {
    std::wstring application;
    if (!widenText(CP_ACP, getConfigString(rec::ApplicationName), application))
        application.clear();
    std::wstring_view file = launcherPathWide();
    file.remove_prefix(file.find_last_of(L"\\/") + 1);  // npos + 1 is 0
    return applicationFolderName(application, file);
}

struct IncludedData {
    int64_t offset;  // of the bytes, behind the length field
    int64_t length;  // as the field says: 0 or less makes no file
};

// Where each file's bytes lie, read from the length fields alone; false when
// the launcher ends before them. `end` is behind the last one.
bool locateIncludedData(HANDLE file, size_t count, std::vector<IncludedData>& found, int64_t& end) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return false;
    int64_t position = blockEndOffset();
    for (size_t i = 0; i < count; ++i) {
        unsigned char field[8];
        DWORD got = 0;
        LARGE_INTEGER at;
        at.QuadPart = position;
        if (size.QuadPart - position < 8 || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
            !ReadFile(file, field, sizeof field, &got, nullptr) || got != sizeof field)
            return false;
        uint64_t value = 0;
        for (int k = 7; k >= 0; --k)
            value = (value << 8) | field[k];
        const int64_t length = int64_t(value);
        const int64_t bytes = length > 0 ? length : 0;
        if (bytes > size.QuadPart - position - 8)
            return false;
        found.push_back({position + 8, length});
        position += 8 + bytes;
    }
    end = position;
    return true;
}

// What the file system says of `path`: a file, its size and last write.
// A query per file costs less under Wine than listing the folders.
bool describeFile(const std::wstring& path, CachedFile& found) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    found.size = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    found.lastWrite = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

std::wstring indexPath(const std::wstring& folder) { return folder + L"\\" + ascii(kCacheIndexName); }

// The index of what was just extracted into `folder`, as the file system
// keeps it (a FAT volume rounds times), so later starts compare like with like.
bool writeIndex(const std::wstring& folder, std::string_view hash, const std::vector<std::wstring>& names,
                const std::vector<IncludedData>& data) {
    std::vector<CachedFile> files(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        if (data[i].length > 0 &&
            (!describeFile(folder + L"\\" + names[i], files[i]) || files[i].size != data[i].length))
            return false;
    const std::string text = formatCacheIndex(hash, files);
    ScopedHandle out(CreateFileW(indexPath(folder).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return out.valid() && WriteFile(out.get(), text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size();
}

// Writes one file anew from the launcher beside its place and renames it
// there, with the last-write time the index holds, so that starts restoring
// it at once agree and the index stays as it is.
bool restoreFile(HANDLE launcher, const std::wstring& folder, const std::wstring& name, const IncludedData& data,
                 const CachedFile& kept) {
    const std::wstring target = folder + L"\\" + name;
    logMessage("restoring %s (missing or changed)", shown(target).c_str());
    for (size_t slash = name.find(L'\\'); slash != std::wstring::npos; slash = name.find(L'\\', slash + 1))
        CreateDirectoryW(target.substr(0, folder.size() + 1 + slash).c_str(), nullptr);
    const std::wstring part = target + L".kvo-" + number(GetCurrentProcessId()) + L".part";
    bool written = false;
    {
        ScopedHandle out(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
        LARGE_INTEGER at;
        at.QuadPart = data.offset;
        FILETIME time;
        time.dwLowDateTime = DWORD(kept.lastWrite);
        time.dwHighDateTime = DWORD(kept.lastWrite >> 32);
        written = out.valid() && SetFilePointerEx(launcher, at, nullptr, FILE_BEGIN) &&
                  copyRange(launcher, out.get(), data.length, true, kKeptFilesChunk) == 0 &&
                  SetFileTime(out.get(), nullptr, nullptr, &time);
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file is not replaced
    if (written && MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    logError("could not restore %s (%lu)", shown(target).c_str(), GetLastError());
    DeleteFileW(part.c_str());
    return false;
}

enum class Check { good, broken, failed };

// Compares every file with the index (sizes and times, nothing read) and
// restores those that differ. `broken`: the folder is not as a launcher
// publishes one; `failed`: a file could not be restored.
Check checkContent(const std::wstring& folder, std::string_view hash, const std::vector<std::wstring>& names,
                   const std::vector<IncludedData>& data) {
    std::string text(cacheIndexLimit(names.size()) + 1, '\0');
    DWORD got = 0;
    {
        ScopedHandle in(CreateFileW(indexPath(folder).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!in.valid() || !ReadFile(in.get(), text.data(), DWORD(text.size()), &got, nullptr)) {
            logError("%s has no index of its files (%lu)", shown(folder).c_str(), GetLastError());
            return Check::broken;
        }
    }
    text.resize(got);
    std::vector<CachedFile> kept;
    if (const char* problem = parseCacheIndex(text, hash, names.size(), kept)) {
        logError("the index of %s is refused: %s", shown(folder).c_str(), problem);
        return Check::broken;
    }
    std::vector<size_t> stale;
    for (size_t i = 0; i < names.size(); ++i) {
        if (kept[i].size != (data[i].length > 0 ? data[i].length : 0)) {
            logError("the index of %s does not describe this launcher's files", shown(folder).c_str());
            return Check::broken;
        }
        CachedFile now;
        if (kept[i].size > 0 && (!describeFile(folder + L"\\" + names[i], now) || now.size != kept[i].size ||
                                 now.lastWrite != kept[i].lastWrite))
            stale.push_back(i);
    }
    if (stale.empty())
        return Check::good;
    ScopedHandle launcher(openLauncherFile());
    for (size_t i : stale)
        if (!launcher.valid() || !restoreFile(launcher.get(), folder, names[i], data[i], kept[i]))
            return Check::failed;
    return Check::good;
}

// Takes a folder out of use by renaming it, which fails while a launcher
// holds it, then removes it.
bool retire(const std::wstring& application, std::wstring_view name) {
    static unsigned counter = 0;
    const std::wstring from = application + L"\\" + std::wstring(name);
    const std::wstring to = application + L"\\" + std::wstring(name.substr(0, kContentHashDigits)) + L".old-" +
                            number(GetCurrentProcessId()) + L"-" + number(GetTickCount()) + number(++counter);
    if (!MoveFileExW(from.c_str(), to.c_str(), 0)) {
        logMessage("%s stays: in use (%lu)", shown(from).c_str(), GetLastError());
        return false;
    }
    logMessage("removing %s", shown(from).c_str());
    if (!removeFolderTree(to))
        logMessage("%s could not be removed whole; a later start tries again", shown(to).c_str());
    return true;
}

// The application's other contents, and folders that starts left half
// written, go when no launcher holds them; entries of any other name are
// not the launcher's and stay, as do links.
void removeOtherContents(const std::wstring& application, std::string_view hash) {
    std::vector<std::pair<std::wstring, CacheFolderKind>> found;
    {
        WIN32_FIND_DATAW entry;
        ScopedFindHandle find(FindFirstFileW((application + L"\\*").c_str(), &entry));
        if (!find.valid())
            return;
        do {
            const std::wstring_view name(entry.cFileName);
            const CacheFolderKind kind = cacheFolderKind(name);
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || kind == CacheFolderKind::other ||
                (kind == CacheFolderKind::content && equalsIgnoringAsciiCase(name, hash)))
                continue;
            found.emplace_back(name, kind);
        } while (FindNextFileW(find.get(), &entry));
    }
    for (const auto& [name, kind] : found) {
        if (kind != CacheFolderKind::retired) {
            retire(application, name);
        } else if (!removeFolderTree(application + L"\\" + name)) {
            logMessage("%s could not be removed whole", shown(application + L"\\" + name).c_str());
        }
    }
}

enum class Publish { done, lost, failed };

// Extracts into a sibling folder of `content`, held while it is written,
// with the index last, and gives it the content's name in one rename.
Publish extractAndPublish(const std::wstring& content, std::string_view hash, const std::vector<std::wstring>& names,
                          const std::vector<IncludedData>& data) {
    std::wstring staging;
    ScopedHandle hold;
    for (unsigned attempt = 0; attempt < 10 && !hold.valid(); ++attempt) {
        staging = content + L".new-" + number(GetCurrentProcessId()) + L"-" + number(GetTickCount() + attempt);
        if (CreateDirectoryW(staging.c_str(), nullptr))
            hold = openFolder(staging);
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!hold.valid()) {
        logError("could not make a folder beside %s (%lu)", shown(content).c_str(), GetLastError());
        return Publish::failed;
    }
    logMessage("extracting into %s", shown(staging).c_str());
    // A file that cannot be written here (a path too long for this profile,
    // say) sends the start to a fresh folder rather than ending it, and so
    // no failing start leaves a sibling behind.
    const int result = extractIncludedFilesInto(staging, names, true, kKeptFilesChunk, true);
    const bool written = result == 0 && writeIndex(staging, hash, names, data);
    hold.close();  // the rename needs the folder free
    if (!written) {
        logError("the included files could not be written into %s (%d, %lu)", shown(staging).c_str(), result,
                 GetLastError());
        removeFolderTree(staging);
        return Publish::failed;
    }
    if (MoveFileExW(staging.c_str(), content.c_str(), 0)) {
        logMessage("published %s", shown(content).c_str());
        return Publish::done;
    }
    const DWORD error = GetLastError();
    removeFolderTree(staging);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || error == ERROR_ACCESS_DENIED) {
        logMessage("another start published %s first", shown(content).c_str());
        return Publish::lost;
    }
    logError("could not publish %s (%lu)", shown(content).c_str(), error);
    return Publish::failed;
}

}  // namespace

bool useIncludedFilesCache(const std::vector<std::wstring>& names) {
    const std::string hash = getConfigString(rec::IncludedFilesHash);
    if (!isContentHash(hash)) {
        logError("IncludedFilesHash \"%s\" is not %u hexadecimal digits", hash.c_str(),
                 static_cast<unsigned>(kContentHashDigits));
        return false;
    }
    for (const std::wstring& name : names)
        if (equalsIgnoringAsciiCase(std::wstring_view(name), kCacheIndexName)) {
            logError("the included file %s takes the name of the index of kept files", shown(name).c_str());
            return false;
        }
    std::vector<IncludedData> data;
    int64_t end = 0;
    {
        ScopedHandle launcher(openLauncherFile());
        if (!launcher.valid() || !locateIncludedData(launcher.get(), names.size(), data, end)) {
            logError("the lengths of the included files cannot be read from %s", launcherPath());
            return false;
        }
    }
    const std::wstring root = cacheRoot();
    const std::wstring application = root + L"\\" + applicationFolder();
    if (root.empty() || !makeFolder(root) || !makeFolder(application))
        return false;
    const std::wstring content = application + L"\\" + ascii(hash);
    // The application learns the folder as narrow text of the code page.
    std::string narrow;
    if (!narrowExact(fileApiCodePage(), content, narrow) || narrow.size() >= kTempPathCapacity) {
        logError("%s cannot be named in the code page of the file functions", shown(content).c_str());
        return false;
    }
    logMessage("%s in %s", kCacheReaderMark, narrow.c_str());
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ScopedHandle folder = openFolder(content);
        if (!folder.valid()) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                logError("could not open %s (%lu)", narrow.c_str(), error);
                return false;
            }
            if (extractAndPublish(content, hash, names, data) == Publish::failed)
                return false;
            continue;
        }
        if (!isPlainFolder(folder.get())) {
            logError("%s is not a folder the launcher made (a link?)", narrow.c_str());
            return false;
        }
        const Check check = checkContent(content, hash, names, data);
        if (check == Check::failed)
            return false;
        if (check == Check::broken) {
            folder.close();
            retire(application, std::wstring_view(content).substr(application.size() + 1));
            continue;
        }
        heldFolder = std::move(folder);
        copyWhole(launcherTempDir, sizeof launcherTempDir, narrow);
        launcherTempDirKept = true;
        unextractedPosition = static_cast<uint32_t>(end);
        removeOtherContents(application, hash);
        return true;
    }
    logError("the folder %s could not be settled in %d attempts", narrow.c_str(), kAttempts);
    return false;
}

std::vector<std::string> keptIncludedFiles(std::string_view folder, std::string_view extension) {
    std::vector<std::string> paths;
    std::wstring list, directory;
    if (!launcherTempDirKept || !widenText(fileApiCodePage(), getConfigString(rec::IncludedFileNames), list) ||
        !widenText(fileApiCodePage(), launcherTempDir, directory))
        return paths;
    const std::wstring suffix = L"." + ascii(extension);
    for (std::wstring_view name : includedFileNamesToHandle(list, getConfigInt(rec::IncludedFileCount))) {
        const size_t slash = name.rfind(L'\\');
        const std::wstring_view in = slash == std::wstring_view::npos ? std::wstring_view() : name.substr(0, slash);
        if (!equalsIgnoringAsciiCase(in, folder) || name.size() - (slash + 1) <= suffix.size() ||
            !equalsIgnoringAsciiCase(name.substr(name.size() - suffix.size()), std::wstring_view(suffix)))
            continue;
        const std::wstring path = directory + L"\\" + std::wstring(name);
        std::string narrow;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
            narrowExact(fileApiCodePage(), path, narrow))
            paths.push_back(narrow);
    }
    return paths;
}
