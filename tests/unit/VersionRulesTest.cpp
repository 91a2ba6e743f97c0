#include <gtest/gtest.h>

#include "runtime/VersionRules.h"

namespace {

TEST(VersionRules, LowerBoundComparesBytesNotNumbers) {
    EXPECT_EQ(judgeVersion("1.6.0_45", "1.6", "", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("1.7.0", "1.6", "", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("1.5.0_22", "1.6", "", false), VersionVerdict::BelowLower);
    EXPECT_EQ(judgeVersion("1.10", "1.6", "", false), VersionVerdict::BelowLower);
    // A version that ends inside the bound is smaller.
    EXPECT_EQ(judgeVersion("1.6", "1.6.0_10", "", false), VersionVerdict::BelowLower);
    EXPECT_EQ(judgeVersion("", "1.6", "", false), VersionVerdict::BelowLower);
}

TEST(VersionRules, UpperBoundIsInclusiveOverItsOwnLength) {
    EXPECT_EQ(judgeVersion("1.6.0_45", "", "1.6", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("1.7.0", "", "1.6", false), VersionVerdict::AboveUpper);
    EXPECT_EQ(judgeVersion("1.6", "1.6", "1.6", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("17.0.2", "1.8", "17", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("21", "1.8", "17", false), VersionVerdict::AboveUpper);
    EXPECT_EQ(judgeVersion("anything", "", "", false), VersionVerdict::Accepted);
}

TEST(VersionRules, BetaMarkersAnywhereAreCaseSensitive) {
    EXPECT_EQ(judgeVersion("1.7.0-ea", "1.6", "", false), VersionVerdict::Beta);
    EXPECT_EQ(judgeVersion("1.7.0-ea", "1.6", "", true), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("9-beta", "", "", false), VersionVerdict::Beta);
    EXPECT_EQ(judgeVersion("1.8.0-rc1", "", "", false), VersionVerdict::Beta);
    // Substrings count, as they always have.
    EXPECT_TRUE(isBetaVersion("1.8.0_402-bearded"));
    EXPECT_FALSE(isBetaVersion("1.8.0-EA"));
    EXPECT_FALSE(isBetaVersion("17.0.2"));
    // The beta rule comes before the bounds.
    EXPECT_EQ(judgeVersion("1.5-ea", "1.6", "", false), VersionVerdict::Beta);
}

TEST(VersionRules, BytesCompareUnsigned) {
    EXPECT_GT(compareVersionPrefix("1.\xE9", "1.a"), 0);
    EXPECT_EQ(judgeVersion("1.\xE9", "1.a", "", false), VersionVerdict::Accepted);
    EXPECT_LT(compareVersionText("1.a", "1.\xE9"), 0);
}

TEST(VersionRules, RangeOfKeyNamesUsesTheShorterLength) {
    EXPECT_TRUE(isVersionInRange("1.6", "1.6.0_10", ""));
    EXPECT_EQ(judgeVersion("1.6", "1.6.0_10", "", false), VersionVerdict::BelowLower);
    EXPECT_TRUE(isVersionInRange("1.6.0_45", "1.6", "1.6"));
    EXPECT_FALSE(isVersionInRange("1.5.0", "1.6", ""));
    EXPECT_FALSE(isVersionInRange("1.7.0", "", "1.6"));
    // No beta rule here.
    EXPECT_TRUE(isVersionInRange("1.7.0-ea", "1.6", ""));
    EXPECT_TRUE(isVersionInRange("", "1.6", "1.7"));
}

TEST(VersionRules, WholeTextOrderPutsPrefixesFirst) {
    EXPECT_LT(compareVersionText("1.6", "1.6.0_45"), 0);
    EXPECT_GT(compareVersionText("1.7.0", "1.6.0_45"), 0);
    EXPECT_EQ(compareVersionText("17.0.2", "17.0.2"), 0);
    EXPECT_LT(compareVersionText("", "1"), 0);
}

struct LineCase {
    const char* line;
    const char* version;  // nullptr: rejected
};

TEST(VersionLine, OldAndNewFormsOfSeveralVendors) {
    const LineCase cases[] = {
        {"java version \"1.6.0_45\"\n", "1.6.0_45"},
        {"java version \"1.8.0_391\"\r\n", "1.8.0_391"},
        {"openjdk version \"1.8.0_402\"\n", "1.8.0_402"},
        {"openjdk version \"17.0.2\" 2022-01-18\n", "17.0.2"},
        {"java version \"17.0.10\" 2024-01-16 LTS\r\n", "17.0.10"},
        {"openjdk version \"11.0.22\" 2024-01-16 LTS\n", "11.0.22"},
        {"openjdk version \"21-ea\" 2023-09-19\n", "21-ea"},
        {"openjdk version \"22-ea\"\n", "22-ea"},
        {"openjdk version \"17.0.9-internal\" 2023-10-17\n", "17.0.9-internal"},
        {"java version \"9\"", "9"},
        // A cut line without its closing quote: the rest without the line end.
        {"java version \"1.6.0_45\n", "1.6.0_45"},
        {"openjdk version \"17.0.2\r\n", "17.0.2"},
        {"java version \"1.6.0_45", "1.6.0_45"},
    };
    for (const LineCase& c : cases) {
        std::string version = "unchanged";
        ASSERT_TRUE(parseVersionLine(c.line, version)) << c.line;
        EXPECT_EQ(version, c.version) << c.line;
    }
}

TEST(VersionLine, OtherFirstLinesAreRejected) {
    const char* lines[] = {
        "Picked up _JAVA_OPTIONS: -Xmx512m\n",
        "Java version \"1.6.0_45\"\n",
        " java version \"1.6.0_45\"\n",
        "java version 1.6.0_45\n",
        "java version \"\"\n",
        "java version \"\n",
        "openjdk version \"",
        "java full version \"17.0.2+8\"\n",
        "",
    };
    for (const char* line : lines) {
        std::string version = "unchanged";
        EXPECT_FALSE(parseVersionLine(line, version)) << line;
        EXPECT_EQ(version, "unchanged");
    }
}

}  // namespace

// The probe's output file is read without the C library's stdio; the line
// must be the one fgets in text mode would have given.
TEST(VersionRules, FirstTextLineReadsAsTextModeFgets) {
    const struct {
        std::string raw;
        size_t capacity;
        std::string expected;
    } cases[] = {
        {"java version \"1.8.0_402\"\r\nJava(TM) SE\r\n", 100, "java version \"1.8.0_402\"\n"},
        {"openjdk version \"21.0.2\" 2024-01-16 LTS\n", 100, "openjdk version \"21.0.2\" 2024-01-16 LTS\n"},
        {"no line end", 100, "no line end"},
        {"", 100, ""},
        {"\x1ajava version \"1.8\"", 100, ""},
        {"java\x1a version", 100, "java"},
        {"lone\rcarriage\r\n", 100, "lone\rcarriage\n"},
        {"ends in\r", 100, "ends in\r"},
        {std::string(150, 'x') + "\n", 100, std::string(99, 'x')},
        {std::string(98, 'x') + "\r\nnext", 100, std::string(98, 'x') + "\n"},
        {std::string(99, 'x') + "\r\n", 100, std::string(99, 'x')},
        {std::string("nul\0inside\n", 11), 100, std::string("nul\0inside\n", 11)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(firstTextLine(c.raw, c.capacity), c.expected) << "raw: " << c.raw;
}
