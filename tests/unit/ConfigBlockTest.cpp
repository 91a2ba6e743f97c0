#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/ConfigBlock.h"

namespace {

// Little-endian writers for building images by hand.
void put32(std::string& s, int32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
void put16(std::string& s, size_t at, int16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32At(std::string& s, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

// A minimal PE layout: e_lfanew 64, two sections, the last one's raw data
// ending at `imageEnd`.
std::string fakeImage(int32_t imageEnd) {
    std::string s(512, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    put32At(s, 60, 64);
    put16(s, 64 + 6, 2);
    put16(s, 64 + 20, 224);
    const size_t last = 64 + 24 + 224 + 40;
    put32At(s, last + 16, imageEnd - 400);  // SizeOfRawData
    put32At(s, last + 20, 400);             // PointerToRawData
    s.resize(static_cast<size_t>(imageEnd), '\0');
    return s;
}

std::string header() {
    std::string s;
    put32(s, static_cast<int32_t>(kConfigMagic));
    put32(s, 0);
    put32(s, 0x554E581B);
    put32(s, 0);
    put32(s, 0);
    return s;
}

void narrowRecord(std::string& s, int32_t id, std::string_view text) {
    put32(s, id);
    put32(s, static_cast<int32_t>(text.size()));
    s.append(text);
}

void wideRecord(std::string& s, int32_t id, std::u16string_view text) {
    put32(s, id);
    put32(s, static_cast<int32_t>(text.size() * 2));
    for (char16_t c : text) {
        s.push_back(static_cast<char>(c & 0xFF));
        s.push_back(static_cast<char>(c >> 8));
    }
}

struct Decoded {
    bool ok;
    BlockFailure failure;
    ConfigStore store;
    int64_t end;
};

Decoded decode(const std::string& file, std::string_view locale = "de_CH") {
    Decoded d{};
    MemorySource src(file);
    d.ok = decodeConfigBlock(src, locale, d.store, d.end, d.failure);
    return d;
}

TEST(ConfigBlock, ReadsRecordsBehindTheLastSection) {
    std::string file = fakeImage(1024) + header();
    put32(file, 3);
    narrowRecord(file, 107, "1");
    narrowRecord(file, 146, "first");
    narrowRecord(file, 146, "later");
    put32(file, 1);
    wideRecord(file, 1000, u"Fehler \u20ac");
    put32(file, 0);
    const size_t end = file.size();
    file += "\xE8\xE4\x13\xD5trailing data";

    Decoded d = decode(file);
    ASSERT_TRUE(d.ok) << blockErrorMessage(d.failure.error);
    EXPECT_EQ(d.store.narrow.at(107), "1");
    EXPECT_EQ(d.store.narrow.at(146), "later");
    EXPECT_EQ(d.store.wide.at(1000), u"Fehler \u20ac");
    EXPECT_EQ(d.end, static_cast<int64_t>(end));
}

TEST(ConfigBlock, LocaleSectionsApplyByPrefixInFileOrder) {
    std::string file = fakeImage(600) + header();
    put32(file, 0);
    put32(file, 1);
    wideRecord(file, 1000, u"base");
    put32(file, 5);
    auto section = [&](std::string_view key, int32_t id, std::u16string_view text) {
        put32(file, static_cast<int32_t>(key.size()));
        file.append(key);
        put32(file, 1);
        wideRecord(file, id, text);
    };
    section("de", 1000, u"de");
    section("de_CH", 1001, u"swiss");
    section("de_AT", 1000, u"austrian");
    section("", 1002, u"any");
    // A key holds a C string: what follows its first NUL is not compared.
    section(std::string_view("de\0zz", 5), 1003, u"nul");

    Decoded ch = decode(file, "de_CH");
    ASSERT_TRUE(ch.ok);
    EXPECT_EQ(ch.store.wide.at(1000), u"de");
    EXPECT_EQ(ch.store.wide.at(1001), u"swiss");
    EXPECT_EQ(ch.store.wide.at(1002), u"any");
    EXPECT_EQ(ch.store.wide.at(1003), u"nul");

    Decoded de = decode(file, "de");
    ASSERT_TRUE(de.ok);
    EXPECT_EQ(de.store.wide.at(1000), u"de");
    EXPECT_EQ(de.store.wide.count(1001), 0u) << "a longer key must not match a shorter locale";

    Decoded en = decode(file, "en");
    EXPECT_EQ(en.store.wide.at(1000), u"base");
    EXPECT_EQ(en.end, static_cast<int64_t>(file.size()));
}

TEST(ConfigBlock, NegativeCountsAreEmptySections) {
    std::string file = fakeImage(600) + header();
    put32(file, -7);
    put32(file, -1);
    put32(file, INT32_MIN);
    Decoded d = decode(file);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.store.narrow.empty());
    EXPECT_EQ(d.end, static_cast<int64_t>(file.size()));
}

TEST(ConfigBlock, EachBrokenReadNamesItself) {
    const std::string image = fakeImage(600);
    std::string good = header();
    put32(good, 1);
    narrowRecord(good, 107, "1234");
    put32(good, 0);
    put32(good, 0);

    struct Case {
        const char* name;
        std::string file;
        BlockError expected;
    };
    std::string reversed = good;
    std::memcpy(reversed.data(), "\xE8\xE4\x13\xD5", 4);
    std::string badLength = header();
    put32(badLength, 1);
    put32(badLength, 107);
    put32(badLength, 0x7FFFFFFF);
    std::string negative = header();
    put32(negative, 1);
    put32(negative, 107);
    put32(negative, -1);
    std::string oddWide = header();
    put32(oddWide, 0);
    put32(oddWide, 1);
    put32(oddWide, 1000);
    put32(oddWide, 3);
    oddWide += "abcd";
    std::string shortWide = header();
    put32(shortWide, 0);
    put32(shortWide, 1);
    put32(shortWide, 1000);
    put32(shortWide, 4);
    shortWide += "ab";
    std::string tinyImage = image.substr(0, 62);

    const Case cases[] = {
        {"no block", image, BlockError::readInt},
        {"reversed magic", image + reversed, BlockError::magic},
        {"cut in the long", image + good.substr(0, 14), BlockError::readLong},
        {"cut in a record's length", image + good.substr(0, 30), BlockError::readInt},
        {"cut in a record's text", image + good.substr(0, 34), BlockError::readString},
        {"absurd length", image + badLength, BlockError::readString},
        {"negative length", image + negative, BlockError::readString},
        {"odd wide length", image + oddWide, BlockError::readWString},
        {"short wide text", image + shortWide, BlockError::readWString},
        {"no locale count", image + good.substr(0, good.size() - 4), BlockError::readInt},
        {"file ends in the DOS header", tinyImage, BlockError::readInt},
    };
    for (const Case& c : cases) {
        Decoded d = decode(c.file);
        EXPECT_FALSE(d.ok) << c.name;
        EXPECT_EQ(d.failure.error, c.expected)
            << c.name << ": got " << blockErrorMessage(d.failure.error);
    }
}

TEST(ConfigBlock, SectionTableOutsideTheFile) {
    std::string file = fakeImage(600);
    put32At(file, 60, 0x7FFFFFF0);  // e_lfanew far beyond the end
    Decoded d = decode(file);
    EXPECT_EQ(d.failure.error, BlockError::readShort);

    file = fakeImage(600);
    put32At(file, 60, -100);  // a negative seek must fail, not wrap
    d = decode(file);
    EXPECT_EQ(d.failure.error, BlockError::readShort);
}

TEST(ConfigBlock, LogsTheSectionArithmetic) {
    static std::string lines;
    lines.clear();
    std::string file = fakeImage(600) + header();
    put32(file, 0);
    put32(file, 0);
    put32(file, 0);
    MemorySource src(file);
    BlockDecoder decoder(src, [](const char* line) { lines += std::string(line) + "\n"; });
    ASSERT_TRUE(decoder.seekToConfigBlock());
    EXPECT_EQ(lines,
              "number of sections: 2\n"
              "size of optional headers: 224\n"
              "resSectionTableStart: 352\n"
              "rawDataSize: 200, rawDataOffset: 400\n");
    EXPECT_EQ(src.position(), 600);
}

// Holds its bytes like MemorySource but notes any read that asks for more
// than is left: the decoder must see a length is too large before it
// allocates or reads, not learn it from a short read.
class RefusingSource final : public BlockSource {
public:
    explicit RefusingSource(std::string_view bytes) : inner_(bytes) {}
    bool seek(int64_t offset) override { return inner_.seek(offset); }
    uint32_t read(void* buffer, uint32_t count) override {
        if (count > inner_.size() - inner_.position()) {
            overreach = count;
            return 0;
        }
        return inner_.read(buffer, count);
    }
    int64_t position() const override { return inner_.position(); }
    int64_t size() const override { return inner_.size(); }
    uint32_t lastError() const override { return 0; }
    uint32_t overreach = 0;  // the last read asked beyond the end, 0 if none

private:
    MemorySource inner_;
};

TEST(ConfigBlock, LengthsBeyondTheRestFailBeforeAnythingIsRead) {
    struct Case {
        const char* name;
        int32_t length;
        std::string rest;  // the bytes behind the length field
        bool wide;
    };
    const Case cases[] = {
        {"narrow, one byte short", 4, "abc", false},
        {"narrow, a megabyte short", 1 << 20, "abc", false},
        {"narrow, nothing left", 1, "", false},
        {"wide, one unit short", 4, "ab", true},
        {"wide, one byte short", 4, "abc", true},
        {"wide, a megabyte short", 1 << 20, "abcd", true},
    };
    for (const Case& c : cases) {
        std::string bytes;
        put32(bytes, c.length);
        bytes += c.rest;
        RefusingSource src(bytes);
        BlockDecoder decoder(src, nullptr);
        std::string narrow = "kept";
        std::u16string wide = u"kept";
        const bool ok = c.wide ? decoder.readWString(wide) : decoder.readString(narrow);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(src.overreach, 0u) << c.name << ": the decoder asked to read past the end";
        EXPECT_EQ(decoder.failure().error, c.wide ? BlockError::readWString : BlockError::readString)
            << c.name << ": got " << blockErrorMessage(decoder.failure().error);
        EXPECT_EQ(decoder.failure().bytesRead, 0u) << c.name;
        EXPECT_EQ(src.position(), 4) << c.name << ": nothing behind the length may be consumed";
    }
}

TEST(ConfigBlock, LengthsThatExactlyFillTheRestAreRead) {
    auto narrowOf = [](std::string_view text, std::string_view after) {
        std::string bytes;
        put32(bytes, static_cast<int32_t>(text.size()));
        bytes.append(text);
        bytes.append(after);
        RefusingSource src(bytes);
        BlockDecoder decoder(src, nullptr);
        std::string value;
        EXPECT_TRUE(decoder.readString(value)) << text << ": " << blockErrorMessage(decoder.failure().error);
        EXPECT_EQ(src.overreach, 0u);
        EXPECT_EQ(src.position(), static_cast<int64_t>(4 + text.size()));
        return value;
    };
    EXPECT_EQ(narrowOf("abc", ""), "abc");
    EXPECT_EQ(narrowOf("abc", "z"), "abc");
    EXPECT_EQ(narrowOf("", ""), "");
    EXPECT_EQ(narrowOf(std::string_view("a\0b", 3), ""), std::string("a\0b", 3));

    std::string bytes;
    put32(bytes, 4);
    bytes.append("a\0\xAC\x20", 4);
    RefusingSource src(bytes);
    BlockDecoder decoder(src, nullptr);
    std::u16string wide;
    ASSERT_TRUE(decoder.readWString(wide)) << blockErrorMessage(decoder.failure().error);
    EXPECT_EQ(wide, u"a\u20ac");
    EXPECT_EQ(src.overreach, 0u);
}

TEST(ConfigBlock, FixedWidthReadsAreLittleEndianAndSigned) {
    const std::string bytes("\x01\x02\x03\x04\x05\x06\x07\x88"
                            "\xFE\xFF\xFF\x7F"
                            "\x34\x92"
                            "\xAA\xBB",
                            16);
    MemorySource src(bytes);
    BlockDecoder decoder(src, nullptr);
    int64_t l = 0;
    int32_t i = 0;
    int16_t s = 0;
    ASSERT_TRUE(decoder.readLong(l));
    EXPECT_EQ(static_cast<uint64_t>(l), 0x8807060504030201u);
    ASSERT_TRUE(decoder.readInt(i));
    EXPECT_EQ(i, 0x7FFFFFFE);
    ASSERT_TRUE(decoder.readShort(s));
    EXPECT_EQ(s, static_cast<int16_t>(0x9234));
    // Two bytes left: an int read fails and says how much it got.
    EXPECT_FALSE(decoder.readInt(i));
    EXPECT_EQ(decoder.failure().error, BlockError::readInt);
    EXPECT_EQ(decoder.failure().bytesRead, 2u);
}

}  // namespace
