#include <gtest/gtest.h>

#include <string>

#include "jvm/OptionText.h"

namespace {

TEST(OptionLine, DirectivesNeedTheirTrailingSpace) {
    struct Case {
        const char* text;
        OptionLineKind kind;
        const char* rest;
    };
    const Case cases[] = {
        {"-include-options more.vmoptions", OptionLineKind::includeOptions, "more.vmoptions"},
        {"-include-options", OptionLineKind::option, "-include-options"},
        {"-classpath a.jar;b.jar", OptionLineKind::classPathReplace, "a.jar;b.jar"},
        {"-classpath", OptionLineKind::option, "-classpath"},
        {"-classpath/p pre.jar", OptionLineKind::classPathPrepend, "pre.jar"},
        {"-classpath/a post.jar", OptionLineKind::classPathAppend, "post.jar"},
        {"-classpath/x y", OptionLineKind::option, "-classpath/x y"},
        {"-Xmx1g", OptionLineKind::option, "-Xmx1g"},
        {"-classpath  two spaces", OptionLineKind::classPathReplace, " two spaces"},
    };
    for (const Case& c : cases) {
        const OptionLine line = classifyOptionLine(c.text);
        EXPECT_EQ(line.kind, c.kind) << c.text;
        EXPECT_EQ(line.rest, c.rest) << c.text;
    }
}

TEST(OptionLine, TrimmingAndComments) {
    auto trimmed = [](std::string s, bool keep) {
        EXPECT_EQ(trimOptionLine(s), keep) << s;
        return s;
    };
    EXPECT_EQ(trimmed("   -Xmx1g   \r\n", true), "-Xmx1g");
    EXPECT_EQ(trimmed("-Dx=a#b\n", true), "-Dx=a#b");
    EXPECT_EQ(trimmed("   # comment\n", false), "# comment");
    EXPECT_EQ(trimmed("   \r\n", false), "");
    EXPECT_EQ(trimmed("\n", false), "");
    // Tabs are not trimmed, so a tab-indented "#" is an option.
    EXPECT_EQ(trimmed("\t#x\t\n", true), "\t#x\t");
    EXPECT_EQ(trimmed("-Da=b\r\r\n\n", true), "-Da=b");
    // Notepad's byte-order mark is no part of the first option; a second
    // one, or one further in, is text like any other.
    std::string first = "\xEF\xBB\xBF-Xmx1g\r\n";
    EXPECT_TRUE(dropUtf8ByteOrderMark(first));
    EXPECT_EQ(trimmed(first, true), "-Xmx1g");
    first = "\xEF\xBB\xBF\xEF\xBB\xBF-Xmx1g";
    EXPECT_TRUE(dropUtf8ByteOrderMark(first));
    EXPECT_EQ(first, "\xEF\xBB\xBF-Xmx1g");
    for (const char* plain : {"-Xmx1g", " \xEF\xBB\xBF-X", "\xEF\xBB", ""}) {
        std::string line = plain;
        EXPECT_FALSE(dropUtf8ByteOrderMark(line)) << plain;
        EXPECT_EQ(line, plain);
    }
}

TEST(ClassPathEntries, TypeFlagAndText) {
    ClassPathEntry e = parseClassPathEntry("A1.\\lib\\x.jar");
    EXPECT_EQ(e.type, 'A');
    EXPECT_TRUE(e.mandatory);
    EXPECT_EQ(e.text, ".\\lib\\x.jar");
    e = parseClassPathEntry("D0.\\lang");
    EXPECT_FALSE(e.mandatory);
    e = parseClassPathEntry("Sx");
    EXPECT_EQ(e.type, 'S');
    EXPECT_FALSE(e.mandatory);
    EXPECT_EQ(e.text, "");
    e = parseClassPathEntry("A1");
    EXPECT_EQ(e.type, 'A');
    EXPECT_TRUE(e.mandatory);
    EXPECT_EQ(e.text, "");
    e = parseClassPathEntry("E");
    EXPECT_EQ(e.type, 'E');
    EXPECT_EQ(e.text, "");
}

TEST(ClassPathEntries, Wildcards) {
    const struct {
        const char* path;
        const char* folder;  // nullptr: no wildcard
    } cases[] = {
        {".\\lib\\*", ".\\lib"},
        {".\\lib\\*.jar", ".\\lib"},
        {"lib/*.JAR", "lib"},
        {"C:\\app\\lib\\*.Jar", "C:\\app\\lib"},
        {"*", "."},
        {"*.jar", "."},
        {".\\lib\\*.zip", nullptr},
        {".\\lib\\a*.jar", nullptr},
        {".\\lib\\*\\x.jar", nullptr},
        {".\\lib\\*.jarx", nullptr},
        {".\\lib\\x.jar", nullptr},
        {".\\lib\\", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> folder = classPathWildcardFolder(c.path);
        EXPECT_EQ(folder.has_value(), c.folder != nullptr) << c.path;
        if (folder && c.folder)
            EXPECT_EQ(*folder, c.folder) << c.path;
    }
    // Archives only, any letter case, in name order with case ignored.
    EXPECT_EQ(wildcardArchives({"b.jar", "readme.txt", "A.JAR", "c.jar.bak", "B.jar", "x.jarx", ".jar", "a0.Jar",
                                "\xE9.jar", "z.jar"}),
              (std::vector<std::string>{"A.JAR", "a0.Jar", "B.jar", "b.jar", "z.jar", "\xE9.jar"}));
    EXPECT_TRUE(wildcardArchives({"lib.zip", "jar"}).empty());
}

TEST(ClassPathEntries, VariableValues) {
    EXPECT_EQ(classPathValueOfVariable("C:\\a.jar"), "C:\\a.jar;");
    EXPECT_EQ(classPathValueOfVariable("C:\\a.jar;C:\\b.jar;"), "C:\\a.jar;C:\\b.jar;");
    EXPECT_EQ(classPathValueOfVariable("\"C:\\My Dir\\a.jar\""), "C:\\My Dir\\a.jar;");
    EXPECT_EQ(classPathValueOfVariable("\"only-leading"), "\"only-leading;");
    // The shortest quoted value, and a lone quote that encloses nothing.
    EXPECT_EQ(classPathValueOfVariable("\"\""), ";");
    EXPECT_EQ(classPathValueOfVariable("\"x\""), "x;");
    EXPECT_EQ(classPathValueOfVariable("\""), "\";");
    EXPECT_EQ(classPathValueOfVariable(""), ";");
}

TEST(ClassPathText, RefusesWholePiecesAtTheLimit) {
    ClassPathText cp;
    const size_t prefix = cp.text().size();
    const std::string piece(ClassPathText::kCapacity - prefix - 2, 'x');
    EXPECT_TRUE(cp.append(piece));
    EXPECT_TRUE(cp.append(";"));
    EXPECT_EQ(cp.text().size(), ClassPathText::kCapacity - 1);
    EXPECT_FALSE(cp.append("y")) << "no room left for the terminator";
    EXPECT_EQ(cp.text().size(), ClassPathText::kCapacity - 1);
    EXPECT_TRUE(cp.endsWith(';'));
}

}  // namespace
