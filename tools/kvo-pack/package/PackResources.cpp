#include "tools/kvo-pack/package/PackResources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "core/ConfigStore.h"
#include "tools/kvo-pack/config/ConfigFormat.h"
#include "tools/kvo-pack/config/RecordNames.h"
#include "tools/kvo-pack/host/SystemFiles.h"

namespace kvopack {
namespace {

// Manifest 1 is the one the system reads when the process starts; the stub
// carries another (101, the common controls it activates itself) that holds
// no execution level or DPI setting.
bool isApplicationManifest(const Resource& r) {
    return !r.type.isName() && r.type.id == rt::manifest && !r.name.isName() && r.name.id == 1;
}

// Inputs larger than this are no icon or splash screen.
constexpr int64_t kLargestInput = 64 * 1024 * 1024;

std::string at(const std::string& config, int line) {
    return config + ":" + std::to_string(line) + ": ";
}

std::string readInput(const ResourcePath& p, const std::string& config, const std::string& base,
                      std::string& fullPath) {
    fullPath = sys::toPath(p.path).is_absolute() ? p.path
                                                : sys::fromPath(sys::toPath(base) / sys::toPath(p.path));
    const int fd = sys::openRead(fullPath);
    sys::FileStatus st;
    if (fd < 0 || sys::fileStatus(fd, st) != 0) {
        const int error = errno;
        if (fd >= 0)
            sys::closeFile(fd);
        throw PackError(at(config, p.line) + "cannot read " + fullPath + ": " + std::strerror(error));
    }
    if (!st.regular || st.size > kLargestInput) {
        sys::closeFile(fd);
        throw PackError(at(config, p.line) + "cannot read " + fullPath +
                        (st.regular ? ": larger than 64 MiB" : ": not a regular file"));
    }
    std::string bytes(size_t(st.size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t n = sys::readSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            sys::closeFile(fd);
            throw PackError(at(config, p.line) + "cannot read " + fullPath + ": " +
                            std::strerror(error));
        }
        done += size_t(n);
    }
    sys::closeFile(fd);
    return bytes;
}

// Runs `read` over the bytes of `p`, prefixing its complaint with the place.
template <typename Read>
auto readResourceFile(const ResourcePath& p, const std::string& config, const std::string& base,
                      std::string_view what, Read read) {
    std::string fullPath;
    const std::string bytes = readInput(p, config, base, fullPath);
    try {
        return read(bytes);
    } catch (const PackError& e) {
        throw PackError(at(config, p.line) + std::string(what) + " " + fullPath + ": " + e.what());
    }
}

const NarrowRecord* lastRecord(const std::vector<NarrowRecord>& narrow, int32_t id) {
    const NarrowRecord* found = nullptr;
    for (const NarrowRecord& r : narrow)
        if (r.id == id)
            found = &r;
    return found;
}

// The splash window takes its size from these records; a bitmap of
// another size would be cut or framed in grey.
void fillSplashSize(PackConfig& config, const Dib& dib, const std::string& configPath,
                    const ResourcePath& p) {
    auto& narrow = config.records.narrow;
    const std::pair<int32_t, int32_t> sides[] = {{rec::SplashImageWidth, dib.width},
                                                 {rec::SplashImageHeight, dib.height}};
    for (auto [id, value] : sides) {
        if (const NarrowRecord* r = lastRecord(narrow, id)) {
            if (parseConfigInt(r->value) != value)
                throw PackError(at(configPath, p.line) + "the splash bitmap " + p.path + " is " +
                                std::to_string(dib.width) + " x " + std::to_string(dib.height) +
                                " pixels, but " + std::string(findRecordById(id)->name) +
                                " on line " + std::to_string(r->line) + " is " + r->value);
            continue;
        }
        size_t pos = 0;
        while (pos < narrow.size() && narrow[pos].id <= id)
            ++pos;
        narrow.insert(narrow.begin() + ptrdiff_t(pos), NarrowRecord{id, std::to_string(value), p.line});
    }
}

Resource make(uint32_t type, ResourceKey name, std::string data, uint16_t language = 0) {
    Resource r;
    r.type = ResourceKey::number(type);
    r.name = std::move(name);
    r.language = language;
    r.data = std::move(data);
    return r;
}

void addIconGroup(std::vector<Resource>& out, const std::vector<IconImage>& images, uint16_t firstId,
                  std::u16string_view group, bool withImages) {
    if (withImages)
        for (size_t i = 0; i < images.size(); ++i)
            out.push_back(make(rt::icon, ResourceKey::number(uint32_t(firstId + i)), images[i].data));
    out.push_back(make(rt::groupIcon, ResourceKey::named(group), groupIconData(images, firstId)));
}

std::string iconSizes(const std::vector<IconImage>& entries) {
    std::string out;
    for (const IconImage& e : entries) {
        if (!out.empty())
            out += ", ";
        out += std::to_string(e.width ? e.width : 256) + "x" + std::to_string(e.height ? e.height : 256) +
               " " + std::to_string(e.bitCount) + "-bit";
    }
    return out;
}

}  // namespace

ResourceInputs loadResourceInputs(PackConfig& config, const std::string& configPath) {
    const std::string base = sys::fromPath(sys::toPath(configPath).parent_path());
    const ResourceSettings& s = config.resources;
    ResourceInputs in;
    if (s.icon)
        in.icon = readResourceFile(*s.icon, configPath, base, "icon", readIconFile);
    if (s.splashIcon)
        in.splashIcon = readResourceFile(*s.splashIcon, configPath, base, "splash icon", readIconFile);
    if (s.splashBitmap) {
        in.splashBitmap =
            readResourceFile(*s.splashBitmap, configPath, base, "splash bitmap", readSplashBitmap);
        fillSplashSize(config, *in.splashBitmap, configPath, *s.splashBitmap);
    }
    if (s.splashImage)
        in.splashImage = readResourceFile(*s.splashImage, configPath, base, "splash image",
                                          [](const std::string& bytes) {
                                              splashImageKind(bytes);
                                              return bytes;
                                          });
    if (in.icon.size() + in.splashIcon.size() > 0x7FFF)
        throw PackError(at(configPath, s.icon ? s.icon->line : s.splashIcon->line) +
                        "the icons hold too many images");
    return in;
}

bool isPackerResource(const Resource& r) {
    if (r.type.isName())
        return false;
    const uint32_t t = r.type.id;
    if (t == rt::icon || t == rt::groupIcon || t == rt::version)
        return true;
    return (t == rt::bitmap || t == rt::rcdata) && !r.name.isName() && r.name.id == kSplashResourceId;
}

std::vector<Resource> combineResources(std::vector<Resource> existing, const ResourceInputs& in,
                                       const PackConfig& config, const std::string& what) {
    std::erase_if(existing, isPackerResource);
    std::vector<Resource>& out = existing;
    const ResourceSettings& s = config.resources;
    if (s.executionLevel || s.dpiAware) {
        bool found = false;
        for (Resource& r : out)
            if (isApplicationManifest(r)) {
                try {
                    r.data = rewriteManifest(r.data, s.executionLevel, s.dpiAware);
                } catch (const PackError& e) {
                    throw PackError(what + ": " + e.what());
                }
                found = true;
            }
        if (!found)
            throw PackError(what + ": carries no application manifest to set execution-level "
                            "or dpi-aware in");
    }
    if (!in.icon.empty()) {
        addIconGroup(out, in.icon, 1, kApplicationIconName, true);
        if (in.splashIcon.empty())
            addIconGroup(out, in.icon, 1, kSplashIconName, false);
    }
    if (!in.splashIcon.empty())
        addIconGroup(out, in.splashIcon, uint16_t(in.icon.size() + 1), kSplashIconName, true);
    if (in.splashBitmap)
        out.push_back(make(rt::bitmap, ResourceKey::number(kSplashResourceId), in.splashBitmap->data));
    if (in.splashImage)
        out.push_back(make(rt::rcdata, ResourceKey::number(kSplashResourceId), *in.splashImage));
    if (config.version.present)
        out.push_back(make(rt::version, ResourceKey::number(1),
                           buildVersionResource(config.version.info), config.version.info.language));
    return out;
}

namespace {

// Empty when an image is missing or named twice (each image is copied once,
// so the file is no larger than the images the launcher holds).
std::string icoFromGroup(const std::map<uint32_t, const Resource*>& icons,
                         const std::vector<IconImage>& entries, const std::vector<uint16_t>& ids) {
    std::string out;
    const auto append = [&](uint32_t v, int width) {
        for (int i = 0; i < width; ++i)
            out += char((v >> (8 * i)) & 0xFF);
    };
    append(0, 2);
    append(1, 2);
    append(uint32_t(entries.size()), 2);
    std::string images;
    std::set<uint16_t> used;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto found = icons.find(ids[i]);
        if (found == icons.end() || !used.insert(ids[i]).second)
            return {};
        const Resource* image = found->second;
        out += char(entries[i].width);
        out += char(entries[i].height);
        out += char(entries[i].colours);
        out += '\0';
        append(entries[i].planes, 2);
        append(entries[i].bitCount, 2);
        append(uint32_t(image->data.size()), 4);
        append(uint32_t(6 + 16 * entries.size() + images.size()), 4);
        images += image->data;
    }
    return out + images;
}

std::string bmpFromDib(const std::string& dib) {
    std::string out = "BM";
    const auto append = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += char((v >> (8 * i)) & 0xFF);
    };
    // Bytes in front of the pixels: the header, masks and colour table.
    const uint32_t bits = uint8_t(dib[14]) | (uint32_t(uint8_t(dib[15])) << 8);
    const uint32_t compression = uint8_t(dib[16]);
    uint32_t colours = uint8_t(dib[32]) | (uint32_t(uint8_t(dib[33])) << 8);
    if (bits <= 8 && colours == 0)
        colours = 1u << bits;
    const uint32_t front = 40 + (compression == 3 ? 12 : 0) + colours * 4;
    append(uint32_t(14 + dib.size()));
    append(0);
    append(14 + front);
    return out + dib;
}

}  // namespace

ResourceDump describeResources(const std::vector<Resource>& resources,
                               const std::function<std::string(const std::string&)>& pathFor) {
    std::string lines, comments, version;
    bool packerKinds = false;
    ResourceDump dump;
    std::vector<uint16_t> applicationIds;
    const auto fileLine = [&](const std::string& setting, const std::string& name, std::string bytes) {
        bool escaped = false;
        const std::string path = formatPathValue(pathFor(name), escaped);
        lines += setting + (escaped ? " := " : " = ") + path + "\n";
        dump.files.emplace_back(name, std::move(bytes));
    };
    // The images by number, the last of each as the loader would find it.
    std::map<uint32_t, const Resource*> icons;
    for (const Resource& r : resources)
        if (r.type == ResourceKey::number(rt::icon) && !r.name.isName())
            icons[r.name.id] = &r;
    // The application's group first: the splash icon may share its images.
    std::vector<const Resource*> ordered;
    for (const Resource& r : resources)
        if (r.type == ResourceKey::number(rt::groupIcon) && r.name.name == kApplicationIconName)
            ordered.push_back(&r);
    for (const Resource& r : resources)
        if (!(r.type == ResourceKey::number(rt::groupIcon) && r.name.name == kApplicationIconName))
            ordered.push_back(&r);
    for (const Resource* rp : ordered) {
        const Resource& r = *rp;
        if (r.type.isName())
            continue;
        packerKinds = packerKinds || isPackerResource(r);
        const std::string name = escapedForLine(r.name.text());
        if (r.type.id == rt::groupIcon) {
            std::vector<IconImage> entries;
            std::vector<uint16_t> ids;
            const bool application = r.name.name == kApplicationIconName;
            const bool splash = r.name.name == kSplashIconName;
            const std::string role = application ? "icon" : splash ? "splash-icon" : "icon group";
            if (!readGroupIcon(r.data, entries, ids)) {
                comments += "# " + role + " (icon group " + name + "): damaged\n";
                continue;
            }
            if (application)
                applicationIds = ids;
            if (splash && !applicationIds.empty() && ids == applicationIds)
                continue;  // the application's icon serves
            const std::string ico =
                pathFor && (application || splash) ? icoFromGroup(icons, entries, ids) : "";
            if (pathFor && (application || splash) && !ico.empty())
                fileLine(role, role + ".ico", ico);
            else
                comments += "# " + role + " (icon group " + name + "): " + std::to_string(entries.size()) +
                            (entries.size() == 1 ? " image, " : " images, ") + iconSizes(entries) + "\n";
        } else if (r.type.id == rt::bitmap && r.name == ResourceKey::number(kSplashResourceId)) {
            int32_t w = 0, h = 0;
            if (!dibSize(r.data, w, h))
                comments += "# splash-bitmap (bitmap 10000): damaged\n";
            else if (pathFor)
                fileLine("splash-bitmap", "splash-bitmap.bmp", bmpFromDib(r.data));
            else
                comments += "# splash-bitmap (bitmap 10000): " + std::to_string(w) + " x " +
                            std::to_string(h) + " pixels\n";
        } else if (r.type.id == rt::rcdata && r.name == ResourceKey::number(kSplashResourceId)) {
            std::string kind;
            try {
                kind = splashImageKind(r.data);
            } catch (const PackError&) {
            }
            if (pathFor && !kind.empty())
                fileLine("splash-image",
                         "splash-image." + std::string(kind == "PNG" ? "png" : kind == "GIF" ? "gif" : "jpg"),
                         r.data);
            else
                comments += "# splash-image (RT_RCDATA 10000): " +
                            (kind.empty() ? std::string("not a PNG, GIF or JPEG image") : kind) + ", " +
                            std::to_string(r.data.size()) + " bytes\n";
        } else if (r.type.id == rt::version) {
            VersionInfo info;
            if (readVersionResource(r.data, info) && buildVersionResource(info) == r.data)
                version = formatVersionSection(info);
            else
                comments += "# a version resource (" + std::to_string(r.data.size()) +
                            " bytes) that the [version] section cannot express\n";
        } else if (isApplicationManifest(r)) {
            const std::string level = manifestExecutionLevel(r.data);
            const std::string dpi = manifestDpiSetting(r.data);
            if (!level.empty() && executionLevelByName(level)) {
                lines += "execution-level = " + level + "\n";
                packerKinds = packerKinds || level != "asInvoker";
            }
            if (dpiAwarenessByName(dpi)) {
                lines += "dpi-aware = " + dpi + "\n";
                packerKinds = true;
            } else if (!dpi.empty()) {
                comments += "# dpi-aware: the manifest says " + escapedForLine(dpi.substr(7)) + "\n";
            }
        }
    }
    if (!packerKinds) {
        dump.files.clear();
        return dump;
    }
    if (!lines.empty() || !comments.empty()) {
        if (!comments.empty() && !pathFor)
            comments = "# The images are not written out (--extract-files DIR does).\n" + comments;
        dump.text = "\n[resources]\n" + comments + lines;
    }
    dump.text += version;
    return dump;
}

}  // namespace kvopack
