#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "splash/SplashLayout.h"

namespace {

TEST(CentredOrigin, HalvesTruncateTowardZero) {
    SplashOrigin o = centredOrigin(0, 0, 1920, 1080, 419, 230);
    EXPECT_EQ(o.x, 750);
    EXPECT_EQ(o.y, 425);
    o = centredOrigin(0, 0, 1024, 768, 419, 230);
    EXPECT_EQ(o.x, 302);
    EXPECT_EQ(o.y, 269);
    // Larger than the desktop: overhangs both sides, -1.5 becomes -1.
    o = centredOrigin(0, 0, 100, 100, 103, 100);
    EXPECT_EQ(o.x, -1);
    EXPECT_EQ(o.y, 0);
    // No image size: the empty window sits in the middle.
    o = centredOrigin(0, 0, 1024, 768, 0, 0);
    EXPECT_EQ(o.x, 512);
    EXPECT_EQ(o.y, 384);
}

TEST(CentredOrigin, OffsetDesktopAndExtremesStayInRange) {
    SplashOrigin o = centredOrigin(-1920, 100, 0, 1180, 420, 230);
    EXPECT_EQ(o.x, -1170);
    EXPECT_EQ(o.y, 525);
    o = centredOrigin(INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    EXPECT_EQ(o.x, 1073741823);  // computed in 64 bits, no intermediate overflow
    // Sizes from a damaged configuration: clamped, not wrapped.
    o = centredOrigin(INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MAX);
    EXPECT_EQ(o.x, INT_MAX);
    EXPECT_EQ(o.y, INT_MIN);
}

TEST(FontHeight, PointsAtDpiRoundedLikeMulDiv) {
    EXPECT_EQ(fontHeightForPoints(10, 96), -13);   // 13.33
    EXPECT_EQ(fontHeightForPoints(11, 96), -15);   // 14.67
    EXPECT_EQ(fontHeightForPoints(9, 96), -12);    // exactly 12
    EXPECT_EQ(fontHeightForPoints(12, 120), -20);
    EXPECT_EQ(fontHeightForPoints(3, 12), -1);     // 0.5 rounds away from zero
    EXPECT_EQ(fontHeightForPoints(-3, 12), 1);
    EXPECT_EQ(fontHeightForPoints(0, 96), 0);      // GDI's default height
    EXPECT_EQ(fontHeightForPoints(10, 0), 0);
    EXPECT_EQ(fontHeightForPoints(INT_MAX, 96), 0) << "out of range gives the default, not a wrapped value";
    EXPECT_EQ(fontHeightForPoints(INT_MIN, 96), 0);
}

TEST(FittingUnits, WholeTextOrCutBeforeAnUnpairedHalf) {
    EXPECT_EQ(fittingUnits(u"abc", 10), 3u);
    EXPECT_EQ(fittingUnits(u"abc", 3), 3u);
    EXPECT_EQ(fittingUnits(u"abcd", 3), 3u);
    EXPECT_EQ(fittingUnits(u"", 0), 0u);
    EXPECT_EQ(fittingUnits(u"ab\U0001F600", 3), 2u);
    EXPECT_EQ(fittingUnits(u"ab\U0001F600", 4), 4u);
    EXPECT_EQ(fittingUnits(u"ab\U0001F600c", 4), 4u);
    EXPECT_EQ(fittingUnits(u"\U0001F600", 1), 0u);
}

TEST(FittingUnits, SurrogateRangeEdgesAndExactFits) {
    const struct {
        std::u16string text;
        size_t maxUnits;
        size_t fitting;
    } cases[] = {
        // The whole text fits exactly, or one unit is too many.
        {u"abcd", 4, 4},
        {u"abcd", 3, 3},
        {u"", 5, 0},
        // Nothing may be taken: the unit before the text is never looked at
        // (long enough to live on the heap, where ASan guards it).
        {u"abcdefghijklmnop", 0, 0},
        // A high surrogate as the last unit that fits: the first and the last
        // of the range, and the units just outside it.
        {std::u16string{u'a', char16_t(0xD800), char16_t(0xDC00)}, 2, 1},
        {std::u16string{u'a', char16_t(0xDBFF), char16_t(0xDFFF)}, 2, 1},
        {std::u16string{u'a', char16_t(0xD7FF), u'b'}, 2, 2},
        {std::u16string{u'a', char16_t(0xDC00), u'b'}, 2, 2},
        {std::u16string{u'a', char16_t(0xDFFF), u'b'}, 2, 2},
        // A whole pair that ends exactly at the limit is kept.
        {std::u16string{u'a', char16_t(0xDBFF), char16_t(0xDFFF)}, 3, 3},
        // An unpaired high surrogate at the end of a text that fits stays.
        {std::u16string{u'a', char16_t(0xD800)}, 2, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fittingUnits(c.text.c_str(), c.maxUnits), c.fitting)
            << "units " << c.text.size() << ", at most " << c.maxUnits << ", unit before the cut 0x" << std::hex
            << (c.maxUnits > 0 && c.maxUnits <= c.text.size() ? unsigned(c.text[c.maxUnits - 1]) : 0u);
}

}  // namespace
