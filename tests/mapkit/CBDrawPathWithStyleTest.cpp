#include "mapkit/CBDrawPathWithStyle.h"

#include <gtest/gtest.h>

#include <set>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIGraphics.h"
#include "mapkit/CBGeoStyleIllustrationView.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;

// Premultiplied ARGB of one pixel (pixel centres at +0.5).
uint32_t pixel(CGContext& context, size_t x, size_t y) {
    const uint8_t* row = context.data() + y * context.bytesPerRow();
    return reinterpret_cast<const uint32_t*>(row)[x];
}

// A y-down context, as views and tiles draw.
std::shared_ptr<CGContext> flippedContext(size_t width, size_t height) {
    auto context = CGContext::createBitmapContext(width, height);
    context->translateCTM(0, CGFloat(height));
    context->scaleCTM(1, -1);
    return context;
}

CGPath horizontalLine(CGFloat y, CGFloat fromX, CGFloat toX) {
    CGPath path;
    path.moveToPoint(CGPointMake(fromX, y));
    path.addLineToPoint(CGPointMake(toX, y));
    return path;
}

std::shared_ptr<CBGeoStyle> redLine(CGFloat width, int cap) {
    auto style = std::make_shared<CBGeoStyle>();
    style->setStrokeColor(UIColor::redColor().CGColor());
    style->setStrokeWidth(width);
    style->setLineCap(cap);
    return style;
}

TEST(CBDrawPathWithStyleTest, ALineNeedsColourAndWidth) {
    auto context = flippedContext(40, 40);
    auto style = std::make_shared<CBGeoStyle>();
    style->setStrokeColor(UIColor::redColor().CGColor());
    CBDrawPathWithStyle(horizontalLine(20, 5, 35), *context, *style, 1);
    for (size_t x = 0; x < 40; ++x)
        EXPECT_EQ(pixel(*context, x, 20), 0u) << x;

    // The parent's width is inherited.
    auto parent = std::make_shared<CBGeoStyle>();
    parent->setStrokeWidth(4);
    style->setParentStyle(parent);
    CBDrawPathWithStyle(horizontalLine(20, 5, 35), *context, *style, 1);
    EXPECT_EQ(pixel(*context, 20, 20), kRed);
}

TEST(CBDrawPathWithStyleTest, EveryLineCapIsHonoured) {
    // A 10-point line from x = 10 to 30: caps reach 5 points beyond the ends.
    struct Case {
        int cap;
        uint32_t beyondEnd;  // (7, 20)
        uint32_t capCorner;  // (6, 16): inside a square cap, outside a round one
    };
    for (const Case& c :
         {Case{CBGeoStyle::kLineCapButt, 0u, 0u}, Case{CBGeoStyle::kLineCapRound, kRed, 0u},
          Case{CBGeoStyle::kLineCapSquare, kRed, kRed}}) {
        auto context = flippedContext(40, 40);
        CBDrawPathWithStyle(horizontalLine(20, 10, 30), *context, *redLine(10, c.cap), 1);
        EXPECT_EQ(pixel(*context, 20, 20), kRed) << c.cap;
        EXPECT_EQ(pixel(*context, 7, 20), c.beyondEnd) << c.cap;
        EXPECT_EQ(pixel(*context, 5, 15), c.capCorner) << c.cap;
    }
}

TEST(CBDrawPathWithStyleTest, WidthsAndDashesAreDividedByTheScale) {
    auto context = flippedContext(40, 40);
    auto style = redLine(4, CBGeoStyle::kLineCapButt);
    style->setStrokeDashes(std::vector<CGFloat>{6, 2});
    CBDrawPathWithStyle(horizontalLine(20, 0, 40), *context, *style, 2);
    // 2 wide: rows 19 and 20 painted, 18 and 21 not.
    EXPECT_EQ(pixel(*context, 1, 19), kRed);
    EXPECT_EQ(pixel(*context, 1, 20), kRed);
    EXPECT_EQ(pixel(*context, 1, 18), 0u);
    EXPECT_EQ(pixel(*context, 1, 21), 0u);
    // Dashes of 3 on, 1 off.
    for (size_t x = 0; x < 16; ++x)
        EXPECT_EQ(pixel(*context, x, 20), x % 4 == 3 ? 0u : kRed) << x;
    EXPECT_FLOAT_EQ(context->lineWidth(), 2);
}

TEST(CBDrawPathWithStyleTest, CasingLiesUnderTheFillAndTheStrokeOnTop) {
    auto context = flippedContext(40, 40);
    auto style = std::make_shared<CBGeoStyle>();
    style->setCasingColor(UIColor::blueColor().CGColor());
    style->setCasingWidth(6);
    style->setFillColor(UIColor::greenColor().CGColor());
    CGPath square;
    square.addRect(CGRectMake(10, 10, 20, 20));
    CBDrawPathWithStyle(square, *context, *style, 1);
    EXPECT_EQ(pixel(*context, 20, 20), 0xFF00FF00u);  // fill
    EXPECT_EQ(pixel(*context, 11, 20),
              0xFF00FF00u);                    // inner half of the casing is covered
    EXPECT_EQ(pixel(*context, 8, 20), kBlue);  // outer half shows
    EXPECT_EQ(pixel(*context, 6, 20), 0u);
}

TEST(CBDrawPathWithStyleTest, APatternFillsOverTheColourAtTheFillOpacity) {
    const uint32_t white = 0xFFFFFFFF;
    std::vector<uint32_t> pixels{white, 0, white, 0};  // a white column, a clear one
    auto pattern = std::make_shared<CBGeoStyleImage>(
        CGImage::createWithARGB32(2, 2, 8, reinterpret_cast<const uint8_t*>(pixels.data()), false),
        1);
    CGPath square;
    square.addRect(CGRectMake(0, 0, 10, 10));

    auto patternOnly = std::make_shared<CBGeoStyle>();
    patternOnly->setFillPatternImage(pattern);
    auto context = flippedContext(20, 20);
    CBDrawPathWithStyle(square, *context, *patternOnly, 1);
    // Columns alternate white and clear.
    EXPECT_EQ((std::set<uint32_t>{pixel(*context, 0, 0), pixel(*context, 1, 0)}),
              (std::set<uint32_t>{white, 0}));
    EXPECT_EQ(pixel(*context, 2, 5), pixel(*context, 0, 0));
    EXPECT_EQ(pixel(*context, 12, 12), 0u);  // clipped to the path

    auto both = std::make_shared<CBGeoStyle>();
    both->setFillPatternImage(pattern);
    both->setFillColor(UIColor::blueColor().CGColor());
    context = flippedContext(20, 20);
    CBDrawPathWithStyle(square, *context, *both, 1);
    EXPECT_EQ((std::set<uint32_t>{pixel(*context, 0, 0), pixel(*context, 1, 0)}),
              (std::set<uint32_t>{white, kBlue}));
}

TEST(CBGeoStyleIllustrationViewTest, LineStylesDrawAMiddleLineAreaStylesTheRectangle) {
    auto view = std::make_shared<CBGeoStyleIllustrationView>(CGRectMake(0, 0, 40, 15));
    view->setStyle(redLine(1, CBGeoStyle::kLineCapButt));
    auto context = flippedContext(40, 15);
    UIGraphicsPushContext(context);
    view->drawRect(view->bounds());
    UIGraphicsPopContext();
    // round(7.5) = 8: the 1-point line covers row 7 and row 8 by half each.
    for (size_t x : {0u, 20u, 39u}) {
        EXPECT_NE(pixel(*context, x, 7), 0u) << x;
        EXPECT_NE(pixel(*context, x, 8), 0u) << x;
    }
    EXPECT_EQ(pixel(*context, 20, 6), 0u);
    EXPECT_EQ(pixel(*context, 20, 9), 0u);

    auto area = std::make_shared<CBGeoStyle>();
    area->setFillColor(UIColor::blueColor().CGColor());
    view->setStyle(area);
    context = flippedContext(40, 15);
    UIGraphicsPushContext(context);
    view->drawRect(view->bounds());
    UIGraphicsPopContext();
    EXPECT_EQ(pixel(*context, 0, 0), kBlue);
    EXPECT_EQ(pixel(*context, 39, 14), kBlue);
}

}  // namespace
