#include <gtest/gtest.h>

#include <numbers>
#include <numeric>

#include "CoreText/CTLine.h"
#include "platform/CoreGraphics/RenderTestSupport.h"

namespace {

CTStringAttributes attributes(const char* font, CGFloat size) {
    CTStringAttributes a;
    a.font = CTFont::createWithName(font, size);
    return a;
}

CGFloat width(const CTLineRef& line) {
    return line->typographicBounds(nullptr, nullptr, nullptr);
}

// The box of pixels with any alpha, in pixel rows from the top.
CGRect inkBounds(CGContext& c) {
    long minX = 1 << 20, minY = 1 << 20, maxX = -1, maxY = -1;
    for (size_t y = 0; y < c.height(); ++y) {
        for (size_t x = 0; x < c.width(); ++x) {
            if (pixelAt(c, x, y).a > 0) {
                minX = std::min(minX, long(x));
                maxX = std::max(maxX, long(x));
                minY = std::min(minY, long(y));
                maxY = std::max(maxY, long(y));
            }
        }
    }
    return maxX < 0 ? CGRectNull : CGRectMake(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

}  // namespace

class CTLineTest : public RenderTest {};

TEST_F(CTLineTest, GlyphAdvancesSumToTheLineWidth) {
    const auto line = CTLine::createWithAttributedString(
        NSAttributedString("Riverside Walk 12", attributes("Helvetica-Bold", 17)));
    CGFloat ascent = 0, descent = 0, leading = 0;
    const CGFloat total = line->typographicBounds(&ascent, &descent, &leading);
    CGFloat sum = 0;
    size_t glyphs = 0;
    for (const CTRunRef& run : line->glyphRuns()) {
        for (const CGSize& advance : run->advances()) {
            sum += advance.width;
        }
        glyphs += run->glyphCount();
        EXPECT_EQ(run->positions().size(), run->glyphCount());
    }
    EXPECT_NEAR(sum, total, 1e-6);
    EXPECT_EQ(glyphs, 17u);
    EXPECT_EQ(line->glyphCount(), 17u);
    EXPECT_EQ(line->stringRange(), CFRangeMake(0, 17));
    const CTFontRef font = CTFont::createWithName("Helvetica-Bold", 17);
    EXPECT_NEAR(ascent, font->ascent(), 1e-6);
    EXPECT_NEAR(descent, font->descent(), 1e-6);
    // Positions advance monotonically by the advances.
    const CTRunRef& run = line->glyphRuns().front();
    EXPECT_NEAR(run->positions()[1].x - run->positions()[0].x, run->advances()[0].width, 1e-6);
    EXPECT_NEAR(run->typographicBounds(CFRangeMake(0, 1), nullptr, nullptr, nullptr),
                run->advances()[0].width, 1e-9);
}

TEST_F(CTLineTest, RunsFollowAttributeChangesAndIndicesCountUTF16) {
    NSMutableAttributedString s(
        "ab\xF0\x9F\x98\x80"
        "cd",
        attributes("Helvetica", 12));  // 6 units
    CTStringAttributes red;
    red.foregroundColor = CGColorCreateGenericRGB(1, 0, 0, 1);
    s.addAttributes(red, CFRangeMake(4, 2));
    const auto line = CTLine::createWithAttributedString(s);
    ASSERT_GE(line->glyphRuns().size(), 2u);
    const CTRunRef& last = line->glyphRuns().back();
    EXPECT_EQ(last->stringRange(), CFRangeMake(4, 2));
    EXPECT_EQ(last->attributes().foregroundColor, red.foregroundColor);
    EXPECT_EQ(last->stringIndices().front(), 4);
    EXPECT_EQ(line->stringRange(), CFRangeMake(0, 6));
    // Caret offsets grow along the string, and a position maps back to its index.
    EXPECT_DOUBLE_EQ(line->offsetForStringIndex(0), 0);
    EXPECT_LT(line->offsetForStringIndex(1), line->offsetForStringIndex(2));
    EXPECT_NEAR(line->offsetForStringIndex(6), width(line), 1e-6);
    const CGFloat x = line->offsetForStringIndex(4) + 0.1;
    EXPECT_EQ(line->stringIndexForPosition({x, 0}), 4);
}

TEST_F(CTLineTest, KernWidensAndFlushOffsetsPlaceTheLine) {
    const auto plain = CTLine::createWithAttributedString(
        NSAttributedString("Kelvara", attributes("Helvetica", 12)));
    CTStringAttributes kerned = attributes("Helvetica", 12);
    kerned.kern = 2;
    const auto wide = CTLine::createWithAttributedString(NSAttributedString("Kelvara", kerned));
    EXPECT_NEAR(width(wide) - width(plain), 14, 2.01);  // 2 after each of 7 (or 6) characters
    EXPECT_NEAR(plain->penOffsetForFlush(0.5, 100), (100 - width(plain)) / 2, 1e-9);
    EXPECT_NEAR(plain->penOffsetForFlush(1, 100), 100 - width(plain), 1e-9);
    EXPECT_DOUBLE_EQ(plain->penOffsetForFlush(1, 1), 0);
    const auto empty = CTLine::createWithAttributedString(NSAttributedString(""));
    CGFloat ascent = 0;
    EXPECT_DOUBLE_EQ(empty->typographicBounds(&ascent, nullptr, nullptr), 0);
    EXPECT_GT(ascent, 0);
    EXPECT_EQ(empty->glyphCount(), 0u);
}

TEST_F(CTLineTest, TruncationKeepsTheLineWithinWidth) {
    const auto line = CTLine::createWithAttributedString(
        NSAttributedString("Saint Peter's Cathedral Square", attributes("Helvetica", 14)));
    const auto token = CTLine::createWithAttributedString(
        NSAttributedString("\xE2\x80\xA6", attributes("Helvetica", 14)));
    for (auto type : {kCTLineTruncationEnd, kCTLineTruncationStart, kCTLineTruncationMiddle}) {
        const auto cut = line->createTruncatedLine(80, type, token);
        ASSERT_TRUE(cut) << type;
        EXPECT_LE(width(cut), 80.0) << type;
        EXPECT_GT(width(cut), 50.0) << type;
        EXPECT_NE(cut->attributedString().string().find("\xE2\x80\xA6"), std::string::npos);
    }
    const auto end = line->createTruncatedLine(80, kCTLineTruncationEnd, token);
    EXPECT_EQ(end->attributedString().string().rfind("Saint", 0), 0u);
    EXPECT_NEAR(width(line->createTruncatedLine(1000, kCTLineTruncationEnd, token)), width(line),
                1e-9);
    EXPECT_FALSE(line->createTruncatedLine(2, kCTLineTruncationEnd, token));
}

TEST_F(CTLineTest, DrawsUprightAboveTheBaselineInAYUpContext) {
    auto c = makeContext(120, 40);
    CTStringAttributes a = attributes("Helvetica-Bold", 20);
    a.foregroundColor = CGColorCreateGenericRGB(0, 0, 1, 1);
    const auto line = CTLine::createWithAttributedString(NSAttributedString("Hg", a));
    c->setTextPosition(10, 15);
    line->draw(*c);
    const CGRect ink = inkBounds(*c);
    ASSERT_FALSE(CGRectIsNull(ink));
    // Baseline at user y 15 = pixel row 25: capitals above it, the g's descender below.
    EXPECT_LT(CGRectGetMinY(ink), 25 - 10);
    EXPECT_GT(CGRectGetMaxY(ink), 25 + 2);
    EXPECT_GE(CGRectGetMinX(ink), 10);
    // "H" is upright: its top rows hold two separate stems.
    const size_t top = size_t(CGRectGetMinY(ink)) + 1;
    int stems = 0;
    bool inStem = false;
    for (size_t x = 10; x < 10 + 14; ++x) {
        const bool on = pixelAt(*c, x, top).a > 128;
        stems += on && !inStem;
        inStem = on;
    }
    EXPECT_EQ(stems, 2);
    // Blue text.
    bool blue = false;
    for (size_t x = 0; x < 120 && !blue; ++x) {
        const Pixel p = pixelAt(*c, x, 18);
        blue = p.a == 255 && p.b == 255 && p.r == 0;
    }
    EXPECT_TRUE(blue);
}

TEST_F(CTLineTest, OutlinedTextLeavesStrokePixels) {
    auto count = [&](CGFloat strokePercent, int* fillPixels, int* strokePixels) {
        auto c = makeContext(120, 60);
        CTStringAttributes a = attributes("Helvetica-Bold", 48);
        a.foregroundColor = CGColorCreateGenericRGB(1, 0, 0, 1);
        a.strokeColor = CGColorCreateGenericRGB(0, 0, 1, 1);
        a.strokeWidth = strokePercent;
        c->setTextPosition(10, 15);
        CTLine::createWithAttributedString(NSAttributedString("HO", a))->draw(*c);
        *fillPixels = *strokePixels = 0;
        for (size_t y = 0; y < 60; ++y) {
            for (size_t x = 0; x < 120; ++x) {
                const Pixel p = pixelAt(*c, x, y);
                *fillPixels += p.a == 255 && p.r == 255 && p.b == 0;
                *strokePixels += p.a == 255 && p.b == 255 && p.r == 0;
            }
        }
    };
    int fill = 0, stroke = 0;
    count(0, &fill, &stroke);
    EXPECT_GT(fill, 200);
    EXPECT_EQ(stroke, 0);
    count(8, &fill, &stroke);  // outline only
    EXPECT_EQ(fill, 0);
    EXPECT_GT(stroke, 100);
    int fillBoth = 0, strokeBoth = 0;
    count(-8, &fillBoth, &strokeBoth);  // filled and outlined: the outline on top
    EXPECT_GT(fillBoth, 50);
    EXPECT_GT(strokeBoth, 100);
}

TEST_F(CTLineTest, SingleGlyphsDrawRotatedThroughTheTextMatrix) {
    const CTFontRef font = CTFont::createWithName("Helvetica-Bold", 30);
    const auto glyphs = font->glyphsForCharacters("I");
    auto upright = makeContext(60, 60);
    upright->setTextPosition(25, 20);
    font->drawGlyphs(glyphs, {{0, 0}}, *upright);
    auto turned = makeContext(60, 60);
    // Flip to y-down as a tile does, then turn the glyph a quarter.
    turned->translateCTM(0, 60);
    turned->scaleCTM(1, -1);
    turned->translateCTM(20, 30);
    turned->scaleCTM(1, -1);
    turned->rotateCTM(-std::numbers::pi / 2);
    font->drawGlyphs(glyphs, {{0, 0}}, *turned);
    const CGRect a = inkBounds(*upright), b = inkBounds(*turned);
    ASSERT_FALSE(CGRectIsNull(a));
    ASSERT_FALSE(CGRectIsNull(b));
    EXPECT_GT(a.size.height, 1.5 * a.size.width);  // a tall I
    EXPECT_GT(b.size.width, 1.5 * b.size.height);  // lying on its side
    // A glyph run drawn glyph by glyph matches the whole line.
    const auto line =
        CTLine::createWithAttributedString(NSAttributedString("Way", attributes("Helvetica", 24)));
    auto whole = makeContext(80, 40);
    whole->setTextPosition(5, 10);
    line->draw(*whole);
    auto pieces = makeContext(80, 40);
    pieces->setTextPosition(5, 10);
    const CTRunRef& run = line->glyphRuns().front();
    for (long i = 0; i < long(run->glyphCount()); ++i) {
        run->draw(*pieces, CFRangeMake(i, 1));
    }
    EXPECT_EQ(inkBounds(*whole), inkBounds(*pieces));
}

TEST_F(CTLineTest, BrokenUTF8AndNulBytesLayOutAsReplacementCharacters) {
    const std::string broken = std::string("ab\xC3", 3) + std::string("\0c\xFF", 3);
    const NSAttributedString s(broken, attributes("Helvetica", 12));
    EXPECT_EQ(s.length(), 6u);
    const auto line = CTLine::createWithAttributedString(s);
    EXPECT_EQ(line->stringRange(), CFRangeMake(0, 6));
    EXPECT_GE(line->glyphCount(), 6u);
    EXPECT_GT(width(line), 0);
    auto c = makeContext(80, 20);
    c->setTextPosition(2, 5);
    line->draw(*c);
}
