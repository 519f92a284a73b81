#include <cmath>

#include "AnnotationMapFixture.h"
#include "UIKit/UILabel.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/ZELInteractiveMapScaleRulerView.h"
#include "mapkit/ZELInteractiveMapScaleView.h"

namespace {

class ZELInteractiveMapScaleViewTest : public AnnotationMapTest {
  protected:
    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped())
            return;
        overlay = ZELInteractiveMapScaleView::create(window_->bounds(), map_);
        window_->addSubview(overlay);
        map_->scaleBar()->setMapScaleHiddenAnimated(false, false);
        settle();
    }
    void TearDown() override {
        if (overlay)
            overlay->removeFromSuperview();
        overlay.reset();
        AnnotationMapTest::TearDown();
    }
    // Metres the scale bar gives for a horizontal stretch of the screen
    // (its bracket is drawn on whole points).
    double scaleBarMetres(CGFloat points) const {
        auto bar = map_->scaleBar()->mapScaleView();
        return points * bar->distance() / bar->frame().size.width;
    }
    static constexpr double kBarPrecision = 0.015;
    void measure(CGPoint a, CGPoint b) {
        touches_->down({a, b});
        ASSERT_TRUE(runUntil([&] { return !overlay->isHidden(); }, 3));
        CAFrameClock::shared().advance(1);
    }

    std::shared_ptr<ZELInteractiveMapScaleView> overlay;
};

TEST_F(ZELInteractiveMapScaleViewTest, RestingFingersShowARulerThatAgreesWithTheScaleBar) {
    ASSERT_NE(map_->scaleBar()->mapScaleView(), nullptr);
    measure(CGPointMake(60, 300), CGPointMake(260, 300));
    auto ruler = overlay->rulerView();
    EXPECT_FALSE(ruler->isHidden());
    EXPECT_FALSE(map_->isUserInteractionEnabled());  // the map's gestures are off
    double metres = overlay->distanceBetweenPoints(CGPointMake(60, 300), CGPointMake(260, 300));
    EXPECT_EQ(ruler->distanceLabel()->text(), stringWithDistanceFromFloat(float(metres)));
    EXPECT_NEAR(metres, scaleBarMetres(200), scaleBarMetres(200) * kBarPrecision);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/ruler"));
    touches_->up();
    CAFrameClock::shared().advance(1);
    EXPECT_TRUE(overlay->isHidden());
    EXPECT_TRUE(map_->isUserInteractionEnabled());
}

TEST_F(ZELInteractiveMapScaleViewTest, MeasuresWhereTheFingersAreAfterScrollingFar) {
    // Regression: the touch points were converted twice, so the scroll offset
    // counted twice and the ruler measured somewhere else on the map.
    CGPoint start = map_->contentOffset();
    map_->setContentOffset(CGPointMake(start.x + 2500, start.y + 1800));
    settle();
    for (CGPoint p : {CGPointMake(40, 90), CGPointMake(280, 500)}) {
        CLLocationCoordinate2D expected = map_->coordinateAtPoint(p);
        CLLocationCoordinate2D c0 =
            map_->layout()->coordinateAtOffset(overlay->convertPointToView(p, map_->mapView()));
        EXPECT_NEAR(c0.latitude, expected.latitude, 1e-7);
        EXPECT_NEAR(c0.longitude, expected.longitude, 1e-7);
    }
    CLLocation a = [&] {
        auto c = map_->coordinateAtPoint(CGPointMake(40, 90));
        return CLLocation(c.latitude, c.longitude);
    }();
    auto cb = map_->coordinateAtPoint(CGPointMake(280, 500));
    EXPECT_NEAR(overlay->distanceBetweenPoints(CGPointMake(40, 90), CGPointMake(280, 500)),
                a.distanceFromLocation(CLLocation(cb.latitude, cb.longitude)), 0.01);
    measure(CGPointMake(40, 400), CGPointMake(240, 400));
    double metres = overlay->distanceBetweenPoints(CGPointMake(40, 400), CGPointMake(240, 400));
    EXPECT_EQ(overlay->rulerView()->distanceLabel()->text(),
              stringWithDistanceFromFloat(float(metres)));
    EXPECT_NEAR(metres, scaleBarMetres(200), scaleBarMetres(200) * kBarPrecision);
    touches_->up();
}

TEST_F(ZELInteractiveMapScaleViewTest, LiftingBeforeTheFingersRestedShowsNothing) {
    touches_->down({CGPointMake(60, 300), CGPointMake(260, 300)});
    touches_->up();
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.8));
    EXPECT_TRUE(overlay->isHidden());
    EXPECT_TRUE(map_->isUserInteractionEnabled());
}

TEST(ZELInteractiveMapScaleRulerView, PlainHidingLeavesTheFadeAndMarkersAlone) {
    auto ruler = ZELInteractiveMapScaleRulerView::create(CGRectMake(0, 0, 200, 100));
    ruler->setHiddenAnimatedWithCompletionBlock(true, false, nullptr);
    ASSERT_TRUE(ruler->isHidden());
    const CGPoint offset = ruler->markerOffset();
    ruler->weakSuperSetHidden(false);
    EXPECT_FALSE(ruler->isHidden());
    EXPECT_EQ(ruler->alpha(), 1.0);
    EXPECT_EQ(ruler->markerOffset(), offset);
    ruler->weakSuperSetHidden(true);
    EXPECT_TRUE(ruler->isHidden());
}

TEST(ZELInteractiveMapScaleRulerView, TheLabelsPlateFollowsTheTintAndFlippingMovesTheMarkersMasks) {
    auto ruler = ZELInteractiveMapScaleRulerView::create(CGRectMake(0, 0, 200, 100));
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    parent->setTintColor(UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1));
    parent->addSubview(ruler);
    CGColor plate = ruler->distanceLabel()->backgroundColor()->CGColor();
    EXPECT_EQ(plate.red, 1.0);
    EXPECT_EQ(plate.blue, 0.0);
    EXPECT_NEAR(plate.alpha, 0.85, 1e-6);
    EXPECT_EQ(ruler->distanceLabel()->textColor().CGColor().green, 1.0);
    const unsigned upper =
        UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleTopMargin;
    EXPECT_EQ(ruler->startMarker()->autoresizingMask(), upper);
    ruler->setFlipped(true);
    EXPECT_EQ(ruler->endMarker()->autoresizingMask(), upper);
    EXPECT_EQ(
        ruler->startMarker()->autoresizingMask(),
        unsigned(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleBottomMargin));
}

TEST_F(ZELInteractiveMapScaleViewTest, AScaleBarShownAgainWhileFadingOutStays) {
    // Regression: the fade's end removed a bar that had been shown again.
    auto bar = map_->scaleBar()->mapScaleView();
    ASSERT_NE(bar, nullptr);
    map_->scaleBar()->setMapScaleHiddenAnimated(true, true);
    CAFrameClock::shared().advance(0.2);
    map_->scaleBar()->setMapScaleHiddenAnimated(false, true);
    CAFrameClock::shared().advance(1);
    CAFrameClock::shared().advance(1);
    ASSERT_NE(map_->scaleBar()->mapScaleView(), nullptr);
    EXPECT_EQ(map_->scaleBar()->mapScaleView()->superview(), window_);
    EXPECT_FALSE(map_->scaleBar()->mapScaleView()->isHidden());
    EXPECT_EQ(map_->scaleBar()->mapScaleView()->alpha(), 1.0);

    map_->scaleBar()->setMapScaleHiddenAnimated(true, true);
    CAFrameClock::shared().advance(1);
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(map_->scaleBar()->mapScaleView(), nullptr);
    EXPECT_EQ(bar->superview(), nullptr);
}

}  // namespace
