#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "SourceTileFixture.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/MapViewHome.h"
#include "platform/UIKit/UIKitTestSupport.h"

namespace {

std::vector<std::shared_ptr<CLLocation>> ring(double lat, double lon, double half) {
    return {std::make_shared<CLLocation>(lat - half, lon - half),
            std::make_shared<CLLocation>(lat - half, lon + half),
            std::make_shared<CLLocation>(lat + half, lon + half),
            std::make_shared<CLLocation>(lat + half, lon - half)};
}

class CBPathDataSourceTest : public UIKitTest {
  protected:
    // Made first and gone last: the map view saves its state in the home.
    MapViewHome home_;

    void SetUp() override {
        UIKitTest::SetUp();
        map_ = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map_->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(53.6153, 13.4074),
            CLLocationCoordinate2DMake(53.4382, 13.1094)));
        source_ = std::make_shared<CBPathDataSource>();
        auto style = std::make_shared<CBGeoStyle>();
        style->setStrokeColor(UIColor::blueColor().CGColor());
        style->setStrokeOpacity(0.7);
        style->setStrokeWidth(8.0);
        style->setFillColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1.0, 0.33).CGColor());
        source_->setStyle(style);
        source_->setClosedPath(true);
    }
    // The 2 x 2 tiles of level 16 that meet at (lat, lon), 256 pixels each.
    CGImageRef drawAround(double lat, double lon, int z = 16) {
        const double n = std::pow(2.0, z);
        const double fx = (lon + 180) / 360 * n;
        const double fy = (1 - std::asinh(std::tan(lat * M_PI / 180)) / M_PI) / 2 * n;
        const int x0 = int(std::lround(fx)) - 1, y0 = int(std::lround(fy)) - 1;
        auto context = flippedBitmap(512, 512);
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                drawTileInto(*context, *source_, map_->displayManager(),
                             map_->layout()->rectForXYZ(x0 + dx, y0 + dy, z), x0 + dx, y0 + dy, z,
                             CGPointMake(dx * 256.0, dy * 256.0), 256);
        return context->createImage();
    }
    // The corner where the four tiles of drawAround meet.
    static CLLocationCoordinate2D tileCorner(double lat, double lon, int z = 16) {
        const double n = std::pow(2.0, z);
        const double x = std::round((lon + 180) / 360 * n);
        const double y = std::round((1 - std::asinh(std::tan(lat * M_PI / 180)) / M_PI) / 2 * n);
        return CLLocationCoordinate2DMake(std::atan(std::sinh(M_PI * (1 - 2 * y / n))) * 180 / M_PI,
                                          x / n * 360 - 180);
    }

    std::shared_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBPathDataSource> source_;
};

}  // namespace

TEST_F(CBPathDataSourceTest, AnAreaWithAHoleIsFilledAroundItAndStrokedWholeAcrossTileEdges) {
    const auto corner = tileCorner(53.557, 13.261);
    // An outline whose edge runs just beside the tile edges, with a courtyard.
    const double edge = 0.0021;
    auto path =
        std::make_shared<CBCoordinatePath>(std::vector<std::vector<std::shared_ptr<CLLocation>>>{
            ring(corner.latitude + edge, corner.longitude + edge, edge - 0.00002),
            ring(corner.latitude + edge, corner.longitude + edge, edge / 3)});
    source_->setCoordinatePath(path);
    EXPECT_TRUE(matchesReference(drawAround(corner.latitude, corner.longitude),
                                 "../mapkit/path-area-with-hole"));
}

TEST_F(CBPathDataSourceTest, TilesAwayFromThePathDrawNothingAndBuildNothing) {
    source_->setCoordinatePath(std::make_shared<CBCoordinatePath>(ring(53.55, 13.26, 0.0005)));
    auto context = flippedBitmap(256, 256);
    const CGRect far = map_->layout()->rectForXYZ(0, 0, 16);
    drawTileInto(*context, *source_, map_->displayManager(), far, 0, 0, 16, CGPointZero, 256);
    EXPECT_FALSE(source_->pathRefInMap(nullptr));
    EXPECT_TRUE(source_->pathRefInMap(map_->layout()->projector().get()));
    source_->coordinateSystemChanged();
    EXPECT_FALSE(source_->pathRefInMap(nullptr));
}

TEST_F(CBPathDataSourceTest, PathsReplacedWhileTilesDrawAreNeverReadHalfFreed) {
    const auto corner = tileCorner(53.557, 13.261);
    std::atomic<bool> done = false;
    std::vector<std::thread> workers;
    const CGRect rect = map_->layout()->rectForXYZ(0, 0, 16);
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&] {
            auto context = flippedBitmap(64, 64);
            while (!done) {
                const auto p = map_->layout()->offsetForCoordinate(corner);
                const CGRect tile =
                    CGRectMake(p.x - rect.size.width / 2, p.y - rect.size.height / 2,
                               rect.size.width, rect.size.height);
                drawTileInto(*context, *source_, map_->displayManager(), tile, 0, 0, 16,
                             CGPointZero, 64);
            }
        });
    for (int i = 0; i < 300; ++i) {
        source_->setCoordinatePath(std::make_shared<CBCoordinatePath>(
            ring(corner.latitude, corner.longitude, 0.0001 * (1 + i % 7))));
        source_->coordinateSystemChanged();
    }
    done = true;
    for (auto& worker : workers)
        worker.join();
    EXPECT_TRUE(source_->pathRefInMap(map_->layout()->projector().get()));
}
