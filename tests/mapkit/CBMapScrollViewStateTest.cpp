#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "MapkitTestSupport.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapViewSavedState.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBOpenMap.h"

namespace {

std::shared_ptr<CBBoundingBox> cityBox() {
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(CLLocationCoordinate2DMake(47.40, 8.58),
                                                           CLLocationCoordinate2DMake(47.35, 8.50));
}

std::shared_ptr<CBBoundingBox> districtBox() {
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(47.380, 8.545), CLLocationCoordinate2DMake(47.370, 8.535));
}

class CBMapScrollViewStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSSetApplicationHome(home.path());
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->layout()->setMapBoundingBox(cityBox());
    }
    void TearDown() override {
        map.reset();
        NSSetApplicationHome("");
    }
    bool stateFileHas(const std::string& identifier) {
        return CBMapViewSavedState::persistentDictionaryForMapWithIdentifier(identifier)
            .has_value();
    }

    TemporaryFolder home;
    std::shared_ptr<CBMapScrollView> map;
};

TEST_F(CBMapScrollViewStateTest, StoreIdentifiers) {
    EXPECT_EQ(CBOpenMap::identifierForStorePathes({"maps/b/b.sqlite", "maps/a/a.sqlite"}), "ab");
    EXPECT_EQ(CBOpenMap::identifierForStorePathes({"maps/city/city.sqlite"}), "city");
    EXPECT_EQ(CBOpenMap::identifierForStorePathes({}), std::nullopt);
    EXPECT_EQ(CBMapScrollView::mapStorePathFromPathes({"maps/b/b.sqlite", "maps/a/a.sqlite"}),
              "ab");
    EXPECT_EQ(CBMapScrollView::mapStorePathFromPathes({}), std::nullopt);
}

TEST_F(CBMapScrollViewStateTest, MapsKeepSeparateEntriesAndRestoreTheirBox) {
    ASSERT_TRUE(map->zoomToBoundingBoxAnimated(districtBox(), false));
    map->visibleArea()->calculateVisibleBBox();
    auto saved = *map->visibleArea()->visibleBBox();
    map->saveStateWithIdentifier("one");
    map->setZoomScale(map->minimumZoomScale());
    map->visibleArea()->calculateVisibleBBox();
    map->saveStateWithIdentifier("two");

    auto one = CBMapViewSavedState::persistentBoundingBoxForMapWithIdentifier("one");
    ASSERT_NE(one, nullptr);
    EXPECT_NEAR(one->NE().latitude, saved.NE().latitude, 1e-9);
    EXPECT_NEAR(one->SW().longitude, saved.SW().longitude, 1e-9);
    EXPECT_EQ(CBMapViewSavedState::persistentZoomlevelForMapWithIdentifier("two"),
              map->layout()->minimumZoomLevel());
    EXPECT_EQ(CBMapViewSavedState::persistentZoomlevelForMapWithIdentifier("missing"),
              std::nullopt);

    EXPECT_TRUE(map->restoreStateWithIdentifier("one"));
    map->visibleArea()->calculateVisibleBBox();
    EXPECT_NEAR(map->visibleArea()->visibleCenter().latitude, saved.centerCoordinate().latitude,
                1e-4);
    EXPECT_FALSE(map->restoreStateWithIdentifier("missing"));
}

TEST_F(CBMapScrollViewStateTest, HelperViewNeverOverwritesTheUsersSavedView) {
    map->visibleArea()->calculateVisibleBBox();
    map->visibleArea()->setSavesState(false);
    map->setCurrentMapStorePath("city");
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    parent->addSubview(map);
    map->removeFromSuperview();
    map->applicationDidMoveToBackground();
    map->saveStateWithIdentifier(std::nullopt);
    EXPECT_FALSE(stateFileHas("city"));
    EXPECT_FALSE(stateFileHas("default"));
    // An explicit identifier is still saved.
    map->saveStateWithIdentifier("city");
    EXPECT_TRUE(stateFileHas("city"));
}

TEST_F(CBMapScrollViewStateTest, LeavingTheWindowSavesWhenAsked) {
    map->visibleArea()->calculateVisibleBBox();
    map->setCurrentMapStorePath("city");
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    parent->addSubview(map);
    map->removeFromSuperview();
    EXPECT_TRUE(stateFileHas("city"));
}

TEST_F(CBMapScrollViewStateTest, EmptyFrameNeitherSavesNorRestores) {
    auto hidden = CBMapScrollView::create(CGRectZero);
    hidden->layout()->setMapBoundingBox(cityBox());
    hidden->visibleArea()->calculateVisibleBBox();
    hidden->saveStateWithIdentifier("hidden");
    EXPECT_FALSE(stateFileHas("hidden"));
    map->visibleArea()->calculateVisibleBBox();
    map->saveStateWithIdentifier("hidden");
    EXPECT_FALSE(hidden->restoreStateWithIdentifier("hidden"));
}

TEST_F(CBMapScrollViewStateTest, MissingLaterPathOpensNothing) {
    std::string present = home.file("present.sqlite");
    std::ofstream(present) << "not opened";
    EXPECT_FALSE(
        map->setMapWithStorePathesAndBoundingBox({present, home.file("absent.sqlite")}, nullptr));
    EXPECT_EQ(map->dataManager(), nullptr);
    EXPECT_EQ(map->currentMapStorePath(), "");
    EXPECT_EQ(map->layout()->mapBoundingBox(), nullptr);
}

TEST_F(CBMapScrollViewStateTest, OpensThePackageAtTheBoxOfItsCities) {
    std::string store = samplePackageStore();
    if (store.empty())
        GTEST_SKIP() << "the sample package is not built (target map_packages)";
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    NSBundle::setMainBundlePath(sourceResourcesPath());
    ASSERT_TRUE(map->setMapWithStorePathAndBoundingBox(store, nullptr));
    EXPECT_EQ(map->currentMapStorePath(), "neubrandenburg");
    ASSERT_NE(map->layout()->mapBoundingBox(), nullptr);
    EXPECT_TRUE(map->layout()->mapBoundingBox()->includesCoordinate(
        CLLocationCoordinate2DMake(53.557, 13.261)));
    EXPECT_TRUE(map->setMapWithStorePathAndBoundingBox(store, nullptr));
    std::weak_ptr<CBOpenMap> shown = map->openMap();

    // A missing second path lets the open map go and opens nothing.
    EXPECT_FALSE(
        map->setMapWithStorePathesAndBoundingBox({store, home.file("absent.sqlite")}, nullptr));
    EXPECT_EQ(map->currentMapStorePath(), "");
    EXPECT_EQ(map->dataManager(), nullptr);
    EXPECT_TRUE(shown.expired());
    NSBundle::setMainBundlePath("");
}

}  // namespace
