#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "CBGeoData/CBStreetNameAbbreviation.h"
#include "CBGeoData/GeoPackageFixture.h"
#include "CoreGraphics/CGContext.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBVectorDataSource.h"
#include "mapkit/MapkitTestSupport.h"

// Draws tiles of the sample city through the whole pipeline: display manager,
// vector data source, disk cache in a temporary folder, at screen scale 2.
class VectorTileTest : public GeoPackageTest {
  protected:
    static constexpr size_t kPixels = 512;

    void SetUp() override {
        GeoPackageTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        useResourcesWithRenderedIcons();
        // Opening the German sample map picks the German street abbreviations.
        CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode("DE");
        previousScale_ = UIScreen::mainScreen()->scale();
        UIScreen::mainScreen()->setScale(2);
        CBDiskTileCache::setMainCacheDirectory(cacheFolder_.file("tiles"));
        CBDiskTileCache::setSqliteFilePath(cacheFolder_.file("CBDiskCache.sqlite"));
        display_ = std::make_shared<CBGeoDisplayManager>();
        display_->setGeoDataManager(manager_);
        display_->setStoreIdentifier("neubrandenburg");
        display_->setProjector(projector_);
        source_ = std::make_shared<CBVectorDataSource>(display_);
        display_->addDatasource(source_);
    }
    void TearDown() override {
        if (display_) {
            if (auto cache = display_->diskCache())
                cache->waitUntilIdle();
            UIScreen::mainScreen()->setScale(previousScale_);
        }
        CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(std::nullopt);
        source_.reset();
        display_.reset();
        GeoPackageTest::TearDown();
    }

    // The application bundle as the build assembles it: resources/ with the
    // map icons rendered at build time.
    void useResourcesWithRenderedIcons() {
#ifdef KELVARA_GENERATED_RESOURCES
        namespace fs = std::filesystem;
        const fs::path source = sourceResourcesPath();
        const fs::path bundle = fs::path(bundleFolder_.path()) / "Quillmere.bundle";
        for (const auto& entry : fs::directory_iterator(source)) {
            if (entry.path().filename() != "Quillmere.bundle")
                fs::create_symlink(entry.path(),
                                   fs::path(bundleFolder_.path()) / entry.path().filename());
        }
        fs::create_directories(bundle);
        for (const auto& entry : fs::directory_iterator(source / "Quillmere.bundle")) {
            if (entry.path().filename() != "icons")
                fs::create_symlink(entry.path(), bundle / entry.path().filename());
        }
        fs::create_directory_symlink(
            fs::path(KELVARA_GENERATED_RESOURCES) / "Quillmere.bundle/icons", bundle / "icons");
        NSBundle::setMainBundlePath(bundleFolder_.path());
#endif
    }

    struct Tile {
        int x, y, z;
    };
    static Tile tileAt(double latitude, double longitude, int zoom) {
        const double n = std::pow(2.0, zoom);
        const double rad = latitude * M_PI / 180;
        return Tile{int((longitude + 180) / 360 * n),
                    int((1 - std::asinh(std::tan(rad)) / M_PI) / 2 * n), zoom};
    }

    // A 512 x 512 y-down bitmap with the tile's content coordinates, over the
    // map's background (the base map colour) or transparent.
    std::shared_ptr<CGContext> render(const Tile& tile, bool background = true) {
        auto context = CGContext::createBitmapContext(kPixels, kPixels);
        const CGRect rect = projector_->rectForXYZ(tile.x, tile.y, tile.z);
        const CGFloat scale = kPixels / rect.size.width;
        context->translateCTM(0, kPixels);
        context->scaleCTM(1, -1);
        context->scaleCTM(scale, scale);
        context->translateCTM(-rect.origin.x, -rect.origin.y);
        if (auto base = background ? display_->styleSheet()->baseMapStyle() : nullptr) {
            if (auto fill = base->fillColor()) {
                context->setFillColorWithColor(*fill);
                context->fillRect(rect);
            }
        }
        display_->drawDataSourcesInRectForXYZAtScaleInContext(rect, tile.x, tile.y, tile.z,
                                                              float(scale), *context);
        return context;
    }

    TemporaryFolder bundleFolder_;
    TemporaryFolder cacheFolder_;
    std::shared_ptr<CBGeoDisplayManager> display_;
    // Web Mercator tiles of 256 points, zoom 18 the deepest, as a map view
    // lays them out.
    std::shared_ptr<const CBMapProjector> projector_ = CBMapProjector::worldWebMercator();
    std::shared_ptr<CBVectorDataSource> source_;
    CGFloat previousScale_ = 1;
};
