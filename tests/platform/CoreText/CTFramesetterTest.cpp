#include <gtest/gtest.h>

#include <thread>

#include "CoreText/CTFramesetter.h"
#include "platform/CoreGraphics/RenderTestSupport.h"

namespace {
NSAttributedString text(const std::string& s, CGFloat size = 14) {
    CTStringAttributes a;
    a.font = CTFont::createWithName("Helvetica", size);
    return NSAttributedString(s, a);
}
const char* kParagraph =
    "The old town lies on a bend of the river, with the market square, the cathedral and the "
    "castle hill within a short walk of each other.";
}  // namespace

class CTFramesetterTest : public RenderTest {};

TEST_F(CTFramesetterTest, SuggestedSizeWrapsAtTheWidth) {
    const auto setter = CTFramesetter::createWithAttributedString(text(kParagraph));
    CFRange fit{};
    const CGSize single = setter->suggestFrameSizeWithConstraints({}, {1e9, 1e9}, &fit);
    const CGSize wrapped = setter->suggestFrameSizeWithConstraints({}, {150, 1e9}, &fit);
    EXPECT_EQ(fit, CFRangeMake(0, long(text(kParagraph).length())));
    EXPECT_LE(wrapped.width, 150);
    EXPECT_GT(wrapped.height, 3 * single.height);
    const CTFontRef font = CTFont::createWithName("Helvetica", 14);
    EXPECT_NEAR(single.height, font->ascent() + font->descent(), 1.0);
    // Only whole lines within the height count.
    const CGSize two =
        setter->suggestFrameSizeWithConstraints({}, {150, single.height * 2.2}, &fit);
    EXPECT_LT(two.height, single.height * 2.2);
    EXPECT_GT(fit.length, 10);
    EXPECT_LT(fit.length, long(text(kParagraph).length()));
    EXPECT_EQ(CTFramesetter::createWithAttributedString(text(""))->suggestFrameSizeWithConstraints(
                  {}, {100, 100}, &fit),
              CGSizeZero);
    EXPECT_EQ(fit.length, 0);
    // A sub-range measures only its own text.
    const CGSize part = setter->suggestFrameSizeWithConstraints(CFRangeMake(0, 7), {1e9, 1e9});
    EXPECT_LT(part.width, single.width / 5);
}

TEST_F(CTFramesetterTest, FramesHoldWholeLinesWithOriginsFromTheTop) {
    const auto setter = CTFramesetter::createWithAttributedString(text(kParagraph));
    CGPath path;
    path.addRect(CGRectMake(10, 10, 150, 60));
    const auto frame = setter->createFrame({}, path);
    ASSERT_GE(frame->lines().size(), 2u);
    const auto origins = frame->lineOrigins();
    ASSERT_EQ(origins.size(), frame->lines().size());
    const CTFontRef font = CTFont::createWithName("Helvetica", 14);
    EXPECT_NEAR(origins[0].y, 60 - font->ascent(), 1.0);
    for (size_t i = 1; i < origins.size(); ++i) {
        EXPECT_LT(origins[i].y, origins[i - 1].y);
        EXPECT_GE(origins[i].y - font->descent(), -0.01);
    }
    EXPECT_LT(frame->visibleStringRange().length, frame->stringRange().length);
    EXPECT_EQ(frame->lines()[1]->stringRange().location,
              frame->lines()[0]->stringRange().location + frame->lines()[0]->stringRange().length);

    auto c = makeContext(200, 100);
    frame->draw(*c);
    // Text only inside the frame: nothing below y = 10 or right of x = 160.
    bool outside = false;
    for (size_t y = 0; y < 100; ++y) {
        for (size_t x = 0; x < 200; ++x) {
            if (pixelAt(*c, x, y).a > 0 && (y > 90 || x > 161 || y < 30)) {
                outside = true;
            }
        }
    }
    EXPECT_FALSE(outside);
    EXPECT_EQ(c->getTextMatrix(), CGAffineTransformIdentity);
}

TEST_F(CTFramesetterTest, CentredLinesStartInsideTheFrame) {
    NSAttributedString s = text("Short line");
    CTStringAttributes centred;
    CTParagraphStyle style;
    style.alignment = kCTTextAlignmentCenter;
    centred.paragraphStyle = style;
    s.addAttributes(centred, CFRangeMake(0, 10));
    CGPath path;
    path.addRect(CGRectMake(0, 0, 200, 40));
    const auto frame = CTFramesetter::createWithAttributedString(s)->createFrame({}, path);
    ASSERT_EQ(frame->lines().size(), 1u);
    const CGFloat w = frame->lines()[0]->typographicBounds(nullptr, nullptr, nullptr);
    EXPECT_NEAR(frame->lineOrigins()[0].x, (200 - w) / 2, 1.0);
}

TEST_F(CTFramesetterTest, ConcurrentMeasurementMatchesAcrossThreads) {
    const std::vector<std::string> names = {"Market Square",  "Cathedral Hill", "Old Bridge",
                                            "Riverside Walk", "Castle Lane",    "Station Road"};
    auto measure = [&](std::vector<CGSize>& out) {
        for (int round = 0; round < 25; ++round) {
            out.clear();
            for (const std::string& name : names) {
                CTStringAttributes a;
                a.font = CTFont::createWithName(round % 2 ? "Helvetica-Bold" : "Helvetica", 15);
                out.push_back(CTFramesetter::createWithAttributedString(NSAttributedString(name, a))
                                  ->suggestFrameSizeWithConstraints({}, {120, 1e9}));
            }
        }
    };
    std::vector<CGSize> expected;
    measure(expected);
    std::vector<std::vector<CGSize>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&measure, &result] { measure(result); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& result : results) {
        ASSERT_EQ(result.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(result[i].width, expected[i].width, 1e-9);
            EXPECT_NEAR(result[i].height, expected[i].height, 1e-9);
        }
    }
}

TEST_F(CTFramesetterTest, ParagraphLineHeightsKeepWithinTheirLimits) {
    const CTFontRef font = CTFont::createWithName("Helvetica", 14);
    auto spacing = [&](CGFloat minimum, CGFloat maximum, CGFloat multiple) {
        NSAttributedString s = text(kParagraph);
        CTStringAttributes a;
        CTParagraphStyle style;
        style.minimumLineHeight = minimum;
        style.maximumLineHeight = maximum;
        style.lineHeightMultiple = multiple;
        a.paragraphStyle = style;
        s.addAttributes(a, CFRangeMake(0, long(s.length())));
        CGPath path;
        path.addRect(CGRectMake(0, 0, 150, 400));
        const auto origins =
            CTFramesetter::createWithAttributedString(s)->createFrame({}, path)->lineOrigins();
        return origins[0].y - origins[1].y;
    };
    EXPECT_NEAR(spacing(0, 0, 0), font->lineHeight(), 0.01);
    EXPECT_NEAR(spacing(30, 0, 0), 30, 0.01);
    EXPECT_NEAR(spacing(0, 12, 0), 12, 0.01);
    EXPECT_NEAR(spacing(0, 0, 1.5), font->lineHeight() * 1.5, 0.5);
    // The multiple applies first, then the limits.
    EXPECT_NEAR(spacing(0, 25, 1.5), std::min(25.0, font->lineHeight() * 1.5), 0.01);
    EXPECT_NEAR(spacing(font->lineHeight(), font->lineHeight(), 1), font->lineHeight(), 0.01);
    EXPECT_NEAR(spacing(30, 12, 0), 12, 0.01);
}
