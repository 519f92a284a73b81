#include <cmath>

#include "AnnotationMapFixture.h"
#include "mapkit/CBMapLayout.h"

namespace {

// Zooms a person makes: pinches about any point of the map and the map
// screen's zoom steps, with room beyond the map's edges for dragging to the
// neighbouring maps, as the map screen gives it.
class CBMapScrollViewZoomTest : public AnnotationMapTest {
  protected:
    static constexpr CGFloat kEdgeRoom = 40;

    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped())
            return;
        map_->setContentInset(UIEdgeInsetsMake(kEdgeRoom, kEdgeRoom, kEdgeRoom, kEdgeRoom));
    }

    // Two fingers around `point` spread (or close) to `factor` times their distance.
    void pinch(CGPoint point, CGFloat factor) {
        const CGFloat r = 20;
        auto around = [&](CGFloat d) {
            return std::vector<CGPoint>{{point.x - d, point.y}, {point.x + d, point.y}};
        };
        touches_->down(around(r));
        for (int i = 1; i <= 4; ++i)
            touches_->move(around(r * std::pow(factor, i / 4.0)));
        touches_->up();
        CAFrameClock::shared().advance(1);  // past any bounce back
        map_->layoutIfNeeded();
    }

    // How far, in points, the coordinate is from where it was shown.
    double drift(CLLocationCoordinate2D coordinate, CGPoint shownAt) {
        const CGPoint now = windowPointFor(coordinate);
        return std::hypot(now.x - shownAt.x, now.y - shownAt.y);
    }

    // The map shows nothing beyond its box.
    ::testing::AssertionResult insideTheMap() {
        const CGPoint o = map_->contentOffset();
        const CGSize content = map_->contentSize(), size = map_->bounds().size;
        if (o.x < -0.01 || o.y < -0.01 || o.x > content.width - size.width + 0.01 ||
            o.y > content.height - size.height + 0.01)
            return ::testing::AssertionFailure()
                   << "offset (" << o.x << ", " << o.y << ") shows beyond the map of "
                   << content.width << " x " << content.height;
        return ::testing::AssertionSuccess();
    }

    CLLocationCoordinate2D middle() const {
        return map_->coordinateAtPoint({kWidth / 2, kHeight / 2});
    }

    // Zoom steps of the map screen's buttons, each to the next level.
    void step(int levels, bool waitEach) {
        for (int i = 0; i < std::abs(levels); ++i) {
            const int level = map_->layout()->targetNativeZoomLevel() + (levels > 0 ? 1 : -1);
            map_->stepZoomToScale(map_->layout()->scaleForNativeZoomlevel(level) /
                                  UIScreen::mainScreen()->scale());
            if (waitEach)
                CAFrameClock::shared().advance(1);
        }
        CAFrameClock::shared().advance(1);
        map_->layoutIfNeeded();
    }
};

TEST_F(CBMapScrollViewZoomTest, APinchKeepsThePlaceUnderTheFingersInEveryQuarter) {
    for (const CGPoint point :
         {CGPoint{70, 110}, CGPoint{260, 130}, CGPoint{60, 470}, CGPoint{290, 520}}) {
        const CLLocationCoordinate2D place = map_->coordinateAtPoint(point);
        const CGFloat before = map_->zoomScale();
        pinch(point, 1.6);
        EXPECT_NEAR(map_->zoomScale(), before * 1.6, 1e-6);
        EXPECT_LT(drift(place, point), 0.5) << "in at " << point.x << ", " << point.y;
        pinch(point, 1 / 1.6);
        EXPECT_NEAR(map_->zoomScale(), before, 1e-6);
        EXPECT_LT(drift(place, point), 0.5) << "out at " << point.x << ", " << point.y;
    }
}

TEST_F(CBMapScrollViewZoomTest, AtTheEndsOfTheZoomRangeAPinchKeepsThePlaceAsFarAsTheMapAllows) {
    // Fully in: pinching further in springs back to the deepest level with the
    // place still under the fingers.
    const CGPoint point{250, 150};
    map_->setZoomScaleAnimated(map_->maximumZoomScale(), false);
    const CLLocationCoordinate2D place = map_->coordinateAtPoint(point);
    pinch(point, 3);
    EXPECT_DOUBLE_EQ(map_->zoomScale(), map_->maximumZoomScale());
    EXPECT_LT(drift(place, point), 0.5);
    EXPECT_TRUE(insideTheMap());

    // Out past the widest view at a corner: the map fills the view, nothing
    // of the room beyond its edges shows, and the edge room comes back for
    // dragging afterwards.
    for (const CGPoint corner : {CGPoint{25, 25}, CGPoint{295, 543}}) {
        pinch(corner, 0.01);
        EXPECT_DOUBLE_EQ(map_->zoomScale(), map_->minimumZoomScale());
        EXPECT_TRUE(insideTheMap()) << "after a pinch at " << corner.x << ", " << corner.y;
    }
    EXPECT_EQ(map_->contentInset(), UIEdgeInsetsMake(kEdgeRoom, kEdgeRoom, kEdgeRoom, kEdgeRoom));
}

TEST_F(CBMapScrollViewZoomTest, StepsOutToTheWidestViewAndBackReturnToTheSamePlace) {
    for (const bool waitEach : {true, false}) {
        ASSERT_TRUE(map_->zoomToBoundingBoxAnimated(oldTown(), false));
        settle();
        const CLLocationCoordinate2D start = middle();
        const int level = map_->layout()->nativeZoomLevel();
        const int widest = map_->layout()->minimumZoomLevel();
        ASSERT_GT(level - widest, 2);
        step(-(level - widest), waitEach);
        EXPECT_EQ(map_->layout()->nativeZoomLevel(), widest);
        EXPECT_TRUE(insideTheMap());
        // The map's edge kept the middle off the old town...
        EXPECT_GT(drift(start, {kWidth / 2, kHeight / 2}), 10);
        step(level - widest, waitEach);
        EXPECT_EQ(map_->layout()->nativeZoomLevel(), level);
        // ...and the steps back in come back to it.
        EXPECT_LT(drift(start, {kWidth / 2, kHeight / 2}), 0.5) << (waitEach ? "slow" : "quick");
    }
}

TEST_F(CBMapScrollViewZoomTest, AStepAfterTheMapWasMovedIsAboutTheNewMiddle) {
    step(-2, true);
    touches_->drag({160, 300}, {100, 250}, 6, 0.5);
    touches_->up(0.5);
    CAFrameClock::shared().advance(2);
    map_->layoutIfNeeded();
    const CLLocationCoordinate2D moved = middle();
    step(1, true);
    EXPECT_LT(drift(moved, {kWidth / 2, kHeight / 2}), 0.5);
}

}  // namespace
