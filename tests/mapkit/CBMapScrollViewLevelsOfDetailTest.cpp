#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "MapViewHome.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBGeoDataSource.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBTileRequest.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

using TileKey = std::tuple<int, int, int>;  // zoom, x, y

// Remembers every tile it is asked to draw (on any thread).
class TileRecorder : public CBGeoDataSource {
  public:
    void drawTileRequestInContext(const CBTileRequest& request, CGContext&) override {
        std::lock_guard lock(mutex_);
        tiles_.emplace_back(request.zoom, request.x, request.y);
    }
    std::vector<TileKey> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(tiles_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<TileKey> tiles_;
};

// A map as wide and low as a place screen's header, in a phone window. Its
// tiles are recorded by a source added through the map view (which then
// draws at a contents scale of 1) or, as the map's own vector source is,
// straight into the display manager's list (the view keeps the screen's).
class CBMapScrollViewLevelsOfDetailTest : public ::testing::TestWithParam<bool> {
  protected:
    MapViewHome home;
    void SetUp() override {
        ASSERT_EQ(UIScreen::mainScreen()->scale(), 2);
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 180));
        window->addSubview(map);
        window->makeKeyAndVisible();
        // About 40 x 30 km: at its minimum zoom the map shows a few zoom-11 tiles.
        map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(53.70, 13.45), CLLocationCoordinate2DMake(53.43, 13.05)));
        if (GetParam()) {
            map->layers()->removeVectorDataSource();
            map->layers()->addDatasource(tiles);
        } else {
            auto manager = map->displayManager();
            manager->removeDatasource(map->layers()->vectorDataSourceLayer());
            manager->addDatasource(tiles);
        }
        map->overlays()->addOverlayDatasource(highlight);
    }
    // The zoom whose tiles are the coarsest at least as fine as the screen.
    int shownZoom() const {
        const double pixelsPerPoint = map->zoomScale() * UIScreen::mainScreen()->scale();
        return map->layout()->maximumZoomLevel() + int(std::ceil(std::log2(pixelsPerPoint) - 1e-9));
    }
    // The tiles that can meet the map's 640 x 360 pixels at the shown zoom:
    // tiles of 512 pixels, up to twice as fine as the screen.
    size_t mostTilesOnScreen() const {
        const double pixelsPerPoint = map->zoomScale() * UIScreen::mainScreen()->scale();
        const double finer =
            std::pow(2.0, shownZoom() - map->layout()->maximumZoomLevel()) / pixelsPerPoint;
        const auto across = [&](double points) {
            return size_t(std::ceil(points * 2 * finer / 512)) + 1;
        };
        return across(320) * across(180);
    }
    void render() { ASSERT_NE(window->renderImage(2), nullptr); }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<CBMapScrollView> map;
    std::shared_ptr<TileRecorder> tiles = std::make_shared<TileRecorder>();
    std::shared_ptr<TileRecorder> highlight = std::make_shared<TileRecorder>();
};

TEST_P(CBMapScrollViewLevelsOfDetailTest, ZoomedOutToTheMinimumTheMapDrawsThatZoomsFewTiles) {
    map->setZoomScale(map->minimumZoomScale());
    const int zoom = shownZoom();
    ASSERT_LE(zoom, 12) << "the box is meant to need the map's coarsest levels";
    ASSERT_GE(zoom, map->layout()->minimumZoomLevel());
    render();
    const auto drawn = tiles->take();
    const auto outlined = highlight->take();
    ASSERT_FALSE(drawn.empty());
    EXPECT_LE(drawn.size(), mostTilesOnScreen());
    for (const auto& [z, x, y] : drawn)
        EXPECT_EQ(z, zoom) << "map tile " << x << "," << y;
    // The highlight lies on the same tiles, no finer.
    EXPECT_EQ(std::set<TileKey>(outlined.begin(), outlined.end()),
              std::set<TileKey>(drawn.begin(), drawn.end()));
}

TEST_P(CBMapScrollViewLevelsOfDetailTest, AfterAZoomTheHighlightIsDrawnAtTheNewZoomOnly) {
    map->setZoomScale(map->minimumZoomScale());
    render();
    tiles->take();
    highlight->take();
    for (int in = 1; in <= 4; ++in) {
        SCOPED_TRACE(in);
        map->setZoomScale(map->minimumZoomScale() * std::pow(2.0, in));
        render();
        const int zoom = shownZoom();
        const auto drawn = tiles->take();
        const auto outlined = highlight->take();
        ASSERT_FALSE(outlined.empty());
        EXPECT_LE(outlined.size(), mostTilesOnScreen());
        for (const auto& [z, x, y] : outlined)
            EXPECT_EQ(z, zoom) << "highlight tile " << x << "," << y;
        EXPECT_EQ(std::set<TileKey>(outlined.begin(), outlined.end()),
                  std::set<TileKey>(drawn.begin(), drawn.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(ThroughTheViewOrNot, CBMapScrollViewLevelsOfDetailTest, ::testing::Bool());

}  // namespace
