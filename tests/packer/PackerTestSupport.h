// Helpers shared by the packer tests: synthetic images and scratch files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "services/RuntimeClasses.h"

namespace packertest {

inline void put(std::string& image, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        image[at + i] = char((value >> (8 * i)) & 0xFF);
}

// A minimal PE32 image: headers, then `sections` sections of 0x200 bytes of
// raw data each. `lastFirst` puts the last header's data before the others.
// Unless `olderStub`, it carries the text by which the packer knows a stub
// that reads the Java half's classes from its own file.
inline std::string makePe32(int sections = 2, uint16_t optionalMagic = 0x10B,
                            bool lastFirst = false, bool olderStub = false) {
    const size_t peOffset = 0x80, optionalSize = 0xE0;
    std::string image(0x200 + size_t(sections) * 0x200, '\0');
    image[0] = 'M', image[1] = 'Z';
    put(image, 60, peOffset, 4);
    image.replace(peOffset, 4, std::string("PE\0\0", 4));
    put(image, peOffset + 4, 0x14C, 2);
    put(image, peOffset + 6, uint32_t(sections), 2);
    put(image, peOffset + 20, optionalSize, 2);
    put(image, peOffset + 24, optionalMagic, 2);
    const size_t table = peOffset + 24 + optionalSize;
    for (int i = 0; i < sections; ++i) {
        const size_t header = table + size_t(i) * 40;
        int slot = i;
        if (lastFirst)
            slot = i == sections - 1 ? 0 : i + 1;
        image.replace(header, 5, ".sec" + std::to_string(i));
        put(image, header + 16, 0x200, 4);
        put(image, header + 20, 0x200 + uint32_t(slot) * 0x200, 4);
        for (size_t b = 0; b < 0x200; ++b)
            image[0x200 + size_t(slot) * 0x200 + b] = char(i * 31 + b);
    }
    if (!olderStub && sections > 0)
        image.replace(0x200 + 0x40, sizeof kRuntimeClassesReaderMark - 1, kRuntimeClassesReaderMark);
    return image;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh directory per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvo-pack-test.XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    size_t entries() const {
        return size_t(std::distance(std::filesystem::directory_iterator(path_), {}));
    }

private:
    std::filesystem::path path_;
};

}  // namespace packertest
