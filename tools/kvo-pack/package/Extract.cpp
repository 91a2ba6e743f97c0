#include "tools/kvo-pack/package/Extract.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "tools/kvo-pack/host/OutputFile.h"
#include "tools/kvo-pack/host/SystemFiles.h"
#include "tools/kvo-pack/package/PackSupport.h"

namespace fs = std::filesystem;

namespace kvopack {
namespace {

// Refuses before anything is written: a file in the way (unless `force`),
// a directory in the way, and the input itself (even with `force`).
void checkTargets(const std::vector<ExtractedFile>& files, const std::string& input, bool force) {
    const std::optional<sys::FileStatus> in = followed(input);
    for (const ExtractedFile& f : files) {
        const auto there = existing(f.path);
        if (!there)
            continue;
        if (sameFile(there, in))
            throw PackError(sys::fromPath(f.path) + " is the file being dumped (" + input +
                            "); it is never replaced, not even with --force");
        if (there->directory)
            throw PackError(sys::fromPath(f.path) + " is a directory; nothing was written");
        if (!force)
            throw PackError(sys::fromPath(f.path) + " exists; nothing was written (--force replaces "
                            "existing files)");
    }
}

void copyIncluded(const IncludedData& d, BlockSource& source, AtomicFile& out,
                  const std::string& what) {
    std::string buffer(64 * 1024, '\0');
    int64_t left = d.length;
    if (!source.seek(d.offset))
        throw PackError(systemError("cannot read " + what, int(source.lastError())));
    while (left > 0) {
        const uint32_t n = uint32_t(std::min<int64_t>(left, int64_t(buffer.size())));
        if (source.read(buffer.data(), n) != n)
            throw PackError(systemError("cannot read " + what, int(source.lastError())));
        scramble(buffer.data(), n);
        out.write(buffer.data(), n);
        left -= n;
    }
}

// A file that `force` replaces, kept under a second name until the run has
// succeeded.
struct KeptAside {
    fs::path path;
    std::string aside;
    bool moved = false;  // no longer under its own name
};

// Keeps the file at `path` under a fresh name beside it: a second name where
// the file system has them, so that the file keeps its own name until the
// new one replaces it; else it is moved.
KeptAside keepAside(const fs::path& path) {
    KeptAside kept{path, {}, false};
    const std::string name = sys::fromPath(path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = sys::createTemporaryFor(name, 0600, kept.aside);
        if (fd < 0)
            break;
        sys::closeFile(fd);
        sys::removeFile(kept.aside);
        if (sys::linkFile(name, kept.aside) == 0)
            return kept;
        if (errno != EEXIST)
            break;
    }
    const int fd = sys::createTemporaryFor(name, 0600, kept.aside);
    if (fd < 0)
        throw PackError(systemError("cannot keep " + name + " aside", errno));
    sys::closeFile(fd);
    if (sys::renameFile(name, kept.aside, true) != 0) {
        const int error = errno;
        sys::removeFile(kept.aside);
        throw PackError(systemError("cannot keep " + name + " aside", error));
    }
    kept.moved = true;
    return kept;
}

}  // namespace

void writeOutputs(const std::vector<ExtractedFile>& files, BlockSource& source,
                  const std::string& input, bool force, const std::function<void()>& last) {
    checkTargets(files, input, force);
    std::vector<fs::path> madeDirs;
    std::vector<fs::path> created;
    std::vector<KeptAside> replaced;
    std::vector<std::unique_ptr<AtomicFile>> staged;
    try {
        const auto makeDirs = [&](const fs::path& dir) {
            std::vector<fs::path> missing;
            for (fs::path d = dir; !d.empty() && !existing(d); d = d.parent_path()) {
                missing.push_back(d);
                if (d == d.parent_path())
                    break;
            }
            for (auto d = missing.rbegin(); d != missing.rend(); ++d) {
                if (sys::makeDirectory(sys::fromPath(*d)) != 0)
                    throw PackError(systemError("cannot create directory " + sys::fromPath(*d), errno));
                madeDirs.push_back(*d);
            }
            const auto there = existing(dir);
            const auto target = there ? followed(sys::fromPath(dir)) : std::nullopt;
            if (there && !there->directory && !(target && target->directory))
                throw PackError("cannot create directory " + sys::fromPath(dir) +
                                ": a file of that name is in the way");
        };
        for (const ExtractedFile& f : files) {
            makeDirs(f.path.parent_path());
            auto out = std::make_unique<AtomicFile>(sys::fromPath(f.path), defaultFileMode());
            if (f.data)
                copyIncluded(*f.data, source, *out, input);
            else
                out->write(*f.bytes);
            out->close();
            staged.push_back(std::move(out));
        }
        for (size_t i = 0; i < staged.size(); ++i) {
            const bool fresh = !existing(files[i].path);
            if (!fresh && force)
                replaced.push_back(keepAside(files[i].path));
            staged[i]->commit(force ? AtomicFile::replace : AtomicFile::keepExisting);
            if (fresh)
                created.push_back(files[i].path);
            else if (force)
                replaced.back().moved = true;
        }
        if (last)
            last();
    } catch (...) {
        staged.clear();
        std::string kept;
        for (auto m = replaced.rbegin(); m != replaced.rend(); ++m) {
            // A file still under its own name was never replaced.
            if (!m->moved)
                sys::removeFile(m->aside);
            else if (sys::renameFile(m->aside, sys::fromPath(m->path), true) != 0)
                kept += "; the earlier " + sys::fromPath(m->path) + " is kept as " + m->aside;
        }
        for (const auto& f : created)
            sys::removeFile(sys::fromPath(f));
        for (auto d = madeDirs.rbegin(); d != madeDirs.rend(); ++d)
            sys::removeDirectory(sys::fromPath(*d));
        if (kept.empty())
            throw;
        try {
            throw;
        } catch (const std::exception& e) {
            throw PackError(e.what() + kept);
        }
    }
    for (const KeptAside& m : replaced)
        sys::removeFile(m.aside);
}

}  // namespace kvopack
