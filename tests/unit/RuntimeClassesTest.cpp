#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/RuntimeClasses.h"

namespace {

void le(std::string& out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

const std::string kClassFile = std::string("\xCA\xFE\xBA\xBE\0\0\0\x34", 8) + "body";

// A pack as java/package.py writes it; `entries` come as they are given.
std::string pack(const std::vector<std::pair<std::string, std::string>>& entries, int count = -1) {
    std::string body;
    for (const auto& [name, bytes] : entries) {
        le(body, uint32_t(name.size()), 2);
        body += name;
        le(body, uint32_t(bytes.size()), 4);
        body += bytes;
    }
    std::string out = "KVOC";
    le(out, count < 0 ? uint32_t(entries.size()) : uint32_t(count), 4);
    le(out, crc32(body), 4);
    return out + body;
}

// The checksum written over a pack whose body was changed afterwards.
std::string resealed(std::string p) {
    const uint32_t sum = crc32(std::string_view(p).substr(12));
    for (int i = 0; i < 4; ++i)
        p[8 + size_t(i)] = char((sum >> (8 * i)) & 0xFF);
    return p;
}

TEST(RuntimeClasses, ReadsThePackInItsOrder) {
    std::vector<RuntimeClass> classes;
    const std::string two = pack({{"a/Base", kClassFile}, {"a/B$1", kClassFile + "x"}});
    ASSERT_EQ(readRuntimeClasses(two, classes), nullptr);
    ASSERT_EQ(classes.size(), 2u);
    EXPECT_EQ(classes[0].name, "a/Base");
    EXPECT_EQ(classes[1].name, "a/B$1");
    EXPECT_EQ(classes[1].bytes, kClassFile + "x");
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);  // the check value of CRC-32
}

TEST(RuntimeClasses, ADamagedPackIsRefusedWholeWithWhatIsWrong) {
    const std::string good = pack({{"a/B", kClassFile}});
    std::string flipped = good;
    flipped.back() ^= 1;
    std::string longName = pack({{"a/B", kClassFile}});
    longName[12] = char(0x40);  // the name's length beyond what follows
    const struct {
        std::string bytes;
        const char* problem;
    } cases[] = {
        {"", "it does not begin as a pack of classes"},
        {"KVOC\1\0\0\0", "it does not begin as a pack of classes"},
        {"PK\3\4" + good.substr(4), "it does not begin as a pack of classes"},
        {pack({}, 0), "its count of classes is out of range"},
        {pack({{"a/B", kClassFile}}, 4097), "its count of classes is out of range"},
        {flipped, "its checksum does not match: the file is damaged"},
        {good.substr(0, good.size() - 1), "its checksum does not match: the file is damaged"},
        {resealed(good.substr(0, good.size() - 1)), "it ends inside a class file"},
        {resealed(longName), "it ends inside a class's name"},
        {pack({{"a/B", kClassFile}}, 2), "it ends inside a class's name"},
        {resealed(good + "x"), "bytes follow its last class"},
        {pack({{"a/B", "\xCA\xFE\xBA"}}), "a class file does not begin as one"},
        {pack({{"a/B", "PK\3\4body"}}), "a class file does not begin as one"},
    };
    for (const auto& c : cases) {
        std::vector<RuntimeClass> classes{{"x", "y"}};
        const char* problem = readRuntimeClasses(c.bytes, classes);
        EXPECT_STREQ(problem, c.problem) << c.problem;
        EXPECT_TRUE(classes.empty()) << c.problem;
    }
    for (const char* name : {"", "/a", "a/", "a//B", "a.B", "a/B;", "a/\xC3\xA9", "a\\B", "a B"}) {
        std::vector<RuntimeClass> classes;
        EXPECT_STREQ(readRuntimeClasses(pack({{"ok/A", kClassFile}, {name, kClassFile}}), classes),
                     "a class's name is no class name")
            << name;
    }
}

TEST(RuntimeClasses, WhereThePackLies) {
    const auto place = parseRuntimeClassesPlace("16401,22027");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->offset, 16401u);
    EXPECT_EQ(place->length, 22027u);
    EXPECT_EQ(formatRuntimeClassesPlace(*place), "16401,22027");
    EXPECT_TRUE(parseRuntimeClassesPlace("0,12"));
    EXPECT_TRUE(parseRuntimeClassesPlace("2147483647,16777216"));
    for (const char* bad : {"", "12", ",12", "0,", "0,0", "-1,12", "+1,12", " 0,12", "0, 12", "0,12 ", "0;12",
                            "0,12,3", "2147483648,12", "0,16777217", "99999999999,1", "1e3,12"})
        EXPECT_FALSE(parseRuntimeClassesPlace(bad)) << bad;
}

TEST(RuntimeClasses, WhatCountsAsCarryingTheJavaHalf) {
    const struct {
        const char* place;
        const char* count;
        const char* names;
        bool carried;
    } rows[] = {
        {"0,100", "", "", true},
        {"", "", "", false},
        {"", "2", "lib\\x.dll;kvo-runtime.jar", true},   // an older packer's launcher
        {"", "1", "KVO-Runtime.JAR", true},              // as Windows compares names
        {"", "2", "kvo-runtime.jar;lib\\x.dll", false},  // only last, as packers put it
        {"", "0", "kvo-runtime.jar", false},
        {"", "1", "kvo-runtime.jar;;", true},            // empty names count for nothing
        {"", "1", "\xE2\x84\xAAvo-runtime.jar", false},  // the Kelvin sign is no K to Windows
        {"", "1", "lib\\kvo-runtime.jar", false},
    };
    for (const auto& row : rows) {
        ConfigStore store;
        if (*row.place)
            store.narrow[rec::RuntimeClasses] = row.place;
        if (*row.count)
            store.narrow[rec::IncludedFileCount] = row.count;
        store.narrow[rec::IncludedFileNames] = row.names;
        EXPECT_EQ(carriesJavaHalf(store), row.carried) << row.place << " " << row.names;
    }
}

}  // namespace
