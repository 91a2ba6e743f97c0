#include <gtest/gtest.h>

#include "core/PathText.h"

namespace {

TEST(IsRelativePath, DrivesQuotesAndNetworkPaths) {
    EXPECT_TRUE(isRelativePath("ab"));
    EXPECT_TRUE(isRelativePath("c:"));
    EXPECT_FALSE(isRelativePath("c:\\x"));
    EXPECT_FALSE(isRelativePath("\"c:\\x"));
    EXPECT_TRUE(isRelativePath("\"c:"));
    EXPECT_FALSE(isRelativePath("\\\\server\\share"));
    EXPECT_FALSE(isRelativePath("\"\\\\server\\share"));
    EXPECT_TRUE(isRelativePath("\\dir"));
    EXPECT_TRUE(isRelativePath("c:dir"));
    EXPECT_TRUE(isRelativePath(".\\lib\\a.jar"));
    EXPECT_TRUE(isRelativePath(""));
}

TEST(CollapseBackslashes, RunsBecomeOneButALeadingPairStays) {
    auto collapsed = [](std::string s) {
        collapseBackslashesText(s);
        return s;
    };
    EXPECT_EQ(collapsed("C:\\\\\\\\dir\\\\x"), "C:\\dir\\x");
    EXPECT_EQ(collapsed("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(collapsed("\\\\\\server\\\\share"), "\\\\server\\share");
    EXPECT_EQ(collapsed("a\\"), "a\\");
    EXPECT_EQ(collapsed("\\"), "\\");
    EXPECT_EQ(collapsed(""), "");
    std::u16string wide = u"C:\\\\x\\\\\\y";
    collapseBackslashesText(wide);
    EXPECT_EQ(wide, u"C:\\x\\y");
}

TEST(LowerCase, OnlyAsciiLetters) {
    std::u16string s = u"C:\\Program Files\\\u00c4PP";
    lowerCaseAsciiText(s);
    EXPECT_EQ(s, u"c:\\program files\\\u00c4pp");
}

TEST(DriveRoot, ExistsWithoutAsking) {
    EXPECT_TRUE(isDriveRootText("c:\\"));
    EXPECT_TRUE(isDriveRootText("q:\\."));
    EXPECT_TRUE(isDriveRootText("q:\\.\\."));
    EXPECT_FALSE(isDriveRootText("c:"));
    EXPECT_FALSE(isDriveRootText("c:\\x"));
    EXPECT_FALSE(isDriveRootText(":\\"));
}

}  // namespace
