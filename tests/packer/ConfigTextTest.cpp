#include <gtest/gtest.h>

#include <cstring>

#include "core/ConfigStore.h"
#include "tools/kvo-pack/ConfigCheck.h"
#include "tools/kvo-pack/ConfigText.h"

using namespace kvopack;

namespace {

PackConfig parse(const std::string& text, const char* page = "1252") {
    CodePage cp(page);
    return parseConfigText(text, "app.kvo", cp);
}

// The message of the PackError that parsing `text` throws, or "" if none.
std::string errorOf(const std::string& text, const char* page = "1252") {
    try {
        parse(text, page);
    } catch (const PackError& e) {
        return e.what();
    }
    return "";
}

TEST(ConfigText, LiteralValuesKeepBackslashesQuotesAndHashes) {
    const PackConfig c = parse(
        "ClassPath = A0.\\lib\\new.jar;D0.\\tools\n"
        "WorkingDirectory = \\\\server\\share\\temp\n"
        "VmOptions = \"-Dname=My App\" -Xmx1m # not a comment\n"
        "Arguments =\n");
    ASSERT_EQ(c.records.narrow.size(), 4u);
    EXPECT_EQ(c.records.narrow[0].value, "A0.\\lib\\new.jar;D0.\\tools");
    EXPECT_EQ(c.records.narrow[1].value, "\\\\server\\share\\temp");
    EXPECT_EQ(c.records.narrow[2].value, "\"-Dname=My App\" -Xmx1m # not a comment");
    EXPECT_EQ(c.records.narrow[3].value, "");
    EXPECT_EQ(c.records.narrow[2].id, rec::VmOptions);
}

TEST(ConfigText, EscapedValues) {
    const PackConfig c = parse(
        "1001 := one\\ntwo\\tthree\\\\four\\r\n"
        "1002 :=   \\x20padded\\t  \n"
        "1003 := \\u00E9\\xE9\\x81\n"
        "[wide]\n"
        "1004 := \\uD800\\x41\\u00E9\n");
    const auto& n = c.records.narrow;
    EXPECT_EQ(n[0].value, "one\ntwo\tthree\\four\r");
    EXPECT_EQ(n[1].value, " padded\t");
    // \u is converted to the code page, \x is taken as the byte it names.
    EXPECT_EQ(n[2].value, "\xE9\xE9\x81");
    EXPECT_EQ(c.records.wide[0].value, (std::u16string{0xD800, u'A', 0xE9}));
}

TEST(ConfigText, CommentsBlankLinesCrlfAndByteOrderMark) {
    const PackConfig c = parse("\xEF\xBB\xBF# heading\r\n\r\n   # indented\r\nMinJavaVersion = 1.6\r\n");
    ASSERT_EQ(c.records.narrow.size(), 1u);
    EXPECT_EQ(c.records.narrow[0].value, "1.6");
    // UTF-16 as PowerShell and Notepad save it, in either byte order, reads
    // as the same text, lines counted alike.
    const std::u16string text = u"# c\r\nApplicationName = \u00C9t\u00E9 \U0001F600\r\nFoo = 1\r\n";
    for (const bool big : {false, true}) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : text) {
            const char high = char(u >> 8), low = char(u & 0xFF);
            bytes += big ? std::string{high, low} : std::string{low, high};
        }
        EXPECT_EQ(errorOf(bytes, "UTF-8"), "app.kvo:3: unknown record name 'Foo'") << big;
        const std::string good = bytes.substr(0, bytes.size() - 18);
        const PackConfig wide = parse(good, "UTF-8");
        ASSERT_EQ(wide.records.narrow.size(), 1u) << big;
        EXPECT_EQ(wide.records.narrow[0].value, "\xC3\x89t\xC3\xA9 \xF0\x9F\x98\x80");
    }
}

TEST(ConfigText, SectionsKeepFileOrder) {
    const PackConfig c = parse(
        "128 = B.\\jre\n"
        "[wide]\n"
        "ApplicationName = Wide \xC3\xA9\n"
        "[locale de]\n"
        "1000 = Fehler\n"
        "[locale]\n"
        "1000 = Any\n"
        "[locale de]\n"
        "[narrow]\n"
        "-7 = back in the narrow list\n");
    const auto& r = c.records;
    ASSERT_EQ(r.narrow.size(), 2u);
    EXPECT_EQ(r.narrow[1].id, -7);
    EXPECT_EQ(r.wide[0].value, u"Wide \u00E9");
    ASSERT_EQ(r.locales.size(), 3u);
    EXPECT_EQ(r.locales[0].key, "de");
    EXPECT_EQ(r.locales[0].records[0].value, u"Fehler");
    EXPECT_EQ(r.locales[1].key, "");
    EXPECT_TRUE(r.locales[2].records.empty());
    EXPECT_FALSE(c.hasFilesSection);
}

TEST(ConfigText, ErrorsNameFileAndLine) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"\n\nFoo = 1\n", "app.kvo:3: unknown record name 'Foo'"},
        {"minjavaversion = 1\n", "app.kvo:1: unknown record name 'minjavaversion' (did you mean 'MinJavaVersion'?)"},
        {"# c\nApplicationName\n", "app.kvo:2: expected 'Name = value'"},
        {"= x\n", "app.kvo:1: nothing before '='"},
        {"[extra]\n", "app.kvo:1: unknown section '[extra]'"},
        {"[wide\n", "app.kvo:1: a section header must end with ']'"},
        {"1001 := a\\qb\n", "app.kvo:1: unknown escape '\\q'"},
        {"1001 := a\\x4\n", "app.kvo:1: \\x needs 2 hexadecimal digits"},
        {"1001 := a\\\n", "app.kvo:1: a lone backslash ends the value"},
        {"1001 := \\uDC00\n", "app.kvo:1: \\uDC00 is half of a surrogate pair"},
        {"1001 = a\x01z\n", "app.kvo:1: control character in the line; write it as \\x01"},
        {"1001 = \xC3(\n", "app.kvo:1: the line is not valid UTF-8"},
        {"99999999999 = x\n", "app.kvo:1: record id '99999999999' is not a 32-bit number"},
        {"IncludedFileCount = 2\n", "app.kvo:1: IncludedFileCount promises included files"},
        {"IncludedFileNames = a\n[files]\na = a\n", "app.kvo:1: IncludedFileNames is written by the packer"},
        {"[files]\na.dll = x\nA.DLL = y\n", "app.kvo:3: included file name 'A.DLL' is already listed on line 2"},
        {"[files]\na.dll =\n", "app.kvo:2: included file 'a.dll' has no path"},
        {"[files]\na = x\nA\\b = y\n",
         "app.kvo:3: included file name 'A\\b' needs a folder 'A', but line 2 names a file of that name"},
        {"[files]\nlib\\a = x\nlib\\b = x\nLIB = y\n",
         "app.kvo:4: included file name 'LIB' is the name of a folder that line 2 needs"},
        {"[files]\n\xC3\xA9.txt = x\n\xC3\x89.TXT = y\n",
         "app.kvo:3: included file name '\xC3\x89.TXT' is already listed on line 2"},
        {"SingelInstance = 1\n", "app.kvo:1: unknown record name 'SingelInstance' (did you mean 'SingleInstance'?)"},
        {"MainClas = a.B\n", "app.kvo:1: unknown record name 'MainClas' (did you mean 'MainClass'?)"},
        // Two swapped pairs are two slips, as a typist makes them, not four.
        {"ManiClsas = a.B\n", "app.kvo:1: unknown record name 'ManiClsas' (did you mean 'MainClass'?)"},
        // As far apart in length as the slips allowed: two in eleven letters.
        {"SplshEnabld = 1\n", "app.kvo:1: unknown record name 'SplshEnabld' (did you mean 'SplashEnabled'?)"},
        {"icon = app.ico\n", "app.kvo:1: unknown record name 'icon' (icon is a setting of the [resources] section"},
        {"[resources]\nicon = a.ico\nMainClass = a.B\n", "app.kvo:3: MainClass is a record, but this line is in the [resources] section of line 1"},
        {"[resources]\n[version]\n122 = a.B\n", "app.kvo:3: 122 is a record, but this line is in the [version] section of line 2"},
        {std::string("M\0a\0", 4), "app.kvo:1: the file looks like UTF-16 without a byte-order mark"},
        {std::string("\xFF\xFEM\0\n\0\x00\xD8", 8), "app.kvo:2: the UTF-16 text holds half of a surrogate pair"},
        {std::string("\xFE\xFF\0M\0", 5), "app.kvo:1: the UTF-16 text ends in the middle of a character"},
    };
    for (const auto& c : cases) {
        const std::string error = errorOf(c.text);
        EXPECT_EQ(error.substr(0, c.expected.size()), c.expected) << "text: " << c.text;
    }
    // A count of zero or less backs no data and needs no [files] section.
    EXPECT_EQ(errorOf("IncludedFileCount = 0\nIncludedFileNames =\n"), "");
    // Lines below a section that cannot be read are passed over, not read
    // as the section before; reading goes on at the next header.
    EXPECT_EQ(errorOf("[extra]\nFoo = 1\n[narrow]\nBar = 2\n"),
              "app.kvo:1: unknown section '[extra]' (sections are [narrow], [wide], [locale KEY], [files], "
              "[resources], [version] and [kvo-runtime])\napp.kvo:4: unknown record name 'Bar'");
    // A file of nothing but mistakes is named up to a bound, then left.
    std::string many;
    for (int i = 0; i < 150; ++i)
        many += "Foo\n";
    const PackConfig config = readConfigText(many, "app.kvo", CodePage("1252"));
    ASSERT_EQ(config.mistakes.size(), kMistakesNamed + 1);
    EXPECT_EQ(config.mistakes[kMistakesNamed - 1].line, int(kMistakesNamed));
    EXPECT_EQ(config.mistakes.back().text, "app.kvo:101: more than 100 mistakes; the rest of the file was not read");
}

TEST(ConfigText, CodePageConversion) {
    // l with stroke exists in windows-1250 but not in windows-1252.
    EXPECT_EQ(errorOf("\nApplicationName = \xC5\x82\n"),
              "app.kvo:2: '\xC5\x82' (U+0142) has no form in code page CP1252");
    EXPECT_EQ(parse("ApplicationName = \xC5\x82\n", "cp1250").records.narrow[0].value, "\xB3");
    EXPECT_EQ(parse("ApplicationName = \xD0\x9F\xD1\x80\n", "windows-1251").records.narrow[0].value,
              "\xCF\xF0");
    // Wide records take any character.
    EXPECT_EQ(errorOf("[wide]\nApplicationName = \xC5\x82\n"), "");
    EXPECT_EQ(errorOf("[locale :=\\u0142]\n"), "app.kvo:1: '\xC5\x82' (U+0142) has no form in code page CP1252");
    // One table per name on every host, and only characters that read back
    // as themselves: the launcher reads 0x5C as a backslash, 0x8160 as U+FF5E.
    const struct {
        const char* page;
        const char* utf8;
        const char* bytes;  // nullptr: refused
    } table[] = {
        {"SHIFT_JIS", "\xEF\xBD\x9E", "\x81\x60"},  // U+FF5E
        {"SHIFT_JIS", "\xE3\x80\x9C", nullptr},       // U+301C, read back as U+FF5E
        {"SHIFT_JIS", "\xC2\xA5", nullptr},            // U+00A5, read back as a backslash
        {"CP932", "\xC2\xA5", nullptr},
        {"CP932", "A\\B", "A\\B"},
        {"932", "\xE2\x80\x96", nullptr},             // U+2016, iconv's one-way mapping
        {"932", "\xEE\x80\x80", nullptr},             // U+E000, private use
        {"GBK", "\xE2\x82\xAC", "\x80"},             // U+20AC
        {"BIG5", "\xE2\x95\x90", nullptr},            // U+2550: two forms, the hosts differ
        {"UHC", "\xEA\xB0\x80", "\xB0\xA1"},        // U+AC00
        {"874", "\xC2\x81", nullptr},                  // C1 control
        {"KOI8-U", "\xD1\x9E", nullptr},               // U+045E, at 0xAE in one table only
        {"ISO-8859-7", "\xE2\x82\xAC", nullptr},      // U+20AC, in one edition only
        {"CP1258", "A\xC3\x82", "A\xC2"},
        {"UTF-8", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"US-ASCII", "\xC3\xA9", nullptr},
        // The numbers Windows gives the pages of five digits.
        {"65001", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"28591", "\xC3\xA9", "\xE9"},
        {"cp20866", "\xD0\x9F", "\xF0"},  // U+041F in KOI8-R
        {"20127", "\xC3\xA9", nullptr},
    };
    for (const auto& t : table) {
        const std::string text = std::string("ApplicationName = ") + t.utf8 + "\n";
        if (t.bytes)
            EXPECT_EQ(parse(text, t.page).records.narrow[0].value, t.bytes) << t.page << " " << t.utf8;
        else
            EXPECT_NE(errorOf(text, t.page).find("has no form in code page"), std::string::npos)
                << t.page << " " << t.utf8;
    }
    // The rule itself, whatever the host's table would make of a character.
    const struct {
        const char* page;
        char32_t cp;
        bool character;
    } rule[] = {{"1252", U'A', true}, {"1252", 0x7F, true}, {"1252", 0x80, false}, {"1252", 0x9F, false},
                {"1252", 0xA0, true}, {"437", 0x80, true},  {"1252", 0xE000, false}, {"950", 0x2550, false},
                {"936", 0x2550, true}, {"65001", 0xE000, true}};
    for (const auto& r : rule)
        EXPECT_EQ(isCodePageCharacter(codePageTable(r.page), r.cp), r.character) << r.page << " " << unsigned(r.cp);
    for (const char* unknown : {"no-such-page", "EUC-JP", "CP858", "UTF-16", "CP", "cp650010", "1200"})
        EXPECT_THROW(CodePage{unknown}, PackError) << unknown;
}

TEST(ConfigText, IncludedFileNames) {
    for (const char* good : {"a.dll", "lib\\x.jar", "data-1.bin", "My Files\\read me.txt"})
        EXPECT_EQ(includedNameProblem(good), nullptr) << good;
    for (const char* bad : {"", "a;b", "lib/x.jar", "\\abs", "C:x", "c:\\x", "..", "..\\x",
                            "a\\..", ".\\x", "a\\b\\c", "a\\\\b", "dir\\", "a|b", "nul",
                            "Com1.txt", "name.", "#x", "[x", "a=b", "a\xC2\x80", "a\xC2\x85", "a\xE2\x80\xA8" "b"})
        EXPECT_NE(includedNameProblem(bad), nullptr) << bad;
    EXPECT_EQ(errorOf("[files]\n..\\evil.dll = x\n").substr(0, 40),
              "app.kvo:2: included file name '..\\evil.d");
    const PackConfig c = parse("[files]\nlib\\a.jar = ../a.jar\nb := with\\x20\n");
    ASSERT_EQ(c.files.size(), 2u);
    EXPECT_EQ(c.files[0].path, "../a.jar");
    EXPECT_EQ(c.files[1].path, "with ");
    EXPECT_EQ(c.files[1].line, 3);
}

// What the checks before packing find in `text`: errors, then warnings.
ConfigFindings check(const std::string& text) {
    CodePage page("1252");
    const PackConfig config = readConfigText(text, "app.kvo", page);
    ConfigFindings f = checkConfig(config, "app.kvo", page);
    f.warnings.insert(f.warnings.begin(), config.warnings.begin(), config.warnings.end());
    return f;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

TEST(ConfigCheck, WhatTheLauncherCannotUseIsRefusedWithLineAndRightForm) {
    const std::string longName(32, 'x');
    const struct {
        std::string text;
        std::string expected;  // the one error, from its start
    } cases[] = {
        {"ClassPath = lib\\notes.jar\n", "app.kvo:2: ClassPath entry 'lib\\notes.jar' has no type letter: write A0lib\\notes.jar"},
        {"ClassPath = A.\\lib\\x.jar\n", "app.kvo:2: ClassPath entry 'A.\\lib\\x.jar' has no mandatory flag after its type letter, so its path would lose its first character: write A0.\\lib\\x.jar"},
        {"ClassPath = A0a.jar; A0b.jar\n", "app.kvo:2: ClassPath entry ' A0b.jar' begins with a blank"},
        {"ClassPath = a0c.jar\n", "app.kvo:2: ClassPath entry 'a0c.jar' begins with a small letter; type letters are capitals: write A0c.jar"},
        {"ClassPath = A1\n", "app.kvo:2: ClassPath entry 'A1' names nothing"},
        {"ClassPath = S0.\\lib\\*.jar\n", "app.kvo:2: ClassPath entry 'S0.\\lib\\*.jar': only A entries stand for every archive of a folder: write A0.\\lib\\*.jar"},
        {"JreSearchSequence = .\\jre\n", "app.kvo:2: JreSearchSequence entry '.\\jre' has no type letter: write B.\\jre"},
        {"JreSearchSequence = Y;JAVA_HOME\n", "app.kvo:2: JreSearchSequence entry 'JAVA_HOME' has no type letter: write EJAVA_HOME"},
        {"JreSearchSequence = B.\\jre;E\n", "app.kvo:2: JreSearchSequence entry 'E' names no environment variable"},
        {"JreSearchSequence = Y;%JAVA_HOME%\n", "app.kvo:2: JreSearchSequence entry '%JAVA_HOME%' has no type letter: write EJAVA_HOME"},
        {"JreSearchSequence = ${Jdk_Home}\n", "app.kvo:2: JreSearchSequence entry '${Jdk_Home}' has no type letter: write EJdk_Home"},
        {"JreSearchSequence = jre\n", "app.kvo:2: JreSearchSequence entry 'jre' has no type letter: write Bjre"},
        {"JavaDownloadUrl = example.com/java\n", "app.kvo:2: JavaDownloadUrl 'example.com/java' is no address the launcher would open: write it with http:// or https://, like https://example.com/java"},
        {"JavaDownloadUrl = file:///c:/setup.exe\n", "app.kvo:2: JavaDownloadUrl 'file:///c:/setup.exe' is no address the launcher would open: write an http:// or https:// address"},
        {"MainClass = a.B\nFoo = 1\n", "app.kvo:3: unknown record name 'Foo'"},
        {"JreSearchSequence = y\n", "app.kvo:2: JreSearchSequence entry 'y' begins with a small letter; type letters are capitals: write Y"},
        {"MinJavaVersion = eleven\n", "app.kvo:2: MinJavaVersion 'eleven' is no Java version: write a number such as 11"},
        {"MaxJavaVersion = Java 17\n", "app.kvo:2: MaxJavaVersion 'Java 17' is no Java version: write a number such as 11 or 17.0.2, or the old form 1.8 (MaxJavaVersion = 17?)"},
        {"MinJavaVersion = 1.x\n", "app.kvo:2: MinJavaVersion '1.x' is no Java version"},
        {"MinJavaVersion = 17\nMaxJavaVersion = 11\n", "app.kvo:2: MinJavaVersion '17' is above MaxJavaVersion '11' (line 3)"},
        {"MaxJavaVersion = 1.8\n\nMinJavaVersion = 11\n", "app.kvo:4: MinJavaVersion '11' is above MaxJavaVersion '1.8' (line 2)"},
        {"MinJavaVersion = 1.8\nMaxJavaVersion = 1.6\n", "app.kvo:2: MinJavaVersion '1.8' is above"},
        {"ExecutableType = gui\n", "app.kvo:2: ExecutableType is a number; 'gui' would read as 0: write it like 'ExecutableType = 1'. 1: GUI application"},
        {"SplashTopmost = yes\n", "app.kvo:2: SplashTopmost is a switch; 'yes' would read as 0 (off): write 1 for on or 0 for off"},
        {"107 = -x\n", "app.kvo:2: ExecutableType is a number; '-x' would read as 0"},
        {"StatusTextColor = white\n", "app.kvo:2: StatusTextColor is a colour; 'white' is not three numbers from 0 to 255"},
        {"VersionTextColor = 255,255\n", "app.kvo:2: VersionTextColor is a colour"},
        {"VersionTextColor = 256,0,0\n", "app.kvo:2: VersionTextColor is a colour"},
        {"StatusFontName = " + longName + "\n", "app.kvo:2: StatusFontName has 32 bytes; the launcher reads 31 and would cut it there"},
        {"ProductFlavor = installer\n", "app.kvo:2: ProductFlavor has 9 bytes; the launcher reads 1"},
        {"MainClass = com.example.Main.class\n", "app.kvo:2: MainClass 'com.example.Main.class' is no class name: write the dotted name"},
        {"MainClass =\n", "app.kvo:2: MainClass is empty"},
        {"MainClass = com/example/Main\n", "app.kvo:2: MainClass 'com/example/Main' is no class name"},
        {"ClassPath = E0%CP%\n", "app.kvo:2: ClassPath entry 'E0%CP%' refers to the variable; an E entry names it: write E0CP"},
        {"JreSearchSequence = E${JAVA_HOME}\n", "app.kvo:2: JreSearchSequence entry 'E${JAVA_HOME}' refers to the variable; an E entry names it: write EJAVA_HOME"},
        {"JreSearchSequence = EC:\\jre\n", "app.kvo:2: JreSearchSequence entry 'EC:\\jre': an E entry names an environment variable; for a folder write BC:\\jre"},
        {"ClassPath = A0a.jar,A1b.jar\n", "app.kvo:2: ClassPath entries are separated by \";\": write A0a.jar;A1b.jar"},
        {"VmOptions = -Xms32m -Xmx512\n", "app.kvo:2: VmOptions: -Xmx512 asks for 512 bytes, and the JVM would not start: write -Xmx512m"},
        {"VmOptions = -Xmx 512m\n", "app.kvo:2: VmOptions: -Xmx needs its size joined to it, like -Xmx512m"},
        {"VmOptions = -cp lib\\a.jar\n", "app.kvo:2: VmOptions: -cp is no VM option, and the JVM would drop it"},
        {"VmOptions = -Xmx1g -Xms512\n", "app.kvo:2: VmOptions: -Xms512 asks for 512 bytes, and the JVM would not start: write -Xms512m"},
        {"VmOptions = '-Dx=a b' -jar\n", "app.kvo:2: VmOptions: -jar is no VM option"},
    };
    for (const auto& c : cases) {
        // A main class first, so that each case has exactly its own error;
        // a later MainClass line takes its place.
        const ConfigFindings f = check("MainClass = com.example.Main\n" + c.text);
        ASSERT_EQ(f.errors.size(), 1u) << c.text << joined(f.errors);
        EXPECT_EQ(f.errors[0].substr(0, c.expected.size()), c.expected) << c.text;
    }
    EXPECT_EQ(joined(check("").errors), "app.kvo: no MainClass: the launcher would start no application; add a "
                                        "line such as 'MainClass = com.example.app.Main'\n");
    // Every finding is named, in the order of the file: what the parser
    // could not read among what the checks refuse.
    const ConfigFindings several = check("StatusTextColor = white\nExecutableType = gui\n");
    ASSERT_EQ(several.errors.size(), 3u);
    EXPECT_EQ(several.errors[0].substr(0, 22), "app.kvo: no MainClass:");
    EXPECT_EQ(several.errors[1].substr(0, 10), "app.kvo:1:");
    EXPECT_EQ(several.errors[2].substr(0, 10), "app.kvo:2:");
    const ConfigFindings slips = check("SingelInstance = 1\nApplicationName Acme\nMainClas = a.B\nExecutableType = gui\n"
                                       "[wide]\nFoo = x\n[narrow]\nSplashEnabeld = 1\nMinJavaVersion 17\n"
                                       "MainClass := a.\\qB\n");
    EXPECT_EQ(joined(slips.errors),
              "app.kvo:1: unknown record name 'SingelInstance' (did you mean 'SingleInstance'?)\n"
              "app.kvo:2: expected 'Name = value', 'Name := value' or a [section]\n"
              "app.kvo:3: unknown record name 'MainClas' (did you mean 'MainClass'?)\n"
              "app.kvo:4: ExecutableType is a number; 'gui' would read as 0: write it like 'ExecutableType = 1'. "
              "1: GUI application (errors in dialogs, javaw.exe); 5: errors in dialogs; any other: console program, "
              "errors on standard error (in dialogs when it has none).\n"
              "app.kvo:6: unknown record name 'Foo'\n"
              "app.kvo:8: unknown record name 'SplashEnabeld' (did you mean 'SplashEnabled'?)\n"
              "app.kvo:9: expected 'Name = value', 'Name := value' or a [section]\n"
              // The MainClass line is named for its own mistake, not as missing.
              "app.kvo:10: unknown escape '\\q' (escapes are \\n \\r \\t \\\\ \\xHH \\uHHHH; a value written with "
              "'=' takes backslashes as they stand)\n");
}

TEST(ConfigCheck, WhatTheLauncherUsesAsWrittenPacks) {
    for (const char* good : {
             "ClassPath = A0.\\lib\\*;A1lib\\*.JAR;E0CP;S0.\\lib;D0.\\lang;;A0${KORVO_EXEDIR}\\x.jar\n",
             "JreSearchSequence = B.\\jre;Y;EJAVA_HOME;S;A;R\\\\srv\\rt;\n",
             "MinJavaVersion = 8\nMaxJavaVersion = 1.8\n",
             "MinJavaVersion = 1.6\nMaxJavaVersion = 1.8\n",
             "MinJavaVersion = 17.0.2\nMaxJavaVersion = 17\n",
             "MinJavaVersion = 1.8.0_402\nMaxJavaVersion = 1.8\n",
             "MinJavaVersion = 1.8\nMaxJavaVersion = 11\n",
             "MinJavaVersion = 17\nMaxJavaVersion = 17\n",
             "MinJavaVersion = 11\nMaxJavaVersion =\n",
             "ExecutableType = -1\nSplashTopmost = +1\nStatusTextColor = 0, 128 ,255\nAllowBetaJvm =\n",
             // The launcher takes the later of two lines.
             "ExecutableType = gui\nExecutableType = 1\n",
             "143 = anything\n1005 = text\n",
             "JavaDownloadUrl = https://example.com/java?os=windows\n1016 := Get Java at {3}\n",
             "VmOptions = -Xmx1073741824 -Xms32M \"-Dname=My App\" -include-options x.vmoptions -Dp=%d%s\n",
             // One option each, as the launcher splits them.
             "VmOptions = -Xmx512m \"-Dapp.usage=start it with -jar app.jar\" '-Dq=-cp x' -include-options -jar\n",
             "ClassPath = A0C:\\lib\\a.jar;A0%KORVO_EXEDIR%lib\\b,c.jar\nJreSearchSequence = EJAVA_HOME;E_X1\n",
         }) {
        const ConfigFindings f = check(std::string("MainClass = com.example.Main\n") + good);
        EXPECT_EQ(joined(f.errors), "") << good;
    }
}

TEST(ConfigCheck, WarningsWhereTheLauncherStillWorks) {
    const ConfigFindings f = check(
        "MainClass = a.B\n"
        "ExecutableType = 1 # gui\n"
        "1001 = one\\ntwo\n"
        "MinJavaVersion = 1.6\n"
        "MinJavaVersion = 1.8\n"
        "SplashEnabled = 1\n"
        "[locale de]\n"
        "1010 = Hauptklasse\\nfehlt\n"
        "[wide]\n"
        "MainClass = c.D\n"
        "99 = not read\n"
        "[narrow]\n"
        "JreSearchSequence = B%APPDIR%\\jre;B%KORVO_EXEDIR%jre\n"
        "JavaDownloadUrl = 0\n"
        "[locale]\n"
        "1016 = Java fehlt: {3}\n");
    EXPECT_EQ(f.errors.size(), 0u) << joined(f.errors);
    const std::string w = joined(f.warnings);
    for (const char* expected : {
             "app.kvo:2: warning: ExecutableType reads as 1; the launcher ignores ' # gui'",
             "app.kvo:3: warning: message 1001 holds a literal \\n",
             "app.kvo:5: warning: MinJavaVersion is also set on line 4",
             "app.kvo:6: warning: SplashEnabled is on, but [resources] names no splash-bitmap",
             // Message texts are read from every section; settings only above.
             "app.kvo:8: warning: message 1010 holds a literal \\n",
             "app.kvo:10: warning: MainClass in the [wide] section is carried",
             "app.kvo:13: warning: JreSearchSequence: %APPDIR% is left as written; an environment variable is "
             "written ${APPDIR}",
             // Record 161 held a number before it named the address.
             "app.kvo:14: warning: JavaDownloadUrl '0' is no address, and the launcher offers none",
             "app.kvo:16: warning: message 1016 holds {3}, the download address, but there is no JavaDownloadUrl",
         })
        EXPECT_NE(w.find(expected), std::string::npos) << expected << "\n" << w;
    EXPECT_EQ(f.warnings.size(), 9u) << w;
    // What does nothing where it stands: a warning each, and none where it works.
    const struct {
        const char* text;
        const char* warning;  // nullptr: none
    } noEffect[] = {
        {"VmOptions = -Xmx1g --add-opens\n",
         "app.kvo:3: warning: VmOptions: --add-opens has no value, so the VM ignores it: write --add-opens=VALUE"},
        {"VmOptions = -p\n", "app.kvo:3: warning: VmOptions: -p has no value, so the VM ignores it: write --module-path=VALUE"},
        {"VmOptions = --add-opens java.base/java.lang=ALL-UNNAMED\n", nullptr},
        {"VmOptions = @args.txt\n", "app.kvo:3: warning: VmOptions: @args.txt is read by the java command only, so the "
                                    "VM ignores it: write \"-include-options FILE\" instead"},
        {"OutputFile1 = out.log\n", "app.kvo:3: warning: OutputFile1 names a file, but without OutputFile1Enabled = 1 "
                                    "the application's System.out does not go there: add that line"},
        {"OutputFile2 = err.log\n", "app.kvo:3: warning: OutputFile2 names a file, but without OutputFile2Enabled = 1 "
                                    "the application's System.err does not go there"},
        {"OutputFile1 = out.log\nOutputFile1Enabled = 1\n", nullptr},
        {"OutputFile2Enabled = 0\nOutputFile2 = err.log\n", nullptr},
        {"OutputFile1 =\n", nullptr},
    };
    for (const auto& c : noEffect) {
        const ConfigFindings one = check(std::string("MainClass = a.B\nExecutableType = 1\n") + c.text);
        EXPECT_EQ(joined(one.errors), "") << c.text;
        if (!c.warning) {
            EXPECT_EQ(joined(one.warnings), "") << c.text;
            continue;
        }
        ASSERT_EQ(one.warnings.size(), 1u) << c.text << joined(one.warnings);
        EXPECT_EQ(one.warnings[0].substr(0, std::strlen(c.warning)), c.warning) << c.text;
    }
    // A splash with its image, or through the runtime's library with its own.
    EXPECT_EQ(check("MainClass = a.B\nExecutableType = 1\nSplashEnabled = 1\n[resources]\nsplash-bitmap = s.png\n")
                  .warnings.size(),
              0u);
    const ConfigFindings library = check("MainClass = a.B\nExecutableType = 1\nSplashEnabled = 1\nJavaSplashLibrary = 1\n");
    ASSERT_EQ(library.warnings.size(), 1u);
    EXPECT_NE(library.warnings[0].find("names no splash-image"), std::string::npos);
    // Without ExecutableType errors go to standard error where there is one.
    EXPECT_EQ(joined(check("MainClass = a.B\n").warnings),
              "app.kvo: warning: no ExecutableType: the launcher reads 0, a console program, and writes its errors to "
              "standard error; started from Explorer, where it has none, it shows them in dialogs instead. Write "
              "ExecutableType = 1 for a GUI application\n");
}

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text)
        out += {char(u & 0xFF), char(u >> 8)};
    return out;
}

TEST(ConfigCheck, IncludedOptionsFilesAreReadAsTheLauncherReadsThem) {
    const struct {
        std::string bytes;
        std::string findings;  // errors, then warnings, a line each
    } cases[] = {
        {"-Xmx512m\n# -jar in a comment\n-jar app.jar\n", "opts.vmoptions:3: option: -jar is no VM option"},
        // UTF-16 is read as UTF-16: its first option is -Xms64, not "\xFF\xFE-Xms64".
        {utf16le(u"-Xms64\r\n"), "opts.vmoptions:1: option: -Xms64 asks for 64 bytes"},
        {utf16le(u"-Dok=caf\u00E9\r\n-Dx=\u0142\r\n"),
         "opts.vmoptions:2: '\xC5\x82' (U+0142) has no form in code page CP1252, and the launcher would end the "
         "option before it"},
        {"--add-opens\n# value on the next line\n\njava.base/java.lang=ALL-UNNAMED\n-Dx=1\n", ""},
        {"-Dx=1\n--add-opens\n", "opts.vmoptions:2: warning: option: --add-opens has no value"},
        {"\xEF\xBB\xBF-Dq=\"-jar x\"\n-classpath/a lib\\x.jar\n", ""},
    };
    CodePage page("1252");
    for (const auto& c : cases) {
        OptionsFileCheck check("opts.vmoptions", page);
        // In reads of any size.
        for (size_t at = 0; at < c.bytes.size(); at += 3)
            check.feed(std::string_view(c.bytes).substr(at, 3));
        const ConfigFindings f = check.finish();
        const std::string all = joined(f.errors) + joined(f.warnings);
        EXPECT_EQ(all.substr(0, c.findings.size()), c.findings) << c.bytes;
        EXPECT_EQ(f.errors.size() + f.warnings.size(), c.findings.empty() ? 0u : 1u) << all;
    }
    for (const char* name : {"app.vmoptions", "conf\\User.VMOptions"})
        EXPECT_TRUE(isOptionsFileName(name)) << name;
    for (const char* name : {".vmoptions", "app.vmoptions.bak", "app.options", "vmoptions"})
        EXPECT_FALSE(isOptionsFileName(name)) << name;
}

// What dump writes must parse back to the very same records.
TEST(ConfigText, FormattedTextReadsBackExactly) {
    BlockRecords r;
    std::string everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte += char(b);
    // Pairs that start a character in the double-byte pages, also ones a
    // converter takes whole and still calls invalid.
    for (int lead : {0x81, 0x87, 0xA2, 0xA3, 0xC9, 0xF9, 0xFE})
        for (int trail = 0x3F; trail < 256; trail += 7)
            everyByte += {char(lead), char(trail)};
    r.narrow = {{rec::ClassPath, "A0.\\lib\\new.jar"},
                {1001, "line\nbreak and \\n as text"},
                {1002, "  blanks at both ends\t"},
                {1003, everyByte},
                {1004, std::string("nul\0inside", 10)},
                {1005, ":= not an escape marker"},
                {1006, "\"quoted\" start"},
                {1007, ""},
                {1008, "\xA2\xE8"}};
    r.wide = {{101, u"\u00E9\U0001F600 x"}, {102, std::u16string{0xDC00, u' ', 0xD800}}, {103, u" \n"},
              {104, u"c1 \u0080 \u009F \u00A0"}};
    r.locales = {{"de", {{1000, u"Fehler"}}}, {"", {}}, {":=x", {{1, u"a"}}}, {" de ", {}}};
    for (const char* name : {"1252", "932", "949", "950", "UTF-8"}) {
        CodePage page(name);
        SCOPED_TRACE(name);
        const std::string text = formatConfigText(r, false, {}, page, "# heading\n");
        const PackConfig back = parseConfigText(text, "dump", page);
        ASSERT_EQ(back.records.narrow.size(), r.narrow.size()) << text;
        for (size_t i = 0; i < r.narrow.size(); ++i) {
            EXPECT_EQ(back.records.narrow[i].id, r.narrow[i].id);
            EXPECT_EQ(back.records.narrow[i].value, r.narrow[i].value) << text;
        }
        ASSERT_EQ(back.records.wide.size(), r.wide.size());
        for (size_t i = 0; i < r.wide.size(); ++i)
            EXPECT_EQ(back.records.wide[i].value, r.wide[i].value) << text;
        ASSERT_EQ(back.records.locales.size(), r.locales.size());
        for (size_t i = 0; i < r.locales.size(); ++i) {
            EXPECT_EQ(back.records.locales[i].key, r.locales[i].key) << text;
            EXPECT_EQ(back.records.locales[i].records.size(), r.locales[i].records.size());
        }
        // The common cases stay readable.
        EXPECT_NE(text.find("ClassPath = A0.\\lib\\new.jar\n"), std::string::npos);
        EXPECT_NE(text.find("1001 := line\\nbreak and \\\\n as text\n"), std::string::npos);
        EXPECT_NE(text.find("1003 := \\x01"), std::string::npos);
        // The C1 controls from their first, written so that they are seen.
        EXPECT_NE(text.find("c1 \\u0080 \\u009F \xC2\xA0\n"), std::string::npos) << text;
    }
}

}  // namespace
