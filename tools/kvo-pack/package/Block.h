// The binary side: the block as the launcher reads it, the PE image it is
// appended to, and the included-file data behind it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ConfigBlock.h"
#include "tools/kvo-pack/config/ConfigText.h"

namespace kvopack {

// Values of the unused header fields at offsets 4 and 8, as the launcher
// has always been shipped; offset 12 holds the size of the rest.
constexpr int32_t kHeaderField4 = 0;
constexpr int32_t kHeaderField8 = 0x554E581B;
// The launcher copies included files through a buffer of this size.
constexpr size_t kCopyChunk = 8192;

std::string encodeBlock(const BlockRecords& records);

// Behind a block without included files: the magic in the other byte order
// and zeros up to a multiple of 512 (of the whole file), as in a shipped
// launcher. The launcher never reads it.
std::string blockTrailer(int64_t blockEnd);
bool isBlockTrailer(std::string_view tail, int64_t blockEnd);

// A read-only file as a block source for the decoder.
class FileSource final : public BlockSource {
public:
    explicit FileSource(const std::string& path);  // throws PackError
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool seek(int64_t offset) override;
    uint32_t read(void* buffer, uint32_t count) override;
    int64_t position() const override { return pos_; }
    int64_t size() const override { return size_; }
    uint32_t lastError() const override { return error_; }

private:
    int fd_ = -1;
    int64_t pos_ = 0;
    int64_t size_ = 0;
    uint32_t error_ = 0;
    bool lost_ = false;
};

// Where the launcher looks for the block: behind the raw data of the last
// section header, in a 32-bit (PE32) and a 64-bit (PE32+) launcher alike.
// Throws PackError ("<what>: not a PE32 or PE32+ image: ...") when the
// source is not an image the launcher could find its block in.
int64_t imageEnd(BlockSource& source, const std::string& what);

constexpr uint32_t kPe32Magic = 0x10B;
constexpr uint32_t kPe32PlusMagic = 0x20B;
// "PE32 i386", "PE32+ x86-64" (another machine by its number): which
// launcher an image is, for messages. Empty for no PE image.
std::string imageKind(BlockSource& source);

struct DecodedBlock {
    BlockRecords records;
    int64_t start = 0;
    int64_t end = 0;
    // The bytes as found, to compare with what the packer would write.
    std::string bytes;
};

// Reads the block at `start` in file order, keeping every record, repeated
// ids included. Throws PackError with the message the launcher would show.
DecodedBlock readBlock(BlockSource& source, int64_t start, const std::string& what);

// The included files as the launcher would extract them.
struct IncludedData {
    std::string name;  // code page bytes, as in IncludedFileNames
    int64_t offset = 0;  // of the content, behind the 8-byte length
    int64_t length = 0;
};

void scramble(char* data, size_t size);

}  // namespace kvopack

namespace kvopack {

// Where the packer puts IncludedFileCount and IncludedFileNames among the
// narrow records: in front of the first record with a greater id, so that
// a configuration in ascending id order stays in that order.
size_t includedRecordsPosition(const std::vector<NarrowRecord>& narrow);
std::string joinIncludedNames(const std::vector<std::string>& names);
// Inserts both records for these names (code page bytes) at that position.
void addIncludedRecords(std::vector<NarrowRecord>& narrow, const std::vector<std::string>& names);
// Puts record RuntimeClasses with `value` in front of the first record
// with a greater id, in place of any it carries.
void setRuntimeClassesRecord(std::vector<NarrowRecord>& narrow, const std::string& value);

}  // namespace kvopack
