#include "core/ConfigBlock.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool MemorySource::seek(int64_t offset) {
    if (offset < 0) {
        lost_ = true;
        return false;
    }
    lost_ = false;
    pos_ = offset;
    return true;
}

uint32_t MemorySource::read(void* buffer, uint32_t count) {
    if (lost_ || pos_ >= size())
        return 0;
    const int64_t left = size() - pos_;
    const uint32_t n = left < count ? static_cast<uint32_t>(left) : count;
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

const char* blockErrorMessage(BlockError error) {
    switch (error) {
    case BlockError::readLong: return "Internal Error: readLong";
    case BlockError::readInt: return "Internal Error: readInt";
    case BlockError::readShort: return "Internal Error: readShort";
    case BlockError::readString: return "Internal Error: readString";
    case BlockError::readWString: return "Internal Error: readWString";
    case BlockError::magic: return "Internal Error: magic";
    case BlockError::none: break;
    }
    return "";
}

void BlockDecoder::log(const char* format, ...) {
    if (!log_)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log_(line);
}

bool BlockDecoder::fail(BlockError error, uint32_t bytesRead) {
    failure_.error = error;
    failure_.systemError = src_.lastError();
    failure_.bytesRead = bytesRead;
    return false;
}

bool BlockDecoder::readExact(void* buffer, uint32_t count, BlockError error) {
    const uint32_t got = src_.read(buffer, count);
    return got == count || fail(error, got);
}

bool BlockDecoder::readLong(int64_t& value) {
    unsigned char b[8];
    if (!readExact(b, 8, BlockError::readLong))
        return false;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[i];
    value = static_cast<int64_t>(v);
    return true;
}

bool BlockDecoder::readInt(int32_t& value) {
    unsigned char b[4];
    if (!readExact(b, 4, BlockError::readInt))
        return false;
    value = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                 uint32_t(b[3]) << 24);
    return true;
}

bool BlockDecoder::readShort(int16_t& value) {
    unsigned char b[2];
    if (!readExact(b, 2, BlockError::readShort))
        return false;
    value = static_cast<int16_t>(uint16_t(b[0] | b[1] << 8));
    return true;
}

bool BlockDecoder::readString(std::string& value) {
    int32_t n = 0;
    if (!readInt(n))
        return false;
    if (n < 0 || n > src_.size() - src_.position())
        return fail(BlockError::readString, 0);
    value.assign(static_cast<size_t>(n), '\0');
    return n == 0 || readExact(value.data(), static_cast<uint32_t>(n), BlockError::readString);
}

bool BlockDecoder::readWString(std::u16string& value) {
    int32_t n = 0;
    if (!readInt(n))
        return false;
    if (n < 0 || n % 2 != 0 || n > src_.size() - src_.position())
        return fail(BlockError::readWString, 0);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0 && !readExact(bytes.data(), static_cast<uint32_t>(n), BlockError::readWString))
        return false;
    value.resize(static_cast<size_t>(n / 2));
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = static_cast<char16_t>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    return true;
}

bool BlockDecoder::seekToConfigBlock() {
    int32_t peOffset = 0;
    int16_t sections = 0, optionalSize = 0;
    src_.seek(60);
    if (!readInt(peOffset))
        return false;
    src_.seek(int64_t(peOffset) + 6);
    if (!readShort(sections))
        return false;
    log("number of sections: %d", sections);
    src_.seek(int64_t(peOffset) + 20);
    if (!readShort(optionalSize))
        return false;
    log("size of optional headers: %d", optionalSize);
    // The start of the last 40-byte section header: the table begins at
    // e_lfanew + 24 + SizeOfOptionalHeader.
    const int64_t tableStart = int64_t(peOffset) + optionalSize + int64_t(sections) * 40 - 16;
    log("resSectionTableStart: %lld", static_cast<long long>(tableStart));
    int32_t rawDataSize = 0, rawDataOffset = 0;
    src_.seek(tableStart + 16);
    if (!readInt(rawDataSize))
        return false;
    src_.seek(tableStart + 20);
    if (!readInt(rawDataOffset))
        return false;
    log("rawDataSize: %d, rawDataOffset: %d", rawDataSize, rawDataOffset);
    src_.seek(int64_t(rawDataOffset) + rawDataSize);
    return true;
}

bool BlockDecoder::readRecords(ConfigStore& store) {
    int32_t magic = 0, unused = 0;
    int64_t unusedLong = 0;
    if (!readInt(magic))
        return false;
    if (static_cast<uint32_t>(magic) != kConfigMagic)
        return fail(BlockError::magic, 4);
    if (!readInt(unused) || !readInt(unused) || !readLong(unusedLong))
        return false;
    int32_t count = 0;
    if (!readInt(count))
        return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::string text;
        if (!readInt(id) || !readString(text))
            return false;
        store.narrow[id] = std::move(text);
    }
    if (!readInt(count))
        return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::u16string text;
        if (!readInt(id) || !readWString(text))
            return false;
        store.wide[id] = std::move(text);
    }
    return true;
}

bool BlockDecoder::readLocaleSections(ConfigStore& store, std::string_view locale) {
    int32_t sections = 0;
    if (!readInt(sections))
        return false;
    for (int32_t s = 0; s < sections; ++s) {
        std::string key;
        int32_t count = 0;
        if (!readString(key) || !readInt(count))
            return false;
        // The key is compared as the C string it stands for.
        const std::string_view keyText(key.c_str());
        const bool matches = locale.substr(0, keyText.size()) == keyText;
        for (int32_t i = 0; i < count; ++i) {
            int32_t id = 0;
            std::u16string text;
            if (!readInt(id) || !readWString(text))
                return false;
            if (matches)
                store.wide[id] = std::move(text);
        }
    }
    return true;
}

bool decodeConfigBlock(BlockSource& source, std::string_view locale, ConfigStore& store,
                       int64_t& blockEnd, BlockFailure& failure, BlockLogFn log) {
    BlockDecoder decoder(source, log);
    const bool ok = decoder.seekToConfigBlock() && decoder.readRecords(store) &&
                    decoder.readLocaleSections(store, locale);
    failure = decoder.failure();
    blockEnd = source.position();
    return ok;
}
