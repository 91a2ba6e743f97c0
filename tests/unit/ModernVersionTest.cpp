#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/VersionRules.h"

namespace {

std::vector<uint32_t> numbersOf(std::string_view version) {
    const VersionNumbers n = parseVersionNumbers(version);
    return std::vector<uint32_t>(n.part, n.part + n.count);
}

TEST(VersionNumbers, LegacyAndTodaysFormsOnOneScale) {
    EXPECT_EQ(numbersOf("1.8.0_402"), (std::vector<uint32_t>{8, 0, 402}));
    EXPECT_EQ(numbersOf("1.8.0_402-b08"), (std::vector<uint32_t>{8, 0, 402}));
    EXPECT_EQ(numbersOf("1.6"), (std::vector<uint32_t>{6}));
    EXPECT_EQ(numbersOf("1.7.0"), (std::vector<uint32_t>{7, 0}));
    EXPECT_EQ(numbersOf("1.8_5"), (std::vector<uint32_t>{8, 0, 5}));
    EXPECT_EQ(numbersOf("21.0.2+13-LTS"), (std::vector<uint32_t>{21, 0, 2}));
    EXPECT_EQ(numbersOf("17-ea"), (std::vector<uint32_t>{17}));
    EXPECT_EQ(numbersOf("17.0.10.7"), (std::vector<uint32_t>{17, 0, 10, 7}));
    EXPECT_EQ(numbersOf("17."), (std::vector<uint32_t>{17}));
    EXPECT_EQ(numbersOf("1."), (std::vector<uint32_t>{1}));
    EXPECT_EQ(numbersOf("zulu-17"), (std::vector<uint32_t>{}));
    EXPECT_EQ(numbersOf(""), (std::vector<uint32_t>{}));
    // Too many numbers or too large ones are cut, never written past the end.
    EXPECT_EQ(numbersOf("2.3.4.5.6.7.8.9.10.11").size(), size_t(VersionNumbers::kMax));
    EXPECT_EQ(numbersOf("99999999999999999999.1"), (std::vector<uint32_t>{UINT32_MAX, 1}));
}

TEST(VersionNumbers, OnlyBoundsOfTodaysFormAreNumeric) {
    for (const char* numeric : {"8", "11", "17.0.2", "21.0.10", "9-ea", "10"})
        EXPECT_TRUE(isNumericBound(numeric)) << numeric;
    for (const char* legacy : {"", "1.6", "1.8.0_402", "1.", "abc", "v17"})
        EXPECT_FALSE(isNumericBound(legacy)) << legacy;
}

// Every bound against every version, as lower and as upper bound.
TEST(ModernBounds, TheVersionsVendorsMeetToday) {
    const char* versions[] = {"1.8.0_402", "9.0.4", "11.0.22", "17.0.10", "21.0.2", "21.0.10"};
    struct Row {
        const char* bound;
        const char* acceptedAsLower;  // one letter per version: y accepted, n rejected
        const char* acceptedAsUpper;
    };
    const Row rows[] = {
        {"8", "yyyyyy", "ynnnnn"},
        {"11", "nnyyyy", "yyynnn"},
        {"17", "nnnyyy", "yyyynn"},
        {"21.0.10", "nnnnny", "yyyyyy"},
        // Legacy bounds keep the byte-wise rule: every text beginning with
        // "9" or "1" followed by a digit is above "1.6".
        {"1.6", "yyyyyy", "nnnnnn"},
        {"1.8", "yyyyyy", "ynnnnn"},
    };
    for (const Row& row : rows) {
        for (size_t i = 0; i < std::size(versions); ++i) {
            const bool asLower = judgeVersion(versions[i], row.bound, "", false) == VersionVerdict::Accepted;
            const bool asUpper = judgeVersion(versions[i], "", row.bound, false) == VersionVerdict::Accepted;
            EXPECT_EQ(asLower, row.acceptedAsLower[i] == 'y') << versions[i] << " lower " << row.bound;
            EXPECT_EQ(asUpper, row.acceptedAsUpper[i] == 'y') << versions[i] << " upper " << row.bound;
        }
    }
}

TEST(ModernBounds, PrefixMeaningVerdictsAndOddVersions) {
    // An upper bound covers every version that begins with it.
    EXPECT_EQ(judgeVersion("17.0.2.1", "", "17.0.2", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("17.0.3", "", "17.0.2", false), VersionVerdict::AboveUpper);
    EXPECT_EQ(judgeVersion("21.0.2", "21.0.10", "", false), VersionVerdict::BelowLower);
    // Build and pre-release parts do not count, the beta rule still does.
    EXPECT_EQ(judgeVersion("21.0.10+7-LTS", "21.0.10", "21.0.10", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("21-ea", "21", "", false), VersionVerdict::Beta);
    EXPECT_EQ(judgeVersion("21-ea", "21", "", true), VersionVerdict::Accepted);
    // A version without numbers lies within no numeric bound.
    EXPECT_EQ(judgeVersion("unknown", "8", "", false), VersionVerdict::BelowLower);
    EXPECT_EQ(judgeVersion("unknown", "", "21", false), VersionVerdict::AboveUpper);
    // Mixed: a numeric lower and a legacy upper bound each keep their rule.
    EXPECT_EQ(judgeVersion("1.8.0_402", "8", "1.8", false), VersionVerdict::Accepted);
    EXPECT_EQ(judgeVersion("1.7.0_80", "8", "1.8", false), VersionVerdict::BelowLower);
}

TEST(ModernBounds, KeyNamesAreJudgedOverTheShorterCount) {
    EXPECT_TRUE(isVersionInRange("17", "17.0.2", ""));
    EXPECT_TRUE(isVersionInRange("17.0.10.7", "", "17"));
    EXPECT_FALSE(isVersionInRange("21.0.1.12", "", "17"));
    EXPECT_FALSE(isVersionInRange("21.0.2", "21.0.10", ""));
    EXPECT_FALSE(isVersionInRange("1.8", "11", ""));
    EXPECT_TRUE(isVersionInRange("1.8.0_402", "8", "8"));
    EXPECT_TRUE(isVersionInRange("11.0.22", "8", ""));
    // A numeric lower bound with a legacy upper bound.
    EXPECT_TRUE(isVersionInRange("1.8", "8", "1.8"));
    EXPECT_FALSE(isVersionInRange("1.9", "8", "1.8"));
}

TEST(RegistryRanking, NumbersFirstThenCountThenText) {
    EXPECT_GT(compareVersionNumbers("21.0.10", "21.0.9"), 0);
    EXPECT_GT(compareVersionNumbers("1.8.0_402", "1.8.0_92"), 0);
    EXPECT_GT(compareVersionNumbers("9.0.4", "1.8.0_402"), 0);
    EXPECT_LT(compareVersionNumbers("1.6", "1.6.0"), 0);
    EXPECT_EQ(compareVersionNumbers("17.0.2", "17.0.2"), 0);
    EXPECT_LT(compareVersionNumbers("", "1.6"), 0);
    EXPECT_EQ(compareVersionNumbers("", ""), 0);

    std::vector<std::string> keys = {"21.0.9", "1.8.0_92", "21.0.10", "11.0.22", "1.8.0_402", "17", "17.0.10"};
    std::sort(keys.begin(), keys.end(),
              [](const std::string& a, const std::string& b) { return compareVersionNumbers(a, b) < 0; });
    EXPECT_EQ(keys, (std::vector<std::string>{"1.8.0_92", "1.8.0_402", "11.0.22", "17", "17.0.10", "21.0.9",
                                              "21.0.10"}));
}

// The Java half runs on Java 8 and later: a bound that admits older
// runtimes is raised to 1.8 (as a lower bound) or refused (as an upper one).
TEST(ModernBounds, TheJavaHalfsJava8) {
    const struct {
        const char* bound;
        bool lowerAdmitsOlder;
        bool upperOnlyOlder;
    } rows[] = {
        {"", true, false},        {"1.6", true, true},      {"1.7.0_80", true, true},
        {"1", true, true},        {"1.10", true, true},     {"7", true, true},
        {"1.8", false, false},    {"1.8.0_20", false, false}, {"8", false, false},
        {"9.0.4", false, false},  {"11", false, false},     {"1.9", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(lowerBoundAdmitsBelowJavaHalf(row.bound), row.lowerAdmitsOlder) << row.bound;
        EXPECT_EQ(upperBoundBelowJavaHalf(row.bound), row.upperOnlyOlder) << row.bound;
        EXPECT_EQ(lowerBoundForJavaHalf(row.bound), row.lowerAdmitsOlder ? "1.8" : row.bound) << row.bound;
    }
    // Raised, it refuses every Java 7 and keeps what it accepted of 8 and later.
    for (const char* lower : {"", "1.6", "7"}) {
        const std::string raised = lowerBoundForJavaHalf(lower);
        EXPECT_EQ(judgeVersion("1.7.0_80", raised, "", false), VersionVerdict::BelowLower) << lower;
        for (const char* version : {"1.8.0_402", "9.0.4", "10.0.2", "17.0.10", "21.0.2"})
            EXPECT_EQ(judgeVersion(version, raised, "", false), VersionVerdict::Accepted) << version;
    }
}

}  // namespace
