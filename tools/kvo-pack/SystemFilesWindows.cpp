// The packer's file operations on Windows: every path goes to the UTF-16
// calls, so names outside the ANSI code page work as on Linux.
#include "tools/kvo-pack/SystemFiles.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <iterator>

namespace kvopack::sys {
namespace {

// Win32 errors as the errno values the messages are made of.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

int failWith(DWORD error) {
    errno = errnoOf(error);
    return -1;
}

// UTF-8 to UTF-16; false (errno EINVAL) for text that is no UTF-8.
bool wide(const std::string& utf8, std::wstring& out) {
    out.clear();
    if (utf8.empty())
        return true;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) {
        errno = EINVAL;
        return false;
    }
    out.resize(size_t(n));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), out.data(), n);
    return true;
}

std::string narrowUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void describe(const BY_HANDLE_FILE_INFORMATION& info, bool linkItself, FileStatus& status) {
    const bool reparse = linkItself && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    status.link = reparse;
    status.directory = !reparse && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    status.regular = !reparse && !status.directory;
    status.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    status.device = info.dwVolumeSerialNumber;
    status.inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

}  // namespace

std::filesystem::path toPath(const std::string& utf8) {
    std::wstring w;
    if (!wide(utf8, w))
        return std::filesystem::path(utf8);
    return std::filesystem::path(w);
}

std::string fromPath(const std::filesystem::path& path) { return narrowUtf8(path.native()); }
std::string fromGenericPath(const std::filesystem::path& path) { return narrowUtf8(path.generic_wstring()); }

int openRead(const std::string& path) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    return _wopen(w.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int closeFile(int fd) { return _close(fd); }

int fileStatus(int fd, FileStatus& status) {
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info))
        return failWith(GetLastError());
    describe(info, false, status);
    return 0;
}

int pathStatus(const std::string& path, bool follow, FileStatus& status) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    // A device (NUL, CON, a pipe) is neither file nor folder.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        status = FileStatus{};
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok)
        return failWith(error);
    describe(info, !follow, status);
    return 0;
}

int openExisting(const std::string& path) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    const HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

int followLinks(const std::string& path, std::string& end) {
    end = path;
    FileStatus itself;
    if (pathStatus(path, false, itself) != 0)
        return errno == ENOENT ? 0 : -1;
    if (!itself.link)
        return 0;
    // The system follows the chain; a link to nothing cannot be followed.
    std::wstring w;
    if (!wide(path, w))
        return -1;
    const HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    wchar_t buffer[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, buffer, DWORD(std::size(buffer)), FILE_NAME_NORMALIZED);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= std::size(buffer))
        return failWith(n == 0 ? error : ERROR_FILENAME_EXCED_RANGE);
    std::wstring final(buffer, n);
    if (final.starts_with(L"\\\\?\\UNC\\"))
        final = L"\\" + final.substr(7);
    else if (final.starts_with(L"\\\\?\\"))
        final = final.substr(4);
    end = narrowUtf8(final);
    return 0;
}

int createSpool() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH)
        return failWith(n == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder, L"kvo", 0, name) == 0)
        return failWith(GetLastError());
    // Deleted when closed, also when the process dies.
    const HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, TRUNCATE_EXISTING,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        return failWith(error);
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

int64_t readSome(int fd, void* buffer, size_t count) {
    return _read(fd, buffer, unsigned(count > 0x40000000 ? 0x40000000 : count));
}

// Leaves the file's position where it was, as pread does.
int64_t readAt(int fd, void* buffer, size_t count, int64_t offset) {
    const int64_t position = _lseeki64(fd, 0, SEEK_CUR);
    if (position < 0 || _lseeki64(fd, offset, SEEK_SET) < 0)
        return -1;
    const int64_t n = readSome(fd, buffer, count);
    const int error = errno;
    if (_lseeki64(fd, position, SEEK_SET) < 0)
        return -1;
    errno = error;
    return n;
}

int64_t writeSome(int fd, const void* data, size_t count) {
    return _write(fd, data, unsigned(count > 0x40000000 ? 0x40000000 : count));
}

int64_t writeAt(int fd, const void* data, size_t count, int64_t offset) {
    const int64_t end = _lseeki64(fd, 0, SEEK_CUR);
    if (end < 0 || _lseeki64(fd, offset, SEEK_SET) < 0)
        return -1;
    int64_t done = 0;
    while (size_t(done) < count) {
        const int64_t n = writeSome(fd, static_cast<const char*>(data) + done, count - size_t(done));
        if (n <= 0)
            return -1;
        done += n;
    }
    return _lseeki64(fd, end, SEEK_SET) < 0 ? -1 : done;
}

int makeDirectory(const std::string& path) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    return CreateDirectoryW(w.c_str(), nullptr) ? 0 : failWith(GetLastError());
}

int removeFile(const std::string& path) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    return DeleteFileW(w.c_str()) ? 0 : failWith(GetLastError());
}

int removeDirectory(const std::string& path) {
    std::wstring w;
    if (!wide(path, w))
        return -1;
    return RemoveDirectoryW(w.c_str()) ? 0 : failWith(GetLastError());
}

int createTemporaryFor(const std::string& path, unsigned, std::string& temp) {
    const std::filesystem::path p = toPath(path);
    const std::filesystem::path dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(L".");
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned counter = 0;
    uint64_t seed = GetTickCount64() ^ (uint64_t(GetCurrentProcessId()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL + ++counter;
        std::string suffix;
        for (int i = 0; i < 6; ++i)
            suffix += letters[(seed >> (8 * i + 10)) % (sizeof letters - 1)];
        // Of a fixed length: a name the file system just takes must leave room.
        const std::filesystem::path candidate = dir / toPath(".kvo-" + suffix);
        const int fd = _wopen(candidate.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT,
                              _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            temp = fromPath(candidate);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

int renameFile(const std::string& from, const std::string& to, bool replace) {
    std::wstring f, t;
    if (!wide(from, f) || !wide(to, t))
        return -1;
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name,
    // also one that appeared since it was checked.
    return MoveFileExW(f.c_str(), t.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)
               ? 0
               : failWith(GetLastError());
}

int linkFile(const std::string& from, const std::string& to) {
    std::wstring f, t;
    if (!wide(from, f) || !wide(to, t))
        return -1;
    return CreateHardLinkW(t.c_str(), f.c_str(), nullptr) ? 0 : failWith(GetLastError());
}

std::string upperCaseName(std::string_view utf8) {
    std::wstring w;
    if (!wide(std::string(utf8), w) || w.empty())
        return std::string(utf8);
    std::wstring upper(w.size(), L'\0');
    const int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, w.data(), int(w.size()), upper.data(),
                               int(upper.size()));
    return n == int(w.size()) ? narrowUtf8(upper) : std::string(utf8);
}

unsigned defaultFileMode() { return 0666; }
unsigned fileMode(const std::string&, unsigned fallback) { return fallback; }

}  // namespace kvopack::sys
