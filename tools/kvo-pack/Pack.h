// The two operations of the packer over files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/kvo-pack/PeImage.h"

namespace kvopack {

struct BuildOptions {
    std::optional<std::string> stub;  // none: write the overlay alone
    std::string config;
    std::string out;
    std::string codePage = "1252";
};

// Writes `out` completely or not at all. Returns the warnings.
std::vector<std::string> buildPackage(const BuildOptions& options);

struct DumpOptions {
    std::string input;
    bool overlay = false;  // the input is a bare overlay, the block at offset 0
    std::string codePage = "1252";
    // Where the included files are written; the [files] lines then name them.
    std::optional<std::string> extractDir;
    // Where the text will be; [files] paths are made relative to its
    // directory (the current directory when the text goes to the terminal).
    std::optional<std::string> textPath;
    // Dump the records even when the data behind the block is not in the
    // layout the packer writes; that data is then left out.
    bool recordsOnly = false;
    // Extracted files may replace existing ones (never the input itself).
    bool force = false;
};

struct DumpResult {
    std::string text;
    std::vector<std::string> warnings;
};

DumpResult dumpPackage(const DumpOptions& options);

// Permissions for a new file: rw for everyone the umask lets through.
unsigned defaultFileMode();

// A file that appears under its name only once it is complete: written as a
// temporary sibling, renamed by commit(), removed if never committed.
class AtomicFile {
public:
    AtomicFile(const std::string& path, unsigned mode);
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
    PeChecksum* sum_ = nullptr;
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
    int64_t written_ = 0;
};

}  // namespace kvopack
