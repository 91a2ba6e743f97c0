#include <gtest/gtest.h>

#include "core/CommandLine.h"

namespace {

WideArgs split(std::u16string_view text) {
    WideArgs out;
    splitArguments(text, out);
    return out;
}

TEST(SplitArguments, BlanksSeparateAndRunsMakeNoEmptyArguments) {
    EXPECT_EQ(split(u"launcher.exe a  b"), (WideArgs{u"launcher.exe", u"a", u"b"}));
    EXPECT_EQ(split(u"   "), WideArgs{});
    EXPECT_EQ(split(u""), WideArgs{});
    EXPECT_EQ(split(u" x "), WideArgs{u"x"});
    // Only the blank separates.
    EXPECT_EQ(split(u"a\tb"), WideArgs{u"a\tb"});
}

TEST(SplitArguments, QuotesGroupAndAreDropped) {
    EXPECT_EQ(split(u"\"a b\""), WideArgs{u"a b"});
    EXPECT_EQ(split(u"'a b' c"), (WideArgs{u"a b", u"c"}));
    // Text before the quote joins the quoted part; text after it starts anew.
    EXPECT_EQ(split(u"ab\"cd ef\"gh"), (WideArgs{u"abcd ef", u"gh"}));
    EXPECT_EQ(split(u"\"\""), WideArgs{u""});
    EXPECT_EQ(split(u"a \"\" b"), (WideArgs{u"a", u"", u"b"}));
}

TEST(SplitArguments, FirstQuoteKindWinsAndTheOtherIsOrdinary) {
    EXPECT_EQ(split(u"\"it's\" x"), (WideArgs{u"it's", u"x"}));
    EXPECT_EQ(split(u"'say \"hi\"' x"), (WideArgs{u"say \"hi\"", u"x"}));
}

TEST(SplitArguments, UnclosedQuoteSwallowsTheRest) {
    EXPECT_EQ(split(u"it's a test"), WideArgs{u"its a test"});
    EXPECT_EQ(split(u"x \"open to end"), (WideArgs{u"x", u"open to end"}));
}

TEST(SplitArguments, BackslashIsNoEscape) {
    EXPECT_EQ(split(u"\"C:\\dir\\\" next"), (WideArgs{u"C:\\dir\\", u"next"}));
    EXPECT_EQ(split(u"a\\\"b c\""), (WideArgs{u"a\\b c"}));
}

TEST(SplitArguments, AppendsToWhatIsThere) {
    WideArgs out{u"first"};
    splitArguments(u"second", out);
    EXPECT_EQ(out, (WideArgs{u"first", u"second"}));
}

}  // namespace
