// Where the legacy numbering (1.8.0_402, bounds like "1.8") meets today's
// (8, 17.0.9, 21.0.10): updates, the "1." prefix, two-digit majors, and the
// names installers give their registry keys.
#include <gtest/gtest.h>

#include <string>

#include "runtime/VersionRules.h"

namespace {

bool accepted(const char* version, const char* lower, const char* upper) {
    return judgeVersion(version, lower, upper, false) == VersionVerdict::Accepted;
}

TEST(FormsMeet, LegacyUpdatesAgainstNumericBounds) {
    // The update of 1.8.0_U is the third number of a numeric bound.
    EXPECT_TRUE(accepted("1.8.0_402", "8.0.400", ""));
    EXPECT_FALSE(accepted("1.8.0_92", "8.0.400", ""));
    EXPECT_FALSE(accepted("1.8.0", "8.0.1", ""));
    EXPECT_TRUE(accepted("1.8.0_402", "", "8.0.402"));
    EXPECT_FALSE(accepted("1.8.0_411", "", "8.0.402"));
    // Two- and three-digit updates are numbers, not texts: 92 < 402.
    EXPECT_TRUE(accepted("1.8.0_402", "", "8.0.402"));
    EXPECT_FALSE(accepted("1.8.0_92", "8.0.100", "8"));
    EXPECT_TRUE(accepted("1.8.0_100", "8.0.92", "8"));
    // A build suffix does not change the update.
    EXPECT_TRUE(accepted("1.8.0_402-b08", "8.0.402", "8.0.402"));
}

TEST(FormsMeet, LegacyBoundsStayByteWiseAgainstTodaysVersions) {
    // "10".."21" begin with "1" and a digit: above every "1." bound.
    for (const char* modern : {"10.0.2", "11.0.22", "17", "21.0.10"}) {
        EXPECT_TRUE(accepted(modern, "1.8", "")) << modern;
        EXPECT_FALSE(accepted(modern, "", "1.8")) << modern;
        EXPECT_FALSE(accepted(modern, "", "1.9")) << modern;
    }
    EXPECT_FALSE(accepted("9.0.4", "", "1.8"));
    // A legacy lower bound with an update compares the update as text.
    EXPECT_TRUE(accepted("1.8.0_92", "1.8.0_100", ""));
    EXPECT_FALSE(accepted("1.8.0_100", "1.8.0_92", ""));
}

TEST(FormsMeet, TheOnePrefixDecidesTheRule) {
    EXPECT_FALSE(isNumericBound("1.8"));
    EXPECT_FALSE(isNumericBound("1.11"));
    EXPECT_TRUE(isNumericBound("1"));
    EXPECT_TRUE(isNumericBound("10"));
    EXPECT_TRUE(isNumericBound("11.0.2"));
    // "1" is numeric: every runtime of the legacy form counts by its second
    // number, so 1.6 is 6 and above it.
    EXPECT_TRUE(accepted("1.6.0_45", "1", ""));
    // "1.1" is legacy and byte-wise: 1.10 would begin with it, 1.8 is above.
    EXPECT_TRUE(accepted("1.8.0", "", "1.8"));
    EXPECT_FALSE(accepted("1.8.0", "", "1.1"));
    // A version "1.8" and a bound "8" meet as equals, whichever side is which.
    EXPECT_TRUE(accepted("1.8", "8", "8"));
    EXPECT_TRUE(accepted("8", "", "8"));
}

TEST(FormsMeet, TwoDigitMajorsAreNumbers) {
    EXPECT_TRUE(accepted("10.0.2", "9", ""));
    EXPECT_FALSE(accepted("9.0.4", "10", ""));
    EXPECT_TRUE(accepted("11.0.22", "", "11"));
    EXPECT_FALSE(accepted("11.0.22", "", "10"));
    EXPECT_FALSE(accepted("100", "", "21"));
    EXPECT_GT(compareVersionNumbers("10", "9.0.4"), 0);
    EXPECT_GT(compareVersionNumbers("10.0.1", "1.8.0_402"), 0);
    EXPECT_GT(compareVersionNumbers("21", "17.0.10"), 0);
    // Equal numbers: the shorter form first, whatever the texts say ("8"
    // sorts after "1.8.0" as text).
    EXPECT_LT(compareVersionNumbers("8", "1.8.0"), 0);
    EXPECT_GT(compareVersionNumbers("1.8.0", "8"), 0);
}

TEST(FormsMeet, TheUpdateIsAlwaysTheThirdNumber) {
    const VersionNumbers n = parseVersionNumbers("1.8.0.1_20");
    ASSERT_EQ(n.count, 3);
    EXPECT_EQ(n.part[2], 20u);
    EXPECT_TRUE(accepted("1.8.0.1_20", "8.0.20", "8.0.20"));
}

TEST(KeyNames, AsTheRuntimeReportsThem) {
    struct Row {
        const char* name;
        const char* reported;
    };
    const Row rows[] = {
        {"8.0.392.8", "1.8.0_392"},  // Temurin, Microsoft: feature.interim.update.build
        {"8.0.0.1", "1.8.0"},
        {"8", "1.8"},
        {"7.0.80", "1.7.0_80"},
        {"1.8.0.212", "1.8.0_212"},  // Corretto under the JavaSoft keys
        {"17.0.9.9", "17.0.9"},
        {"17.0.0.35", "17"},
        {"11.0.0.0", "11"},
        {"21.0.10.7", "21.0.10"},
        {"9.0.4.11", "9.0.4"},
        {"10", "10"},
        // Other forms stay as they are.
        {"1.8", "1.8"},
        {"1.8.0", "1.8.0"},
        {"1.8.0_402", "1.8.0_402"},
        {"zulu-17", "zulu-17"},
        {"17.", "17."},
        {"17..1", "17..1"},
        {"0.9", "0.9"},
        {"", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(reportedVersionOfKeyName(row.name), row.reported) << row.name;
    // Too many or too large numbers are cut, never written past the end.
    EXPECT_EQ(reportedVersionOfKeyName("17.1.2.3.4.5.6.7.8.9.10"), "17.1.2");
    EXPECT_EQ(reportedVersionOfKeyName("99999999999999999999.1"), "4294967295.1");
}

TEST(KeyNames, ALegacyBoundNeverDropsARuntimeItWouldAccept) {
    // A Java-8-only application (1.6 .. 1.8) and the keys of OpenJDK 8 builds.
    for (const char* name : {"8.0.392.8", "8.0.402.6", "1.8.0.212", "8"}) {
        const std::string reported = reportedVersionOfKeyName(name);
        EXPECT_TRUE(isVersionInRange(reported, "1.6", "1.8")) << name;
        EXPECT_TRUE(accepted(reported.c_str(), "1.6", "1.8")) << name;
    }
    // Taken literally, "8.0.392.8" lies above "1.8", and "1.8.0.212" below
    // "1.8.0_100": both would be dropped unprobed.
    EXPECT_FALSE(isVersionInRange("8.0.392.8", "1.6", "1.8"));
    EXPECT_FALSE(isVersionInRange("1.8.0.212", "1.8.0_100", ""));
    EXPECT_TRUE(isVersionInRange(reportedVersionOfKeyName("1.8.0.212"), "1.8.0_100", ""));
    // What the bounds reject stays rejected.
    EXPECT_FALSE(isVersionInRange(reportedVersionOfKeyName("17.0.9.9"), "1.6", "1.8"));
    EXPECT_FALSE(isVersionInRange(reportedVersionOfKeyName("7.0.80"), "1.8", ""));
    // Numeric bounds judge the reported form as they judged the name.
    EXPECT_TRUE(isVersionInRange(reportedVersionOfKeyName("17.0.9.9"), "17", "17"));
    EXPECT_FALSE(isVersionInRange(reportedVersionOfKeyName("8.0.392.8"), "8.0.400", ""));
    // Ranking by the reported form keeps the numeric order of the names.
    EXPECT_GT(compareVersionNumbers(reportedVersionOfKeyName("1.8.0.212"), reportedVersionOfKeyName("8.0.92.1")), 0);
}

TEST(RangeInWords, AsTheMessageShowsIt) {
    EXPECT_EQ(describeVersionRange("17", ""), "17 or later");
    EXPECT_EQ(describeVersionRange("", "1.8"), "1.8 or earlier");
    EXPECT_EQ(describeVersionRange("1.6", "1.8"), "1.6 to 1.8");
    EXPECT_EQ(describeVersionRange("11", "11"), "11");
    EXPECT_EQ(describeVersionRange("", ""), "any version");
}

}  // namespace
