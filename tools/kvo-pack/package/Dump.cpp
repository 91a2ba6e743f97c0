#include "tools/kvo-pack/package/Pack.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "core/ConfigStore.h"
#include "services/RuntimeClasses.h"
#include "tools/kvo-pack/config/ConfigFormat.h"
#include "tools/kvo-pack/config/ConfigText.h"
#include "tools/kvo-pack/config/KeptFiles.h"
#include "tools/kvo-pack/config/RecordNames.h"
#include "tools/kvo-pack/host/SystemFiles.h"
#include "tools/kvo-pack/image/PeImage.h"
#include "tools/kvo-pack/image/ResourceTree.h"
#include "tools/kvo-pack/package/Block.h"
#include "tools/kvo-pack/package/ContentHash.h"
#include "tools/kvo-pack/package/Extract.h"
#include "tools/kvo-pack/package/JavaHalf.h"
#include "tools/kvo-pack/package/PackResources.h"
#include "tools/kvo-pack/package/PackSupport.h"
#include "tools/kvo-pack/package/RuntimeJar.h"

namespace fs = std::filesystem;

namespace kvopack {
namespace {

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

}  // namespace

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
        if (includedFilesHashRecord(block.records.narrow) != *hash)
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
    std::vector<ExtractedFile> outputs;
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
        for (const ExtractedFile& f : outputs)
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
