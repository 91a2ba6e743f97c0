// The headers of a PE image held in memory, and the few changes the packer
// makes to them: a resource section placed last, the certificate table entry
// and the checksum. PE32 and PE32+ differ here only in where the data
// directories begin.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvopack {

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kCertificateDirectory = 4;

struct PeSection {
    std::string name;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
};

struct DataDirectory {
    uint32_t address = 0;  // an RVA; a file offset for the certificate table
    uint32_t size = 0;
};

struct PeHeaders {
    bool plus = false;  // PE32+
    size_t peOffset = 0;
    size_t optionalOffset = 0;
    size_t optionalSize = 0;
    size_t sectionTable = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    size_t checksumOffset = 0;
    size_t directoriesOffset = 0;
    uint32_t directoryCount = 0;
    std::vector<DataDirectory> directories;
    std::vector<PeSection> sections;

    DataDirectory directory(uint32_t index) const;  // zeros when absent
};

// Reads the headers of `image` (at least the headers; sections may be cut
// off). Throws PackError("<what>: ...") for anything that is not a PE32 or
// PE32+ image.
PeHeaders readPeHeaders(std::string_view image, const std::string& what);

// The file offset of `size` bytes at `rva`, when they lie in the raw data
// of one section of `image`.
std::optional<size_t> rvaToOffset(const PeHeaders& headers, std::string_view image, uint32_t rva,
                                  uint32_t size);

// Gives `image` (the bytes up to the end of its last section) a resource
// section holding what `build` returns for the section's RVA. A resource
// section that is already the last one is replaced in place; otherwise a
// new section is appended behind the last. The resource directory entry,
// the section table, SizeOfImage and SizeOfInitializedData are updated.
void placeResourceSection(std::string& image, const std::function<std::string(uint32_t rva)>& build,
                          const std::string& what);

// Removes the certificate table entry (the signature itself lies behind
// the image, where the packer does not copy it).
void clearCertificateEntry(std::string& image);

// The image checksum over a whole file, fed in order in pieces: 16-bit
// words with end-around carry, the checksum field left out, the length
// added. An odd last byte counts as a word of its own, as it does for the
// system's own checksum function.
class PeChecksum {
public:
    explicit PeChecksum(size_t checksumOffset) : skip_(checksumOffset) {}
    void add(const char* data, size_t size);
    uint32_t value() const;  // the sum with the file length added

private:
    size_t skip_;
    uint64_t position_ = 0;
    uint64_t sum_ = 0;
};

}  // namespace kvopack
