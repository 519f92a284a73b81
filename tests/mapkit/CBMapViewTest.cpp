#include "MapViewHome.h"
#include "mapkit/CBMapView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapBackgroundLayer.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"

namespace {

// Records the tiles drawRect asks for instead of drawing them.
class RecordingMapView : public CBMapView {
  public:
    using CBMapView::CBMapView;
    void requestDrawingForDatasourcesInRectXYZAtScaleInContext(const CGRect& rect, int x, int y,
                                                               int z, float scale,
                                                               CGContext&) override {
        tiles.emplace_back(x, y, z);
        rects.push_back(rect);
        scales.push_back(scale);
    }
    std::vector<std::tuple<int, int, int>> tiles;
    std::vector<CGRect> rects;
    std::vector<float> scales;
};

class CBMapViewTest : public ::testing::Test {
  protected:
    MapViewHome home;
    void SetUp() override {
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(47.40, 8.58), CLLocationCoordinate2DMake(47.35, 8.50)));
        view = std::make_shared<RecordingMapView>(CGRectMake(0, 0, 4096, 4096));
        view->setTileSize(CGSizeMake(512, 512));
        view->setManager(map->displayManager());
        view->setFillBackground(false);
        view->setOffsetRowAndColumn(map->layout()->offsetRows(), map->layout()->offsetCols());
    }
    // Runs drawRect as a tiled layer's worker does: with the level's scale in the context.
    void draw(const CGRect& rect, float scale) {
        auto context = CGContext::createBitmapContext(64, 64);
        context->scaleCTM(scale, scale);
        UIGraphicsPushContext(context);
        view->drawRect(rect);
        UIGraphicsPopContext();
    }

    std::shared_ptr<CBMapScrollView> map;
    std::shared_ptr<RecordingMapView> view;
};

TEST_F(CBMapViewTest, OneTileRectAsksForOneTile) {
    draw(CGRectMake(0, 0, 512, 512), 1);
    ASSERT_EQ(view->tiles.size(), 1u);
    EXPECT_EQ(view->tiles[0],
              std::make_tuple(map->layout()->offsetCols(), map->layout()->offsetRows(), 18));
    EXPECT_EQ(view->rects[0], CGRectMake(0, 0, 512, 512));
}

TEST_F(CBMapViewTest, TilesOfAnOuterLevelGoRowsOuterColumnsInner) {
    draw(CGRectMake(2048, 0, 4096, 4096), 0.25f);
    ASSERT_EQ(view->tiles.size(), 4u);
    int x0 = map->layout()->offsetCols() / 4 + 1;
    int y0 = map->layout()->offsetRows() / 4;
    EXPECT_EQ(view->tiles[0], std::make_tuple(x0, y0, 16));
    EXPECT_EQ(view->tiles[1], std::make_tuple(x0 + 1, y0, 16));
    EXPECT_EQ(view->tiles[2], std::make_tuple(x0, y0 + 1, 16));
    EXPECT_EQ(view->rects[3], CGRectMake(4096, 2048, 2048, 2048));
    EXPECT_EQ(view->scales[0], 0.25f);
    // Each tile's rect is where the map view puts that tile.
    auto [x, y, z] = view->tiles[3];
    map->mapView()->setOffsetRowAndColumn(map->layout()->offsetRows(), map->layout()->offsetCols());
    EXPECT_EQ(map->layout()->rectForXYZ(x, y, z), view->rects[3]);
}

TEST(CBMapBackgroundLayer, DrawsTheSameCheckerAsItsOwnDelegate) {
    auto layer = std::make_shared<CBMapBackgroundLayer>();
    auto direct = CGContext::createBitmapContext(64, 64);
    auto asDelegate = CGContext::createBitmapContext(64, 64);
    layer->drawInContext(*direct);
    layer->drawLayerInContext(*layer, *asDelegate);
    const size_t bytes = direct->bytesPerRow() * 64;
    ASSERT_EQ(asDelegate->bytesPerRow() * 64, bytes);
    const uint8_t* a = direct->data();
    const uint8_t* b = asDelegate->data();
    EXPECT_TRUE(std::equal(a, a + bytes, b));
    // Half-white cells beside clear ones.
    EXPECT_NE(std::count(a, a + bytes, uint8_t(0)), std::ptrdiff_t(bytes));
    EXPECT_GT(std::count(a, a + bytes, uint8_t(0)), 0);
}

TEST_F(CBMapViewTest, NothingWithoutAMapOrAScale) {
    draw(CGRectMake(0, 0, 0, 512), 1);
    EXPECT_TRUE(view->tiles.empty());
    view->setManager(nullptr);
    draw(CGRectMake(0, 0, 512, 512), 1);
    EXPECT_TRUE(view->tiles.empty());
}

}  // namespace
