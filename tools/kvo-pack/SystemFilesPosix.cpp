#include "tools/kvo-pack/SystemFiles.h"

#include <fcntl.h>
#include <locale.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>

#include "tools/kvo-pack/Encoding.h"

namespace kvopack::sys {
namespace {

void describe(const struct stat& st, FileStatus& status) {
    status.directory = S_ISDIR(st.st_mode);
    status.regular = S_ISREG(st.st_mode);
    status.link = S_ISLNK(st.st_mode);
    status.size = st.st_size;
    status.device = uint64_t(st.st_dev);
    status.inode = uint64_t(st.st_ino);
}

}  // namespace

std::filesystem::path toPath(const std::string& utf8) { return std::filesystem::path(utf8); }
std::string fromPath(const std::filesystem::path& path) { return path.string(); }
std::string fromGenericPath(const std::filesystem::path& path) { return path.generic_string(); }

int openRead(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
int closeFile(int fd) { return ::close(fd); }

int fileStatus(int fd, FileStatus& status) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    describe(st, status);
    return 0;
}

int pathStatus(const std::string& path, bool follow, FileStatus& status) {
    struct stat st {};
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return -1;
    describe(st, status);
    return 0;
}

int64_t readSome(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }
int64_t readAt(int fd, void* buffer, size_t count, int64_t offset) {
    return ::pread(fd, buffer, count, offset);
}
int64_t writeSome(int fd, const void* data, size_t count) { return ::write(fd, data, count); }
int64_t writeAt(int fd, const void* data, size_t count, int64_t offset) {
    return ::pwrite(fd, data, count, offset);
}
int makeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777); }
int removeFile(const std::string& path) { return ::unlink(path.c_str()); }
int removeDirectory(const std::string& path) { return ::rmdir(path.c_str()); }

int openExisting(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY); }

int followLinks(const std::string& path, std::string& end) {
    end = path;
    // As many steps as the system itself takes before it gives up (ELOOP).
    for (int step = 0; step < 40; ++step) {
        struct stat st {};
        if (::lstat(end.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : -1;
        if (!S_ISLNK(st.st_mode))
            return 0;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
        const ssize_t n = ::readlink(end.c_str(), target.data(), target.size());
        if (n < 0)
            return -1;
        if (size_t(n) == target.size()) {
            errno = ENAMETOOLONG;
            return -1;
        }
        target.resize(size_t(n));
        const std::filesystem::path p(end);
        end = target.starts_with('/') || !p.has_parent_path() ? target : (p.parent_path() / target).string();
    }
    errno = ELOOP;
    return -1;
}

int createSpool() {
    const char* dir = ::getenv("TMPDIR");
    const std::string folder = dir && *dir ? dir : "/tmp";
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // File systems without unnamed files: a name, dropped at once.
    std::string name = folder + "/.kvo-XXXXXX";
    fd = ::mkstemp(name.data());
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

int createTemporaryFor(const std::string& path, unsigned mode, std::string& temp) {
    const std::filesystem::path p(path);
    const std::filesystem::path dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
    // Of a fixed length: a name the file system just takes must leave room.
    temp = (dir / ".kvo-XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd >= 0)
        ::fchmod(fd, mode & 07777);
    return fd;
}

int renameFile(const std::string& from, const std::string& to, bool replace) {
    if (replace)
        return ::rename(from.c_str(), to.c_str());
    int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without the flag: a hard link fails on an existing name too.
        result = ::link(from.c_str(), to.c_str());
        if (result == 0)
            ::unlink(from.c_str());
    }
    return result;
}

int linkFile(const std::string& from, const std::string& to) {
    return ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0);
}

std::string upperCaseName(std::string_view utf8) {
    // The C library's Unicode table, whatever locale the user has chosen.
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    std::string out;
    forEachCharacter(
        utf8,
        [&](char32_t cp, std::string_view) {
            if (cp >= 'a' && cp <= 'z')
                cp -= 'a' - 'A';
            else if (cp >= 0x80 && unicode != locale_t(0))
                cp = char32_t(towupper_l(wint_t(cp), unicode));
            appendUtf8(out, cp);
        },
        [&](unsigned char byte) { out += char(byte); });
    return out;
}

unsigned defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

unsigned fileMode(const std::string& path, unsigned fallback) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : fallback;
}

}  // namespace kvopack::sys
