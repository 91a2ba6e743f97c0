#include "tools/kvo-pack/Pack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "core/ConfigStore.h"
#include "services/CacheFolder.h"
#include "services/RuntimeClasses.h"
#include "tools/kvo-pack/Block.h"
#include "tools/kvo-pack/ConfigCheck.h"
#include "tools/kvo-pack/ConfigText.h"
#include "tools/kvo-pack/ContentHash.h"
#include "tools/kvo-pack/KeptFiles.h"
#include "tools/kvo-pack/LittleEndian.h"
#include "tools/kvo-pack/PackResources.h"
#include "tools/kvo-pack/PeImage.h"
#include "tools/kvo-pack/RecordNames.h"
#include "tools/kvo-pack/ResourceTree.h"
#include "tools/kvo-pack/RuntimeJar.h"
#include "tools/kvo-pack/SystemFiles.h"

namespace fs = std::filesystem;

namespace kvopack {
namespace {

// The launcher keeps file offsets in 32-bit signed values.
constexpr int64_t kLargestFile = INT32_MAX;
// The stub is rewritten in memory.
constexpr int64_t kLargestStub = 512 * 1024 * 1024;

std::string systemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string readTextFile(const std::string& path) {
    FileSource source(path);
    std::string text(static_cast<size_t>(source.size()), '\0');
    if (source.read(text.data(), uint32_t(text.size())) != text.size())
        throw PackError(systemError("cannot read " + path, int(source.lastError())));
    return text;
}

std::string lineOf(const std::string& config, int line) {
    return config + ":" + std::to_string(line) + ": ";
}

struct OpenedFile {
    const IncludedFile* entry;
    std::string fullPath;
    int fd = -1;
    int64_t size = 0;
};

// Closes what it holds on every way out.
struct OpenedFiles {
    std::vector<OpenedFile> list;
    ~OpenedFiles() {
        for (auto& f : list)
            if (f.fd >= 0)
                sys::closeFile(f.fd);
    }
};

void writeIncludedFile(const OpenedFile& f, AtomicFile& out, const std::string& config, ContentHash* again) {
    std::string length;
    for (int i = 0; i < 8; ++i)
        length += char((uint64_t(f.size) >> (8 * i)) & 0xFF);
    out.write(length);
    std::string buffer(64 * 1024, '\0');
    int64_t left = f.size;
    while (left > 0) {
        const int64_t n = sys::readSome(f.fd, buffer.data(), size_t(std::min<int64_t>(left, buffer.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw PackError(lineOf(config, f.entry->line) +
                            systemError("cannot read " + f.fullPath, errno));
        if (n == 0)
            throw PackError(lineOf(config, f.entry->line) + f.fullPath +
                            " became shorter while it was being packed");
        if (again)
            again->addData(buffer.data(), size_t(n));
        scramble(buffer.data(), size_t(n));
        out.write(buffer.data(), size_t(n));
        left -= n;
    }
}

// The content hash of the files as they are now (IncludedFilesHash).
std::string includedFilesHash(const std::vector<OpenedFile>& files, const std::vector<std::string>& names,
                              const std::string& config) {
    ContentHash hash(uint32_t(files.size()));
    std::string buffer(1024 * 1024, '\0');
    for (size_t i = 0; i < files.size(); ++i) {
        const OpenedFile& f = files[i];
        hash.beginFile(names[i], uint64_t(f.size));
        for (int64_t done = 0; done < f.size;) {
            const int64_t n = sys::readAt(f.fd, buffer.data(), size_t(std::min<int64_t>(f.size - done, buffer.size())),
                                          done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw PackError(lineOf(config, f.entry->line) +
                                (n < 0 ? systemError("cannot read " + f.fullPath, errno)
                                       : f.fullPath + " became shorter while it was being packed"));
            hash.addData(buffer.data(), size_t(n));
            done += n;
        }
    }
    return hash.finish();
}

std::string getRecord(const std::vector<NarrowRecord>& narrow, int32_t id) {
    std::string value;
    for (const NarrowRecord& r : narrow)
        if (r.id == id)
            value = r.value;
    return value;
}

// The content hash of included files as a launcher carries them.
std::string dumpedFilesHash(const std::vector<IncludedData>& files, BlockSource& source, const std::string& what) {
    ContentHash hash(uint32_t(files.size()));
    std::string buffer(1024 * 1024, '\0');
    for (const IncludedData& d : files) {
        hash.beginFile(d.name, uint64_t(d.length));
        for (int64_t done = 0; done < d.length;) {
            const uint32_t n = uint32_t(std::min<int64_t>(d.length - done, int64_t(buffer.size())));
            if (!source.seek(d.offset + done) || source.read(buffer.data(), n) != n)
                throw PackError(systemError("cannot read " + what, int(source.lastError())));
            scramble(buffer.data(), n);
            hash.addData(buffer.data(), n);
            done += n;
        }
    }
    return hash.finish();
}

// How a launcher carries the Java half: as its classes behind the included
// files, which the launcher defines from its own file; as kvo-runtime.jar,
// the last included file, for a stub older than that (its every start
// extracts it); or not at all ([kvo-runtime] include = no).
enum class JavaHalfForm { none, classes, jarFile };

// A stub that reads the classes names the record in its log.
bool readsRuntimeClasses(const std::string& image) {
    return image.find(kRuntimeClassesReaderMark) != std::string::npos;
}

void writeRuntimeJar(AtomicFile& out) {
    std::string bytes(runtimeJar());
    std::string length;
    for (int i = 0; i < 8; ++i)
        length += char((uint64_t(bytes.size()) >> (8 * i)) & 0xFF);
    out.write(length);
    scramble(bytes.data(), bytes.size());
    out.write(bytes);
}

bool isRuntimeJarName(std::string_view name) {
    if (name.size() != kRuntimeJarName.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? char(name[i] - 'A' + 'a') : name[i];
        if (c != kRuntimeJarName[i])
            return false;
    }
    return true;
}

// Records 2002, 2003 and 2005 describe the data behind the block, which
// only the packer knows: it writes the first two for the [files] section
// (and the jar of an older stub, last), and RuntimeClasses for the classes,
// which follow the `filesBytes` of the included files (`classesBytes` of
// them, this packer's unless a dump checks another build's). Without a
// [files] section a configuration may still carry 2002 and 2003 to say "no
// files of mine"; the packer's count then takes their place.
void setIncludedRecords(PackConfig& config, std::vector<std::string> names, JavaHalfForm form,
                        int64_t filesBytes, size_t classesBytes = runtimeClasses().size()) {
    if (form == JavaHalfForm::jarFile)
        names.emplace_back(kRuntimeJarName);
    if (config.hasFilesSection || form == JavaHalfForm::jarFile) {
        std::erase_if(config.records.narrow, [](const NarrowRecord& r) {
            return r.id == rec::IncludedFileCount || r.id == rec::IncludedFileNames;
        });
        addIncludedRecords(config.records.narrow, names);
    }
    if (form == JavaHalfForm::classes)
        setRuntimeClassesRecord(config.records.narrow,
                                formatRuntimeClassesPlace({uint32_t(filesBytes), uint32_t(classesBytes)}));
}

std::vector<std::string> splitNames(std::string_view names) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= names.size()) {
        const size_t end = std::min(names.find(';', start), names.size());
        out.emplace_back(names.substr(start, end - start));
        start = end + 1;
    }
    return out;
}


struct FilesLayout {
    std::vector<IncludedData> data;
    std::vector<std::string> utf8Names;
};

// The included files are written back as a [files] section only when the
// packer would write exactly these bytes for it; else the reason.
bool allZero(BlockSource& source, int64_t from, int64_t to) {
    char c = 0;
    for (int64_t p = from; p < to; ++p)
        if (!source.seek(p) || source.read(&c, 1) != 1 || c != 0)
            return false;
    return true;
}

// `end` is where the launcher's data ends: the file's end, or where a
// signature begins, which a signing tool aligns to 8 bytes with zeros.
std::string filesLayoutProblem(const DecodedBlock& block, BlockSource& source, int64_t end,
                               bool signedFile, const CodePage& page, FilesLayout& layout) {
    const auto& narrow = block.records.narrow;
    std::vector<size_t> countAt, namesAt;
    for (size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i].id == rec::IncludedFileCount)
            countAt.push_back(i);
        if (narrow[i].id == rec::IncludedFileNames)
            namesAt.push_back(i);
    }
    if (countAt.size() != 1 || namesAt.size() != 1 || namesAt[0] != countAt[0] + 1)
        return "IncludedFileCount and IncludedFileNames are not one pair of adjacent records";
    std::vector<NarrowRecord> others = narrow;
    others.erase(others.begin() + ptrdiff_t(countAt[0]), others.begin() + ptrdiff_t(countAt[0]) + 2);
    if (includedRecordsPosition(others) != countAt[0])
        return "IncludedFileCount and IncludedFileNames are not in ascending id order";
    const std::vector<std::string> names = splitNames(narrow[namesAt[0]].value);
    if (narrow[countAt[0]].value != std::to_string(names.size()))
        return "IncludedFileCount is not the number of names in IncludedFileNames";
    std::map<std::string, std::string> files, folders;  // upper-cased name -> the name
    const bool deep = keepsIncludedFiles(narrow);
    for (const std::string& name : names) {
        std::string utf8, back;
        bool whole = true;
        for (const DecodedPiece& p : page.decode(name)) {
            whole = whole && !p.undecodable;
            utf8 += p.bytes;
        }
        char32_t bad;
        if (!whole || !page.encode(utf8, back, bad) || back != name)
            return "a name in IncludedFileNames does not read in code page " + page.name();
        if (const char* problem = includedNameProblem(utf8, deep))
            return "included file name '" + escapedForLine(utf8) + "': " + problem;
        const std::string folded = sys::upperCaseName(utf8);
        if (files.count(folded))
            return "included file name '" + escapedForLine(utf8) + "' occurs twice";
        for (std::string_view prefix : folderPrefixes(utf8)) {
            const std::string folder = sys::upperCaseName(prefix);
            if (files.count(folder))
                return "included file name '" + escapedForLine(utf8) + "' needs a folder that the included file '" +
                       escapedForLine(files[folder]) + "' takes the name of";
            folders.emplace(folder, utf8);
        }
        if (folders.count(folded))
            return "included file name '" + escapedForLine(utf8) + "' is the name of the folder that '" +
                   escapedForLine(folders[folded]) + "' needs";
        files.emplace(folded, utf8);
        layout.utf8Names.push_back(utf8);
    }
    int64_t pos = block.end;
    for (const std::string& name : names) {
        unsigned char length[8];
        if (!source.seek(pos) || source.read(length, 8) != 8)
            return "the data of the included files ends early";
        uint64_t value = 0;
        for (int i = 7; i >= 0; --i)
            value = (value << 8) | length[i];
        const int64_t size = static_cast<int64_t>(value);
        if (size < 0 || size > end - pos - 8)
            return "an included file's length is negative or runs past the end of the file";
        layout.data.push_back({name, pos + 8, size});
        pos += 8 + size;
    }
    if (pos != end && !(signedFile && pos < end && end - pos < 8 && allZero(source, pos, end)))
        return std::to_string(end - pos) + " bytes follow the included files";
    return {};
}

// A file dump writes: an included file (its scrambled bytes in the input)
// or an image handed back from the resources.
struct OutputFile {
    fs::path path;
    const IncludedData* data = nullptr;
    const std::string* bytes = nullptr;
};

// What is at `path` itself (a symbolic link is not followed).
std::optional<sys::FileStatus> existing(const fs::path& path) {
    sys::FileStatus st;
    if (sys::pathStatus(sys::fromPath(path), false, st) != 0)
        return std::nullopt;
    return st;
}

std::optional<sys::FileStatus> followed(const std::string& path) {
    sys::FileStatus st;
    if (sys::pathStatus(path, true, st) != 0)
        return std::nullopt;
    return st;
}

bool sameFile(const std::optional<sys::FileStatus>& a, const std::optional<sys::FileStatus>& b) {
    return a && b && sys::sameFile(*a, *b);
}

// Refuses before anything is written: a file in the way (unless `force`),
// a directory in the way, and the input itself (even with `force`).
void checkTargets(const std::vector<OutputFile>& files, const std::string& input, bool force) {
    const std::optional<sys::FileStatus> in = followed(input);
    for (const OutputFile& f : files) {
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

// Writes every file or none. Each is written completely under a temporary
// name first; only then do they take their names, without replacing an
// existing file unless `force`. A file that is replaced is kept aside
// first. On failure the folder is as it was: the files kept aside are put
// back, and what this run created goes again (its temporary files, the
// files that took a free name, the directories it made).
// `last` is the run's last step (the text's writing): should it fail, the
// files are put back as well.
void writeOutputs(const std::vector<OutputFile>& files, BlockSource& source,
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
        for (const OutputFile& f : files) {
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

// Whether the runtime a launcher carries is the one this packer packs.
bool sameAsRuntimeJar(const IncludedData& d, BlockSource& source, const std::string& what) {
    const std::string_view jar = runtimeJar();
    if (d.length != int64_t(jar.size()))
        return false;
    std::string bytes(jar.size(), '\0');
    if (!source.seek(d.offset) || source.read(bytes.data(), uint32_t(bytes.size())) != bytes.size())
        throw PackError(systemError("cannot read " + what, int(source.lastError())));
    scramble(bytes.data(), bytes.size());
    return bytes == jar;
}

// The Java half's classes as a dump finds them where record RuntimeClasses
// says they lie.
struct CarriedClasses {
    RuntimeClassesPlace place;
    size_t count = 0;
    bool sameBuild = false;
};

// Why the classes are not where and as the packer puts them: last behind the
// block, up to `end` (a signature's alignment to 8 bytes aside), intact.
std::string runtimeClassesProblem(const std::string& text, const DecodedBlock& block, BlockSource& source,
                                  int64_t end, bool signedFile, CarriedClasses& carried) {
    const std::optional<RuntimeClassesPlace> place = parseRuntimeClassesPlace(text);
    if (!place)
        return "RuntimeClasses reads '" + escapedForLine(text) + "', not OFFSET,LENGTH";
    const int64_t start = block.end + place->offset;
    const int64_t after = start + place->length;
    if (after > end)
        return "they run past the end of the file";
    if (after != end && !(signedFile && end - after < 8 && allZero(source, after, end)))
        return std::to_string(end - after) + " bytes follow them";
    std::string pack(place->length, '\0');
    if (!source.seek(start) || source.read(pack.data(), uint32_t(pack.size())) != pack.size())
        return "they cannot be read";
    std::vector<RuntimeClass> classes;
    if (const char* problem = readRuntimeClasses(pack, classes))
        return problem;
    carried = {*place, classes.size(), pack == runtimeClasses()};
    return {};
}

// Drops a signature and writes the configured resources into `image`.
// Returns where the checksum goes: when the headers changed or the stub
// carries one.
std::optional<size_t> prepareImage(std::string& image, const ResourceInputs& inputs,
                                   const PackConfig& config, bool wantsResources,
                                   const std::string& what, std::vector<std::string>& warnings) {
    const PeHeaders headers = readPeHeaders(image, what);
    bool changed = false;
    const DataDirectory certificate = headers.directory(kCertificateDirectory);
    if (certificate.address || certificate.size) {
        clearCertificateEntry(image);
        warnings.push_back(what + ": warning: its Authenticode signature is not copied: it would "
                                  "not match the packed launcher; sign the output again");
        changed = true;
    }
    std::vector<Resource> existing;
    try {
        existing = readResources(image, headers, what);
    } catch (const PackError&) {
        // Resources the packer does not touch may be as they are.
        if (wantsResources)
            throw;
    }
    if (wantsResources || std::any_of(existing.begin(), existing.end(), isPackerResource)) {
        const std::vector<Resource> resources =
            combineResources(std::move(existing), inputs, config, what);
        placeResourceSection(
            image, [&](uint32_t rva) { return buildResourceSection(resources, rva); }, what);
        changed = true;
    }
    // A stub whose checksum is set gets a correct one for the packed file;
    // a zero checksum means "not computed" and stays so when nothing changed.
    if (!changed && le::get(image, headers.checksumOffset, 4) == 0)
        return std::nullopt;
    return headers.checksumOffset;
}

// The form in which the launcher will carry the Java half (an overlay goes
// behind a current stub), and the record that only the packer writes
// refused when the configuration writes it.
JavaHalfForm javaHalfFormFor(const PackConfig& config, const BuildOptions& o, const std::string& image,
                             const std::vector<std::string>& names, std::vector<std::string>& warnings) {
    for (const NarrowRecord& r : config.records.narrow)
        if (r.id == rec::RuntimeClasses)
            throw PackError(lineOf(o.config, r.line) + "RuntimeClasses is written by the packer (where the "
                            "classes of kvo-runtime.jar lie behind the block); remove this line");
    if (!config.includeRuntime)
        return JavaHalfForm::none;
    if (!o.stub || readsRuntimeClasses(image))
        return JavaHalfForm::classes;
    std::vector<std::string> all = names;
    all.emplace_back(kRuntimeJarName);
    if (joinIncludedNames(all).size() > 8191)
        throw PackError(*o.stub + " carries kvo-runtime.jar as an included file (it is older than the "
                        "launchers that read its classes), and with it the names of the included files "
                        "exceed the 8191 bytes the launcher reads of IncludedFileNames; build with a "
                        "current stub");
    warnings.push_back(*o.stub + ": warning: this stub is older than the launchers that read kvo-runtime.jar's "
                       "classes from their own file; the jar goes in as an included file, which every start "
                       "writes into a new temporary folder; build with a current stub to avoid that");
    return JavaHalfForm::jarFile;
}

}  // namespace

std::vector<std::string> buildPackage(const BuildOptions& o) {
    CodePage page(o.codePage);
    PackConfig config = readConfigText(readTextFile(o.config), o.config, page);
    ConfigFindings findings = checkConfig(config, o.config, page);
    if (!findings.errors.empty()) {
        std::string all;
        for (const std::string& e : findings.errors)
            all += (all.empty() ? "" : "\n") + e;
        throw PackError(all);
    }
    config.warnings.insert(config.warnings.end(), findings.warnings.begin(), findings.warnings.end());

    const fs::path base = sys::toPath(o.config).parent_path();
    OpenedFiles files;
    std::vector<std::string> names;
    for (const IncludedFile& f : config.files) {
        const fs::path given = sys::toPath(f.path);
        OpenedFile opened{&f, sys::fromPath(given.is_absolute() ? given : base / given)};
        opened.fd = sys::openRead(opened.fullPath);
        if (opened.fd >= 0)
            files.list.push_back(opened);
        sys::FileStatus st;
        if (opened.fd < 0 || sys::fileStatus(opened.fd, st) != 0) {
            const int error = errno;
            // A record below [files] reads as a file to include.
            const std::string hint =
                findRecordByName(f.name)
                    ? " (" + f.name + " is a record, but this line is in the [files] section; records go "
                                      "above the first section, or below a [narrow] line)"
                    : "";
            throw PackError(lineOf(o.config, f.line) + systemError("cannot read " + opened.fullPath, error) + hint);
        }
        if (!st.regular)
            throw PackError(lineOf(o.config, f.line) + "cannot read " + opened.fullPath +
                            ": not a regular file");
        files.list.back().size = st.size;
        std::string bytes;
        char32_t bad;
        if (!page.encode(f.name, bytes, bad))
            throw PackError(lineOf(o.config, f.line) + "included file name '" + f.name + "': " +
                            describeChar(bad) + " has no form in code page " + page.name());
        if (isRuntimeJarName(f.name))
            throw PackError(lineOf(o.config, f.line) + "'" + f.name + "' is the name of the Java half "
                            "that kvo-pack packs into every launcher; give this file another name");
        if (const size_t slash = f.name.find('\\');
            config.includeRuntime && slash != std::string::npos && isRuntimeJarName(f.name.substr(0, slash)))
            throw PackError(lineOf(o.config, f.line) + "included file name '" + f.name + "' needs a folder "
                            "named like the Java half that kvo-pack packs into every launcher; give the "
                            "folder another name");
        names.push_back(bytes);
        if (joinIncludedNames(names).size() > 8191)
            throw PackError(lineOf(o.config, f.line) +
                            "the names of the included files exceed the 8191 bytes the launcher "
                            "reads of IncludedFileNames");
    }
    // An options file among them is read as the launcher will read it.
    for (const OpenedFile& f : files.list) {
        if (!isOptionsFileName(f.entry->name))
            continue;
        OptionsFileCheck check(lineOf(o.config, f.entry->line) + f.fullPath, page);
        std::string buffer(64 * 1024, '\0');
        for (int64_t at = 0; at < f.size;) {
            const int64_t n = sys::readAt(f.fd, buffer.data(), size_t(std::min<int64_t>(f.size - at, buffer.size())), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw PackError(lineOf(o.config, f.entry->line) + systemError("cannot read " + f.fullPath, n < 0 ? errno : EIO));
            check.feed(std::string_view(buffer.data(), size_t(n)));
            at += n;
        }
        ConfigFindings found = check.finish();
        if (!found.errors.empty()) {
            std::string all;
            for (const std::string& e : found.errors)
                all += (all.empty() ? "" : "\n") + e;
            throw PackError(all);
        }
        config.warnings.insert(config.warnings.end(), found.warnings.begin(), found.warnings.end());
    }
    ResourceInputs resourceInputs;
    const bool wantsResources = config.resources.any() || config.version.present;
    if (wantsResources) {
        if (!o.stub)
            throw PackError(lineOf(o.config, config.resources.line ? config.resources.line
                                                                   : config.version.line) +
                            "resources are written into a launcher image; build with --stub, "
                            "not --overlay");
        resourceInputs = loadResourceInputs(config, o.config);
    }
    std::vector<std::string> warnings = std::move(config.warnings);

    std::string image;
    std::optional<size_t> checksumAt;
    unsigned mode = defaultFileMode();
    if (o.stub) {
        FileSource stub(*o.stub);
        const int64_t stubEnd = imageEnd(stub, *o.stub);
        if (stubEnd > kLargestStub)
            throw PackError(*o.stub + ": an image of " + std::to_string(stubEnd) +
                            " bytes is no launcher stub");
        image.resize(size_t(stubEnd));
        stub.seek(0);
        if (stub.read(image.data(), uint32_t(image.size())) != image.size())
            throw PackError(systemError("cannot read " + *o.stub, int(stub.lastError())));
        checksumAt = prepareImage(image, resourceInputs, config, wantsResources, *o.stub, warnings);
        mode = sys::fileMode(*o.stub, mode);
    }
    const JavaHalfForm form = javaHalfFormFor(config, o, image, names, warnings);
    const bool keeps = keepsIncludedFiles(config.records.narrow) && !files.list.empty();
    if (keeps) {
        if (o.stub && image.find(kCacheReaderMark) == std::string::npos)
            throw PackError(*o.stub + " is older than the launchers that keep their included files "
                            "(IncludedFilesCache = 1); build with a current stub");
        setIncludedFilesHashRecord(config.records.narrow, includedFilesHash(files.list, names, o.config));
    }
    int64_t filesBytes = 0;
    for (const OpenedFile& f : files.list)
        filesBytes += 8 + f.size;
    setIncludedRecords(config, names, form, filesBytes);
    const std::string block = encodeBlock(config.records);
    // The output replaces its file, which is never one of the inputs that
    // would be lost with it (the stub may be: it was read whole).
    if (const auto target = o.out == "-" ? std::nullopt : followed(o.out)) {
        const auto named = [&](const std::string& path) { return sameFile(followed(path), target); };
        if (named(o.config))
            throw PackError(o.out + " is the configuration " + o.config + "; it is not replaced");
        for (const OpenedFile& f : files.list)
            if (named(f.fullPath))
                throw PackError(lineOf(o.config, f.entry->line) + o.out + " is the included file " +
                                f.fullPath + "; it is not replaced");
    }
    int64_t total = int64_t(image.size()) + int64_t(block.size()) + filesBytes;
    if (form == JavaHalfForm::classes)
        total += int64_t(runtimeClasses().size());
    if (form == JavaHalfForm::jarFile)
        total += 8 + int64_t(runtimeJar().size());
    if (total > kLargestFile)
        throw PackError(o.out + " would be " + std::to_string(total) +
                        " bytes; the launcher addresses at most " + std::to_string(kLargestFile));

    PeChecksum sum(checksumAt.value_or(0));
    AtomicFile out(o.out, mode, AtomicFile::namedByUser);
    if (checksumAt)
        out.track(&sum);
    out.write(image);
    out.write(block);
    // The data are read twice; the hash must be that of what was written.
    ContentHash again(uint32_t(files.list.size()));
    for (size_t i = 0; i < files.list.size(); ++i) {
        again.beginFile(names[i], uint64_t(files.list[i].size));
        writeIncludedFile(files.list[i], out, o.config, keeps ? &again : nullptr);
    }
    if (keeps && again.finish() != getRecord(config.records.narrow, rec::IncludedFilesHash))
        throw PackError("an included file changed while it was being packed; nothing was written");
    if (form == JavaHalfForm::classes)
        out.write(runtimeClasses().data(), runtimeClasses().size());
    if (form == JavaHalfForm::jarFile)
        writeRuntimeJar(out);
    if (files.list.empty() && form == JavaHalfForm::none)
        out.write(blockTrailer(out.written()));
    if (checksumAt) {
        std::string value;
        for (int i = 0; i < 4; ++i)
            value += char((sum.value() >> (8 * i)) & 0xFF);
        out.patch(int64_t(*checksumAt), value);
    }
    out.commit();
    return warnings;
}

DumpResult dumpPackage(const DumpOptions& o, const std::function<void(const std::string&)>& writeText) {
    CodePage page(o.codePage);
    FileSource source(o.input);
    const int64_t start = o.overlay ? 0 : imageEnd(source, o.input);
    DecodedBlock block = readBlock(source, start, o.input);
    DumpResult result;
    const auto warn = [&](const std::string& text) {
        result.warnings.push_back(o.input + ": warning: " + text);
    };
    int64_t contentEnd = source.size();
    bool signedFile = false;
    std::vector<Resource> resources;
    if (!o.overlay) {
        if (start > kLargestStub)
            throw PackError(o.input + ": an image of " + std::to_string(start) +
                            " bytes is no launcher");
        std::string image(size_t(start), '\0');
        source.seek(0);
        if (source.read(image.data(), uint32_t(image.size())) != image.size())
            throw PackError(systemError("cannot read " + o.input, int(source.lastError())));
        const PeHeaders headers = readPeHeaders(image, o.input);
        const DataDirectory certificate = headers.directory(kCertificateDirectory);
        if (certificate.address && certificate.size) {
            if (certificate.address >= block.end &&
                int64_t(certificate.address) + certificate.size == source.size()) {
                contentEnd = certificate.address;
                signedFile = true;
            } else {
                warn("the certificate table entry does not describe the end of the file");
            }
        }
        try {
            resources = readResources(image, headers, o.input);
        } catch (const PackError& e) {
            warn(std::string(e.what()) + "; the resources are left out");
        }
    }
    if (block.bytes != encodeBlock(block.records))
        warn("the block's header fields or counts differ from what kvo-pack writes; a build "
             "of this dump has the same records in other bytes");

    ConfigStore launcherView;
    for (const NarrowRecord& r : block.records.narrow)
        launcherView.narrow[r.id] = r.value;
    const int32_t count = parseConfigInt(launcherView.narrow[rec::IncludedFileCount]);

    bool buildsBack = true;
    // The included files end where the Java half's classes begin.
    std::optional<CarriedClasses> classes;
    int64_t filesEnd = contentEnd;
    if (const std::string& place = launcherView.narrow[rec::RuntimeClasses]; !place.empty()) {
        CarriedClasses found;
        const std::string problem = runtimeClassesProblem(place, block, source, contentEnd, signedFile, found);
        if (problem.empty()) {
            classes = found;
            filesEnd = block.end + found.place.offset;
        } else if (o.recordsOnly) {
            warn("the classes of kvo-runtime.jar are left out: " + problem);
            buildsBack = false;
        } else {
            throw PackError(o.input + ": the classes of kvo-runtime.jar are not where kvo-pack puts them (" +
                            problem + "); --records-only dumps the records alone");
        }
    }
    // A signature's alignment follows whatever comes last.
    const bool padded = signedFile && !classes;

    FilesLayout layout;
    bool withFiles = false;
    bool filesKnown = count <= 0;
    std::optional<IncludedData> runtime;
    if (count > 0) {
        const std::string problem =
            filesLayoutProblem(block, source, filesEnd, padded, page, layout);
        if (problem.empty()) {
            filesKnown = true;
            // The packer puts the runtime last; it is no file of the user's.
            if (!layout.utf8Names.empty() && layout.utf8Names.back() == kRuntimeJarName) {
                runtime = layout.data.back();
                layout.data.pop_back();
                layout.utf8Names.pop_back();
            }
            withFiles = !layout.data.empty();
        } else if (o.recordsOnly) {
            warn("the included files are left out: " + problem);
            buildsBack = false;
        } else {
            throw PackError(o.input + ": the included files are not in the layout kvo-pack "
                            "writes (" + problem + "); --records-only dumps the records alone");
        }
    } else {
        std::string tail(static_cast<size_t>(std::max<int64_t>(0, filesEnd - block.end)), '\0');
        source.seek(block.end);
        if (source.read(tail.data(), uint32_t(tail.size())) != tail.size())
            throw PackError(systemError("cannot read " + o.input, int(source.lastError())));
        const size_t trailer = blockTrailer(block.end).size();
        if (padded && tail.size() > trailer && tail.size() - trailer < 8 &&
            tail.find_first_not_of('\0', trailer) == std::string::npos)
            tail.resize(trailer);
        if (!tail.empty() && !isBlockTrailer(tail, block.end))
            warn(std::to_string(tail.size()) +
                 " bytes behind the block are not part of the dump (the launcher does not read them)");
    }

    // A launcher that keeps its files names their folder by the hash that
    // the packer writes; a build of the dump writes it anew, from the data.
    std::optional<std::string> hash;
    BlockRecords expected = block.records;
    if (withFiles && keepsIncludedFiles(block.records.narrow)) {
        hash = dumpedFilesHash(layout.data, source, o.input);
        if (getRecord(block.records.narrow, rec::IncludedFilesHash) != *hash)
            warn("IncludedFilesHash is not the hash of the included files; a build of this dump carries " + *hash);
        setIncludedFilesHashRecord(expected.narrow, *hash);
    }

    BlockRecords shown = block.records;
    std::vector<FileLine> lines;
    if (withFiles || runtime)
        std::erase_if(shown.narrow, [](const NarrowRecord& r) {
            return r.id == rec::IncludedFileCount || r.id == rec::IncludedFileNames;
        });
    if (classes)
        std::erase_if(shown.narrow, [](const NarrowRecord& r) { return r.id == rec::RuntimeClasses; });
    if (hash)
        std::erase_if(shown.narrow, [](const NarrowRecord& r) { return r.id == rec::IncludedFilesHash; });
    if (withFiles) {
        const fs::path textDir = o.textPath ? fs::absolute(sys::toPath(*o.textPath)).parent_path()
                                            : fs::current_path();
        for (const std::string& name : layout.utf8Names) {
            if (o.extractDir && sys::upperCaseName(name).starts_with(".KVO-RESOURCES\\"))
                throw PackError(o.input + ": the included file " + escapedForLine(name) +
                                " would collide with the images dump writes to .kvo-resources");
            std::string local = name;
            std::replace(local.begin(), local.end(), '\\', '/');
            std::string path = local;
            if (o.extractDir)
                path = sys::fromGenericPath(fs::absolute(sys::toPath(*o.extractDir) / sys::toPath(local))
                                                .lexically_normal()
                                                .lexically_proximate(textDir));
            lines.push_back({name, path});
        }
    }

    std::string heading = "# Configuration dumped by kvo-pack from " + escapedForLine(o.input) +
                          "\n# Narrow texts are in code page " + page.name() +
                          "; build it with --codepage " + page.name() + ".\n";
    if (!o.overlay)
        heading += "# The launcher is a " + imageKind(source) + " image.\n";
    if (withFiles && !o.extractDir)
        heading += "# The included files were not written out (--extract-files DIR does);\n"
                   "# the [files] lines name the places where it would put them.\n";
    if (!buildsBack)
        heading += "# The included files are left out: this text does not build.\n";
    if (classes)
        heading += "# It carries the classes of kvo-runtime.jar, the launcher's Java half (" +
                   std::to_string(classes->count) + " classes, " + std::to_string(classes->place.length) +
                   " bytes, " +
                   (classes->sameBuild ? std::string("the build this kvo-pack packs and `kvo-pack runtime-jar` writes")
                                       : std::string("another build than this kvo-pack's, which a launcher built "
                                                     "from\n# this text carries instead")) +
                   ").\n";
    else if (runtime)
        heading += "# It carries kvo-runtime.jar, the launcher's Java half, as an included file (" +
                   std::to_string(runtime->length) + " bytes, " +
                   (sameAsRuntimeJar(*runtime, source, o.input)
                        ? std::string("the build this kvo-pack packs")
                        : std::string("another build than this kvo-pack's")) +
                   "); a launcher built\n# from this text on a current stub carries its classes instead.\n";
    else if (filesKnown)
        heading += "# It carries no kvo-runtime.jar: its launcher class comes from the application.\n";
    if (signedFile)
        heading += "# The launcher is signed; a launcher built from this text is not (sign it\n"
                   "# again).\n";
    const fs::path textDir =
        o.textPath ? fs::absolute(sys::toPath(*o.textPath)).parent_path() : fs::current_path();
    // The images go beside the included files, under a name no included file can have.
    const std::string imageDir = ".kvo-resources";
    std::function<std::string(const std::string&)> imagePath;
    if (o.extractDir)
        imagePath = [&](const std::string& name) {
            return sys::fromGenericPath(fs::absolute(sys::toPath(*o.extractDir) / imageDir / sys::toPath(name))
                                            .lexically_normal()
                                            .lexically_proximate(textDir));
        };
    const ResourceDump images = describeResources(resources, imagePath);
    result.text = formatConfigText(shown, withFiles, lines, page, heading + "\n") + images.text;
    if (filesKnown && !runtime && !classes && buildsBack)
        result.text += "\n[kvo-runtime]\ninclude = no\n";

    if (buildsBack) {
        // What build would make of this text must be the block that was read.
        PackConfig again = parseConfigText(result.text, o.input + " (dump)", page);
        std::vector<std::string> names;
        int64_t filesBytes = 0;
        for (const IncludedData& d : layout.data) {
            names.push_back(d.name);
            filesBytes += 8 + d.length;
        }
        setIncludedRecords(again, names,
                           classes   ? JavaHalfForm::classes
                           : runtime ? JavaHalfForm::jarFile
                                     : JavaHalfForm::none,
                           filesBytes, classes ? classes->place.length : 0);
        if (hash)
            setIncludedFilesHashRecord(again.records.narrow, *hash);
        if (encodeBlock(again.records) != encodeBlock(expected))
            throw PackError(o.input + ": internal error: the dump would not build back to the "
                            "same block");
    }
    std::vector<OutputFile> outputs;
    if (o.extractDir && withFiles)
        for (size_t i = 0; i < layout.data.size(); ++i) {
            // Part by part, so that messages name the file with the host's separator.
            fs::path target = sys::toPath(*o.extractDir);
            const std::string& name = layout.utf8Names[i];
            for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
                end = name.find('\\', start);
                target /= sys::toPath(name.substr(start, end == std::string::npos ? end : end - start));
            }
            outputs.push_back({target, &layout.data[i], nullptr});
        }
    if (o.extractDir)
        for (const auto& [name, bytes] : images.files)
            outputs.push_back({sys::toPath(*o.extractDir) / imageDir / sys::toPath(name), nullptr, &bytes});
    if (o.textPath) {
        // The text is written by the caller, over an existing file if need be
        // (the user named it), but never over the input or a file written here.
        if (sameFile(followed(o.input), followed(*o.textPath)))
            throw PackError(*o.textPath + " is the file being dumped; write the text elsewhere");
        const fs::path textFile = fs::absolute(sys::toPath(*o.textPath)).lexically_normal();
        for (const OutputFile& f : outputs)
            if (fs::absolute(f.path).lexically_normal() == textFile)
                throw PackError(*o.textPath + " is also where an extracted file would go");
    }
    std::function<void()> last;
    if (writeText)
        last = [&] { writeText(result.text); };
    if (!outputs.empty())
        writeOutputs(outputs, source, o.input, o.force, last);
    else if (last)
        last();
    return result;
}

}  // namespace kvopack
