// Narrowing against the system's code page tables: letters a code page lacks
// are reported or shown as "?", never replaced by look-alikes.
#include <gtest/gtest.h>

#include <string>

#include "core/CodePage.h"

namespace {

TEST(CodePage, ExactOrNothing) {
    std::string out = "stale";
    EXPECT_FALSE(narrowExact(1252, std::wstring_view(L"C:\\\u0141\u00f3d\u017a"), out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(narrowExact(1252, std::wstring_view(L"Mil\u010devi\u0107"), out));
    ASSERT_TRUE(narrowExact(1252, std::wstring_view(L"\u017dilina \u20ac"), out));
    EXPECT_EQ(out, "\x8eilina \x80");
    ASSERT_TRUE(narrowExact(CP_UTF8, std::wstring_view(L"\u0141\u00f3d\u017a"), out));
    EXPECT_EQ(out, "\xc5\x81\xc3\xb3" "d\xc5\xba");
    EXPECT_TRUE(narrowExact(1252, std::wstring_view(L""), out));
    EXPECT_EQ(out, "");
}

TEST(CodePage, UntilTheFirstMissingCharacter) {
    std::string out;
    EXPECT_EQ(narrowUntilMissing(1252, u"ab\u010dd\u20ac", out), 2u);
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(narrowUntilMissing(1252, u"a\u20ac\u017d", out), std::u16string_view::npos);
    EXPECT_EQ(out, "a\x80\x8e");
    EXPECT_EQ(narrowUntilMissing(1252, u"x\U0001F600", out), 1u);
    EXPECT_EQ(out, "x");
}

TEST(CodePage, ShownWithQuestionMarks) {
    EXPECT_EQ(narrowForDisplay(1252, L"C:\\\u0141\u00f3d\u017a"), "C:\\?\xf3" "d?");
    EXPECT_EQ(narrowForDisplay(1252, L"plain"), "plain");
}

TEST(CodePage, WidenedBack) {
    std::wstring wide;
    ASSERT_TRUE(widenText(1252, "\x8eilina \x80", wide));
    EXPECT_EQ(wide, L"\u017dilina \u20ac");
    EXPECT_TRUE(widenText(1252, "", wide));
    EXPECT_TRUE(wide.empty());
}

}  // namespace
