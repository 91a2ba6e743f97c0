// Files the packer writes, so that none is ever seen half-written and
// nothing is replaced that the user did not name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/kvo-pack/PeImage.h"

namespace kvopack {

// Permissions for a new file: rw for everyone the umask lets through.
unsigned defaultFileMode();

// A file that appears under its name only once it is complete: written as a
// temporary sibling, renamed by commit(), removed if never committed.
class AtomicFile {
public:
    AtomicFile(const std::string& path, unsigned mode);

    // An output the user named (--out). "-" is standard output. A symbolic
    // link is written through: the temporary file goes beside the file it
    // names and takes that file's name, so the link stays. A device, FIFO or
    // other special file is never replaced: what is written is held back
    // until commit() and then written into it.
    struct NamedByUser {};
    static constexpr NamedByUser namedByUser{};
    AtomicFile(const std::string& path, unsigned mode, NamedByUser);

    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const char* data, size_t size);
    void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }
    int64_t written() const { return written_; }
    // Every byte written from now on is also added to `sum`.
    void track(PeChecksum* sum) { sum_ = sum; }
    // Overwrites bytes already written.
    void patch(int64_t offset, const std::string& bytes);
    // Ends the writing; the file keeps its temporary name until commit().
    void close();
    enum Commit { replace, keepExisting };
    // keepExisting fails (naming the file) when something has the name.
    void commit(Commit how = replace);

private:
    void writeInPlace();

    PeChecksum* sum_ = nullptr;
    std::string path_;    // as named, for messages
    std::string target_;  // what takes the bytes: the file itself, or the one a link names
    std::string temp_;    // the temporary sibling; empty for a file written in place
    bool inPlace_ = false;
    int fd_ = -1;
    bool committed_ = false;
    int64_t written_ = 0;
};

}  // namespace kvopack
