// The few file operations the packer needs, in one shape on both hosts:
// POSIX calls on Linux, UTF-16 calls on Windows. Paths are UTF-8 on both;
// errors come back as errno values, so messages read the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kvopack::sys {

struct FileStatus {
    bool directory = false;
    bool regular = false;
    // A symbolic link (only when it is described itself, not followed).
    bool link = false;
    int64_t size = 0;
    // Which file this is: equal pairs name the same file.
    uint64_t device = 0;
    uint64_t inode = 0;
};

// The path object for a UTF-8 path, and the UTF-8 text of a path.
std::filesystem::path toPath(const std::string& utf8);
std::string fromPath(const std::filesystem::path& path);
// With "/" between the parts on every host, for texts the packer prints.
std::string fromGenericPath(const std::filesystem::path& path);

// Whether two descriptions name one file: the same file number on the same
// device (a number alone repeats across devices).
inline bool sameFile(const FileStatus& a, const FileStatus& b) {
    return a.device == b.device && a.inode == b.inode;
}

// Each returns -1 (or false) with errno set on failure.
int openRead(const std::string& path);
int closeFile(int fd);
int fileStatus(int fd, FileStatus& status);
// With `follow` false a symbolic link is described itself.
int pathStatus(const std::string& path, bool follow, FileStatus& status);
int64_t readSome(int fd, void* buffer, size_t count);
int64_t readAt(int fd, void* buffer, size_t count, int64_t offset);
int64_t writeSome(int fd, const void* data, size_t count);
int64_t writeAt(int fd, const void* data, size_t count, int64_t offset);
int makeDirectory(const std::string& path);
int removeFile(const std::string& path);
int removeDirectory(const std::string& path);

// Opens what exists at `path` (a device, a FIFO) for writing, neither
// creating nor truncating anything.
int openExisting(const std::string& path);
// Where a chain of symbolic links that begins at `path` ends: the path of
// the first thing that is no link (it need not exist); `path` itself when it
// is no link.
int followLinks(const std::string& path, std::string& end);
// A file without a name in the system's temporary folder, open for reading
// and writing, gone when it is closed.
int createSpool();

// A new file next to `path`, created exclusively under a name of its own
// (".kvo-XXXXXX" in the same folder, set in `temp`), open for writing.
int createTemporaryFor(const std::string& path, unsigned mode, std::string& temp);
// Gives `from` the name `to`; with `replace` false only while `to` is free,
// also against a file that appears meanwhile (EEXIST otherwise).
int renameFile(const std::string& from, const std::string& to, bool replace);

// `utf8` with its letters upper-cased one by one, as Windows compares file
// names: two names that give the same text name one file there.
std::string upperCaseName(std::string_view utf8);

// A second name `to` for the file at `from` (a symbolic link is not
// followed); fails when `to` exists or the file system has no such names.
int linkFile(const std::string& from, const std::string& to);

// Permissions for a new file: rw for everyone the umask lets through (no
// meaning on Windows).
unsigned defaultFileMode();
// The permission bits of `path`, or `fallback` when it cannot be asked.
unsigned fileMode(const std::string& path, unsigned fallback);

}  // namespace kvopack::sys
