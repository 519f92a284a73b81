#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "MapViewHome.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

class NullSource : public CBGeoDataSource {
  public:
    void drawTileRequestInContext(const CBTileRequest&, CGContext&) override {}
};

class SourceRecorder : public CBMapScrollViewDelegate {
  public:
    void mapScrollViewDidAddDataSourceAsOverlay(CBMapScrollView&,
                                                const std::shared_ptr<CBGeoDataSource>&,
                                                bool overlay) override {
        events.push_back(overlay ? "add overlay" : "add");
    }
    void mapScrollViewDidRemoveDataSourceWasOverlay(CBMapScrollView&,
                                                    const std::shared_ptr<CBGeoDataSource>&,
                                                    bool overlay) override {
        events.push_back(overlay ? "remove overlay" : "remove");
    }
    std::vector<std::string> events;
};

class CBMapScrollViewDataSourcesTest : public ::testing::Test {
  protected:
    MapViewHome home;
    void SetUp() override {
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(47.40, 8.58), CLLocationCoordinate2DMake(47.35, 8.50)));
        map->setMapDelegate(recorder);
    }
    size_t sourceCount() { return map->displayManager()->dataSources().size(); }

    std::shared_ptr<CBMapScrollView> map;
    std::shared_ptr<SourceRecorder> recorder = std::make_shared<SourceRecorder>();
};

TEST_F(CBMapScrollViewDataSourcesTest, SourcesJoinTheListInOrderAndTellTheDelegate) {
    size_t before = sourceCount();
    auto a = std::make_shared<NullSource>();
    auto b = std::make_shared<NullSource>();
    map->layers()->addDatasource(a);
    map->layers()->insertDatasourceBelow(b, a);
    map->layers()->addDatasource(nullptr);
    map->layers()->insertDatasourceAbove(b, nullptr);
    // b goes under a's lower neighbour, the map's own vector source.
    auto list = map->displayManager()->dataSources();
    ASSERT_EQ(list.size(), before + 2);
    ASSERT_GE(before, 1u);
    EXPECT_EQ(list[before - 1], b);
    EXPECT_EQ(list[before], map->layers()->vectorDataSourceLayer());
    EXPECT_EQ(list[before + 1], a);
    map->layers()->removeDatasource(a);
    EXPECT_EQ(sourceCount(), before + 1);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"add", "add", "remove"}));
}

TEST_F(CBMapScrollViewDataSourcesTest, OverlayViewLivesOnlyWhileOverlaysExist) {
    EXPECT_EQ(map->mapView()->overLayLayer(), nullptr);
    auto route = std::make_shared<NullSource>();
    auto highlight = std::make_shared<NullSource>();
    map->overlays()->addOverlayDatasource(route);
    auto overlay = map->mapView()->overLayLayer();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->superview(), map->mapView());
    EXPECT_FALSE(overlay->fillBackground());
    EXPECT_FALSE(overlay->isOpaque());
    EXPECT_EQ(overlay->offsetColumns(), map->layout()->offsetCols());
    EXPECT_EQ(overlay->offsetRows(), map->layout()->offsetRows());
    EXPECT_EQ(overlay->tileSize(), map->mapView()->tileSize());
    EXPECT_EQ(overlay->levelsOfDetail(), map->mapView()->levelsOfDetail());

    map->overlays()->addOverlayDatasource(highlight);
    map->overlays()->removeOverlayDatasource(route);
    EXPECT_EQ(map->mapView()->overLayLayer(), overlay);
    map->overlays()->removeOverlayDatasource(highlight);
    EXPECT_EQ(map->mapView()->overLayLayer(), nullptr);
    EXPECT_EQ(overlay->superview(), nullptr);

    map->overlays()->addOverlayDatasource(route);
    map->overlays()->addOverlayDatasource(highlight);
    recorder->events.clear();
    map->overlays()->removeAllOverlayDatasources();
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"remove overlay", "remove overlay"}));
    EXPECT_TRUE(map->displayManager()->overlayDataSources().empty());
    EXPECT_EQ(map->mapView()->overLayLayer(), nullptr);
}

TEST_F(CBMapScrollViewDataSourcesTest, BackgroundLayerFollowsTheBackgroundColour) {
    map->setBackgroundColor(UIColor::redColor());
    ASSERT_NE(map->mapBackgroundLayer(), nullptr);
    EXPECT_EQ(map->mapBackgroundLayer()->backgroundColor(), UIColor::redColor().CGColor());
    map->removeCheckerPattern();
    EXPECT_EQ(map->mapBackgroundLayer(), nullptr);
    map->setBackgroundColor(UIColor::blueColor());
}

TEST_F(CBMapScrollViewDataSourcesTest, RemovingTheVectorSourceLeavesTilesUnfilled) {
    auto vector = map->layers()->vectorDataSourceLayer();
    ASSERT_NE(vector, nullptr);
    auto list = map->displayManager()->dataSources();
    EXPECT_NE(std::find(list.begin(), list.end(), vector), list.end());
    map->layers()->removeVectorDataSource();
    EXPECT_EQ(map->layers()->vectorDataSourceLayer(), nullptr);
    EXPECT_TRUE(map->displayManager()->dataSources().empty());
    EXPECT_FALSE(map->mapView()->fillBackground());
    EXPECT_EQ(map->displayManager()->styleSheet(), nullptr);
    EXPECT_EQ(recorder->events, std::vector<std::string>{"remove"});
}

TEST_F(CBMapScrollViewDataSourcesTest, ScaleBarSitsInTheSuperviewAndFollowsTheScale) {
    map->scaleBar()->setMapScaleHiddenAnimated(false, false);
    EXPECT_EQ(map->scaleBar()->mapScaleView(), nullptr);  // no superview yet
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    parent->addSubview(map);
    map->scaleBar()->setMapScaleHiddenAnimated(false, false);
    auto bar = map->scaleBar()->mapScaleView();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->superview(), parent);
    EXPECT_EQ(bar->frame().origin, CGPointMake(5, 455));
    map->notifyDelegateMapDidChangeBBoxAnimated(false);
    EXPECT_GT(bar->distance(), 0);
    EXPECT_NEAR(bar->frame().size.width,
                bar->distance() * 0.001 * map->visibleArea()->pointsPerKilometer(), 0.5);
    map->removeFromSuperview();
    EXPECT_EQ(map->scaleBar()->mapScaleView(), nullptr);
    EXPECT_EQ(bar->superview(), nullptr);
}

TEST_F(CBMapScrollViewDataSourcesTest, ReloadKeepsZoomAndOffset) {
    map->setZoomScale(map->maximumZoomScale() / 4);
    map->setContentOffset(CGPointMake(700, 900));
    auto oldContent = map->mapView();
    map->reloadMapView();
    EXPECT_NE(map->mapView(), oldContent);
    EXPECT_EQ(oldContent->superview(), nullptr);
    EXPECT_DOUBLE_EQ(map->zoomScale(), map->maximumZoomScale() / 4);
    EXPECT_EQ(map->contentOffset(), CGPointMake(700, 900));
}

}  // namespace
