#include <gtest/gtest.h>

#include "CoreText/CTLine.h"
#include "platform/CoreGraphics/RenderTestSupport.h"

namespace {

struct CheckingResult {
    std::string replacement;
    bool operator==(const CheckingResult&) const = default;
};
struct Opaque {
    int handle;  // no ==: equal only to copies of itself
};

TEST(RichTextAttributesTest, ExtraAttributesHoldValuesOfAnyType) {
    NSAttributedString text("see example.org now");
    text.addAttribute("NSLink", std::string("https://example.org/"), CFRangeMake(4, 11));
    text.addAttribute("spelling", CheckingResult{"now"}, CFRangeMake(16, 3));
    CFRange range{};
    const NSAttributeValue* link = text.attributeAtIndex("NSLink", 6, &range);
    ASSERT_TRUE(link);
    EXPECT_EQ(*link->get<std::string>(), "https://example.org/");
    EXPECT_EQ(link->get<int>(), nullptr);
    EXPECT_EQ(range.location, 4);
    EXPECT_EQ(range.length, 11);
    EXPECT_EQ(text.attributeAtIndex("NSLink", 2), nullptr);
    EXPECT_EQ(text.attributeAtIndex("spelling", 17)->get<CheckingResult>()->replacement, "now");

    // Equal values merge runs; values without == merge only with their own copies.
    text.addAttribute("NSLink", std::string("https://example.org/"), CFRangeMake(0, 4));
    text.attributeAtIndex("NSLink", 0, &range);
    EXPECT_EQ(range.length, 15);
    const NSAttributeValue opaque = Opaque{7};
    text.addAttribute("handle", opaque, CFRangeMake(0, 2));
    text.addAttribute("handle", opaque, CFRangeMake(2, 2));
    text.addAttribute("handle", Opaque{7}, CFRangeMake(4, 1));
    text.attributeAtIndex("handle", 0, &range);
    EXPECT_EQ(range.length, 4);

    const NSAttributedString part = text.attributedSubstringFromRange(CFRangeMake(4, 7));
    EXPECT_EQ(*part.attributeAtIndex("NSLink", 0)->get<std::string>(), "https://example.org/");
    text.removeAttribute("NSLink", CFRangeMake(0, long(text.length())));
    EXPECT_EQ(text.attributeAtIndex("NSLink", 6), nullptr);
    EXPECT_TRUE(text.attributeAtIndex("spelling", 17));
}

class RichTextDrawingTest : public RenderTest {
  protected:
    // Pixel columns between the "a" and the "b".
    static constexpr size_t kGapStart = 23, kGapEnd = 35;
    static constexpr int kGap = int(kGapEnd - kGapStart);
    // Draws "a   b" in black at 20 points and counts the pixels of a colour
    // in the gap between the letters, at a row above and one below the
    // baseline's middle band.
    int gapPixels(const CTStringAttributes& extra, int row, int r, int g, int b,
                  int tolerance = 10) {
        auto c = makeContext(120, 40);
        CTStringAttributes a;
        a.font = CTFont::createWithName("Helvetica", 20);
        a.foregroundColor = CGColorCreateGenericRGB(0, 0, 0, 1);
        a.addAttributes(extra);
        c->setTextPosition(10, 12);  // baseline at pixel row 28
        CTLine::createWithAttributedString(NSAttributedString("a   b", a))->draw(*c);
        int count = 0;
        for (size_t x = kGapStart; x < kGapEnd; ++x)
            count += isNear(pixelAt(*c, x, size_t(row)), 255, r, g, b, tolerance);
        return count;
    }
};

TEST_F(RichTextDrawingTest, BackgroundFillsTheLineBoxBehindTheText) {
    CTStringAttributes yellow;
    yellow.backgroundColor = CGColorCreateGenericRGB(1, 1, 0, 1);
    EXPECT_EQ(gapPixels(yellow, 20, 255, 255, 0), kGap);  // above the baseline
    EXPECT_EQ(gapPixels(yellow, 31, 255, 255, 0), kGap);  // in the descent
    EXPECT_EQ(gapPixels({}, 20, 255, 255, 0), 0);
}

TEST_F(RichTextDrawingTest, StrikethroughCrossesTheRunAtHalfTheXHeight) {
    CTStringAttributes struck;
    struck.strikethroughStyle = 1;
    const int xHalf = 28 - int(CTFont::createWithName("Helvetica", 20)->xHeight() / 2 + 0.5);
    int found = 0;
    for (int row = xHalf - 1; row <= xHalf + 1; ++row)
        found = std::max(found, gapPixels(struck, row, 0, 0, 0, 160));
    EXPECT_EQ(found, kGap);
    EXPECT_EQ(gapPixels({}, xHalf, 0, 0, 0, 160), 0);
}

}  // namespace
