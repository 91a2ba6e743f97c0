#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
    // A whole file: the mark of the first line only, comments and blank
    // lines skipped, a line past the buffer in pieces of 8191 bytes.
    std::string file = "\xEF\xBB\xBF# first\r\n  -Xmx1g  \n\n\xEF\xBB\xBF-Dx\n-Dlong=" + std::string(9000, 'x') + "\n";
    FILE* in = fmemopen(file.data(), file.size(), "r");
    ASSERT_NE(in, nullptr);
    int marks = 0;
    std::vector<std::string> lines;
    readOptionLines(in, [&] { ++marks; }, [&](std::string& line) { lines.push_back(line); });
    std::fclose(in);
    EXPECT_EQ(marks, 1);
    const std::string longLine = "-Dlong=" + std::string(9000, 'x');
    EXPECT_EQ(lines, (std::vector<std::string>{"-Xmx1g", "\xEF\xBB\xBF-Dx", longLine.substr(0, 8191),
                                               longLine.substr(8191)}));
}

using Words = std::vector<std::string>;

TEST(ModuleOptions, TwoWordsBecomeTheOneWordTheVmReads) {
    struct Case {
        Words words;
        bool joinIncludes;
        Words texts;
    };
    const Case cases[] = {
        {{"--add-opens", "java.base/java.lang=ALL-UNNAMED", "-Xmx1g"}, true,
         {"--add-opens=java.base/java.lang=ALL-UNNAMED", "-Xmx1g"}},
        {{"-p", "mods", "--add-modules", "a,b", "--limit-modules", "java.base"}, false,
         {"--module-path=mods", "--add-modules=a,b", "--limit-modules=java.base"}},
        {{"--patch-module", "m=p", "--upgrade-module-path", "u", "--add-exports", "e", "--add-reads", "r",
          "--enable-native-access", "ALL-UNNAMED", "--module-path", "x"}, false,
         {"--patch-module=m=p", "--upgrade-module-path=u", "--add-exports=e", "--add-reads=r",
          "--enable-native-access=ALL-UNNAMED", "--module-path=x"}},
        // Written in one word, or the last word without its value: as written.
        {{"--add-opens=a=b", "--add-opens"}, true, {"--add-opens=a=b", "--add-opens"}},
        {{"-include-options", "more.vmoptions", "-include-options"}, true,
         {"-include-options more.vmoptions", "-include-options"}},
        {{"-include-options", "x"}, false, {"-include-options", "x"}},
        // The directive is no value; the next option is, as the java command takes it.
        {{"--add-opens", "-include-options", "f"}, true, {"--add-opens", "-include-options f"}},
        {{"--add-opens", "--add-exports", "x"}, true, {"--add-opens=--add-exports", "x"}},
        {{"-P", "x", "--Add-Opens", "y", "-p=x"}, true, {"-P", "x", "--Add-Opens", "y", "-p=x"}},
        {{}, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joinOptionWords(c.words, c.joinIncludes), c.texts) << ::testing::PrintToString(c.words);
}

TEST(ModuleOptions, OptionsFileLines) {
    EXPECT_EQ(joinOptionLine("--add-opens java.base/java.util=ALL-UNNAMED"),
              "--add-opens=java.base/java.util=ALL-UNNAMED");
    EXPECT_EQ(joinOptionLine("-p \t mods dir"), "--module-path=mods dir");
    EXPECT_EQ(joinOptionLine("--add-opens=a=b"), "--add-opens=a=b");
    EXPECT_EQ(joinOptionLine("--add-opens"), "--add-opens");
    EXPECT_EQ(joinOptionLine("--add-opens\t"), "--add-opens\t");
    EXPECT_EQ(joinOptionLine("-Dx=--add-opens y"), "-Dx=--add-opens y");
    EXPECT_EQ(joinOptionLine(""), "");

    // A module option alone on its line takes the next option line.
    const std::vector<std::pair<Words, Words>> files = {
        {{"--add-opens", "java.base/java.lang=ALL-UNNAMED", "-Xmx1g"},
         {"--add-opens=java.base/java.lang=ALL-UNNAMED", "-Xmx1g"}},
        {{"-p", "--add-exports a=b"}, {"--module-path=--add-exports a=b"}},
        {{"--add-opens", "-classpath/a x.jar", "-p"}, {"--add-opens", "-classpath/a x.jar", "-p"}},
        {{"--add-reads", "-include-options f", "--add-reads r"}, {"--add-reads", "-include-options f", "--add-reads=r"}},
    };
    for (const auto& [lines, texts] : files) {
        OptionFileLines reader;
        Words got;
        for (const std::string& line : lines)
            for (std::string& text : reader.take(line))
                got.push_back(text);
        for (std::string& text : reader.finish())
            got.push_back(text);
        EXPECT_EQ(got, texts) << ::testing::PrintToString(lines);
        EXPECT_TRUE(reader.finish().empty());
    }
}

TEST(ModuleOptions, OptionsOnlyTheJavaCommandReadsAreNamed) {
    for (const char* option : {"-jar", "-jar app.jar", "-cp", "-classpath", "-cp lib/a.jar", "--class-path",
                               "--class-path=a.jar", "-m", "--module", "--module=m/c", "-splash:s.png", "--dry-run",
                               "-version", "--version", "-showversion", "@argfile", "@"})
        EXPECT_NE(javaCommandOnlyAdvice(option), nullptr) << option;
    for (const char* option : {"-Xmx1g", "-jarx", "-cpu", "-mx64m", "-version:1.8", "--add-opens=a=b", "-Dx=@y",
                               "-splash", "", "-Djava.class.path=x"})
        EXPECT_EQ(javaCommandOnlyAdvice(option), nullptr) << option;
    EXPECT_NE(std::string(javaCommandOnlyAdvice("@x")).find("-include-options"), std::string::npos);
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
