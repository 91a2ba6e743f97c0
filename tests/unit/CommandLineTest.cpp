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

TEST(SplitArgumentsNarrow, KeepsLatin1AndCutsBeforeWiderUnits) {
    NarrowArgs out;
    splitWidenedArgumentsNarrow(u"-Dname=\u00e9t\u00e9 -Dx=a\u20acb 'q r' \u00ff\u0100z", out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], "-Dname=\xe9t\xe9");
    EXPECT_EQ(out[1], "-Dx=a");
    EXPECT_EQ(out[2], "q r");
    EXPECT_EQ(out[3], "\xff");
}

TEST(SplitArgumentsNarrow, EdgesOfTheByteRange) {
    const struct {
        std::u16string_view wide;
        std::string_view narrow;
    } cases[] = {
        {u"", ""},
        {u"\u00ff", "\xff"},
        {u"a\u00ffb", "a\xff" "b"},
        {u"\u0100", ""},
        {u"a\u0100b", "a"},
        {u"\u0001\u007f\u0080", "\x01\x7f\x80"},
        {u"ab\uffff", "ab"},
        {u"x\U0001F600y", "x"},
    };
    for (const auto& c : cases) {
        const std::string narrow = narrowUpToWideUnit(c.wide);
        EXPECT_EQ(narrow, c.narrow) << "from " << c.wide.size() << " units, got " << narrow.size() << " bytes";
    }
}

}  // namespace
