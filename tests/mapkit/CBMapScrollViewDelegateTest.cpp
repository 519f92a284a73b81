#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "MapViewHome.h"
#include "UIKit/UIGestureRecognizer.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

// A recogniser that stands still at a point of the content view.
class FakeRecognizer : public UIGestureRecognizer {
  public:
    FakeRecognizer(std::shared_ptr<UIView> content, CGPoint point)
        : content_(std::move(content)), point_(point) {}
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const override {
        return content_->convertPointToView(point_, view);
    }
    void moveToState(UIGestureRecognizerState state) { setState(state); }

  private:
    std::shared_ptr<UIView> content_;
    CGPoint point_;
};

class Recorder : public CBMapScrollViewDelegate {
  public:
    void mapScrollViewGotSingleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint p,
                                                       CLLocationCoordinate2D c) override {
        record("single", p, c);
    }
    void mapScrollViewGotDoubleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint p,
                                                       CLLocationCoordinate2D c) override {
        record("double", p, c);
    }
    void mapScrollViewGotTwoFingerTapAtPointAndCoordinate(CBMapScrollView&, CGPoint p,
                                                          CLLocationCoordinate2D c) override {
        record("twoFinger", p, c);
    }
    void mapScrollViewGotTapAndHoldAtPointAndCoordinate(CBMapScrollView&, CGPoint p,
                                                        CLLocationCoordinate2D c) override {
        record("hold", p, c);
    }
    std::optional<bool> mapScrollViewShouldZoomInAfterDoubleTapAt(CBMapScrollView&,
                                                                  CGPoint) override {
        events.push_back("shouldZoomIn");
        return allowZoom;
    }
    std::optional<bool> mapScrollViewShouldZoomOutAfterTwoFingerTapAt(CBMapScrollView&,
                                                                      CGPoint) override {
        events.push_back("shouldZoomOut");
        return allowZoom;
    }
    void mapScrollViewDidChangeBoundingBoxToAnimated(CBMapScrollView&,
                                                     const std::shared_ptr<CBBoundingBox>&,
                                                     bool) override {
        ++boxChanges;
    }
    bool mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(
        CBMapScrollView&, const std::shared_ptr<CBBoundingBox>& box, bool) override {
        widerBoxes.push_back(*box);
        return true;
    }

    std::optional<std::vector<std::shared_ptr<UIView>>> mapScrollViewOrnamentationViewsForDirection(
        CBMapScrollView&, unsigned direction) override {
        ++ornamentsAsked[direction];
        return std::vector<std::shared_ptr<UIView>>{std::make_shared<UIView>(CGRectZero)};
    }

    void record(const std::string& what, CGPoint p, CLLocationCoordinate2D c) {
        events.push_back(what);
        point = p;
        coordinate = c;
    }

    std::vector<std::string> events;
    CGPoint point{};
    CLLocationCoordinate2D coordinate{};
    std::optional<bool> allowZoom;
    int boxChanges = 0;
    std::vector<CBBoundingBox> widerBoxes;
    std::map<unsigned, int> ornamentsAsked;
};

class CBMapScrollViewDelegateTest : public ::testing::Test {
  protected:
    MapViewHome home;
    void SetUp() override {
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(47.40, 8.58), CLLocationCoordinate2DMake(47.35, 8.50)));
        map->setMapDelegate(recorder);
        here = map->layout()->offsetForCoordinate(place);
    }
    std::shared_ptr<FakeRecognizer> gestureAtPlace() {
        return std::make_shared<FakeRecognizer>(map->mapView(), here);
    }

    std::shared_ptr<CBMapScrollView> map;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    CLLocationCoordinate2D place = CLLocationCoordinate2DMake(47.3769, 8.5417);
    CGPoint here{};
};

TEST_F(CBMapScrollViewDelegateTest, TapsReportTheContentPointAndItsCoordinate) {
    auto tap = gestureAtPlace();
    map->handleSingleTapGesture(*tap);
    ASSERT_EQ(recorder->events, std::vector<std::string>{"single"});
    EXPECT_EQ(recorder->point, here);
    EXPECT_NEAR(recorder->coordinate.latitude, place.latitude, 1e-9);
    EXPECT_NEAR(recorder->coordinate.longitude, place.longitude, 1e-9);
}

TEST_F(CBMapScrollViewDelegateTest, LongPressReportsOnceAtItsStart) {
    auto press = gestureAtPlace();
    press->moveToState(UIGestureRecognizerStateBegan);
    map->handleLongPressGesture(*press);
    press->moveToState(UIGestureRecognizerStateChanged);
    map->handleLongPressGesture(*press);
    press->moveToState(UIGestureRecognizerStateEnded);
    map->handleLongPressGesture(*press);
    EXPECT_EQ(recorder->events, std::vector<std::string>{"hold"});
    EXPECT_NEAR(recorder->coordinate.latitude, place.latitude, 1e-9);
}

TEST_F(CBMapScrollViewDelegateTest, DoubleTapTellsTheDelegateFirstAndZoomsInUnlessRefused) {
    CGFloat before = map->zoomScale();
    recorder->allowZoom = false;
    map->handleDoubleTapGesture(*gestureAtPlace());
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"double", "shouldZoomIn"}));
    EXPECT_EQ(map->zoomScale(), before);
    EXPECT_FALSE(map->isAnimatedZooming());

    recorder->allowZoom = std::nullopt;
    map->handleDoubleTapGesture(*gestureAtPlace());
    EXPECT_TRUE(map->isAnimatedZooming());
}

TEST_F(CBMapScrollViewDelegateTest, TwoFingerTapDuringAnimatedZoomOnlyReports) {
    map->handleDoubleTapGesture(*gestureAtPlace());
    ASSERT_TRUE(map->isAnimatedZooming());
    recorder->events.clear();
    map->handleTwoFingerSingleTapGesture(*gestureAtPlace());
    EXPECT_EQ(recorder->events, std::vector<std::string>{"twoFinger"});

    map->scrollViewDidEndScrollingAnimation(*map);
    EXPECT_FALSE(map->isAnimatedZooming());
    recorder->events.clear();
    map->handleTwoFingerSingleTapGesture(*gestureAtPlace());
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"shouldZoomOut", "twoFinger"}));
    EXPECT_TRUE(map->isAnimatedZooming());
}

TEST_F(CBMapScrollViewDelegateTest, WiderBoxIsReportedOnlyWhenTheViewMovedSignificantly) {
    map->notifyDelegateMapDidChangeBBoxAnimated(false);
    ASSERT_EQ(recorder->widerBoxes.size(), 1u);
    EXPECT_EQ(recorder->boxChanges, 1);
    EXPECT_EQ(*map->visibleArea()->notifiedWiderBBox(), recorder->widerBoxes[0]);

    // Small pans inside the reported wider box (each move reports through
    // scrollViewDidScroll): the visible box each time, no wider box.
    CGPoint start = map->contentOffset();
    for (int step = 1; step <= 3; ++step)
        map->setContentOffset(CGPointMake(start.x + 10 * step, start.y));
    EXPECT_EQ(recorder->boxChanges, 4);
    EXPECT_EQ(recorder->widerBoxes.size(), 1u);

    // Zooming far in is significant (the zoom and the offset it moves may
    // each report); a small pan afterwards is not.
    map->setZoomScale(map->maximumZoomScale());
    size_t reported = recorder->widerBoxes.size();
    EXPECT_GE(reported, 2u);
    EXPECT_EQ(*map->visibleArea()->notifiedWiderBBox(), recorder->widerBoxes.back());
    map->setContentOffset(CGPointMake(map->contentOffset().x + 5, map->contentOffset().y));
    EXPECT_EQ(recorder->widerBoxes.size(), reported);
}

TEST_F(CBMapScrollViewDelegateTest, ScrollingReportsTheVisibleBoxUnlessAnAnimatedZoomRuns) {
    recorder->boxChanges = 0;
    map->scrollViewDidScroll(*map);
    EXPECT_EQ(recorder->boxChanges, 1);
    map->handleDoubleTapGesture(*gestureAtPlace());
    int during = recorder->boxChanges;
    map->scrollViewDidScroll(*map);
    EXPECT_EQ(recorder->boxChanges, during);
    map->scrollViewDidEndZoomingWithViewAtScale(*map, map->mapContainerView(), 1);
    EXPECT_EQ(recorder->boxChanges, during + 1);
    EXPECT_FALSE(map->isAnimatedZooming());
}

}  // namespace

TEST_F(CBMapScrollViewDelegateTest, OrnamentsAreLaidOutAheadAndAskedForAgainOnReload) {
    const UIEdgeInsets reach = UIEdgeInsetsMake(150, 150, 150, 150);
    map->setOrnamentationFramePreloadInset(reach);
    EXPECT_EQ(map->ornamentationFrameManager()->edgeInsets(), reach);
    map->ornamentationFrameManager()->layoutOrnamentationFrame();
    const auto first = recorder->ornamentsAsked;
    ASSERT_FALSE(first.empty());
    map->ornamentationFrameManager()->layoutOrnamentationFrame();
    EXPECT_EQ(recorder->ornamentsAsked, first);
    map->reloadOrnamentationFrameData();
    for (const auto& [direction, count] : first)
        EXPECT_EQ(recorder->ornamentsAsked[direction], count + 1) << direction;
}
