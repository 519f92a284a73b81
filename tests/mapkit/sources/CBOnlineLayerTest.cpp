#include <gtest/gtest.h>

#include <cmath>
#include "CBGeoData/CBBoundingBox.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSUserDefaults.h"
#include "TileServerProcess.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBImageLoaderView.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/MapViewHome.h"
#include "platform/UIKit/UIKitTestSupport.h"

class CBOnlineLayerTest : public UIKitTest {
  protected:
    MapViewHome home_;
};

TEST_F(CBOnlineLayerTest, TheOnlineLayerReplacesTheVectorMapAndStopsAtLevelEleven) {
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value("127.0.0.1:9999"),
                                                            "CBOnlineTileServiceHost");
    auto map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
    auto source = map->layers()->setupForThunderforestLayerWithBoundingBox(nullptr);
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("CBOnlineTileServiceHost");
    ASSERT_TRUE(source);
    EXPECT_FALSE(map->layers()->vectorDataSourceLayer());
    EXPECT_EQ(map->layout()->mapBoundingBox()->NE().latitude, 75.0);
    EXPECT_EQ(map->layout()->mapBoundingBox()->SW().latitude, -70.0);
    EXPECT_EQ(map->layout()->maximumZoomLevel(), 18);
    EXPECT_FLOAT_EQ(map->maximumZoomScale(),
                    std::pow(0.5, 18 - 11) / UIScreen::mainScreen()->scale());
    EXPECT_EQ(source->urlForXYZ(3, 5, 4)->absoluteString(),
              std::string("http://127.0.0.1:9999/neighbourhood/4/3/5.png?apikey=") +
                  CBMapLayers::kOnlineTileServiceKey);
    const auto sources = map->displayManager()->dataSources();
    EXPECT_EQ(sources.size(), 1u);
}

TEST_F(CBOnlineLayerTest, WithoutABoxTheOnlineLayerIsTheWorlds) {
    auto map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
    auto source = map->layers()->setupForThunderforestLayer();
    ASSERT_TRUE(source);
    EXPECT_EQ(map->displayManager()->dataSources(), CBGeoDisplayManager::DataSourceList{source});
    EXPECT_EQ(*map->layout()->mapBoundingBox(), *CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
                                                    CLLocationCoordinate2DMake(75.0, 179.5),
                                                    CLLocationCoordinate2DMake(-70.0, -179.5)));
    EXPECT_EQ(source->urlPattern(), CBMapLayers::onlineTileServiceURLPattern());
}

TEST_F(CBOnlineLayerTest, TheImageLoaderViewForgetsALoadWhenItIsGivenNoUrl) {
    TileServerProcess server({"--delay", "300"});
    ASSERT_TRUE(server.running());
    const std::string url = "http://" + server.host() +
                            "/neighbourhood/1/1/0.png?apikey=" + CBMapLayers::kOnlineTileServiceKey;
    CBImageLoaderView view;
    view.loadURL(url);
    view.loadURL(std::nullopt);
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.8));
    EXPECT_FALSE(view.image());

    view.loadURL(url);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return view.image() != nullptr; }, 5.0));
    // The same URL again changes nothing.
    view.loadURL(url);
    EXPECT_TRUE(view.image());
}
