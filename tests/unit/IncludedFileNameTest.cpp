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
             "a|b", "a<b", "a>b", "a\"b", "a\tb", "a\nb"})
        EXPECT_NE(includedFileNameProblem(name), nullptr) << name;
}

}  // namespace
