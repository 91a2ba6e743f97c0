#include "tools/kvo-pack/package/Pack.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "services/CacheFolder.h"
#include "tools/kvo-pack/config/ConfigCheck.h"
#include "tools/kvo-pack/config/ConfigText.h"
#include "tools/kvo-pack/config/KeptFiles.h"
#include "tools/kvo-pack/config/RecordNames.h"
#include "tools/kvo-pack/host/OutputFile.h"
#include "tools/kvo-pack/host/SystemFiles.h"
#include "tools/kvo-pack/image/LittleEndian.h"
#include "tools/kvo-pack/image/PeImage.h"
#include "tools/kvo-pack/image/ResourceTree.h"
#include "tools/kvo-pack/package/Block.h"
#include "tools/kvo-pack/package/ContentHash.h"
#include "tools/kvo-pack/package/JavaHalf.h"
#include "tools/kvo-pack/package/PackResources.h"
#include "tools/kvo-pack/package/PackSupport.h"
#include "tools/kvo-pack/package/RuntimeJar.h"

namespace fs = std::filesystem;

namespace kvopack {
namespace {

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

void writeRuntimeJar(AtomicFile& out) {
    std::string bytes(runtimeJar());
    std::string length;
    for (int i = 0; i < 8; ++i)
        length += char((uint64_t(bytes.size()) >> (8 * i)) & 0xFF);
    out.write(length);
    scramble(bytes.data(), bytes.size());
    out.write(bytes);
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

// Errors stop the build, all of them named at once; warnings go with the
// configuration's own.
void takeFindings(const ConfigFindings& findings, PackConfig& config) {
    if (!findings.errors.empty()) {
        std::string all;
        for (const std::string& e : findings.errors)
            all += (all.empty() ? "" : "\n") + e;
        throw PackError(all);
    }
    config.warnings.insert(config.warnings.end(), findings.warnings.begin(), findings.warnings.end());
}

}  // namespace

std::vector<std::string> buildPackage(const BuildOptions& o) {
    CodePage page(o.codePage);
    PackConfig config = readConfigText(readTextFile(o.config), o.config, page);
    takeFindings(checkConfig(config, o.config, page), config);

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
        takeFindings(check.finish(), config);
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
        out.track([&sum](const char* data, size_t size) { sum.add(data, size); });
    out.write(image);
    out.write(block);
    // The data are read twice; the hash must be that of what was written.
    ContentHash again(uint32_t(files.list.size()));
    for (size_t i = 0; i < files.list.size(); ++i) {
        again.beginFile(names[i], uint64_t(files.list[i].size));
        writeIncludedFile(files.list[i], out, o.config, keeps ? &again : nullptr);
    }
    if (keeps && again.finish() != includedFilesHashRecord(config.records.narrow))
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

}  // namespace kvopack
