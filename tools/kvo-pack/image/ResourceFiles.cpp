#include "tools/kvo-pack/image/ResourceFiles.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>

#include "tools/kvo-pack/host/Encoding.h"
#include "tools/kvo-pack/image/LittleEndian.h"

namespace kvopack {
namespace {

using le::get;
using le::put;

void append(std::string& s, uint32_t value, int width) {
    s.append(size_t(width), '\0');
    put(s, s.size() - size_t(width), value, width);
}

[[noreturn]] void fail(const std::string& why) { throw PackError(why); }

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);
// Bitmaps larger than this are no splash screen.
constexpr int64_t kLargestSide = 16384;
constexpr int64_t kMostPixels = 64 * 1024 * 1024;
constexpr size_t kMostIconImages = 1024;

// The splash window is filled with this grey before the bitmap is drawn.
constexpr png_color kSplashGrey = {0xC0, 0xC0, 0xC0};

// The fields an icon file's directory and a group-icon resource share at the
// start of each entry; they differ only in what follows (offset or id).
IconImage iconEntryAt(std::string_view bytes, size_t at) {
    IconImage image;
    image.width = uint8_t(bytes[at]);
    image.height = uint8_t(bytes[at + 1]);
    image.colours = uint8_t(bytes[at + 2]);
    image.planes = uint16_t(get(bytes, at + 4, 2));
    image.bitCount = uint16_t(get(bytes, at + 6, 2));
    return image;
}

}  // namespace

// --- icons -------------------------------------------------------------------

std::vector<IconImage> readIconFile(std::string_view bytes) {
    if (bytes.size() < 6 || get(bytes, 0, 2) != 0)
        fail("not an .ico file");
    const uint32_t type = get(bytes, 2, 2);
    if (type == 2)
        fail("a cursor (.cur) file, not an icon");
    if (type != 1)
        fail("not an .ico file");
    const size_t count = get(bytes, 4, 2);
    if (count == 0)
        fail("the icon holds no images");
    if (count > kMostIconImages)
        fail("the icon claims " + std::to_string(count) + " images");
    if (bytes.size() < 6 + 16 * count)
        fail("the file is cut short inside its directory of " + std::to_string(count) + " images");
    std::vector<IconImage> images;
    // Start and end of each image's bytes: no byte is copied twice.
    std::map<size_t, size_t> taken = {{0, 6 + 16 * count}};
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        const std::string which = "image " + std::to_string(i + 1);
        const uint32_t size = get(bytes, entry + 8, 4), offset = get(bytes, entry + 12, 4);
        if (offset > bytes.size() || bytes.size() - offset < size)
            fail(which + " runs past the end of the file (the file is cut short)");
        const auto next = taken.lower_bound(offset);
        if ((next != taken.end() && next->first < size_t(offset) + size) ||
            (next != taken.begin() && std::prev(next)->second > offset))
            fail(which + " overlaps the icon's directory or another image");
        taken[offset] = size_t(offset) + size;
        IconImage image = iconEntryAt(bytes, entry);
        image.data = std::string(bytes.substr(offset, size));
        if (image.data.starts_with(kPngSignature)) {
            if (image.data.size() < 33 || image.data.substr(12, 4) != "IHDR")
                fail(which + " is a damaged PNG");
            if (image.bitCount == 0)
                image.bitCount = 32;
        } else {
            if (image.data.size() < 40 || get(image.data, 0, 4) < 40)
                fail(which + " is neither a bitmap nor a PNG, or is cut short");
            const int32_t w = int32_t(get(image.data, 4, 4)), h = int32_t(get(image.data, 8, 4));
            if (w <= 0 || w > 256 || h <= 0 || h > 512)
                fail(which + " has an impossible size");
            if (image.bitCount == 0)
                image.bitCount = uint16_t(get(image.data, 14, 2));
        }
        if (image.planes == 0)
            image.planes = 1;
        images.push_back(std::move(image));
    }
    return images;
}

std::string groupIconData(const std::vector<IconImage>& images, uint16_t firstId) {
    std::string out;
    append(out, 0, 2);
    append(out, 1, 2);
    append(out, uint32_t(images.size()), 2);
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        out += char(image.width);
        out += char(image.height);
        out += char(image.colours);
        out += '\0';
        append(out, image.planes, 2);
        append(out, image.bitCount, 2);
        append(out, uint32_t(image.data.size()), 4);
        append(out, uint32_t(firstId + i), 2);
    }
    return out;
}

bool readGroupIcon(std::string_view data, std::vector<IconImage>& entries,
                   std::vector<uint16_t>& ids) {
    if (data.size() < 6 || get(data, 0, 2) != 0 || get(data, 2, 2) != 1)
        return false;
    const size_t count = get(data, 4, 2);
    if (data.size() < 6 + 14 * count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 6 + 14 * i;
        entries.push_back(iconEntryAt(data, at));
        ids.push_back(uint16_t(get(data, at + 12, 2)));
    }
    return true;
}

// --- bitmaps -----------------------------------------------------------------

Dib dibFromBmp(std::string_view bytes) {
    if (bytes.size() < 18 || bytes.substr(0, 2) != "BM")
        fail("not a .bmp file");
    const uint32_t pixelsAt = get(bytes, 10, 4);
    const uint32_t headerSize = get(bytes, 14, 4);
    if (headerSize == 12)
        fail("an OS/2 bitmap; save it as a Windows bitmap");
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        fail("an unknown bitmap header of " + std::to_string(headerSize) + " bytes");
    if (bytes.size() < 14 + size_t(headerSize))
        fail("the file is cut short inside its header");
    const std::string_view info = bytes.substr(14, headerSize);
    const int64_t width = int32_t(get(info, 4, 4));
    const int64_t height = int32_t(get(info, 8, 4));
    const uint32_t planes = get(info, 12, 2), bits = get(info, 14, 2);
    const uint32_t compression = get(info, 16, 4), sizeImage = get(info, 20, 4);
    uint32_t colours = get(info, 32, 4);
    const int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || width > kLargestSide || rows > kLargestSide ||
        width * rows > kMostPixels)
        fail("an impossible size of " + std::to_string(width) + " x " + std::to_string(height));
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        fail(std::to_string(bits) + " bits per pixel is not a bitmap format Windows draws");
    const bool rle = compression == 1 || compression == 2;
    if (compression > 3 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (compression == 3 && bits != 16 && bits != 32))
        fail("compression " + std::to_string(compression) + " with " + std::to_string(bits) +
             " bits per pixel is not supported (use an uncompressed bitmap)");
    if (rle && height < 0)
        fail("a compressed bitmap must be stored bottom-up");
    if (bits <= 8) {
        if (colours > (1u << bits))
            fail("the colour table is larger than " + std::to_string(bits) + " bits can index");
        if (colours == 0)
            colours = 1u << bits;
    } else {
        colours = std::min<uint32_t>(colours, 256);
    }
    // Bit masks follow a 40-byte header; larger headers hold them inside.
    std::string masks;
    size_t tableAt = 14 + headerSize;
    if (compression == 3) {
        if (headerSize == 40) {
            if (bytes.size() < tableAt + 12)
                fail("the file is cut short inside its colour masks");
            masks = std::string(bytes.substr(tableAt, 12));
            tableAt += 12;
        } else {
            masks = std::string(info.substr(40, 12));
        }
    }
    const size_t tableBytes = size_t(colours) * 4;
    if (bytes.size() < tableAt + tableBytes)
        fail("the file is cut short inside its colour table");
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = rle ? sizeImage : stride * uint64_t(rows);
    if (rle && sizeImage == 0)
        fail("a compressed bitmap that does not give its data size");
    if (pixelsAt < tableAt + tableBytes && pixelsAt != 0)
        fail("the pixel data overlaps the header");
    const uint64_t start = pixelsAt ? pixelsAt : tableAt + tableBytes;
    if (start > bytes.size() || bytes.size() - start < pixelBytes)
        fail("the file is cut short: " + std::to_string(pixelBytes) + " bytes of pixels expected, " +
             std::to_string(start > bytes.size() ? 0 : bytes.size() - start) + " present");

    Dib dib;
    dib.width = int32_t(width);
    dib.height = int32_t(rows);
    dib.data = std::string(info.substr(0, 40));
    put(dib.data, 0, 40, 4);
    put(dib.data, 20, uint32_t(pixelBytes), 4);
    put(dib.data, 32, colours, 4);
    dib.data += masks;
    dib.data += bytes.substr(tableAt, tableBytes);
    dib.data += bytes.substr(size_t(start), size_t(pixelBytes));
    return dib;
}

namespace {

struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
};

// Decodes to tightly packed BGR rows, top row first.
std::string decodePng(std::string_view bytes, int32_t& width, int32_t& height) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size()))
        fail(std::string("a damaged PNG (") + png.image.message + ")");
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > kLargestSide ||
        png.image.height > kLargestSide ||
        int64_t(png.image.width) * png.image.height > kMostPixels)
        fail("an impossible size of " + std::to_string(png.image.width) + " x " +
             std::to_string(png.image.height));
    png.image.format = PNG_FORMAT_BGR;
    std::string pixels(PNG_IMAGE_SIZE(png.image), '\0');
    if (!png_image_finish_read(&png.image, &kSplashGrey, pixels.data(), 0, nullptr))
        fail(std::string("a damaged or cut short PNG (") + png.image.message + ")");
    width = int32_t(png.image.width);
    height = int32_t(png.image.height);
    return pixels;
}

}  // namespace

Dib dibFromPng(std::string_view bytes) {
    Dib dib;
    const std::string pixels = decodePng(bytes, dib.width, dib.height);
    const size_t row = size_t(dib.width) * 3;
    const size_t stride = (row + 3) / 4 * 4;
    std::string& out = dib.data;
    append(out, 40, 4);
    append(out, uint32_t(dib.width), 4);
    append(out, uint32_t(dib.height), 4);  // bottom-up
    append(out, 1, 2);
    append(out, 24, 2);
    append(out, 0, 4);
    append(out, uint32_t(stride * size_t(dib.height)), 4);
    append(out, 2835, 4);  // 72 dpi
    append(out, 2835, 4);
    append(out, 0, 4);
    append(out, 0, 4);
    for (int32_t y = dib.height - 1; y >= 0; --y) {
        out.append(pixels, size_t(y) * row, row);
        out.append(stride - row, '\0');
    }
    return dib;
}

Dib readSplashBitmap(std::string_view bytes) {
    if (bytes.starts_with(kPngSignature))
        return dibFromPng(bytes);
    if (bytes.starts_with("BM"))
        return dibFromBmp(bytes);
    fail("neither a .bmp nor a .png file");
}

bool dibSize(std::string_view dib, int32_t& width, int32_t& height) {
    if (dib.size() < 40 || get(dib, 0, 4) < 40)
        return false;
    width = int32_t(get(dib, 4, 4));
    height = int32_t(get(dib, 8, 4));
    if (height < 0)
        height = -height;
    return true;
}

std::string splashImageKind(std::string_view bytes) {
    if (bytes.starts_with(kPngSignature)) {
        int32_t w = 0, h = 0;
        decodePng(bytes, w, h);
        return "PNG";
    }
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) {
        if (bytes.size() < 14 || bytes.back() != '\x3B')
            fail("a GIF that is cut short (it does not end with its trailer)");
        return "GIF";
    }
    if (bytes.starts_with("\xFF\xD8\xFF")) {
        if (!bytes.ends_with("\xFF\xD9"))
            fail("a JPEG that is cut short (it does not end with its end marker)");
        return "JPEG";
    }
    fail("not a PNG, GIF or JPEG image (the formats the runtime's splash library reads)");
}

// --- version -----------------------------------------------------------------

namespace {

void appendUtf16z(std::string& out, std::u16string_view text) {
    for (char16_t c : text)
        append(out, c, 2);
    append(out, 0, 2);
}

void pad4(std::string& out) { out.append((4 - out.size() % 4) % 4, '\0'); }

// One node of the version tree: length, value length, type, key, value,
// children. The lengths are 16-bit fields; `fits` turns false when one
// would not hold its node.
std::string versionNode(std::u16string_view key, std::string_view value, uint32_t valueLength,
                        uint32_t type, const std::vector<std::string>& children, bool& fits) {
    std::string out(6, '\0');
    appendUtf16z(out, key);
    pad4(out);
    out += value;
    for (const std::string& child : children) {
        pad4(out);
        out += child;
    }
    fits = fits && out.size() <= 0xFFFF && valueLength <= 0xFFFF;
    put(out, 0, uint32_t(out.size()), 2);
    put(out, 2, valueLength, 2);
    put(out, 4, type, 2);
    return out;
}

std::u16string ascii16(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::string hex4(uint32_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(v >> shift) & 0xF];
    return out;
}

struct Node {
    std::u16string key;
    std::string_view value;
    uint32_t valueLength = 0;
    uint32_t type = 0;
    std::vector<std::string_view> children;
};

bool readNode(std::string_view data, Node& node) {
    if (data.size() < 6)
        return false;
    const size_t length = get(data, 0, 2);
    if (length < 6 || length > data.size())
        return false;
    data = data.substr(0, length);
    node.valueLength = get(data, 2, 2);
    node.type = get(data, 4, 2);
    size_t at = 6;
    for (;;) {
        if (at + 2 > data.size())
            return false;
        const char16_t c = char16_t(get(data, at, 2));
        at += 2;
        if (c == 0)
            break;
        node.key += c;
    }
    at = (at + 3) / 4 * 4;
    const size_t valueBytes = node.type == 1 ? node.valueLength * 2 : node.valueLength;
    if (at > data.size() || data.size() - at < valueBytes)
        return false;
    node.value = data.substr(at, valueBytes);
    at += valueBytes;
    for (;;) {
        at = (at + 3) / 4 * 4;
        if (at >= data.size())
            break;
        if (data.size() - at < 6)
            return false;
        // A child longer than the rest is cut here, and refused by its own
        // read, which checks its length against what it was given.
        const size_t childLength = get(data, at, 2);
        if (childLength < 6)
            return false;
        node.children.push_back(data.substr(at, childLength));
        at += childLength;
    }
    return true;
}

}  // namespace

const std::vector<std::string_view>& versionStringKeys() {
    static const std::vector<std::string_view> keys = {
        "Comments",         "CompanyName",  "FileDescription", "FileVersion",
        "InternalName",     "LegalCopyright", "LegalTrademarks", "OriginalFilename",
        "PrivateBuild",     "ProductName",  "ProductVersion",  "SpecialBuild"};
    return keys;
}

namespace {

std::string versionTree(const VersionInfo& info, bool& fits) {
    std::string fixed;
    append(fixed, 0xFEEF04BD, 4);
    append(fixed, 0x00010000, 4);
    const auto pair = [&](const std::array<uint16_t, 4>& v) {
        append(fixed, (uint32_t(v[0]) << 16) | v[1], 4);
        append(fixed, (uint32_t(v[2]) << 16) | v[3], 4);
    };
    pair(info.fileVersion);
    pair(info.productVersion);
    append(fixed, 0x3F, 4);        // flags mask
    append(fixed, 0, 4);           // flags
    append(fixed, 0x00040004, 4);  // VOS_NT_WINDOWS32
    append(fixed, 1, 4);           // VFT_APP
    append(fixed, 0, 4);
    append(fixed, 0, 4);
    append(fixed, 0, 4);

    std::vector<std::string> strings;
    for (const auto& [key, value] : info.strings) {
        std::string text;
        appendUtf16z(text, value);
        strings.push_back(
            versionNode(ascii16(key), text, uint32_t(value.size() + 1), 1, {}, fits));
    }
    const std::string table = versionNode(ascii16(hex4(info.language) + hex4(info.codePage)), {},
                                          0, 1, strings, fits);
    std::string translation;
    append(translation, info.language, 2);
    append(translation, info.codePage, 2);
    const std::string var = versionNode(u"Translation", translation, 4, 0, {}, fits);
    return versionNode(u"VS_VERSION_INFO", fixed, uint32_t(fixed.size()), 0,
                       {versionNode(u"StringFileInfo", {}, 0, 1, {table}, fits),
                        versionNode(u"VarFileInfo", {}, 0, 1, {var}, fits)},
                       fits);
}

}  // namespace

bool versionResourceFits(const VersionInfo& info) {
    bool fits = true;
    versionTree(info, fits);
    return fits;
}

std::string buildVersionResource(const VersionInfo& info) {
    bool fits = true;
    std::string data = versionTree(info, fits);
    if (!fits)
        fail("the version information exceeds the 65535 bytes a version resource holds");
    return data;
}

bool readVersionResource(std::string_view data, VersionInfo& info) {
    Node root;
    // The root spans the whole resource: nothing behind it goes unread.
    if (data.size() < 2 || get(data, 0, 2) != data.size())
        return false;
    if (!readNode(data, root) || root.key != u"VS_VERSION_INFO" || root.value.size() != 52 ||
        get(root.value, 0, 4) != 0xFEEF04BD)
        return false;
    const auto numbers = [&](size_t at, std::array<uint16_t, 4>& v) {
        v = {uint16_t(get(root.value, at + 2, 2)), uint16_t(get(root.value, at, 2)),
             uint16_t(get(root.value, at + 6, 2)), uint16_t(get(root.value, at + 4, 2))};
    };
    numbers(8, info.fileVersion);
    numbers(16, info.productVersion);
    info.strings.clear();
    bool sawTable = false, sawTranslation = false;
    for (std::string_view childData : root.children) {
        Node child;
        if (!readNode(childData, child))
            return false;
        if (child.key == u"StringFileInfo") {
            if (child.children.size() != 1 || sawTable)
                return false;
            Node table;
            if (!readNode(child.children[0], table) || table.key.size() != 8)
                return false;
            sawTable = true;
            for (std::string_view stringData : table.children) {
                Node s;
                if (!readNode(stringData, s) || s.type != 1)
                    return false;
                std::string key;
                for (char16_t c : s.key) {
                    if (c > 0x7E || c < 0x20)
                        return false;
                    key += char(c);
                }
                std::u16string value;
                for (size_t i = 0; i + 1 < s.value.size(); i += 2)
                    value += char16_t(get(s.value, i, 2));
                if (value.empty() || value.back() != 0)
                    return false;
                value.pop_back();
                info.strings.emplace_back(key, value);
            }
        } else if (child.key == u"VarFileInfo") {
            for (std::string_view varData : child.children) {
                Node var;
                if (!readNode(varData, var) || var.key != u"Translation" || var.value.size() < 4)
                    return false;
                info.language = uint16_t(get(var.value, 0, 2));
                info.codePage = uint16_t(get(var.value, 2, 2));
                sawTranslation = true;
            }
        } else {
            return false;
        }
    }
    return sawTable && sawTranslation;
}

}  // namespace kvopack
