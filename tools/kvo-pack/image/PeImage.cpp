#include "tools/kvo-pack/image/PeImage.h"

#include <algorithm>
#include <cstring>

#include "tools/kvo-pack/host/Encoding.h"
#include "tools/kvo-pack/image/LittleEndian.h"

namespace kvopack {
namespace {

constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable
constexpr uint32_t kLargestImage = 0x40000000;

using le::get;
using le::put;

uint64_t alignUp(uint64_t value, uint32_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

// Offsets inside the optional header that both layouts share.
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;
constexpr size_t kSizeOfHeaders = 60;
constexpr size_t kCheckSum = 64;

}  // namespace

DataDirectory PeHeaders::directory(uint32_t index) const {
    return index < directories.size() ? directories[index] : DataDirectory{};
}

PeHeaders readPeHeaders(std::string_view image, const std::string& what) {
    const auto fail = [&](const std::string& why) {
        throw PackError(what + ": not a PE image: " + why);
    };
    PeHeaders h;
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z')
        fail("no MZ header");
    h.peOffset = get(image, 60, 4);
    if (h.peOffset == 0 || h.peOffset > image.size() || image.size() - h.peOffset < 26 ||
        image.substr(h.peOffset, 4) != std::string_view("PE\0\0", 4))
        fail("no PE signature at the offset the MZ header gives");
    const uint32_t sections = get(image, h.peOffset + 6, 2);
    h.optionalSize = get(image, h.peOffset + 20, 2);
    h.optionalOffset = h.peOffset + 24;
    const uint32_t magic = get(image, h.optionalOffset, 2);
    if (magic != 0x10B && magic != 0x20B)
        fail("no PE32 or PE32+ optional header");
    h.plus = magic == 0x20B;
    // Where the data directories begin and the count in front of them.
    const size_t countAt = h.plus ? 108 : 92;
    if (h.optionalSize < countAt + 4 || image.size() < h.optionalOffset + h.optionalSize)
        fail("the optional header is cut short");
    h.sectionAlignment = get(image, h.optionalOffset + kSectionAlignment, 4);
    h.fileAlignment = get(image, h.optionalOffset + kFileAlignment, 4);
    h.sizeOfHeaders = get(image, h.optionalOffset + kSizeOfHeaders, 4);
    h.checksumOffset = h.optionalOffset + kCheckSum;
    h.directoriesOffset = h.optionalOffset + countAt + 4;
    h.directoryCount = std::min<uint32_t>(get(image, h.optionalOffset + countAt, 4),
                                          uint32_t((h.optionalSize - countAt - 4) / 8));
    for (uint32_t i = 0; i < h.directoryCount; ++i)
        h.directories.push_back({get(image, h.directoriesOffset + i * 8, 4),
                                 get(image, h.directoriesOffset + i * 8 + 4, 4)});
    h.sectionTable = h.optionalOffset + h.optionalSize;
    if (sections == 0 || image.size() < h.sectionTable + sections * kSectionHeaderSize)
        fail("the section table is missing or cut short");
    for (uint32_t i = 0; i < sections; ++i) {
        const size_t at = h.sectionTable + i * kSectionHeaderSize;
        PeSection s;
        s.name = std::string(image.substr(at, 8).substr(0, image.substr(at, 8).find('\0')));
        s.virtualSize = get(image, at + 8, 4);
        s.virtualAddress = get(image, at + 12, 4);
        s.rawSize = get(image, at + 16, 4);
        s.rawOffset = get(image, at + 20, 4);
        s.characteristics = get(image, at + 36, 4);
        h.sections.push_back(s);
    }
    return h;
}

std::optional<size_t> rvaToOffset(const PeHeaders& headers, std::string_view image, uint32_t rva,
                                  uint32_t size) {
    for (const PeSection& s : headers.sections) {
        const uint64_t start = s.virtualAddress;
        const uint64_t end = start + (s.virtualSize ? std::min(s.virtualSize, s.rawSize) : s.rawSize);
        if (rva >= start && uint64_t(rva) + size <= end) {
            const uint64_t offset = uint64_t(s.rawOffset) + (rva - start);
            if (offset + size <= image.size())
                return size_t(offset);
        }
    }
    return std::nullopt;
}

void placeResourceSection(std::string& image, const std::function<std::string(uint32_t)>& build,
                          const std::string& what) {
    PeHeaders h = readPeHeaders(image, what);
    const auto fail = [&](const std::string& why) {
        throw PackError(what + ": cannot write resources: " + why);
    };
    if (h.directoryCount <= kResourceDirectory)
        fail("the image has no resource directory entry");
    const auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!powerOfTwo(h.fileAlignment) || h.fileAlignment < 0x200 || h.fileAlignment > 0x10000 ||
        !powerOfTwo(h.sectionAlignment) || h.sectionAlignment < h.fileAlignment)
        fail("the image's section and file alignments are not ones a loader accepts");
    const DataDirectory resources = h.directory(kResourceDirectory);
    const PeSection& last = h.sections.back();
    const size_t lastHeader = h.sectionTable + (h.sections.size() - 1) * kSectionHeaderSize;
    // The last section is ours to replace when it holds the resources and
    // nothing else (the packer made it, or the linker put it last).
    const bool replace = resources.address != 0 && resources.address == last.virtualAddress &&
                         (last.name == ".rsrc" || last.name.empty());
    size_t header = lastHeader;
    PeSection fresh;
    fresh.name = ".rsrc";
    fresh.characteristics = kResourceCharacteristics;
    uint32_t oldRawSize = 0;
    if (replace) {
        if (last.rawOffset > image.size())
            fail("its last section lies behind the end of the file");
        // The section is cut off and written anew from its start on; the
        // headers in front of it stay.
        if (last.rawOffset < h.sectionTable + h.sections.size() * kSectionHeaderSize)
            fail("its last section overlaps the headers");
        fresh.virtualAddress = last.virtualAddress;
        fresh.rawOffset = last.rawOffset;
        oldRawSize = last.rawSize;
    } else {
        header = h.sectionTable + h.sections.size() * kSectionHeaderSize;
        uint64_t firstData = h.sizeOfHeaders;
        uint64_t virtualEnd = 0;
        for (const PeSection& s : h.sections) {
            if (s.rawSize)
                firstData = std::min<uint64_t>(firstData, s.rawOffset);
            virtualEnd = std::max<uint64_t>(virtualEnd, uint64_t(s.virtualAddress) +
                                                            std::max(s.virtualSize, s.rawSize));
        }
        if (header + kSectionHeaderSize > firstData || header + kSectionHeaderSize > image.size())
            fail("the headers have no room for one more section");
        if (image.find_first_not_of('\0', header) < header + kSectionHeaderSize)
            fail("the space behind the section table is in use");
        if (h.sections.size() >= 96)
            fail("the image already has the most sections a loader accepts");
        fresh.virtualAddress = uint32_t(alignUp(virtualEnd, h.sectionAlignment));
        fresh.rawOffset = uint32_t(alignUp(image.size(), h.fileAlignment));
    }
    const std::string data = build(fresh.virtualAddress);
    fresh.virtualSize = uint32_t(data.size());
    fresh.rawSize = uint32_t(alignUp(data.size(), h.fileAlignment));
    const uint64_t imageSize = alignUp(uint64_t(fresh.virtualAddress) + fresh.virtualSize,
                                       h.sectionAlignment);
    if (imageSize > kLargestImage || uint64_t(fresh.rawOffset) + fresh.rawSize > kLargestImage)
        fail("the image would grow beyond 1 GiB");

    image.resize(fresh.rawOffset, '\0');
    image += data;
    image.resize(size_t(fresh.rawOffset) + fresh.rawSize, '\0');

    std::string name = fresh.name;
    name.resize(8, '\0');
    image.replace(header, 8, name);
    put(image, header + 8, fresh.virtualSize, 4);
    put(image, header + 12, fresh.virtualAddress, 4);
    put(image, header + 16, fresh.rawSize, 4);
    put(image, header + 20, fresh.rawOffset, 4);
    for (size_t k = 24; k < 36; ++k)
        image[header + k] = '\0';
    put(image, header + 36, fresh.characteristics, 4);
    if (!replace)
        put(image, h.peOffset + 6, uint32_t(h.sections.size() + 1), 2);
    put(image, h.optionalOffset + kSizeOfImage, uint32_t(imageSize), 4);
    const uint32_t initialised = get(image, h.optionalOffset + kSizeOfInitializedData, 4);
    put(image, h.optionalOffset + kSizeOfInitializedData,
        initialised - oldRawSize + fresh.rawSize, 4);
    const size_t entry = h.directoriesOffset + kResourceDirectory * 8;
    put(image, entry, fresh.virtualAddress, 4);
    put(image, entry + 4, fresh.virtualSize, 4);
}

void clearCertificateEntry(std::string& image) {
    const PeHeaders h = readPeHeaders(image, "image");
    if (h.directoryCount > kCertificateDirectory)
        image.replace(h.directoriesOffset + kCertificateDirectory * 8, 8, 8, '\0');
}

void PeChecksum::add(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i, ++position_) {
        if (position_ >= skip_ && position_ < skip_ + 4)
            continue;
        sum_ += uint64_t(static_cast<unsigned char>(data[i])) << (8 * (position_ & 1));
    }
}

uint32_t PeChecksum::value() const {
    uint64_t s = sum_;
    while (s >> 16)
        s = (s & 0xFFFF) + (s >> 16);
    return uint32_t(s + position_);
}

}  // namespace kvopack
