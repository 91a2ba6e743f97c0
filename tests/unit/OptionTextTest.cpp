#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
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
}

struct FileLines {
    std::vector<std::string> lines;
    std::vector<int> numbers;
    std::vector<OptionFileForm> marks;
    bool operator==(const FileLines&) const = default;
};

// What the reader hands on of `bytes`, arriving in reads of `chunk` bytes.
// UTF-16 pieces are made narrow as UTF-8, marked where they were cut.
FileLines readFile(std::string_view bytes, size_t chunk) {
    FileLines read;
    OptionFileDecoder decoder({[&](OptionFileForm form) { read.marks.push_back(form); },
                               [](std::u16string_view piece, int) {
                                   std::string out;
                                   for (size_t i = 0; i < piece.size(); ++i) {
                                       char32_t c = piece[i];
                                       if (c >= 0xD800 && c <= 0xDBFF && i + 1 < piece.size())
                                           c = 0x10000 + ((c - 0xD800) << 10) + (piece[++i] - 0xDC00);
                                       else if (c >= 0xD800 && c <= 0xDFFF)
                                           return out + "<cut pair>";
                                       if (c < 0x80) {
                                           out += char(c);
                                       } else if (c < 0x800) {
                                           out += char(0xC0 | (c >> 6));
                                           out += char(0x80 | (c & 0x3F));
                                       } else if (c < 0x10000) {
                                           out += char(0xE0 | (c >> 12));
                                           out += char(0x80 | ((c >> 6) & 0x3F));
                                           out += char(0x80 | (c & 0x3F));
                                       } else {
                                           out += char(0xF0 | (c >> 18));
                                           out += char(0x80 | ((c >> 12) & 0x3F));
                                           out += char(0x80 | ((c >> 6) & 0x3F));
                                           out += char(0x80 | (c & 0x3F));
                                       }
                                   }
                                   return out;
                               },
                               [&](std::string& line, int number) {
                                   read.lines.push_back(line);
                                   read.numbers.push_back(number);
                               }});
    for (size_t at = 0; at < bytes.size(); at += chunk)
        decoder.feed(bytes.substr(at, chunk));
    decoder.finish();
    return read;
}

std::string utf16(std::u16string_view text, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : text) {
        out += char(little ? u & 0xFF : u >> 8);
        out += char(little ? u >> 8 : u & 0xFF);
    }
    return out;
}

TEST(OptionsFile, FormsMarksPiecesAndEnds) {
    using F = OptionFileForm;
    const std::string longLine = "-Dlong=" + std::string(9000, 'x');
    const std::u16string wideLong = u"-Dw=" + std::u16string(8186, u'x') + u"\U0001F600z";
    const struct {
        std::string bytes;
        FileLines expected;
    } cases[] = {
        // Notepad's UTF-8 mark belongs to no option; one further in, or a
        // second one, is text like any other. A line past the buffer comes
        // in pieces of 8191 bytes.
        {"\xEF\xBB\xBF# first\r\n  -Xmx1g  \n\n\xEF\xBB\xBF-Dx\n" + longLine + "\n",
         {{"-Xmx1g", "\xEF\xBB\xBF-Dx", longLine.substr(0, 8191), longLine.substr(8191)}, {2, 4, 5, 5}, {F::utf8Mark}}},
        {"\xEF\xBB\xBF\xEF\xBB\xBF-X", {{"\xEF\xBB\xBF-X"}, {1}, {F::utf8Mark}}},
        {"\xEF\xBB", {{"\xEF\xBB"}, {1}, {}}},
        {" \xEF\xBB\xBF-X", {{"\xEF\xBB\xBF-X"}, {1}, {}}},
        {"\xFF-X\n", {{"\xFF-X"}, {1}, {}}},
        // UTF-16 with its mark, as Notepad's "Unicode" and PowerShell 5
        // write it, in either byte order: read as UTF-16, not as "\xFF\xFE-".
        {utf16(u"# c\r\n  -Xmx1g \r\n-Dname=\u65E5\u672C\u00E9\r\n\r\n-Dlast", true),
         {{"-Xmx1g", "-Dname=\xE6\x97\xA5\xE6\x9C\xAC\xC3\xA9", "-Dlast"}, {2, 3, 5}, {F::utf16le}}},
        {utf16(u"-Da=1\n-Db=\u20AC\n", false), {{"-Da=1", "-Db=\xE2\x82\xAC"}, {1, 2}, {F::utf16be}}},
        {utf16(u"-Da\u001A-Db\n", true) + "\x41", {{"-Da\x1A-Db"}, {1}, {F::utf16le}}},  // an odd last byte is none
        {"\xFF\xFE", {{}, {}, {F::utf16le}}},
        // A pair at the end of a piece goes whole into the next one.
        {utf16(wideLong, true), {{"-Dw=" + std::string(8186, 'x'), "\xF0\x9F\x98\x80z"}, {1, 1}, {F::utf16le}}},
        // Ctrl-Z ends a file in the code page, as text mode reads it; a NUL
        // ends the text of its piece.
        {"-Da\n\x1A-Db\n", {{"-Da"}, {1}, {}}},
        {std::string("-Da\0junk\n-Db\n", 13), {{"-Da", "-Db"}, {1, 2}, {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readFile(c.bytes, c.bytes.size() + 1), c.expected) << c.bytes.substr(0, 40);
        // Whatever the reads bring at once.
        for (size_t chunk : {1, 2, 3, 5})
            EXPECT_EQ(readFile(c.bytes, chunk), c.expected) << chunk << " " << c.bytes.substr(0, 40);
    }
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
}

TEST(ClassPathEntries, WildcardsTakeTheArchivesTheCodePageCanName) {
    const auto file = [](std::u16string name, std::u16string shortName = {}) {
        return FolderEntry{std::move(name), std::move(shortName), false};
    };
    std::map<std::string, std::vector<FolderEntry>> folders = {
        {"C:\\app\\lib",
         {file(u"b.jar"), file(u"readme.txt"), file(u"A.JAR"), file(u"c.jar.bak"), file(u"B.jar"), file(u"x.jarx"),
          file(u".jar"), file(u"a0.Jar"), file(u"\u00E9.jar"), file(u"z.jar"), FolderEntry{u"folder.jar", u"", true},
          file(u"\u65E5\u672C.jar", u"8C5D~1.JAR"), file(u"\u4E2D.jar")}},
        {"C:\\app\\other", {file(u"lib.zip"), file(u"jar"), file(u"\u4E2D.jar")}},
        {"C:", {file(u"root.jar")}},
    };
    std::vector<std::string> log;
    ArchiveSystem system;
    system.absolute = [](const std::string& p) { return p.size() > 1 && p[1] == ':' ? p : "C:\\app\\" + p; };
    system.exists = [](const std::string& p) { return p == "C:\\app\\there.jar"; };
    system.list = [&](const std::string& f) { return folders.count(f) ? folders[f] : std::vector<FolderEntry>{}; };
    // A Western code page: Latin-1 letters only.
    system.narrow = [](std::u16string_view name) -> std::optional<std::string> {
        std::string out;
        for (char16_t c : name) {
            if (c > 0xFF)
                return std::nullopt;
            out += char(c);
        }
        return out;
    };
    system.log = [&](const std::string& line) { log.push_back(line); };
    using Paths = std::vector<std::string>;
    const Paths lib = {"C:\\app\\lib\\A.JAR", "C:\\app\\lib\\a0.Jar", "C:\\app\\lib\\B.jar",
                       "C:\\app\\lib\\b.jar", "C:\\app\\lib\\z.jar", "C:\\app\\lib\\\xE9.jar",
                       "C:\\app\\lib\\8C5D~1.JAR"};
    const struct {
        const char* text;
        Paths paths;
        bool found;
    } cases[] = {
        // Archives only, any letter case, in name order with case ignored;
        // a name the code page lacks letters of by its short name, or not at
        // all; the ".\" of the folder dropped.
        {".\\lib\\*", lib, true},
        {"lib\\*.JAR", lib, true},
        {"C:\\*", {"C:\\root.jar"}, true},
        // Nothing left is nothing found, which a mandatory entry refuses.
        {".\\other\\*.jar", {}, false},
        {"nothing\\*", {}, false},
        {"there.jar;lib\\*", Paths{"C:\\app\\there.jar"}, true},
        {"missing.jar;other\\*", {"C:\\app\\missing.jar"}, false},
    };
    for (const auto& c : cases) {
        const ArchiveEntry entry = expandArchiveEntry(c.text, system);
        Paths expected = c.paths;
        if (std::string_view(c.text).starts_with("there.jar"))
            expected.insert(expected.end(), lib.begin(), lib.end());
        EXPECT_EQ(entry.paths, expected) << c.text;
        EXPECT_EQ(entry.found, c.found) << c.text;
    }
    EXPECT_NE(std::find(log.begin(), log.end(), "class path .\\lib\\*: 7 archives in C:\\app\\lib"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "class path .\\lib\\*: \\u4E2D.jar left out: the ANSI code page lacks letters of its name, "
                        "and it has no short name"),
              log.end());
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
