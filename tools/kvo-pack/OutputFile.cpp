#include "tools/kvo-pack/OutputFile.h"

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "tools/kvo-pack/Encoding.h"
#include "tools/kvo-pack/SystemFiles.h"

namespace kvopack {
namespace {

std::string systemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

constexpr int kStandardOutput = 1;

}  // namespace

unsigned defaultFileMode() { return sys::defaultFileMode(); }

AtomicFile::AtomicFile(const std::string& path, unsigned mode) : path_(path), target_(path) {
    fd_ = sys::createTemporaryFor(path, mode, temp_);
    if (fd_ < 0)
        throw PackError(systemError("cannot create " + path, errno));
}

AtomicFile::AtomicFile(const std::string& path, unsigned mode, NamedByUser) : path_(path), target_(path) {
    sys::FileStatus st;
    if (path == "-") {
        inPlace_ = true;
    } else if (sys::pathStatus(path, true, st) == 0 && st.directory) {
        throw PackError(path + " is a directory; nothing was written");
    } else if (sys::pathStatus(path, true, st) == 0 && !st.regular) {
        // Opened only at commit(): a FIFO's reader gets the whole text at once.
        inPlace_ = true;
    } else if (sys::followLinks(path, target_) != 0) {
        throw PackError(systemError("cannot create " + path, errno));
    }
    if (inPlace_) {
        fd_ = sys::createSpool();
        if (fd_ < 0)
            throw PackError(systemError("cannot write " + path + ": no temporary file for what goes there", errno));
        return;
    }
    fd_ = sys::createTemporaryFor(target_, mode, temp_);
    if (fd_ < 0)
        throw PackError(systemError("cannot create " + path, errno));
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0)
        sys::closeFile(fd_);
    if (!committed_ && !temp_.empty())
        sys::removeFile(temp_);
}

void AtomicFile::write(const char* data, size_t size) {
    if (sum_)
        sum_->add(data, size);
    while (size > 0) {
        const int64_t n = sys::writeSome(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw PackError(systemError("cannot write " + path_, n < 0 ? errno : EIO));
        data += n;
        size -= size_t(n);
        written_ += n;
    }
}

void AtomicFile::patch(int64_t offset, const std::string& bytes) {
    if (sys::writeAt(fd_, bytes.data(), bytes.size(), offset) != int64_t(bytes.size()))
        throw PackError(systemError("cannot write " + path_, errno));
}

void AtomicFile::close() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (sys::closeFile(fd) != 0)
        throw PackError(systemError("cannot write " + path_, errno));
}

// What was held back goes into the special file (or standard output) as it
// is; a write the device refuses is an error like any other.
void AtomicFile::writeInPlace() {
    const bool standardOutput = path_ == "-";
    const int out = standardOutput ? kStandardOutput : sys::openExisting(target_);
    if (out < 0)
        throw PackError(systemError("cannot write " + path_, errno));
    std::string buffer(64 * 1024, '\0');
    int error = 0;
    for (int64_t at = 0; at < written_ && !error;) {
        const int64_t n = sys::readAt(fd_, buffer.data(), size_t(std::min<int64_t>(written_ - at, buffer.size())), at);
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        for (int64_t done = 0; done < n;) {
            const int64_t w = sys::writeSome(out, buffer.data() + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                error = w < 0 ? errno : EIO;
                break;
            }
            done += w;
        }
        at += n;
    }
    if (!standardOutput && sys::closeFile(out) != 0 && !error)
        error = errno;
    if (error)
        throw PackError(systemError("cannot write " + path_, error));
}

void AtomicFile::commit(Commit how) {
    if (inPlace_) {
        writeInPlace();
        committed_ = true;
        close();
        return;
    }
    close();
    // keepExisting takes the name only while it is free, also against a file
    // that appeared since it was checked.
    if (sys::renameFile(temp_, target_, how == replace) != 0) {
        const int error = errno;
        throw PackError(error == EEXIST ? path_ + " exists; nothing was written (--force replaces "
                                                  "existing files)"
                                        : systemError("cannot write " + path_, error));
    }
    committed_ = true;
}

}  // namespace kvopack
