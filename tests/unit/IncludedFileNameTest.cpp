// Which included-file names an extraction handles, and which it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/IncludedFileName.h"

namespace {

std::vector<std::string> handled(std::string_view list, int32_t count) {
    std::vector<std::string> out;
    for (std::string_view n : includedFileNamesToHandle(list, count))
        out.emplace_back(n);
    return out;
}

using Names = std::vector<std::string>;

TEST(IncludedFileNames, CountAndSeparators) {
    EXPECT_EQ(handled("a.jar;b.jar;c.jar", 2), (Names{"a.jar", "b.jar"}));
    EXPECT_EQ(handled(";;a.jar;;;b.jar;", 5), (Names{"a.jar", "b.jar"}));
    EXPECT_EQ(handled("a.jar;b.jar", 3), (Names{"a.jar", "b.jar"}));
    EXPECT_EQ(handled("a.jar;b.jar", 0), Names{});
    EXPECT_EQ(handled("a.jar;b.jar", -1), Names{});
    EXPECT_EQ(handled("a.jar", INT32_MIN), Names{});
    EXPECT_EQ(handled("", 4), Names{});
    EXPECT_EQ(handled(";;;", 4), Names{});
}

TEST(IncludedFileNames, PlainNamesAndOneLevelPass) {
    for (const char* name : {"a.jar", "lib\\x.jar", "My App.dll", "console\\con_", "cond.x", "COM10", "LPT", "a..b",
                             ".hidden", "dir.x\\.profile", "\xE9t\xE9.txt"})
        EXPECT_EQ(includedFileNameProblem(name), nullptr) << name;
}

TEST(IncludedFileNames, NamesThatCouldLeaveTheDirectoryAreRefused) {
    for (const char* name : {
             "", "\\x.jar", "\\\\server\\share\\x", "/etc/x", "c:\\x.jar", "c:x.jar", "x.jar:stream",
             "..", "..\\x.jar", "lib\\..", ".", ".\\x", "lib\\.", "...", ".. ", "lib\\x.jar.", "x ",
             "a\\b\\c.jar", "lib\\", "\\", "lib\\\\x", "lib/x.jar", "../x.jar", "x\\..\\..\\y",
             "CON", "con.txt", "lib\\NUL", "Aux.jar", "COM1", "lpt9.log", "CONOUT$", "a?b", "a*",
             "a|b", "a<b", "a>b", "a\"b", "a\tb", "a\nb", "a\x1f" "b"})
        EXPECT_NE(includedFileNameProblem(name), nullptr) << name;
}

TEST(IncludedFileNames, AnyDepthHoldsEveryLevelToTheSameRules) {
    for (const char* name : {"jre\\bin\\server\\jvm.dll", "a\\b\\c\\d\\e.txt", "x.jar", "lib\\x.jar"})
        EXPECT_EQ(includedFileNameProblem(name, true), nullptr) << name;
    for (const char* name : {"jre\\..\\..\\x", "jre\\bin\\.\\x", "jre\\bin\\", "jre\\\\x", "\\jre\\x",
                             "jre\\CON\\x", "jre\\bin.\\x", "jre\\bin \\x", "c:\\jre\\x", "jre/bin\\x", "jre\\a?\\x"})
        EXPECT_NE(includedFileNameProblem(name, true), nullptr) << name;
    EXPECT_NE(includedFileNameProblem("jre\\bin\\jvm.dll"), nullptr);
}

TEST(IncludedFileNames, EveryDeviceNameInEveryFormIsRefused) {
    std::vector<std::string> devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (char digit = '0'; digit <= '9'; ++digit) {
        devices.push_back(std::string("COM") + digit);
        devices.push_back(std::string("LPT") + digit);
    }
    for (const std::string& device : devices) {
        std::string lower = device;
        for (char& c : lower)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        std::string mixed = lower;
        mixed[0] = device[0];
        for (const std::string& name : {device, lower, mixed, device + ".txt", lower + ".tar.gz", device + ".",
                                        "lib\\" + device, "lib\\" + mixed + ".jar", device + "\\x.jar"})
            EXPECT_STREQ(includedFileNameProblem(name),
                         name.back() == '.' ? "a part ends in a dot or a blank" : "it names a device")
                << name;
    }
    // Near misses are ordinary names.
    for (const char* name : {"COM", "LPT", "COM10", "LPT10", "COMX", "LPT-1", "CON1", "NULL", "AUX1", "PRNX",
                             "CONIN", "CONOUT", "XCON", "lib\\COMA.jar", "CO.M1", "COM1X.txt"})
        EXPECT_EQ(includedFileNameProblem(name), nullptr) << name;
}

TEST(IncludedFileNames, WideNamesAreReadByCharacters) {
    // ソ, 表 and 能 end in the backslash's byte in code page 932; as
    // characters they are letters like any other.
    std::vector<std::wstring> names;
    for (std::wstring_view n : includedFileNamesToHandle(std::wstring_view(L";\u30bd.txt;;\u8868\\\u80fd.txt"), 5))
        names.emplace_back(n);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"\u30bd.txt", L"\u8868\\\u80fd.txt"}));
    for (const wchar_t* name : {L"\u30bd.txt", L"\u8868\\\u80fd.txt", L"\u30bd\\a", L"a\\\u30bd", L"\u00e9t\u00e9.txt"})
        EXPECT_EQ(includedFileNameProblem(std::wstring_view(name)), nullptr);
    // The same rules as for narrow names.
    for (const wchar_t* name : {L"", L"\\x", L"c:x", L"..\\x", L"\u30bd\\..", L"a\\b\\\u30bd", L"\u30bd/x",
                                L"\u30bd ", L"\u30bd.", L"con.\u30bd", L"lib\\Com7", L"a\u0001b", L"a?b"})
        EXPECT_NE(includedFileNameProblem(std::wstring_view(name)), nullptr);
    EXPECT_STREQ(includedFileNameProblem(std::wstring_view(L"\u8868\\\u80fd\\x")), "it has more than one directory level");
    EXPECT_STREQ(includedFileNameProblem(std::wstring_view(L"lib\\LPT1.txt")), "it names a device");
}

}  // namespace
