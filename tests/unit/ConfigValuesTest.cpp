#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/BoundedCopy.h"
#include "core/ConfigStore.h"
#include "core/MessageText.h"

namespace {

TEST(ConfigInt, ConvertsLikeTheCLibrary) {
    EXPECT_EQ(parseConfigInt("419"), 419);
    EXPECT_EQ(parseConfigInt(" 12abc"), 12);
    EXPECT_EQ(parseConfigInt("abc"), 0);
    EXPECT_EQ(parseConfigInt(""), 0);
    EXPECT_EQ(parseConfigInt("\t-5"), -5);
    EXPECT_EQ(parseConfigInt("+7"), 7);
    EXPECT_EQ(parseConfigInt("- 5"), 0);
    EXPECT_EQ(parseConfigInt("1.6"), 1);
    // Every C space leads, its neighbours do not.
    EXPECT_EQ(parseConfigInt(" \t\n\v\f\r7"), 7);
    EXPECT_EQ(parseConfigInt("\r7"), 7);
    EXPECT_EQ(parseConfigInt("\x08" "7"), 0);
    EXPECT_EQ(parseConfigInt("\x0e" "7"), 0);
}

TEST(ConfigInt, ClampsAtTheIntRange) {
    EXPECT_EQ(parseConfigInt("2147483647"), 2147483647);
    EXPECT_EQ(parseConfigInt("2147483648"), 2147483647);
    EXPECT_EQ(parseConfigInt("99999999999999999999999"), 2147483647);
    EXPECT_EQ(parseConfigInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseConfigInt("-2147483649"), INT32_MIN);
    EXPECT_EQ(parseConfigInt("-99999999999999999999999"), INT32_MIN);
}

TEST(ConfigColor, CombinesComponentsAsColorref) {
    EXPECT_EQ(parseConfigColor("0,0,0"), 0u);
    EXPECT_EQ(parseConfigColor("255,128,0"), 255u + 128u * 256u);
    EXPECT_EQ(parseConfigColor("1,2,3"), 1u + 2u * 256u + 3u * 65536u);
    EXPECT_EQ(parseConfigColor("256,257,-1"), 0u + 1u * 256u + 255u * 65536u);
    EXPECT_EQ(parseConfigColor("9"), 9u);
    EXPECT_EQ(parseConfigColor("9,"), 9u);
    EXPECT_EQ(parseConfigColor(""), 0u);
    EXPECT_EQ(parseConfigColor(",5,6"), 5u * 256u + 6u * 65536u);
}

TEST(ConfigStore, GettersTreatMissingAndEmptyAlike) {
    configStore().narrow[500] = "";
    configStore().narrow[501] = "12 monkeys";
    EXPECT_STREQ(getConfigString(499), "");
    EXPECT_STREQ(getConfigString(500), "");
    EXPECT_EQ(getConfigInt(499), 0);
    EXPECT_EQ(getConfigInt(500), 0);
    EXPECT_EQ(getConfigInt(501), 12);
    EXPECT_TRUE(getConfigBool(501));
}

// Each copy gets a buffer larger than the capacity it is told, filled with
// '#': whatever lies at or behind the capacity must still be '#'.
TEST(BoundedCopy, ExactFitsCutOrRefuseAndNeverWriteBehind) {
    const struct {
        const char* text;
        size_t capacity;
        bool cutWhole;
        const char* cut;
        bool wholeWhole;
        const char* whole;
    } cases[] = {
        {"abc", 4, true, "abc", true, "abc"},       // exactly fits with its terminator
        {"abcd", 4, false, "abc", false, ""},       // as long as the buffer
        {"abcde", 4, false, "abc", false, ""},
        {"", 1, true, "", true, ""},
        {"a", 1, false, "", false, ""},
        {"", 0, false, nullptr, false, nullptr},   // no room: nothing written
        {"abc", 0, false, nullptr, false, nullptr},
    };
    for (const auto& c : cases) {
        for (bool cut : {true, false}) {
            char buffer[16];
            std::memset(buffer, '#', sizeof buffer);
            const bool ok = cut ? copyCut(buffer, c.capacity, c.text) : copyWhole(buffer, c.capacity, c.text);
            const char* expected = cut ? c.cut : c.whole;
            const std::string label = std::string(cut ? "cut" : "whole") + " \"" + c.text + "\" into " +
                                      std::to_string(c.capacity);
            EXPECT_EQ(ok, cut ? c.cutWhole : c.wholeWhole) << label;
            if (expected)
                EXPECT_STREQ(buffer, expected) << label;
            for (size_t i = c.capacity; i < sizeof buffer; ++i)
                EXPECT_EQ(buffer[i], '#') << label << ": byte " << i << " written";
        }
    }

    // The record getter cuts by the same rule.
    configStore().narrow[502] = "12 monkeys";
    char exact[11];
    EXPECT_TRUE(getConfigString(502, exact, sizeof exact));
    EXPECT_STREQ(exact, "12 monkeys");
    char guarded[12];
    std::memset(guarded, '#', sizeof guarded);
    EXPECT_FALSE(getConfigString(502, guarded, 10));
    EXPECT_STREQ(guarded, "12 monkey");
    EXPECT_EQ(guarded[10], '#');
    EXPECT_EQ(guarded[11], '#');
}

TEST(MessageText, OnlyTheFirstPlaceholderIsReplaced) {
    EXPECT_EQ(fillPlaceholders("An internal error occurred (error code: {0})", "16", nullptr, nullptr),
              "An internal error occurred (error code: 16)");
    EXPECT_EQ(fillPlaceholders("{0} and {0}", "x", nullptr, nullptr), "x and {0}");
    EXPECT_EQ(fillPlaceholders("no placeholder", "x", nullptr, nullptr), "no placeholder");
    EXPECT_EQ(fillPlaceholders("{0}", "{0}", nullptr, nullptr), "{0}");
    // A message without an argument reads as written, placeholders and all.
    EXPECT_EQ(fillPlaceholders("The JVM could not be started. {0}{1}", nullptr, nullptr, nullptr),
              "The JVM could not be started. {0}{1}");
}

TEST(MessageText, RecordsTheConfigurationLeavesOutReadAsBuiltIn) {
    configStore() = ConfigStore();
    configStore().narrow[1010] = "Couldn't load main class.";
    configStore().narrow[1011] = "";
    EXPECT_STREQ(messageText(1010), "Couldn't load main class.");
    EXPECT_STREQ(messageText(1011), builtInMessage(1011));
    EXPECT_STREQ(messageText(1000), "Error");
    // The Java failure that ended the start is named where the launcher knows it.
    EXPECT_EQ(fillPlaceholders(messageText(1005), nullptr, "java.lang.ClassNotFoundException: com.acme.Mian", nullptr),
              "The application could not be started.\n\njava.lang.ClassNotFoundException: com.acme.Mian");
    EXPECT_EQ(fillPlaceholders(messageText(1016), "64", "17 or later", "none"),
              "No suitable JVM could be found on your system.\nThis application needs Java 17 or later; found: "
              "none.\nPlease define KORVO_JAVA_HOME\nto point to an installed 64-bit JDK or JRE.");
    // Ids that are no message keep the store's answer.
    EXPECT_STREQ(messageText(122), "");
    configStore() = ConfigStore();
}

}  // namespace
