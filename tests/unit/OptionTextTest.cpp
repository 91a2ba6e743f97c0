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
