#include "mapkit/CBMapScaleView.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGImage.h"
#include "Foundation/NSUserDefaults.h"
#include "MapViewHome.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UILabel.h"

namespace {

class CBMapScaleViewTest : public ::testing::Test {
  protected:
    // The unit default lives in the test's own home; made before the view.
    MapViewHome home_;
    void useMetric(bool metric) {
        NSUserDefaults::standardUserDefaults()->setBoolForKey(metric, "km");
    }
    void TearDown() override { NSUserDefaults::standardUserDefaults()->removeObjectForKey("km"); }

    std::shared_ptr<CBMapScaleView> viewRef = CBMapScaleView::create(CGRectMake(5, 5, 100, 20));
    CBMapScaleView& view = *viewRef;
};

struct Expected {
    bool metric;
    float pointsPerKilometer;
    double metres;
    const char* text;
    double width;
};

TEST_F(CBMapScaleViewTest, ChoosesEvenDistancesAndFollowsTheKmDefault) {
    const Expected cases[] = {
        {true, 1000, 100, "100 m", 100},
        {true, 100, 1000, "1.0 km", 100},
        {true, 10, 12000, "12 km", 120},
        {true, 3000, 40, "40 m", 120},
        // Below 50 m the bar steps by 2 m.
        {true, 2857.143f, 42, "42 m", 120},
        {true, 8000, 16, "16 m", 128},
        {false, 1000, 400 * 0.3048, "400 ft", 122},
        {false, 50, 5280 * 0.3048, "1 mi", 80},
        {false, 200, 2112 * 0.3048, "0.4 mi", 129},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto freshRef = CBMapScaleView::create(CGRectMake(5, 5, 100, 20));
        CBMapScaleView& fresh = *freshRef;
        useMetric(c.metric);
        fresh.setPointsPerKilometer(c.pointsPerKilometer);
        EXPECT_NEAR(fresh.distance(), c.metres, 0.01);
        EXPECT_EQ(fresh.distanceLabel()->text(), c.text);
        EXPECT_EQ(fresh.frame().size.width, c.width);
        EXPECT_EQ(fresh.frame().origin.x, 5);
        EXPECT_EQ(fresh.alpha(), 1);
    }
}

TEST_F(CBMapScaleViewTest, SameScaleInOtherUnitsChangesTheText) {
    useMetric(true);
    view.setPointsPerKilometer(1000);
    EXPECT_EQ(view.distanceLabel()->text(), "100 m");
    useMetric(false);
    view.setPointsPerKilometer(1000);
    EXPECT_EQ(view.distanceLabel()->text(), "400 ft");
}

TEST_F(CBMapScaleViewTest, HidesWhenNoBarFitsAndKeepsTheLastText) {
    useMetric(true);
    view.setPointsPerKilometer(1000);
    view.setPointsPerKilometer(0);
    EXPECT_EQ(view.alpha(), 0);
    EXPECT_EQ(view.distanceLabel()->alpha(), 0);
    EXPECT_EQ(view.distanceLabel()->text(), "100 m");
    EXPECT_EQ(view.distance(), 100);
    // Below a metre the even distance rounds to nothing.
    view.setPointsPerKilometer(500000);
    EXPECT_EQ(view.alpha(), 0);
    view.setPointsPerKilometer(100);
    EXPECT_EQ(view.alpha(), 1);
    EXPECT_EQ(view.distanceLabel()->text(), "1.0 km");
}

TEST_F(CBMapScaleViewTest, ColourDefaultsAndLabelPlacement) {
    EXPECT_EQ(view.color(), CBMapScaleView::defaultColor());
    view.setColor(UIColor::redColor());
    EXPECT_EQ(view.distanceLabel()->textColor(), UIColor::redColor());
    view.setColor(std::nullopt);
    EXPECT_EQ(view.color(), CBMapScaleView::defaultColor());
    view.setDisplayAtTop(true);
    view.layoutSubviews();
    EXPECT_EQ(view.distanceLabel()->frame(), CGRectMake(10, 3, 80, 20));
}

// The bar has no background of its own: beside its text the map shows
// through (here black), and only the bracket is drawn.
TEST_F(CBMapScaleViewTest, TheBarIsDrawnOverTheMapWithoutABackground) {
    useMetric(true);
    view.setPointsPerKilometer(1000);
    ASSERT_EQ(view.frame().size.width, 100);
    view.layoutIfNeeded();
    view.layer()->displayTreeIfNeeded();
    auto context = CGContext::createBitmapContext(100, 20, kCGImageAlphaNoneSkipFirst);
    ASSERT_TRUE(context);
    view.layer()->renderInContext(*context);
    auto image = context->createImage();
    ASSERT_TRUE(image);
    // The bitmap's rows run bottom up: row 0 is the bar's bottom line.
    auto grey = [&](size_t x, size_t y) { return int(image->pixelAt(x, y) & 0xFF); };
    // Beside the text, inside the bracket.
    EXPECT_LT(grey(94, 8), 8);
    EXPECT_LT(grey(6, 4), 8);
    // The bracket in its translucent grey.
    EXPECT_GT(grey(94, 0), 20);
}

}  // namespace
