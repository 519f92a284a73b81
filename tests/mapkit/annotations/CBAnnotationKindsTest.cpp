#include <gtest/gtest.h>

#include <cmath>

#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"
#include "Foundation/NSBundle.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "foundation/NSString+Base64.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBCircularControlAnnotationView.h"
#include "mapkit/MapkitTestSupport.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"

namespace {

TEST(CBBasicAnnotationTest, SharesItsPlaceWithBothLinksAndTheTitleEncoded) {
    CBBasicAnnotation a(53.5577, 13.261);
    a.setTitle("Café & Bar = gut");
    std::string here = NSLocalizedString("I am here");
    std::string text = a.textForSharing();
    EXPECT_EQ(text, here + ": Café & Bar = gut\n\n(" + stringWithCoordinate(a.coordinate()) +
                        ")\n\nhttp://maps.google.com/?ll=53.557700,13.261000&z=14&q=53.557700,"
                        "13.261000\n\nkelvara2://?ll=53.557700,13.261000&z=14&placemarker=1&"
                        "placename=Caf%C3%A9%20%26%20Bar%20%3D%20gut");
    auto items = a.activityItems();
    EXPECT_EQ(items.text, text);
    ASSERT_TRUE(items.mapItem);
    EXPECT_EQ(items.mapItem->name(), "Café & Bar = gut");
}

TEST(CBBasicAnnotationTest, WithoutTitleItSharesIAmHereAndAtAnInvalidPlaceOnlyText) {
    CBBasicAnnotation a(53.5577, 13.261);
    std::string here = NSLocalizedString("I am here");
    std::string text = a.textForSharing();
    EXPECT_EQ(text.substr(0, here.size() + 3), here + ": (");
    EXPECT_NE(text.find("placename=" + urlEncoded(here)), std::string::npos);
    CBBasicAnnotation nowhere(200, 400);
    EXPECT_FALSE(nowhere.activityItems().mapItem);
    EXPECT_TRUE(nowhere.activityItems().text);
    // Without a title the own link says so.
    CLLocation l(1, 2);
    EXPECT_EQ(kelvara2UrlForZoomlevelWithTitle(l, 3, std::nullopt),
              "kelvara2://?ll=1.000000,2.000000&z=3&placemarker=0&placename=");
}

class CBCircularControlTest : public ::testing::Test,
                              public CBCircularControlAnnotationViewDelegate {
  public:
    void circularControlAnnoationViewDidTapButtonAtIndex(CBCircularControlAnnotationView&,
                                                         size_t index) override {
        taps.push_back(index);
    }
    std::vector<size_t> taps;
};

std::shared_ptr<UIImage> squareIcon() {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), false, 1);
    UIGraphicsGetCurrentContext()->setGrayFillColor(0, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 20, 10));  // top half only
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

TEST_F(CBCircularControlTest, FourIconsSitBelowLeftAboveAndRightAndTapsNameTheirIndex) {
    auto ring = CBCircularControlAnnotationView::create(nullptr, "ring");
    EXPECT_EQ(ring->buttons().size(), 7u);  // placeholders
    EXPECT_FALSE(ring->canShowCallout());
    std::shared_ptr<CBCircularControlAnnotationViewDelegate> self(this, [](auto*) {});
    ring->setDelegate(self);
    ring->setFrame(CGRectMake(0, 0, 200, 200));
    ring->setIcons({squareIcon(), squareIcon(), squareIcon(), squareIcon()});
    ring->layoutIfNeeded();
    const auto& b = ring->buttons();
    ASSERT_EQ(b.size(), 4u);
    const CGFloat r = 100 - 27.5;
    auto at = [](const auto& button) { return button->center(); };
    EXPECT_NEAR(at(b[0]).x, 100, 1e-6);
    EXPECT_NEAR(at(b[0]).y, 100 + r, 1e-6);
    EXPECT_NEAR(at(b[1]).x, 100 - r, 1e-6);
    EXPECT_NEAR(at(b[2]).y, 100 - r, 1e-6);
    EXPECT_NEAR(at(b[3]).x, 100 + r, 1e-6);
    b[2]->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(taps, std::vector<size_t>{2});
    // A button replaced meanwhile calls nothing.
    auto old = b[0];
    ring->setIcons({squareIcon()});
    old->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(taps, std::vector<size_t>{2});
    EXPECT_EQ(ring->centerShapeLayer()->frame(), ring->bounds());
}

TEST(VADMaskedIconViewTest, PaintsTheImageShapeInTheTraitColourAndRefusesOtherTraits) {
    VADMaskedIconView icon;
    icon.configureWithImage(squareIcon());
    EXPECT_EQ(icon.bounds().size, CGSizeMake(20, 20));
    icon.setTrait(*VADStyleTrait::iconTraitWithColor(UIColor::redColor()));
    EXPECT_EQ(icon.color(), UIColor::redColor());
    EXPECT_EQ(icon.highlightedColor(), UIColor::whiteColor());

    LogCapture log;
    VADStyleTrait other("VADButtonStyle");
    other.setColor(UIColor::blueColor());
    icon.setTrait(other);
    EXPECT_TRUE(log.contains("Attempting to mix object"));
    EXPECT_TRUE(log.contains("of incompatible protocol VADButtonStyle into object"));
    EXPECT_EQ(icon.color(), UIColor::redColor());

    // The shape stands upright: the top half is painted, the bottom is not.
    auto context = CGContext::createBitmapContext(20, 20);
    context->translateCTM(0, 20);  // y down, as views draw
    context->scaleCTM(1, -1);
    UIGraphicsPushContext(context);
    icon.drawRect(icon.bounds());
    UIGraphicsPopContext();
    auto image = context->createImage();
    ASSERT_TRUE(image);
    EXPECT_GT((image->pixelAt(10, 3) >> 24) & 0xFF, 200u);
    EXPECT_EQ((image->pixelAt(10, 16) >> 24) & 0xFF, 0u);
}

TEST(CBLabelledShapeAnnotationViewTest, TheLabelFillsTheShapeLessItsInset) {
    auto stop = CBLabelledShapeAnnotationView::create();
    stop->setFrame(CGRectMake(0, 0, 40, 30));
    stop->setLabelInset(UIEdgeInsets{2, 4, 6, 8});
    stop->layoutIfNeeded();
    EXPECT_EQ(stop->label()->frame(), CGRectMake(4, 2, 28, 22));
    EXPECT_EQ(stop->shapeLayer()->frame(), stop->bounds());
}

}  // namespace
