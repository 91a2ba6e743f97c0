#include <gtest/gtest.h>

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

    char small[4];
    EXPECT_FALSE(getConfigString(501, small, sizeof small));
    EXPECT_STREQ(small, "12 ");
    char exact[11];
    EXPECT_TRUE(getConfigString(501, exact, sizeof exact));
    EXPECT_STREQ(exact, "12 monkeys");
}

TEST(MessageText, OnlyTheFirstPlaceholderIsReplaced) {
    EXPECT_EQ(replaceFirstPlaceholder("An internal error occurred (error code: {0})", "16"),
              "An internal error occurred (error code: 16)");
    EXPECT_EQ(replaceFirstPlaceholder("{0} and {0}", "x"), "x and {0}");
    EXPECT_EQ(replaceFirstPlaceholder("no placeholder", "x"), "no placeholder");
    EXPECT_EQ(replaceFirstPlaceholder("{0}", "{0}"), "{0}");
}

}  // namespace
