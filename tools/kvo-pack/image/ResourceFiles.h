// The files a configuration names for resources (icons, splash images),
// turned into resource data, and the version resource (the manifest
// settings are in Manifest.h).
// Problems are thrown as PackError with a bare description, which the
// caller prefixes with the file and line that named the input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/kvo-pack/image/Manifest.h"

namespace kvopack {

struct IconImage {
    uint8_t width = 0;  // 0 means 256
    uint8_t height = 0;
    uint8_t colours = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    std::string data;  // a DIB (BITMAPINFOHEADER, colours, XOR and AND masks) or a PNG
};

// The images of an .ico file, in file order.
std::vector<IconImage> readIconFile(std::string_view bytes);

// RT_GROUP_ICON data naming the images as RT_ICON ids firstId, firstId + 1, ...
std::string groupIconData(const std::vector<IconImage>& images, uint16_t firstId);
// The image count and sizes a group names, for dump; false when damaged.
bool readGroupIcon(std::string_view data, std::vector<IconImage>& entries,
                   std::vector<uint16_t>& ids);

// A device-independent bitmap as a bitmap resource holds it: the header,
// its colour table and the pixels, without the file header.
struct Dib {
    std::string data;
    int32_t width = 0;
    int32_t height = 0;  // always positive
};

// From a .bmp or a .png (told apart by their first bytes). A PNG becomes a
// 24-bit bitmap; transparent parts are laid over the splash window's grey.
Dib readSplashBitmap(std::string_view bytes);
Dib dibFromBmp(std::string_view bytes);
Dib dibFromPng(std::string_view bytes);
// Width and height of a bitmap resource, for dump; false when damaged.
bool dibSize(std::string_view dib, int32_t& width, int32_t& height);

// The kind of image the runtime's splash library reads ("PNG", "GIF",
// "JPEG"), checked to be whole as far as cheaply possible.
std::string splashImageKind(std::string_view bytes);

struct VersionInfo {
    std::array<uint16_t, 4> fileVersion{};
    std::array<uint16_t, 4> productVersion{};
    uint16_t language = 0x0409;
    uint16_t codePage = 0x04B0;
    // Key and value, in the order they are written.
    std::vector<std::pair<std::string, std::u16string>> strings;
};

// The keys a [version] section takes besides the two version numbers and
// Translation, in the order they are written.
const std::vector<std::string_view>& versionStringKeys();

// Throws PackError when the texts make it longer than its 16-bit lengths hold.
std::string buildVersionResource(const VersionInfo& info);
bool versionResourceFits(const VersionInfo& info);
// False when `data` is not a version resource this packer could have written.
bool readVersionResource(std::string_view data, VersionInfo& info);

}  // namespace kvopack
