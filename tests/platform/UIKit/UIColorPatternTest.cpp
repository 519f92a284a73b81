#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIGraphics.h"
#include "UIKitTestSupport.h"

namespace {

class UIColorPatternTest : public UIKitTest {};

TEST_F(UIColorPatternTest, PatternColoursRepeatTheirImage) {
    // A 4 x 4 point cell: red left half, blue right half.
    UIGraphicsBeginImageContextWithOptions({4, 4}, false, 1);
    auto context = UIGraphicsGetCurrentContext();
    context->setRGBFillColor(1, 0, 0, 1);
    context->fillRect(CGRectMake(0, 0, 2, 4));
    context->setRGBFillColor(0, 0, 1, 1);
    context->fillRect(CGRectMake(2, 0, 2, 4));
    auto cell = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();

    const UIColor pattern = UIColor::colorWithPatternImage(cell);
    EXPECT_EQ(pattern.colorSpaceModel(), kCGColorSpaceModelPattern);
    EXPECT_TRUE(pattern.CGColor().pattern);
    EXPECT_EQ(UIColor::colorWithPatternImage(nullptr), UIColor::clearColor());

    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 16, 4));
    view->setBackgroundColor(pattern);
    auto image = view->snapshotImage();  // at scale 2
    ASSERT_TRUE(image);
    EXPECT_EQ(image->CGImage()->pixelAt(1, 4), 0xFFFF0000u);
    EXPECT_EQ(image->CGImage()->pixelAt(6, 4), 0xFF0000FFu);
    EXPECT_EQ(image->CGImage()->pixelAt(25, 4), 0xFFFF0000u);  // the fourth repeat
    EXPECT_EQ(image->CGImage()->pixelAt(30, 4), 0xFF0000FFu);
}

TEST_F(UIColorPatternTest, GradientLayersBlendBetweenTheirColours) {
    auto gradient = CAGradientLayer::layer();
    gradient->setFrame(CGRectMake(0, 0, 10, 100));
    gradient->setColors({CGColorCreateGenericRGB(0, 0, 0, 1), CGColorCreateGenericRGB(1, 1, 1, 1)});
    auto context = CGContext::createBitmapContext(10, 100);
    context->translateCTM(0, 100);
    context->scaleCTM(1, -1);
    gradient->renderInContext(*context);
    auto image = context->createImage();
    EXPECT_LT(image->pixelAt(5, 2) & 0xFF, 0x10u);   // black at the top
    EXPECT_GT(image->pixelAt(5, 97) & 0xFF, 0xF0u);  // white at the bottom
    EXPECT_NEAR(double(image->pixelAt(5, 50) & 0xFF), 128, 4);

    gradient->setStartPoint({0, 0.5});
    gradient->setEndPoint({1, 0.5});
    gradient->setLocations({0.5, 0.5});  // a hard edge in the middle, across
    gradient->renderInContext(*context);
    image = context->createImage();
    EXPECT_LT(image->pixelAt(2, 50) & 0xFF, 0x10u);
    EXPECT_GT(image->pixelAt(8, 50) & 0xFF, 0xF0u);
}

}  // namespace
