#include "mapkit/CBGeoDataSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "CBGeoData/CBCoordinatePath.h"
#include "CoreLocation/CLLocation.h"
#include "SampleMapViewFixture.h"
#include "UIKit/UIColor.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/CBPublicTransportDataSource.h"
#include "mapkit/CBTileRequest.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

// Hands out the same picture for every tile.
class HeldTile : public CBImageDataSourceCacheDelegate {
  public:
    explicit HeldTile(Value::Data png) : png_(std::move(png)) {}
    std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                        const NSURL&) override {
        return std::nullopt;
    }
    std::optional<Value::Data> imageDataSourceCachedDataForTileAtXYZ(CBImageDataSource&, int, int,
                                                                     int) override {
        return png_;
    }

  private:
    Value::Data png_;
};

// Every kind of data source over a map view of the sample city, each drawing
// the tile at the market place from its map view and from its request.
class CBGeoDataSourceTest : public SampleMapViewTest {
  protected:
    static constexpr size_t kPixels = 512;
    static constexpr int kZoom = 16;

    void SetUp() override {
        SampleMapViewTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Both drawings of a vector tile are live, none from the cache.
        map_->displayManager()->disableDiskCache();

        auto path = std::make_shared<CBPathDataSource>();
        auto style = std::make_shared<CBGeoStyle>();
        style->setStrokeColor(UIColor::blueColor().CGColor());
        style->setStrokeWidth(8.0);
        path->setStyle(style);
        const CLLocationCoordinate2D c = market();
        path->setCoordinatePath(
            std::make_shared<CBCoordinatePath>(std::vector<std::shared_ptr<CLLocation>>{
                std::make_shared<CLLocation>(c.latitude - 0.001, c.longitude - 0.002),
                std::make_shared<CLLocation>(c.latitude + 0.001, c.longitude + 0.002)}));

        transit_ = std::make_shared<CBPublicTransportDataSource>(*map_);
        auto raster = std::make_shared<CBImageDataSource>();
        std::ifstream icon(sourceResourcesPath() + "/Icon.png", std::ios::binary);
        heldTile_ = std::make_shared<HeldTile>(
            Value::Data(std::istreambuf_iterator<char>(icon), std::istreambuf_iterator<char>()));
        raster->setCacheDelegate(heldTile_);
        sources_ = {map_->layers()->vectorDataSourceLayer(), path, transit_, raster};
    }
    static CLLocationCoordinate2D market() { return CLLocationCoordinate2DMake(53.5577, 13.2610); }
    int marketX() const {
        return map_->layout()->mapProjection()->tilexForCoordinateAndZoom(market(), kZoom);
    }
    int marketY() const {
        return map_->layout()->mapProjection()->tileyForCoordinateAndZoom(market(), kZoom);
    }

    // A tile drawn into a bitmap whose points are the tile's content points.
    template <class Draw>
    std::vector<uint8_t> pixelsOfTile(const CGRect& rect, Draw draw) {
        auto context = CGContext::createBitmapContext(kPixels, kPixels);
        const CGFloat scale = rect.size.width > 0 ? kPixels / rect.size.width : 1;
        context->translateCTM(0, kPixels);
        context->scaleCTM(1, -1);
        context->scaleCTM(scale, scale);
        context->translateCTM(-rect.origin.x, -rect.origin.y);
        draw(*context, float(scale));
        const uint8_t* data = context->data();
        return std::vector<uint8_t>(data, data + context->bytesPerRow() * kPixels);
    }
    // The source's drawing of tile x/y/z of a map view.
    std::vector<uint8_t> drawnForMap(CBGeoDataSource& source,
                                     const std::shared_ptr<CBMapScrollView>& map, int x, int y,
                                     int z) {
        const CGRect rect = map_->layout()->rectForXYZ(x, y, z);
        return pixelsOfTile(rect, [&](CGContext& context, float scale) {
            source.drawDataSourceInMapInRectForXYZAtScaleInContext(map, rect, x, y, z, scale,
                                                                   context);
        });
    }
    static bool blank(const std::vector<uint8_t>& pixels) {
        return std::all_of(pixels.begin(), pixels.end(), [](uint8_t byte) { return byte == 0; });
    }

    std::shared_ptr<CBPublicTransportDataSource> transit_;
    std::shared_ptr<HeldTile> heldTile_;
    std::vector<std::shared_ptr<CBGeoDataSource>> sources_;
};

}  // namespace

TEST_F(CBGeoDataSourceTest, EverySourceDrawsAMapViewsTileAsItsRequestDrawsIt) {
    ASSERT_TRUE(transit_->setPublicTransportType(2));
    EXPECT_EQ(transit_->assignedMap(), map_);
    const int x = marketX(), y = marketY();
    const CGRect rect = map_->layout()->rectForXYZ(x, y, kZoom);
    for (size_t i = 0; i < sources_.size(); ++i) {
        auto& source = *sources_[i];
        const auto fromMap = drawnForMap(source, map_, x, y, kZoom);
        map_->layers()->vectorDataSourceLayer()->resetCollisionDetectionMemory();
        const auto fromRequest = pixelsOfTile(rect, [&](CGContext& context, float scale) {
            source.drawTileRequestInContext(
                map_->displayManager()->tileRequestForRectXYZAtScale(rect, x, y, kZoom, scale),
                context);
        });
        EXPECT_FALSE(blank(fromMap)) << "source " << i;
        EXPECT_TRUE(fromMap == fromRequest) << "source " << i;
        map_->layers()->vectorDataSourceLayer()->resetCollisionDetectionMemory();
    }
}

TEST_F(CBGeoDataSourceTest, NothingIsDrawnWithoutAMapOrForATileThatIsNotOneOfItsOwn) {
    ASSERT_TRUE(transit_->setPublicTransportType(2));
    auto unopened = CBMapScrollView::create({{0, 0}, {320, 480}});
    unopened->visibleArea()->setSavesState(false);
    auto failed = CBMapScrollView::create({{0, 0}, {320, 480}});
    failed->visibleArea()->setSavesState(false);
    ASSERT_FALSE(failed->setMapWithStorePathAndBoundingBox(home_.folder().file("gone/gone.sqlite"),
                                                           nullptr));
    const int x = marketX(), y = marketY();
    for (size_t i = 0; i < sources_.size(); ++i) {
        auto& source = *sources_[i];
        EXPECT_TRUE(blank(drawnForMap(source, nullptr, x, y, kZoom))) << "source " << i;
        EXPECT_TRUE(blank(drawnForMap(source, unopened, x, y, kZoom))) << "source " << i;
        EXPECT_TRUE(blank(drawnForMap(source, failed, x, y, kZoom))) << "source " << i;
        // Far beyond the town, deeper than the map goes, and no level at all.
        EXPECT_TRUE(blank(drawnForMap(source, map_, x + 500, y, kZoom))) << "source " << i;
        EXPECT_TRUE(blank(drawnForMap(source, map_, x * 8, y * 8, 19))) << "source " << i;
        EXPECT_TRUE(blank(drawnForMap(source, map_, 0, 0, -1))) << "source " << i;
    }
}
