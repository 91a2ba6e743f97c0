// Decoding of the configuration block appended to the launcher executable.
// Pure logic over an abstract byte source, so the same decoder serves the
// launcher (over its own file), the packer's dump and the fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/ConfigStore.h"

constexpr uint32_t kConfigMagic = 0xE8E413D5u;
// XORed over every byte of an included file; the packer uses the same value.
constexpr uint8_t kScrambleMask = 0x5A;

class BlockSource {
public:
    virtual ~BlockSource() = default;
    // A failed seek leaves the source so that every following read fails.
    virtual bool seek(int64_t offset) = 0;
    // Returns the number of bytes read; fewer than asked means failure.
    virtual uint32_t read(void* buffer, uint32_t count) = 0;
    virtual int64_t position() const = 0;
    virtual int64_t size() const = 0;
    // The system's error code of the last failed operation (0 natively).
    virtual uint32_t lastError() const = 0;
};

class MemorySource final : public BlockSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    bool seek(int64_t offset) override;
    uint32_t read(void* buffer, uint32_t count) override;
    int64_t position() const override { return pos_; }
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    uint32_t lastError() const override { return 0; }

private:
    std::string_view bytes_;
    int64_t pos_ = 0;
    bool lost_ = false;
};

// Which read failed; each has its own fixed message in the launcher.
enum class BlockError { none, readLong, readInt, readShort, readString, readWString, magic };

const char* blockErrorMessage(BlockError error);

struct BlockFailure {
    BlockError error = BlockError::none;
    uint32_t systemError = 0;  // lastError() at the failing read
    uint32_t bytesRead = 0;    // of the failing fixed-width read
};

// Receives the decoder's progress lines (the log, or nothing).
using BlockLogFn = void (*)(const char* line);

class BlockDecoder {
public:
    BlockDecoder(BlockSource& source, BlockLogFn log) : src_(source), log_(log) {}

    bool readLong(int64_t& value);
    bool readInt(int32_t& value);
    bool readShort(int16_t& value);
    // Lengths that are negative, odd (wide) or beyond the end of the source
    // fail before anything is allocated.
    bool readString(std::string& value);
    bool readWString(std::u16string& value);

    // Positions the source behind the last section of the PE image.
    bool seekToConfigBlock();
    // Magic, the three unused header fields, narrow and wide records.
    bool readRecords(ConfigStore& store);
    // Locale sections; a section applies when its key is a prefix of locale.
    bool readLocaleSections(ConfigStore& store, std::string_view locale);

    const BlockFailure& failure() const { return failure_; }
    BlockSource& source() { return src_; }

private:
    bool readExact(void* buffer, uint32_t count, BlockError error);
    bool fail(BlockError error, uint32_t bytesRead);
    void log(const char* format, ...);

    BlockSource& src_;
    BlockLogFn log_;
    BlockFailure failure_;
};

// The whole block in one go, for tools and tests: seek, records, locale.
// Returns false with the failure set; `blockEnd` receives the end offset.
bool decodeConfigBlock(BlockSource& source, std::string_view locale, ConfigStore& store,
                       int64_t& blockEnd, BlockFailure& failure, BlockLogFn log = nullptr);
