// The hash that names the folder a launcher keeps its included files in
// (record IncludedFilesHash): SHA-256 over the files' names and data, of
// which the launcher takes the first kContentHashDigits hexadecimal digits.
// The packer computes it, so the launcher never reads the data to name it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvopack {

class Sha256 {
public:
    Sha256();
    void add(const void* data, size_t size);
    void add(std::string_view bytes) { add(bytes.data(), bytes.size()); }
    // The 32 bytes of the digest; the object is done with.
    std::string finish();

private:
    void block(const unsigned char* p);
    uint32_t state_[8];
    unsigned char buffer_[64];
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

// What is hashed: the file count (4 bytes), then per file its name's length
// (4 bytes), the name as IncludedFileNames holds it, the data's length (8
// bytes) and the plain data; lengths little-endian. Files are added in
// their order, each name before its data.
class ContentHash {
public:
    explicit ContentHash(uint32_t files);
    void beginFile(std::string_view name, uint64_t length);
    void addData(const void* data, size_t size) { sha_.add(data, size); }
    // The record's value: lower-case hexadecimal digits.
    std::string finish();

private:
    Sha256 sha_;
};

std::string hexDigits(std::string_view bytes);

}  // namespace kvopack
