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
    EXPECT_TRUE(isRelativePath("\"c:dir"));
    EXPECT_TRUE(isRelativePath("c:/x"));
    EXPECT_FALSE(isRelativePath("c:\\"));
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
    // The neighbours of both letter ranges, and letters beyond ASCII.
    std::u16string s = u"@AMZ[`amz{\u00c0\u00c4\u00de\u0130\u0391\uff21";
    lowerCaseAsciiText(s);
    EXPECT_EQ(s, u"@amz[`amz{\u00c0\u00c4\u00de\u0130\u0391\uff21");
    std::u16string path = u"C:\\Program Files\\\u00c4PP";
    lowerCaseAsciiText(path);
    EXPECT_EQ(path, u"c:\\program files\\\u00c4pp");
    // Compared the same way, a narrow name against a wide one too.
    EXPECT_TRUE(equalsIgnoringAsciiCase(std::u16string_view(u"Zip.JAR"), std::string_view("zIP.jar")));
    EXPECT_FALSE(equalsIgnoringAsciiCase(std::u16string_view(u"\u00c4"), std::u16string_view(u"\u00e4")));
    EXPECT_FALSE(equalsIgnoringAsciiCase(std::string_view("a["), std::string_view("A{")));
    // A prefix is no match, even where the text goes on behind it.
    EXPECT_FALSE(equalsIgnoringAsciiCase(std::string_view("ab"), std::string_view("ab", 1)));
}

TEST(DriveRoot, ExistsWithoutAsking) {
    EXPECT_TRUE(isDriveRootText("c:\\"));
    EXPECT_TRUE(isDriveRootText("q:\\."));
    EXPECT_TRUE(isDriveRootText("q:\\.\\."));
    EXPECT_FALSE(isDriveRootText("c:"));
    EXPECT_FALSE(isDriveRootText("c:\\x"));
    EXPECT_FALSE(isDriveRootText(":\\"));
    EXPECT_FALSE(isDriveRootText("c:\\.."));
    EXPECT_FALSE(isDriveRootText("c:\\.\\.\\."));
}

TEST(DirectoryOfFullPath, UpToTheFilePart) {
    EXPECT_EQ(directoryOfFullPath("C:\\dir\\app.exe", 7), "C:\\dir\\");
    EXPECT_EQ(directoryOfFullPath("C:\\dir\\", 7), "C:\\dir\\");
    EXPECT_EQ(directoryOfFullPath("C:\\dir", 8), "C:\\dir");
    EXPECT_EQ(directoryOfFullPath("C:\\dir", 0), "");
}

TEST(WithoutDotParts, OnlySingleDotsGo) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\out\\.\\lib", "C:\\out\\lib"},   {"C:\\out\\.\\.\\lib\\.", "C:\\out\\lib"},
        {"C:\\.", "C:\\"},                       {"C:\\lib\\", "C:\\lib\\"},
        {".\\lib", "lib"},                        {".", "."},
        {"\\\\srv\\share\\.\\x", "\\\\srv\\share\\x"}, {"C:\\a\\..\\b", "C:\\a\\..\\b"},
        {"lib/./x.jar", "lib/x.jar"},               {"a.\\.b", "a.\\.b"},
        {"", ""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(withoutDotParts(path), expected) << path;
}

}  // namespace
