#include "mapkit/CBTileRequest.h"

#include <gtest/gtest.h>

#include <thread>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

class CBTileRequestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CBCoordinatePathValueTransformer::registerTransformer();
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CBDiskTileCache::setMainCacheDirectory(folder_.file("tiles"));
        CBDiskTileCache::setSqliteFilePath(folder_.file("CBDiskCache.sqlite"));
        previousScale_ = UIScreen::mainScreen()->scale();
        UIScreen::mainScreen()->setScale(2);
        manager_ = std::make_shared<CBGeoDisplayManager>();
    }
    void TearDown() override {
        if (auto cache = manager_->diskCache())
            cache->waitUntilIdle();
        manager_.reset();
        UIScreen::mainScreen()->setScale(previousScale_);
        NSBundle::setMainBundlePath("");
    }

    TemporaryFolder folder_;
    std::shared_ptr<CBGeoDisplayManager> manager_;
    CGFloat previousScale_ = 1;
};

TEST_F(CBTileRequestTest, GathersWhatTheRendererKnowsOfTheMap) {
    auto projector = CBMapProjector::worldWebMercator(18, 512);
    auto data = CBGeoDataManager::create();
    manager_->setProjector(projector);
    manager_->setGeoDataManager(data);
    manager_->setStoreIdentifier("neubrandenburg");
    manager_->setCacheTransparentTileImages(true);
    // The screen's scale is the one the renderer was made for: a drawing
    // thread reads no screen.
    UIScreen::mainScreen()->setScale(3);

    const CBTileRequest request =
        manager_->tileRequestForRectXYZAtScale(CGRectMake(0, 0, 2048, 2048), 3, 5, 16, 0.25f);
    EXPECT_EQ(request.x, 3);
    EXPECT_EQ(request.y, 5);
    EXPECT_EQ(request.zoom, 16);
    EXPECT_EQ(request.rect, CGRectMake(0, 0, 2048, 2048));
    EXPECT_EQ(request.screenScale, 2);
    EXPECT_DOUBLE_EQ(request.screenRelativeScale(), 0.125);
    EXPECT_EQ(request.projector, projector);
    EXPECT_EQ(request.dataManager, data);
    EXPECT_EQ(request.storeIdentifier, "neubrandenburg");
    EXPECT_EQ(request.styleIdentifier, "defaultMapStyle");
    EXPECT_EQ(request.styleSheet, manager_->styleSheetForCurrentThread());
    EXPECT_TRUE(request.transparentBackground);
    EXPECT_FALSE(request.redraw);

    // The style comes as the drawing thread's own copy.
    CBTileRequest theirs;
    std::thread([&] { theirs = manager_->tileRequestForXYZ(3, 5, 16); }).join();
    ASSERT_NE(theirs.styleSheet, nullptr);
    EXPECT_NE(theirs.styleSheet, request.styleSheet);
    EXPECT_EQ(theirs.styleSheet->baseMapStyle(), request.styleSheet->baseMapStyle());
    // Laid out by the projector: a level-16 tile of 512 pixels covers 2048 points.
    EXPECT_EQ(theirs.rect, projector->rectForXYZ(3, 5, 16));
    EXPECT_EQ(theirs.rect.size.width, 2048);
    EXPECT_FLOAT_EQ(theirs.scale, 0.25f);
}

TEST_F(CBTileRequestTest, AnUnconfiguredRendererGivesARequestWithNothingToProject) {
    const CBTileRequest request = manager_->tileRequestForXYZ(1, 2, 3);
    EXPECT_EQ(request.projector, nullptr);
    EXPECT_EQ(request.dataManager, nullptr);
    EXPECT_TRUE(request.storeIdentifier.empty());
    EXPECT_EQ(request.rect, CGRectZero);
    EXPECT_EQ(request.scale, 1);

    // With no screen scale the tile's own scale counts.
    CBTileRequest bare;
    bare.scale = 0.5f;
    bare.screenScale = 0;
    EXPECT_DOUBLE_EQ(bare.screenRelativeScale(), 0.5);
}

}  // namespace
