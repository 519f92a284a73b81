#include "MapViewHome.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapWebMercatorProjection.h"

namespace {

// A small city, about 6 x 5 km.
std::shared_ptr<CBBoundingBox> cityBox() {
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(CLLocationCoordinate2DMake(47.40, 8.58),
                                                           CLLocationCoordinate2DMake(47.35, 8.50));
}

class CBMapScrollViewTest : public ::testing::Test {
  protected:
    MapViewHome home;
    void SetUp() override {
        ASSERT_EQ(UIScreen::mainScreen()->scale(), 2);
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->layout()->setMapBoundingBox(cityBox());
    }
    // Zooms to a native level without animation.
    void zoomToLevel(int level) {
        map->setZoomScale(map->layout()->scaleForNativeZoomlevel(level) /
                          UIScreen::mainScreen()->scale());
    }

    std::shared_ptr<CBMapScrollView> map;
    CBMapWebMercatorProjection mercator;
};

TEST_F(CBMapScrollViewTest, ZoomLevelsAndScales) {
    EXPECT_EQ(CBMapLayout::tileWidth(), 512);
    EXPECT_EQ(map->layout()->maximumZoomLevel(), 18);
    EXPECT_EQ(map->layout()->scaleForNativeZoomlevel(18), 1.0f);
    EXPECT_EQ(map->layout()->scaleForNativeZoomlevel(15), 0.125f);
    EXPECT_EQ(map->layout()->nativeZoomLevelForScale(0.3f), 16);
    EXPECT_EQ(map->maximumZoomScale(), 0.5);
    map->setZoomScale(0.5);
    EXPECT_EQ(map->layout()->nativeZoomLevel(), 18);
    map->setZoomScale(0.25);
    EXPECT_EQ(map->layout()->nativeZoomLevel(), 17);
    // Zooming in stops at the top level, zooming out where the box fills the view.
    map->setZoomScale(4);
    EXPECT_EQ(map->zoomScale(), 0.5);
    map->setZoomScale(0.0001);
    EXPECT_EQ(map->zoomScale(), map->minimumZoomScale());
    CGSize shown = map->mapContainerView()->frame().size;
    EXPECT_GE(shown.width + 0.5, 320);
    EXPECT_GE(shown.height + 0.5, 480);
    EXPECT_TRUE(shown.width < 321 || shown.height < 481);
}

TEST_F(CBMapScrollViewTest, StartsOneLevelInAtTheCentreOfTheBox) {
    EXPECT_DOUBLE_EQ(map->zoomScale(), 2 * map->minimumZoomScale());
    CLLocationCoordinate2D centre = map->coordinateAtPoint(CGPointMake(160, 240));
    EXPECT_NEAR(centre.latitude, 47.375, 1e-3);
    EXPECT_NEAR(centre.longitude, 8.54, 1e-3);
}

TEST_F(CBMapScrollViewTest, SetMaximumZoomLevelLimitsZoomingOnly) {
    map->layout()->setMaximumZoomLevel(16);
    EXPECT_DOUBLE_EQ(map->maximumZoomScale(), 0.25 / 2);
    EXPECT_EQ(map->layout()->maximumZoomLevel(), 18);
    map->setZoomScale(1);
    EXPECT_EQ(map->layout()->nativeZoomLevel(), 16);
}

TEST_F(CBMapScrollViewTest, GridIsAlignedToTilesOfTheMinimumLevelAndCoversTheBox) {
    int zmin = map->layout()->minimumZoomLevel();
    int f = 1 << (18 - zmin);
    EXPECT_EQ(map->layout()->offsetCols() % f, 0);
    EXPECT_EQ(map->layout()->offsetRows() % f, 0);
    auto box = cityBox();
    CGRect grid = map->mapView()->frame();
    EXPECT_LE(grid.origin.x, 0);
    EXPECT_LE(grid.origin.y, 0);
    CGPoint ne = map->layout()->offsetForCoordinate(box->NE());
    CGPoint sw = map->layout()->offsetForCoordinate(box->SW());
    EXPECT_GE(sw.x, 0);
    EXPECT_GE(ne.y, 0);
    EXPECT_LE(ne.x, grid.size.width);
    EXPECT_LE(sw.y, grid.size.height);
    EXPECT_EQ(map->mapView()->offsetColumns(), map->layout()->offsetCols());
}

TEST_F(CBMapScrollViewTest, ConvertsBothWaysAtEveryZoomLevel) {
    const CLLocationCoordinate2D places[] = {
        {47.3769, 8.5417}, {47.3512, 8.5012}, {47.3990, 8.5790}};
    for (int z = map->layout()->minimumZoomLevel(); z <= 18; ++z) {
        SCOPED_TRACE(z);
        zoomToLevel(z);
        ASSERT_EQ(map->layout()->nativeZoomLevel(), z);
        float s = map->layout()->scaleForNativeZoomlevel(z);
        double tileSide = CBMapLayout::tileWidth() / s;
        for (const auto& c : places) {
            CGPoint offset = map->layout()->offsetForCoordinate(c);
            CLLocationCoordinate2D back = map->layout()->coordinateAtOffset(offset);
            EXPECT_NEAR(back.latitude, c.latitude, 1e-9);
            EXPECT_NEAR(back.longitude, c.longitude, 1e-9);

            // The content point lies in the tile the projection names at this level.
            int x = static_cast<int>(std::floor(offset.x / tileSide)) +
                    static_cast<int>(s * map->layout()->offsetCols());
            int y = static_cast<int>(std::floor(offset.y / tileSide)) +
                    static_cast<int>(s * map->layout()->offsetRows());
            EXPECT_EQ(x, mercator.tilexForCoordinateAndZoom(c, z));
            EXPECT_EQ(y, mercator.tileyForCoordinateAndZoom(c, z));
            CGRect tile = map->layout()->rectForXYZ(x, y, z);
            EXPECT_TRUE(CGRectContainsPoint(tile, offset));
            EXPECT_DOUBLE_EQ(tile.size.width, tileSide);

            // Scroll-view content point back to the coordinate through the visible area.
            CGPoint point = map->pointForCoordinate(c);
            CGPoint visible =
                CGPointMake(point.x - map->contentOffset().x, point.y - map->contentOffset().y);
            CLLocationCoordinate2D seen = map->coordinateAtPoint(visible);
            EXPECT_NEAR(seen.latitude, c.latitude, 1e-7);
            EXPECT_NEAR(seen.longitude, c.longitude, 1e-7);
        }
    }
}

TEST_F(CBMapScrollViewTest, CoordinateAtPointIsRelativeToTheVisibleArea) {
    zoomToLevel(16);
    map->setContentOffset(CGPointMake(300, 200));
    map->visibleArea()->calculateVisibleBBox();
    CLLocationCoordinate2D nw = map->coordinateAtPoint(CGPointZero);
    EXPECT_NEAR(nw.latitude, map->visibleArea()->visibleBBox()->NE().latitude, 1e-9);
    EXPECT_NEAR(nw.longitude, map->visibleArea()->visibleBBox()->SW().longitude, 1e-9);
    EXPECT_GT(map->visibleArea()->pointsPerKilometer(), 0);
    EXPECT_NEAR(map->visibleArea()->widerBBox()->latitudeSpan(),
                3 * map->visibleArea()->visibleBBox()->latitudeSpan(), 1e-9);
}

TEST_F(CBMapScrollViewTest, WiderBoxFactorIsClamped) {
    map->visibleArea()->setWiderBBoxFactor(10);
    EXPECT_EQ(map->visibleArea()->widerBBoxFactor(), 5.0);
    map->visibleArea()->setWiderBBoxFactor(1);
    EXPECT_EQ(map->visibleArea()->widerBBoxFactor(), 1.5);
}

TEST_F(CBMapScrollViewTest, BoxesAndMovesOutsideTheMapAreRefused) {
    EXPECT_FALSE(map->moveToCoordinateAnimated(CLLocationCoordinate2DMake(48, 9), false));
    auto outside = CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(48.1, 9.1), CLLocationCoordinate2DMake(48, 9));
    EXPECT_EQ(map->layout()->rectForBoundingBox(outside), CGRectZero);
    EXPECT_FALSE(map->zoomToBoundingBoxAnimated(outside, false));
    EXPECT_FALSE(map->zoomToBoundingBoxAnimated(nullptr, false));
    // Touching the map's eastern edge in a line only still gives a rect.
    auto edge = CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(47.38, 8.60), CLLocationCoordinate2DMake(47.37, 8.58));
    CGRect line = map->layout()->rectForBoundingBox(edge);
    EXPECT_GE(line.size.width, 1);
    EXPECT_GE(line.size.height, 1);
}

TEST_F(CBMapScrollViewTest, ZoomToBoundingBoxShowsTheBox) {
    auto district = CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(47.380, 8.545), CLLocationCoordinate2DMake(47.370, 8.535));
    EXPECT_TRUE(map->zoomToBoundingBoxAnimated(district, false));
    map->visibleArea()->calculateVisibleBBox();
    auto shown = map->visibleArea()->visibleBBox();
    EXPECT_LE(shown->SW().latitude, 47.3705);
    EXPECT_GE(shown->NE().latitude, 47.3795);
    EXPECT_LE(shown->SW().longitude, 8.5355);
    EXPECT_GE(shown->NE().longitude, 8.5445);
}

TEST_F(CBMapScrollViewTest, NilBoxLeavesTheMapUnconfigured) {
    map->layout()->setMapBoundingBox(nullptr);
    EXPECT_EQ(map->layout()->mapBoundingBox(), nullptr);
    EXPECT_EQ(map->layout()->mapProjection(), nullptr);
    EXPECT_FALSE(map->moveToCoordinateAnimated(CLLocationCoordinate2DMake(47.37, 8.54), false));
}

TEST_F(CBMapScrollViewTest, StaysItsOwnScrollViewDelegate) {
    auto other = std::make_shared<UIScrollViewDelegate>();
    map->setDelegate(other);
    EXPECT_EQ(map->UIScrollView::delegate().get(), static_cast<UIScrollViewDelegate*>(map.get()));
    EXPECT_EQ(map->viewForZoomingInScrollView(*map), map->mapContainerView());
}

}  // namespace
