// The resource writer: the directory tree, the image rewrite, the input
// formats and what build and dump make of [resources] and [version].
#include <gtest/gtest.h>
#include <png.h>

#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <memory>

#include "services/RuntimeClasses.h"
#include "tests/packer/PackerTestSupport.h"
#include "tools/kvo-pack/package/Block.h"
#include "tools/kvo-pack/package/Pack.h"
#include "tools/kvo-pack/package/PackResources.h"
#include "tools/kvo-pack/image/PeImage.h"
#include "tools/kvo-pack/image/ResourceFiles.h"
#include "tools/kvo-pack/image/ResourceTree.h"

using namespace kvopack;
using packertest::put;
using packertest::readFile;
using packertest::ScratchDir;
using packertest::writeFile;

namespace {

uint32_t get(const std::string& s, size_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + size_t(i)]);
    return v;
}

constexpr const char* kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
    "    <security>\n"
    "      <requestedPrivileges>\n"
    "        <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
    "      </requestedPrivileges>\n"
    "    </security>\n"
    "  </trustInfo>\n"
    "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
    "    <application><supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/></application>\n"
    "  </compatibility>\n"
    "</assembly>\n";

// A PE32 or PE32+ image as a linker writes it: a code section, then the
// resources (a manifest) in a section that is not the last, then one more.
std::string makeImage(bool plus, bool withResources = true) {
    const size_t peOffset = 0x80, optionalSize = plus ? 0xF0 : 0xE0;
    std::string image(0x400, '\0');
    image[0] = 'M', image[1] = 'Z';
    put(image, 60, peOffset, 4);
    image.replace(peOffset, 4, std::string("PE\0\0", 4));
    put(image, peOffset + 4, plus ? 0x8664 : 0x14C, 2);
    put(image, peOffset + 6, 3, 2);
    put(image, peOffset + 20, uint32_t(optionalSize), 2);
    const size_t opt = peOffset + 24;
    put(image, opt, plus ? 0x20B : 0x10B, 2);
    put(image, opt + 32, 0x1000, 4);  // section alignment
    put(image, opt + 36, 0x200, 4);   // file alignment
    put(image, opt + 56, 0x4000, 4);  // size of image
    put(image, opt + 60, 0x400, 4);   // size of headers
    put(image, opt + 64, 0x12345678, 4);
    put(image, opt + (plus ? 108 : 92), 16, 4);
    const size_t table = opt + optionalSize;
    const char* names[] = {".text", ".rsrc", ".reloc"};
    for (uint32_t i = 0; i < 3; ++i) {
        const size_t h = table + i * 40;
        image.replace(h, std::strlen(names[i]), names[i]);
        put(image, h + 8, 0x400, 4);
        put(image, h + 12, 0x1000 * (i + 1), 4);
        put(image, h + 16, 0x400, 4);
        put(image, h + 20, 0x400 * (i + 1), 4);
    }
    image.resize(0x1000, '\x90');
    // A current stub: it reads the Java half's classes from its own file.
    image.replace(0x440, sizeof kRuntimeClassesReaderMark - 1, kRuntimeClassesReaderMark);
    if (withResources) {
        Resource manifest;
        manifest.type = ResourceKey::number(rt::manifest);
        manifest.name = ResourceKey::number(1);
        manifest.language = 0x409;
        manifest.data = kManifest;
        const std::string section = buildResourceSection({manifest}, 0x2000);
        EXPECT_LE(section.size(), 0x400u);
        image.replace(0x800, section.size(), section);
        put(image, opt + (plus ? 112 : 96) + 16, 0x2000, 4);
        put(image, opt + (plus ? 112 : 96) + 20, uint32_t(section.size()), 4);
    }
    return image;
}

std::string bmpFile(int32_t width, int32_t height, int gap = 0) {
    const uint32_t stride = (uint32_t(width) * 3 + 3) / 4 * 4;
    const uint32_t rows = uint32_t(height < 0 ? -height : height);
    std::string pixels(stride * rows, '\0');
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = char(i * 7);
    std::string out(54 + size_t(gap), '\0');
    out[0] = 'B', out[1] = 'M';
    put(out, 2, uint32_t(out.size() + pixels.size()), 4);
    put(out, 10, uint32_t(54 + gap), 4);
    put(out, 14, 40, 4);
    put(out, 18, uint32_t(width), 4);
    put(out, 22, uint32_t(height), 4);
    put(out, 26, 1, 2);
    put(out, 28, 24, 2);
    return out + pixels;
}

// An icon of `count` 16 x 16 32-bit images, each filled with its own byte.
std::string icoFile(int count) {
    std::string out(6 + 16 * size_t(count), '\0');
    put(out, 2, 1, 2);
    put(out, 4, uint32_t(count), 2);
    for (int i = 0; i < count; ++i) {
        std::string image(40, '\0');
        put(image, 0, 40, 4);
        put(image, 4, 16, 4);
        put(image, 8, 32, 4);
        put(image, 12, 1, 2);
        put(image, 14, 32, 2);
        image += std::string(16 * 16 * 4 + 16 * 4, char(0x40 + i));
        const size_t entry = 6 + 16 * size_t(i);
        out[entry] = 16, out[entry + 1] = 16;
        put(out, entry + 4, 1, 2);
        put(out, entry + 6, 32, 2);
        put(out, entry + 8, uint32_t(image.size()), 4);
        put(out, entry + 12, uint32_t(out.size()), 4);
        out += image;
    }
    return out;
}

std::string pngFile(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr));
    std::string out(size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr));
    out.resize(size);
    return out;
}

const Resource* find(const std::vector<Resource>& list, uint32_t type, const ResourceKey& name) {
    for (const Resource& r : list)
        if (r.type == ResourceKey::number(type) && r.name == name)
            return &r;
    return nullptr;
}

// --- tree and image --------------------------------------------------------------

TEST(ResourceTree, WritesNamesBeforeNumbersAndReadsEverythingBack) {
    std::vector<Resource> list;
    const auto add = [&](uint32_t type, ResourceKey name, uint16_t lang, std::string data) {
        Resource r;
        r.type = ResourceKey::number(type);
        r.name = std::move(name);
        r.language = lang;
        r.data = std::move(data);
        list.push_back(r);
    };
    add(rt::groupIcon, ResourceKey::number(7), 0, "seven");
    add(rt::groupIcon, ResourceKey::named(u"id_splash_icon"), 0, "splash");
    add(rt::groupIcon, ResourceKey::named(u"APPICON"), 0, "app");
    add(rt::manifest, ResourceKey::number(1), 0x409, "odd length");
    add(rt::manifest, ResourceKey::number(1), 0x407, "x");
    std::string image = makeImage(false, false);
    placeResourceSection(image, [&](uint32_t rva) { return buildResourceSection(list, rva); }, "t");
    const std::vector<Resource> back = readResources(image, readPeHeaders(image, "t"), "t");
    ASSERT_EQ(back.size(), 5u);
    // The shell takes the first icon group: the named ones come first, in order.
    EXPECT_EQ(back[0].name.text(), "APPICON");
    EXPECT_EQ(back[1].name.text(), "ID_SPLASH_ICON");
    EXPECT_EQ(back[1].data, "splash");
    EXPECT_EQ(back[2].name, ResourceKey::number(7));
    EXPECT_EQ(back[3].language, 0x407);
    EXPECT_EQ(back[4].data, "odd length");
}

TEST(ResourceTree, DamagedDirectoriesAreRefused) {
    std::string image = makeImage(false);
    // The root claims more entries than the image holds.
    put(image, 0x800 + 14, 0xFFFF, 2);
    EXPECT_THROW(readResources(image, readPeHeaders(image, "t"), "t"), PackError);
    image = makeImage(false);
    // A data entry pointing outside every section.
    const std::vector<Resource> fine = readResources(image, readPeHeaders(image, "t"), "t");
    ASSERT_EQ(fine.size(), 1u);
    // Root, type and name directories of one entry each, then the data entry.
    put(image, 0x800 + 3 * 24, 0x7FFF0000, 4);
    EXPECT_THROW(readResources(image, readPeHeaders(image, "t"), "t"), PackError);
}

std::string readError(const std::string& image) {
    try {
        readResources(image, readPeHeaders(image, "t"), "t");
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

// A resource section at 0x800 (RVA 0x2000) of makeImage() made of
// directories written by hand: `root` entries to one type directory, whose
// `names` entries go to name directories with one data entry each.
std::string sharedTree(int rootEntries, bool shareNames, bool shareData) {
    std::string image = makeImage(false);
    std::string rsrc(0x400, '\0');
    const auto directory = [&](size_t at, int count, const std::function<uint32_t(int)>& target) {
        put(rsrc, at + 14, uint32_t(count), 2);
        for (int i = 0; i < count; ++i) {
            put(rsrc, at + 16 + size_t(i) * 8, uint32_t(i + 1), 4);
            put(rsrc, at + 20 + size_t(i) * 8, target(i), 4);
        }
    };
    // root at 0, type directory at 0x40, name directories at 0x80 and 0xC0,
    // data entries at 0x100 and 0x110, data at 0x200 and 0x208.
    directory(0, rootEntries, [](int) { return 0x80000040u; });
    directory(0x40, 2, [&](int i) { return 0x80000000u | (shareNames ? 0x80u : 0x80u + 0x40u * i); });
    directory(0x80, 1, [](int) { return 0x100u; });
    directory(0xC0, 1, [](int) { return 0x110u; });
    put(rsrc, 0x100, 0x2200, 4);
    put(rsrc, 0x104, 8, 4);
    put(rsrc, 0x110, shareData ? 0x2204 : 0x2208, 4);
    put(rsrc, 0x114, 8, 4);
    image.replace(0x800, rsrc.size(), rsrc);
    return image;
}

TEST(ResourceTree, SharedOrOverlappingPartsAreRefused) {
    EXPECT_EQ(readResources(sharedTree(1, false, false), readPeHeaders(sharedTree(1, false, false), "t"),
                            "t").size(),
              2u);
    const std::string damaged = "t: the resource directory is damaged: ";
    EXPECT_EQ(readError(sharedTree(2, false, false)),
              damaged + "a directory is reached from more than one entry");
    EXPECT_EQ(readError(sharedTree(1, true, false)),
              damaged + "a directory is reached from more than one entry");
    EXPECT_EQ(readError(sharedTree(1, false, true)),
              damaged + "the data of resource 1/2 overlaps that of another resource");
}

class ImageLayouts : public testing::TestWithParam<bool> {};

TEST_P(ImageLayouts, NewSectionGoesLastAndIsReplacedOnTheNextPack) {
    const bool plus = GetParam();
    std::string image = makeImage(plus);
    const PeHeaders before = readPeHeaders(image, "t");
    std::vector<Resource> list = readResources(image, before, "t");
    list.push_back({ResourceKey::number(rt::rcdata), ResourceKey::number(10000), 0, 0,
                    std::string(0x300, 'r')});
    placeResourceSection(image, [&](uint32_t rva) { return buildResourceSection(list, rva); }, "t");

    const PeHeaders after = readPeHeaders(image, "t");
    ASSERT_EQ(after.sections.size(), 4u);
    const PeSection& added = after.sections.back();
    EXPECT_EQ(added.name, ".rsrc");
    EXPECT_EQ(added.virtualAddress, 0x4000u);
    EXPECT_EQ(added.rawOffset, 0x1000u);
    EXPECT_EQ(added.rawSize % 0x200, 0u);
    EXPECT_EQ(image.size(), size_t(added.rawOffset) + added.rawSize);
    EXPECT_EQ(after.directory(kResourceDirectory).address, 0x4000u);
    EXPECT_EQ(get(image, after.optionalOffset + 56, 4), 0x4000 + (added.virtualSize + 0xFFF) / 0x1000 * 0x1000);
    // The code and the old sections are untouched.
    EXPECT_EQ(image.substr(0x400, 0xC00), makeImage(plus).substr(0x400, 0xC00));
    EXPECT_EQ(readResources(image, after, "t").size(), 2u);

    // Packing the packed image again replaces that section in place.
    const std::vector<Resource> smaller = {list[0]};
    placeResourceSection(image, [&](uint32_t rva) { return buildResourceSection(smaller, rva); }, "t");
    const PeHeaders again = readPeHeaders(image, "t");
    EXPECT_EQ(again.sections.size(), 4u);
    EXPECT_EQ(again.sections.back().virtualAddress, 0x4000u);
    EXPECT_EQ(image.size(), 0x1000u + (again.sections.back().virtualSize + 0x1FF) / 0x200 * 0x200);
    EXPECT_EQ(readResources(image, again, "t").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, ImageLayouts, testing::Values(false, true));

TEST(PeImageRewrite, RefusesWhenTheHeadersHaveNoRoom) {
    std::string image = makeImage(false);
    const PeHeaders h = readPeHeaders(image, "t");
    // Claim the space behind the section table.
    image[h.sectionTable + 3 * 40 + 1] = 'x';
    try {
        placeResourceSection(image, [](uint32_t) { return std::string("x"); }, "stub.exe");
        FAIL() << "no error";
    } catch (const PackError& e) {
        EXPECT_STREQ(e.what(), "stub.exe: cannot write resources: the space behind the section table is in use");
    }
}

TEST(PeChecksum, SameSumHoweverTheFileIsCut) {
    std::string file(0x1235, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = char((i * 131) ^ (i >> 3));
    PeChecksum whole(0xD8);
    whole.add(file.data(), file.size());
    PeChecksum pieces(0xD8);
    for (size_t at = 0, n = 1; at < file.size(); at += n, n = n * 2 + 1)
        pieces.add(file.data() + at, std::min(n, file.size() - at));
    EXPECT_EQ(whole.value(), pieces.value());
    // The checksum field itself does not count.
    file[0xD9] = 'z';
    PeChecksum changed(0xD8);
    changed.add(file.data(), file.size());
    EXPECT_EQ(changed.value(), whole.value());
    // A known small case: words 0x0201 and 0x0003, length 3.
    PeChecksum tiny(100);
    tiny.add("\x01\x02\x03", 3);
    EXPECT_EQ(tiny.value(), 0x0204u + 3);
}

// --- input files -----------------------------------------------------------

TEST(IconFile, ImagesAndGroup) {
    const std::vector<IconImage> images = readIconFile(icoFile(2));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].data[40], char(0x41));
    const std::string group = groupIconData(images, 5);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(get(group, 4, 2), 2u);
    EXPECT_EQ(get(group, 6 + 14 + 12, 2), 6u);  // the second image is RT_ICON 6
    EXPECT_EQ(get(group, 6 + 8, 4), images[0].data.size());
}

TEST(IconFile, BrokenIconsAreNamed) {
    const auto problem = [](const std::string& bytes) {
        try {
            readIconFile(bytes);
        } catch (const PackError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(problem(icoFile(0)), "the icon holds no images");
    EXPECT_EQ(problem(icoFile(2).substr(0, 300)), "image 1 runs past the end of the file (the file is cut short)");
    EXPECT_EQ(problem(icoFile(3).substr(0, 20)), "the file is cut short inside its directory of 3 images");
    EXPECT_EQ(problem(bmpFile(4, 4)), "not an .ico file");
    std::string cursor = icoFile(1);
    cursor[2] = 2;
    EXPECT_EQ(problem(cursor), "a cursor (.cur) file, not an icon");
    // Images that share bytes, or lie in the directory, would be copied
    // once for every entry that names them.
    std::string shared = icoFile(3);
    put(shared, 6 + 16 * 2 + 12, get(shared, 6 + 16 + 12, 4), 4);
    EXPECT_EQ(problem(shared), "image 3 overlaps the icon's directory or another image");
    std::string inDirectory = icoFile(2);
    put(inDirectory, 6 + 12, 6, 4);
    EXPECT_EQ(problem(inDirectory), "image 1 overlaps the icon's directory or another image");
}

TEST(SplashBitmap, BmpBecomesAPackedDib) {
    // A gap between the headers and the pixels is closed up.
    const std::string file = bmpFile(5, 3, 6);
    const Dib dib = readSplashBitmap(file);
    EXPECT_EQ(dib.width, 5);
    EXPECT_EQ(dib.height, 3);
    ASSERT_EQ(dib.data.size(), 40u + 16 * 3);
    EXPECT_EQ(dib.data.substr(40), file.substr(60));
    EXPECT_EQ(readSplashBitmap(bmpFile(5, -3)).height, 3);  // top-down
    try {
        readSplashBitmap(file.substr(0, file.size() - 1));
        FAIL();
    } catch (const PackError& e) {
        EXPECT_STREQ(e.what(), "the file is cut short: 48 bytes of pixels expected, 47 present");
    }
    EXPECT_THROW(readSplashBitmap("GIF89a not a bitmap"), PackError);
}

TEST(SplashBitmap, PngIsDecodedOverTheSplashGrey) {
    // Two pixels: opaque red, fully transparent.
    const std::string png = pngFile(2, 1, {255, 0, 0, 255, 0, 255, 0, 0});
    const Dib dib = readSplashBitmap(png);
    EXPECT_EQ(dib.width, 2);
    EXPECT_EQ(dib.height, 1);
    EXPECT_EQ(get(dib.data, 14, 2), 24u);
    // One bottom-up row of BGR triples padded to four bytes.
    EXPECT_EQ(dib.data.substr(40), std::string("\x00\x00\xFF\xC0\xC0\xC0\x00\x00", 8));
    EXPECT_THROW(readSplashBitmap(png.substr(0, png.size() - 20)), PackError);
}

TEST(SplashImage, KnownFormatsOnly) {
    const std::string png = pngFile(1, 1, {1, 2, 3, 255});
    EXPECT_EQ(splashImageKind(png), "PNG");
    const std::string gif("GIF89a\x01\x00\x01\x00\x00\x00\x00\x2C\x3B", 15);
    EXPECT_EQ(splashImageKind(gif), "GIF");
    EXPECT_THROW(splashImageKind(gif.substr(0, 14)), PackError);
    EXPECT_THROW(splashImageKind(png.substr(0, 30)), PackError);
    EXPECT_THROW(splashImageKind(bmpFile(2, 2)), PackError);
}

// --- version and manifest ----------------------------------------------------

TEST(VersionResource, LayoutAndReadBack) {
    VersionInfo info;
    info.fileVersion = {1, 2, 3, 4};
    info.productVersion = {5, 6, 0, 65535};
    info.language = 0x0407;
    info.codePage = 0x04E4;
    info.strings = {{"CompanyName", u"Ex\u00e4mple"}, {"FileVersion", u"1.2.3.4"}, {"Comments", u""}};
    const std::string data = buildVersionResource(info);
    EXPECT_EQ(get(data, 0, 2), data.size());
    EXPECT_EQ(get(data, 2, 2), 52u);
    // The fixed part follows the key "VS_VERSION_INFO" at the next 4-byte boundary.
    EXPECT_EQ(get(data, 40, 4), 0xFEEF04BDu);
    EXPECT_EQ(get(data, 48, 4), 0x00010002u);
    EXPECT_EQ(get(data, 52, 4), 0x00030004u);
    EXPECT_EQ(get(data, 60, 4), 0x0000FFFFu);
    EXPECT_NE(data.find(std::string("0\0004\0000\0007\0000\0004\000e\0004\0", 16)), std::string::npos);
    VersionInfo back;
    ASSERT_TRUE(readVersionResource(data, back));
    EXPECT_EQ(back.fileVersion, info.fileVersion);
    EXPECT_EQ(back.productVersion, info.productVersion);
    EXPECT_EQ(back.language, 0x0407);
    EXPECT_EQ(back.codePage, 0x04E4);
    EXPECT_EQ(back.strings, info.strings);
    EXPECT_FALSE(readVersionResource(data.substr(0, data.size() - 10), back));
}

// A version resource read apart from the packer's reader: each node's
// length must hold its header, key and value, and end inside its parent.
struct VersionNode {
    std::u16string key;
    uint32_t type = 0;
    std::string value;
    std::vector<VersionNode> children;
};

bool readVersionNode(const std::string& data, size_t at, size_t limit, VersionNode& node) {
    if (limit < at + 6)
        return false;
    const size_t length = get(data, at, 2), valueLength = get(data, at + 2, 2);
    node.type = get(data, at + 4, 2);
    if (length < 6 || at + length > limit || node.type > 1)
        return false;
    const size_t end = at + length;
    size_t p = at + 6;
    for (;; p += 2) {
        if (p + 2 > end)
            return false;
        if (get(data, p, 2) == 0)
            break;
        node.key += char16_t(get(data, p, 2));
    }
    p = (p + 2 + 3) / 4 * 4;
    const size_t valueBytes = node.type == 1 ? 2 * valueLength : valueLength;
    if (p + valueBytes > end)
        return false;
    node.value = data.substr(p, valueBytes);
    p += valueBytes;
    while ((p = (p + 3) / 4 * 4) < end) {
        VersionNode child;
        if (!readVersionNode(data, p, end, child))
            return false;
        p += get(data, p, 2);
        node.children.push_back(std::move(child));
    }
    return p == end || (p > end && p - end < 4);
}

std::u16string utf16z(const std::string& bytes) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += char16_t(get(bytes, i, 2));
    return out;
}

TEST(VersionResource, FieldByFieldReadApart) {
    VersionInfo info;
    info.fileVersion = {0x0102, 0x0304, 0x0506, 0x0708};
    info.productVersion = {9, 10, 11, 65535};
    info.language = 0x0407;
    info.codePage = 0x04E4;
    info.strings = {{"Comments", u"x"}, {"CompanyName", u"Caf\u00e9 & Co"}, {"FileVersion", u"1.2"}};
    const std::string data = buildVersionResource(info);
    VersionNode root;
    ASSERT_TRUE(readVersionNode(data, 0, data.size(), root));
    EXPECT_EQ(get(data, 0, 2), data.size());
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), 52u);
    const uint32_t fixed[13] = {0xFEEF04BD, 0x00010000, 0x01020304, 0x05060708, 0x0009000A,
                                0x000BFFFF, 0x3F,       0,          0x00040004, 1, 0, 0, 0};
    for (size_t i = 0; i < 13; ++i)
        EXPECT_EQ(get(root.value, 4 * i, 4), fixed[i]) << "field " << i;
    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& strings = root.children[0];
    EXPECT_EQ(strings.key, u"StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, u"040704e4");
    ASSERT_EQ(strings.children[0].children.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const VersionNode& s = strings.children[0].children[i];
        EXPECT_EQ(s.type, 1u);
        EXPECT_EQ(s.key, std::u16string(info.strings[i].first.begin(), info.strings[i].first.end()));
        EXPECT_EQ(utf16z(s.value), info.strings[i].second + u'\0');
    }
    const VersionNode& var = root.children[1];
    EXPECT_EQ(var.key, u"VarFileInfo");
    ASSERT_EQ(var.children.size(), 1u);
    EXPECT_EQ(var.children[0].key, u"Translation");
    EXPECT_EQ(var.children[0].value, std::string("\x07\x04\xE4\x04", 4));
}

// The reader over exactly these bytes, so that a read past them is a fault
// the address sanitizer reports.
bool readExactly(const std::string& bytes, VersionInfo& info) {
    const std::unique_ptr<char[]> copy(new char[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return readVersionResource(std::string_view(copy.get(), bytes.size()), info);
}

TEST(VersionResource, MalformedSizesAreRefused) {
    VersionInfo info;
    info.fileVersion = {1, 2, 3, 4};
    info.strings = {{"CompanyName", u"Example"}, {"ProductName", u"P"}};
    const std::string good = buildVersionResource(info);
    VersionInfo back;
    ASSERT_TRUE(readVersionResource(good, back));
    // Offsets of the lengths: the root, StringFileInfo, the table, the first string.
    const size_t stringFileInfo = 92, table = stringFileInfo + 36, first = table + 24;
    ASSERT_EQ(get(good, stringFileInfo + 6, 2), uint32_t('S'));
    const struct {
        size_t at;
        int delta;
    } cuts[] = {{0, 2}, {0, -4}, {stringFileInfo, 1000}, {table, -30}, {first, 200},
                {first + 2, 100}, {2, 1}};
    for (const auto& c : cuts) {
        std::string bad = good;
        put(bad, c.at, uint32_t(int(get(good, c.at, 2)) + c.delta) & 0xFFFF, 2);
        VersionNode node;
        EXPECT_FALSE(readExactly(bad, back)) << "length at " << c.at;
        EXPECT_FALSE(readVersionNode(bad, 0, bad.size(), node) && bad != good) << c.at;
    }
    EXPECT_FALSE(readVersionResource(good + std::string(4, '\0'), back));
    // Each of the reader's own size checks, met by a resource that every
    // other check lets through.
    const size_t second = first + 48, varFileInfo = second + 36, translation = varFileInfo + 32;
    ASSERT_EQ(get(good, translation + 6, 2), uint32_t('T'));
    const auto lengths = [&](std::string bytes, std::initializer_list<std::pair<size_t, uint32_t>> at) {
        for (const auto& [offset, value] : at)
            put(bytes, offset, value, 2);
        return bytes;
    };
    const std::string bad[] = {
        lengths(good, {{2, 50}}),               // the fixed part is 52 bytes
        lengths(good, {{translation + 2, 2}}),  // a language without a code page
        lengths(good, {{first + 2, 7}}),        // a text without its terminator
        // The last node ends in the padding behind its key, its value beyond.
        lengths(good.substr(0, translation + 30), {{0, translation + 30}, {varFileInfo, 62}, {translation, 30}}),
        // ... or inside its key.
        lengths(good.substr(0, translation + 28), {{0, translation + 28}, {varFileInfo, 60}, {translation, 28}}),
        // One byte behind the last child, too short for a length.
        lengths(good + std::string(1, '\0'), {{0, uint32_t(good.size() + 1)}}),
        // A child of no length, which a reader could take again and again.
        lengths(good, {{varFileInfo, 0}}),
    };
    for (size_t i = 0; i < std::size(bad); ++i)
        EXPECT_FALSE(readExactly(bad[i], back)) << "case " << i;
    // Past the 16-bit lengths: no resource is written at all.
    info.strings = {{"Comments", std::u16string(40000, u'x')}};
    EXPECT_FALSE(versionResourceFits(info));
    EXPECT_THROW(buildVersionResource(info), PackError);
}

TEST(Manifest, LevelAndDpiReplacedTheRestKept) {
    const std::string admin = rewriteManifest(kManifest, ExecutionLevel::requireAdministrator, {});
    std::string expected = kManifest;
    expected.replace(expected.find("asInvoker"), 9, "requireAdministrator");
    EXPECT_EQ(admin, expected);

    const std::string aware = rewriteManifest(kManifest, {}, DpiAwareness::aware);
    EXPECT_EQ(manifestDpiSetting(aware), "true");
    EXPECT_EQ(manifestExecutionLevel(aware), "asInvoker");
    EXPECT_NE(aware.find("<supportedOS"), std::string::npos);
    // Changing it again leaves one setting, not two.
    const std::string v2 = rewriteManifest(aware, {}, DpiAwareness::perMonitorV2);
    EXPECT_EQ(manifestDpiSetting(v2), "per-monitor-v2");
    const std::string off = rewriteManifest(v2, {}, DpiAwareness::unaware);
    EXPECT_EQ(manifestDpiSetting(off), "false");
    EXPECT_EQ(off.find("dpiAwareness"), std::string::npos);
    EXPECT_EQ(off.find("<dpiAware "), off.rfind("<dpiAware "));
    EXPECT_EQ(rewriteManifest(off, {}, DpiAwareness::aware), aware);

    const std::string bare =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n</assembly>\n";
    EXPECT_EQ(manifestExecutionLevel(rewriteManifest(bare, ExecutionLevel::highestAvailable, {})),
              "highestAvailable");
    EXPECT_THROW(rewriteManifest("<assembly/>", ExecutionLevel::asInvoker, {}), PackError);
}

// --- configuration text ------------------------------------------------------

std::string parseError(const std::string& text) {
    CodePage page("1252");
    try {
        parseConfigText(text, "app.kvo", page);
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(ResourceConfig, SectionsAreReadWithTheirDefaults) {
    CodePage page("1252");
    const PackConfig c = parseConfigText(
        "[resources]\nicon = a b.ico\nexecution-level = highestAvailable\ndpi-aware = per-monitor-v2\n"
        "[version]\nFileVersion = 1.2.3.4\nCompanyName := Caf\\u00e9\nFileDescription =\n",
        "app.kvo", page);
    ASSERT_TRUE(c.resources.icon);
    EXPECT_EQ(c.resources.icon->path, "a b.ico");
    EXPECT_EQ(c.resources.icon->line, 2);
    EXPECT_EQ(c.resources.executionLevel, ExecutionLevel::highestAvailable);
    EXPECT_EQ(c.resources.dpiAware, DpiAwareness::perMonitorV2);
    const VersionInfo& v = c.version.info;
    EXPECT_EQ(v.productVersion, v.fileVersion);
    EXPECT_EQ(v.language, 0x0409);
    EXPECT_EQ(v.codePage, 0x04B0);
    const std::vector<std::pair<std::string, std::u16string>> strings = {
        {"CompanyName", u"Caf\u00e9"}, {"FileDescription", u""}, {"FileVersion", u"1.2.3.4"},
        {"ProductVersion", u"1.2.3.4"}};
    EXPECT_EQ(v.strings, strings);
}

TEST(ResourceConfig, MistakesNameTheLine) {
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3\n"),
              "app.kvo:2: FileVersion '1.2.3' is not four numbers from 0 to 65535 separated by dots (like 1.2.3.4)");
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3.65536\n").substr(0, 10), "app.kvo:2:");
    EXPECT_EQ(parseError("[version]\nFileVersion = 1..3.4\n").substr(0, 10), "app.kvo:2:");
    EXPECT_EQ(parseError("\n[version]\nCompanyName = x\n"),
              "app.kvo:2: the [version] section needs FileVersion (four numbers, like 1.2.3.4)");
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3.4\nTranslation = 409 4b0\n").substr(0, 10),
              "app.kvo:3:");
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3.4\nCompany = x\n").substr(0, 44),
              "app.kvo:3: unknown version setting 'Company'");
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3.4\nProductName = " + std::string(40000, 'p') +
                         "\n"),
              "app.kvo:3: the [version] texts exceed the 65535 bytes a version resource holds "
              "(ProductName is 40000 UTF-16 units long)");
    // Written in a fixed order (CompanyName before ProductName): the text that
    // takes the resource past is named, on whichever line it stands.
    EXPECT_EQ(parseError("[version]\nFileVersion = 1.2.3.4\nProductName = " + std::string(3000, 'p') +
                         "\nCompanyName = " + std::string(30000, 'c') + "\n").substr(0, 10),
              "app.kvo:3:");
    EXPECT_EQ(parseError("[resources]\nicon = a.ico\n\nicon = b.ico\n"),
              "app.kvo:4: icon is already set on line 2");
    EXPECT_EQ(parseError("[resources]\nexecution-level = admin\n"),
              "app.kvo:2: execution-level 'admin' is none of asInvoker, highestAvailable, requireAdministrator");
    EXPECT_EQ(parseError("[resources]\nsplash = a.bmp\n").substr(0, 44),
              "app.kvo:2: unknown resource setting 'splash'");
}

// --- build and dump ----------------------------------------------------------

class ResourceBuild : public testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "stub.exe", makeImage(false));
        writeFile(dir / "app.ico", icoFile(2));
        writeFile(dir / "splash.bmp", bmpFile(7, 5));
    }

    std::vector<std::string> build(const std::string& config, const std::string& stub = "stub.exe",
                                   const std::string& out = "app.exe") {
        // A launcher needs its main class; the resources are what is tested.
        writeFile(dir / "app.kvo", config + "[narrow]\nMainClass = test.Main\n");
        BuildOptions o;
        o.stub = (dir / stub).string();
        o.config = (dir / "app.kvo").string();
        o.out = (dir / out).string();
        return buildPackage(o);
    }

    std::vector<Resource> resourcesOf(const std::string& name) {
        const std::string file = readFile(dir / name);
        MemorySource source(file);
        const std::string image = file.substr(0, size_t(imageEnd(source, name)));
        return readResources(image, readPeHeaders(image, name), name);
    }

    ScratchDir dir;
};

constexpr const char* kFullConfig =
    "ExecutableType = 1\nSplashEnabled = 1\n"
    "[resources]\nicon = app.ico\nsplash-bitmap = splash.bmp\nexecution-level = requireAdministrator\n"
    "[version]\nFileVersion = 2.0.1.7\nProductName = Example\n";

TEST_F(ResourceBuild, WritesEveryResourceAndFillsTheSplashSize) {
    build(kFullConfig);
    const std::vector<Resource> res = resourcesOf("app.exe");
    ASSERT_NE(find(res, rt::icon, ResourceKey::number(2)), nullptr);
    const Resource* app = find(res, rt::groupIcon, ResourceKey::named(kApplicationIconName));
    const Resource* splash = find(res, rt::groupIcon, ResourceKey::named(kSplashIconName));
    ASSERT_TRUE(app && splash);
    EXPECT_EQ(app->data, splash->data);  // the same images
    ASSERT_NE(find(res, rt::bitmap, ResourceKey::number(10000)), nullptr);
    const Resource* version = find(res, rt::version, ResourceKey::number(1));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->language, 0x409);
    const Resource* manifest = find(res, rt::manifest, ResourceKey::number(1));
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(manifestExecutionLevel(manifest->data), "requireAdministrator");

    DumpOptions d;
    d.input = (dir / "app.exe").string();
    const DumpResult dump = dumpPackage(d);
    EXPECT_NE(dump.text.find("SplashImageWidth = 7\nSplashImageHeight = 5\n"), std::string::npos);
    EXPECT_NE(dump.text.find("execution-level = requireAdministrator\n"), std::string::npos);
    EXPECT_NE(dump.text.find("[version]\nFileVersion = 2.0.1.7\nProductVersion = 2.0.1.7\n"
                             "ProductName = Example\nTranslation = 0409 04b0\n"),
              std::string::npos);
    EXPECT_NE(dump.text.find("# splash-bitmap (bitmap 10000): 7 x 5 pixels"), std::string::npos);

    // The checksum covers the whole file.
    const std::string file = readFile(dir / "app.exe");
    const PeHeaders h = readPeHeaders(file, "app.exe");
    PeChecksum sum(h.checksumOffset);
    sum.add(file.data(), file.size());
    EXPECT_EQ(get(file, h.checksumOffset, 4), sum.value());
}

TEST_F(ResourceBuild, RepackingReplacesTheResources) {
    build(kFullConfig);
    build("ExecutableType = 1\n[resources]\nsplash-icon = app.ico\n", "app.exe", "again.exe");
    const std::vector<Resource> res = resourcesOf("again.exe");
    EXPECT_EQ(find(res, rt::version, ResourceKey::number(1)), nullptr);
    EXPECT_EQ(find(res, rt::bitmap, ResourceKey::number(10000)), nullptr);
    EXPECT_EQ(find(res, rt::groupIcon, ResourceKey::named(kApplicationIconName)), nullptr);
    EXPECT_NE(find(res, rt::groupIcon, ResourceKey::named(kSplashIconName)), nullptr);
    // Packed from the stub or from a packed launcher: the same file.
    build(kFullConfig, "stub.exe", "first.exe");
    build(kFullConfig, "again.exe", "second.exe");
    EXPECT_EQ(readFile(dir / "first.exe"), readFile(dir / "second.exe"));
    // Without resources a packed launcher loses those the packer wrote.
    build("ExecutableType = 1\n", "first.exe", "plain.exe");
    EXPECT_EQ(resourcesOf("plain.exe").size(), 1u);
}

TEST_F(ResourceBuild, BadInputFailsWithFileAndLineAndLeavesNothing) {
    writeFile(dir / "empty.ico", icoFile(0));
    writeFile(dir / "cut.bmp", bmpFile(7, 5).substr(0, 80));
    const auto failure = [&](const std::string& config) {
        try {
            build(config);
        } catch (const PackError& e) {
            return std::string(e.what());
        }
        return std::string("built");
    };
    const std::string kvo = (dir / "app.kvo").string();
    EXPECT_EQ(failure("[resources]\nicon = empty.ico\n"),
              kvo + ":2: icon " + (dir / "empty.ico").string() + ": the icon holds no images");
    EXPECT_EQ(failure("\n[resources]\nsplash-bitmap = cut.bmp\n").substr(0, kvo.size() + 3), kvo + ":3:");
    EXPECT_EQ(failure("[resources]\nicon = missing.ico\n").substr(0, kvo.size() + 3), kvo + ":2:");
    EXPECT_EQ(failure("SplashImageWidth = 7\nSplashImageHeight = 6\n[resources]\nsplash-bitmap = splash.bmp\n"),
              kvo + ":4: the splash bitmap splash.bmp is 7 x 5 pixels, but SplashImageHeight on line 2 is 6");
    // Resources need an image to go into.
    writeFile(dir / "app.kvo", "ExecutableType = 1\n[version]\nFileVersion = 1.0.0.0\n[narrow]\nMainClass = a.B\n");
    BuildOptions overlay;
    overlay.config = kvo;
    overlay.out = (dir / "app.exe").string();
    try {
        buildPackage(overlay);
        ADD_FAILURE() << "an overlay with resources was written";
    } catch (const PackError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, kvo.size() + 3), kvo + ":2:");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "app.exe"));
    EXPECT_EQ(dir.entries(), 6u);  // the stub, the configuration and four inputs
}

// The image checksum as the system computes it, apart from PeChecksum:
// the whole file as 16-bit words (an odd last byte padded), the carry folded
// in at every step, the field itself left out, the length added.
uint32_t checksumOf(const std::string& file) {
    const size_t field = get(file, 60, 4) + 24 + 64;
    uint32_t sum = 0;
    for (size_t at = 0; at < file.size(); at += 2) {
        if (at >= field && at < field + 4)
            continue;
        sum += uint8_t(file[at]) | (at + 1 < file.size() ? uint32_t(uint8_t(file[at + 1])) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + uint32_t(file.size());
}

TEST_F(ResourceBuild, EveryPackOfAStubWithAChecksumGetsTheRightOne) {
    writeFile(dir / "odd.bin", "odd");
    for (const char* config : {"ExecutableType = 1\n", "ExecutableType = 1\n[files]\nodd.bin = odd.bin\n",
                               kFullConfig}) {
        build(config);
        const std::string file = readFile(dir / "app.exe");
        EXPECT_EQ(get(file, get(file, 60, 4) + 24 + 64, 4), checksumOf(file)) << config;
    }
    // A stub without one gets none when its headers stay as they are.
    std::string plain = makeImage(false);
    put(plain, get(plain, 60, 4) + 24 + 64, 0, 4);
    writeFile(dir / "plain.exe", plain);
    build("ExecutableType = 1\n", "plain.exe");
    const std::string file = readFile(dir / "app.exe");
    EXPECT_EQ(get(file, get(file, 60, 4) + 24 + 64, 4), 0u);
    EXPECT_EQ(file.substr(0, plain.size()), plain);
}

TEST_F(ResourceBuild, ASignedStubLosesItsSignatureWithAWarning) {
    std::string stub = makeImage(false);
    const PeHeaders h = readPeHeaders(stub, "s");
    put(stub, h.directoriesOffset + 4 * 8, uint32_t(stub.size()), 4);
    put(stub, h.directoriesOffset + 4 * 8 + 4, 16, 4);
    writeFile(dir / "signed.exe", stub + std::string(16, 'S'));
    const std::vector<std::string> warnings = build("ExecutableType = 1\n", "signed.exe");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Authenticode signature is not copied"), std::string::npos);
    const std::string out = readFile(dir / "app.exe");
    EXPECT_EQ(get(out, h.directoriesOffset + 4 * 8, 4), 0u);
    EXPECT_EQ(out.find("SSSS"), std::string::npos);
}

TEST_F(ResourceBuild, DumpReadsASignedLauncher) {
    writeFile(dir / "lib.jar", "jar bytes");
    build("ExecutableType = 1\n[files]\nlib.jar = lib.jar\n");
    std::string file = readFile(dir / "app.exe");
    const PeHeaders h = readPeHeaders(file, "app.exe");
    // As a signing tool does it: padding to 8 bytes, then the certificate table.
    file.append((8 - file.size() % 8) % 8, '\0');
    put(file, h.directoriesOffset + 4 * 8, uint32_t(file.size()), 4);
    put(file, h.directoriesOffset + 4 * 8 + 4, 24, 4);
    file += std::string(24, 'C');
    writeFile(dir / "signed.exe", file);
    DumpOptions d;
    d.input = (dir / "signed.exe").string();
    const DumpResult dump = dumpPackage(d);
    EXPECT_NE(dump.text.find("# The launcher is signed"), std::string::npos);
    EXPECT_NE(dump.text.find("lib.jar = lib.jar"), std::string::npos);
    EXPECT_TRUE(dump.warnings.empty()) << dump.warnings[0];
}

// Whatever a stub's resources say, dump writes no line the stub chose: a
// text that ends its line would turn what follows into configuration.
TEST_F(ResourceBuild, TextsTakenFromTheStubCannotStartALine) {
    std::string manifest = kManifest;
    manifest.insert(manifest.rfind("</assembly>"),
                    "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"
                    "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                    "true\n[files]\r\nstolen = /etc/hostname\xE2\x80\xA8x</dpiAware>"
                    "</windowsSettings></application>\n");
    std::vector<Resource> list(3);
    list[0].type = ResourceKey::number(rt::manifest);
    list[0].name = ResourceKey::number(1);
    list[0].data = manifest;
    list[1].type = ResourceKey::number(rt::groupIcon);
    list[1].name = ResourceKey::named(u"G\n[files]\nicon = /etc/shadow\x1b[2J\u0085");
    list[1].data = "no group";
    VersionInfo info;
    info.fileVersion = info.productVersion = {1, 2, 3, 4};
    info.strings = {{"CompanyName", u"A\u2028[files]\u2029B\u0085C"},
                    {"FileVersion", u"1.2.3.4"},
                    {"ProductVersion", u"1.2.3.4"}};
    list[2].type = ResourceKey::number(rt::version);
    list[2].name = ResourceKey::number(1);
    list[2].data = buildVersionResource(info);
    std::string image = makeImage(false, false);
    placeResourceSection(image, [&](uint32_t rva) { return buildResourceSection(list, rva); }, "hostile");
    writeFile(dir / "app.kvo", "MainClass = a.B\n");
    BuildOptions o;
    o.config = (dir / "app.kvo").string();
    o.out = (dir / "block.bin").string();
    buildPackage(o);
    writeFile(dir / "hostile.exe", image + readFile(dir / "block.bin"));

    DumpOptions d;
    d.input = (dir / "hostile.exe").string();
    const std::string text = dumpPackage(d).text;
    for (const char* separator : {"\r", "\x1b", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"})
        EXPECT_EQ(text.find(separator), std::string::npos) << text;
    for (const char* live : {"\n[files]", "\nstolen", "\nicon = /etc"})
        EXPECT_EQ(text.find(live), std::string::npos) << text;
    EXPECT_NE(text.find("# dpi-aware: the manifest says true\\x0A[files]\\x0D\\x0Astolen = /etc/hostname"
                        "\\u2028x\n"),
              std::string::npos)
        << text;
    // Resource names are stored upper-cased.
    EXPECT_NE(text.find("(icon group G\\x0A[FILES]\\x0AICON = /ETC/SHADOW\\x1B[2J\\u0085): damaged\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("CompanyName := A\\u2028[files]\\u2029B\\u0085C\n"), std::string::npos) << text;
    // And what is written reads back as it was.
    CodePage page("1252");
    const PackConfig back = parseConfigText(text, "dump", page);
    EXPECT_FALSE(back.hasFilesSection);
    EXPECT_EQ(back.version.info.strings[0].second, info.strings[0].second);
}

}  // namespace
