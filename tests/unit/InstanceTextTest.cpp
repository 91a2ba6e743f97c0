// Semaphore names and the argument text a second start hands over.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "services/InstanceText.h"

namespace {

std::string name(std::string_view path, bool global, long number) {
    char out[kInstanceNameCapacity];
    EXPECT_TRUE(buildInstanceName(out, sizeof out, path, global, number));
    return out;
}

std::u16string arguments(std::u16string_view line) { return std::u16string(line.substr(argumentsOffset(line))); }

TEST(InstanceName, PrefixPathAndNumber) {
    EXPECT_EQ(name("c:\\program files\\app\\app.exe", false, -1), "Local\\c:_program_files_app_app.exe");
    EXPECT_EQ(name("c:\\program files\\app\\app.exe", true, -1), "Global\\c:_program_files_app_app.exe");
    EXPECT_EQ(name("c:\\a b\\x.exe", false, 0), "Local\\c:_a_b_x.exe0");
    EXPECT_EQ(name("c:\\a b\\x.exe", true, 100000), "Global\\c:_a_b_x.exe100000");
    // A network path keeps its characters apart from the replaced ones.
    EXPECT_EQ(name("\\\\srv\\share\\x y.exe", false, 12), "Local\\__srv_share_x_y.exe12");
}

TEST(InstanceName, NeverWritesPastTheBuffer) {
    char out[18];
    std::memset(out, 'x', sizeof out);
    EXPECT_TRUE(buildInstanceName(out, sizeof out, "c:\\abcdefgh", false, -1));  // 17 characters and the end
    EXPECT_STREQ(out, "Local\\c:_abcdefgh");
    EXPECT_FALSE(buildInstanceName(out, sizeof out, "c:\\abcdefgh", false, 1));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(buildInstanceName(out, 0, "c:\\", false, -1));
    const std::string longPath(kInstanceNameCapacity, 'a');
    char big[kInstanceNameCapacity];
    EXPECT_FALSE(buildInstanceName(big, sizeof big, longPath, true, -1));
}

TEST(HandOverArguments, ProgramNameForms) {
    EXPECT_EQ(arguments(u"\"C:\\Program Files\\app.exe\" one  \"two three\""), u"one  \"two three\"");
    EXPECT_EQ(arguments(u"app.exe   -x"), u"-x");
    EXPECT_EQ(arguments(u"\"C:\\app.exe\""), u"");
    EXPECT_EQ(arguments(u"app.exe"), u"");
    EXPECT_EQ(arguments(u"\"C:\\app.exe\"    "), u"");
    // An unclosed quote swallows the whole line as the program name.
    EXPECT_EQ(arguments(u"\"C:\\Program Files\\app.exe one two"), u"");
    // Only blanks end the program name; a tab belongs to it.
    EXPECT_EQ(arguments(u"app.exe\t-x y"), u"y");
    // Behind the closing quote the next blank ends the name, whatever stands between.
    EXPECT_EQ(arguments(u"\"C:\\a b\"c.exe d"), u"d");
    EXPECT_EQ(arguments(u""), u"");
}

TEST(HandOverArguments, Utf16LittleEndianWithLineFeed) {
    EXPECT_EQ(handOverBytes(u"\"C:\\app.exe\""), std::string("\n\0", 2));
    EXPECT_EQ(handOverBytes(u"app.exe a\u00e9\u20ac"),
              std::string("a\0\xe9\0\xac\x20\n\0", 8));
}

}  // namespace
