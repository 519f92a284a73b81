#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLError.h"
#include "SampleMapViewFixture.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapTileCachePrefill.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapViewSavedState.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

// The map view asked by the names its screens use: each answer is what the
// part that holds the work gives for the laid-out sample city.
class CBMapScrollViewForwardingTest : public SampleMapViewTest {
  protected:
    bool inList(const CBGeoDisplayManager::DataSourceList& list,
                const std::shared_ptr<CBGeoDataSource>& source) {
        return std::find(list.begin(), list.end(), source) != list.end();
    }
};

// Hears of the location errors the map passes on.
class ErrorScreen : public CBMapScrollViewDelegate {
  public:
    void mapScrollViewDidReceiveLocationError(CBMapScrollView&, const NSError& error) override {
        codes.push_back(error.code);
    }
    std::vector<long> codes;
};

TEST_F(CBMapScrollViewForwardingTest, LayoutAndVisibleAreaAnswersAreTheParts) {
    const auto& layout = map_->layout();
    ASSERT_TRUE(map_->mapBoundingBox());
    EXPECT_EQ(map_->mapBoundingBox(), layout->mapBoundingBox());
    EXPECT_EQ(map_->mapProjection(), layout->mapProjection());
    EXPECT_EQ(map_->maximumZoomLevel(), 18);
    EXPECT_EQ(map_->tileWidth(), CBMapLayout::tileWidth());
    EXPECT_EQ(map_->tileHeight(), CBMapLayout::tileHeight());
    EXPECT_EQ(map_->nativeZoomLevel(), layout->nativeZoomLevel());
    EXPECT_EQ(map_->minimumZoomLevel(), layout->minimumZoomLevel());
    for (int z = map_->minimumZoomLevel(); z <= map_->maximumZoomLevel(); ++z) {
        SCOPED_TRACE(z);
        EXPECT_EQ(map_->scaleForNativeZoomlevel(z), layout->scaleForNativeZoomlevel(z));
        EXPECT_EQ(map_->nativeZoomLevelForScale(map_->scaleForNativeZoomlevel(z)), z);
    }
    const CBBoundingBox& box = *map_->mapBoundingBox();
    EXPECT_EQ(map_->offsetColumnsForBoundingBox(box), layout->offsetColumnsForBoundingBox(box));
    EXPECT_EQ(map_->offsetRowsForBoundingBox(box), layout->offsetRowsForBoundingBox(box));
    EXPECT_EQ(map_->lastColumnForBoundingBox(box), layout->lastColumnForBoundingBox(box));
    EXPECT_EQ(map_->lastRowForBoundingBox(box), layout->lastRowForBoundingBox(box));
    const int x = map_->offsetColumnsForBoundingBox(box) + 1;
    const int y = map_->offsetRowsForBoundingBox(box) + 1;
    EXPECT_EQ(map_->rectForXYZ(x, y, 18), layout->rectForXYZ(x, y, 18));
    const CLLocationCoordinate2D centre = box.centerCoordinate();
    const CGPoint offset = map_->offsetForCoordinate(centre);
    EXPECT_EQ(offset, layout->offsetForCoordinate(centre));
    EXPECT_NEAR(map_->coordinateAtOffset(offset).latitude, centre.latitude, 1e-9);
    EXPECT_NEAR(map_->coordinateAtOffset(offset).longitude, centre.longitude, 1e-9);
    auto quarter = CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(
        centre, box.latitudeSpan() / 4, box.longitudeSpan() / 4);
    EXPECT_EQ(map_->rectForBoundingBox(quarter), layout->rectForBoundingBox(quarter));
    EXPECT_NE(map_->rectForBoundingBox(quarter), CGRectZero);
    EXPECT_EQ(map_->zoomScaleThatFitsBoundingBox(quarter),
              layout->zoomScaleThatFitsBoundingBox(quarter));
    EXPECT_EQ(map_->zoomRectForScaleWithCenter(0.25f, offset),
              layout->zoomRectForScaleWithCenter(0.25f, offset));

    // Zooming in is limited through the view; the map's deepest level stays.
    map_->setMaximumZoomLevel(16);
    EXPECT_DOUBLE_EQ(map_->maximumZoomScale(), 0.25 / 2);
    EXPECT_EQ(layout->maximumZoomLevel(), 18);

    const auto& area = map_->visibleArea();
    map_->calculateVisibleBBox();
    ASSERT_TRUE(map_->visibleBBox());
    EXPECT_EQ(map_->visibleBBox(), area->visibleBBox());
    EXPECT_EQ(map_->widerBBox(), area->widerBBox());
    EXPECT_GT(map_->pointsPerKilometer(), 0);
    EXPECT_EQ(map_->pointsPerKilometer(), area->pointsPerKilometer());
    EXPECT_EQ(map_->visibleCenter().latitude, area->visibleCenter().latitude);
    map_->setWiderBBoxFactor(10);
    EXPECT_EQ(area->widerBBoxFactor(), 5);
    EXPECT_EQ(map_->widerBBoxFactor(), 5);
    map_->setWiderBBoxFromVisibleBBox();
    EXPECT_NEAR(map_->widerBBox()->latitudeSpan(), 5 * map_->visibleBBox()->latitudeSpan(), 1e-9);
    EXPECT_FALSE(map_->savesState());
    map_->setSavesState(true);
    EXPECT_TRUE(area->savesState());
    map_->setSavesState(false);

    // Configuring again through the view lays out another box.
    map_->setMapBoundingBoxForProjectionAndMaximumZoomlevel(quarter, map_->mapProjection(), 17);
    EXPECT_EQ(layout->mapBoundingBox(), quarter);
    EXPECT_EQ(layout->maximumZoomLevel(), 17);
    map_->setMapBoundingBox(nullptr);
    EXPECT_EQ(layout->mapBoundingBox(), nullptr);
}

TEST_F(CBMapScrollViewForwardingTest, LayersOverlaysAnnotationsAndScaleBarAreTheParts) {
    const auto& manager = map_->displayManager();
    ASSERT_TRUE(map_->vectorDataSourceLayer());
    EXPECT_EQ(map_->vectorDataSourceLayer(), map_->layers()->vectorDataSourceLayer());
    EXPECT_EQ(map_->currentStylePlistPath(), map_->layers()->currentStylePlistPath());
    auto above = std::make_shared<CBPathDataSource>();
    auto below = std::make_shared<CBPathDataSource>();
    map_->insertDatasourceAbove(above, map_->vectorDataSourceLayer());
    map_->insertDatasourceBelow(below, map_->vectorDataSourceLayer());
    auto sources = manager->dataSources();
    ASSERT_TRUE(inList(sources, above));
    ASSERT_TRUE(inList(sources, below));
    EXPECT_LT(std::find(sources.begin(), sources.end(), below) - sources.begin(),
              std::find(sources.begin(), sources.end(), above) - sources.begin());
    map_->removeDatasource(above);
    map_->removeDatasource(below);
    EXPECT_FALSE(inList(manager->dataSources(), above));
    map_->addDatasource(above);
    EXPECT_EQ(manager->dataSources().back(), above);
    map_->removeDatasource(above);

    auto overlay = std::make_shared<CBPathDataSource>();
    map_->addOverlayDatasource(overlay);
    EXPECT_TRUE(inList(manager->overlayDataSources(), overlay));
    EXPECT_NE(map_->mapView()->overLayLayer(), nullptr);
    map_->removeAllOverlayDatasources();
    EXPECT_TRUE(manager->overlayDataSources().empty());
    EXPECT_EQ(map_->mapView()->overLayLayer(), nullptr);

    auto pin = std::make_shared<CBBasicAnnotation>(map_->mapBoundingBox()->centerCoordinate());
    map_->addAnnotationCentered(pin, false);
    EXPECT_EQ(map_->annotations(), map_->annotationsHost()->annotations());
    ASSERT_EQ(map_->annotations().size(), 1u);
    map_->selectAnnotationAnimated(pin, false);
    EXPECT_EQ(map_->selectedAnnotation(), pin);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), pin);
    map_->deselectAnnotationAnimated(pin, false);
    EXPECT_EQ(map_->selectedAnnotation(), nullptr);
    auto box = CBMapScrollView::boundingBoxForAnnotationsInArray({pin});
    ASSERT_TRUE(box);
    EXPECT_EQ(box->centerCoordinate().latitude, pin->coordinate().latitude);
    map_->removeAnnotation(pin);
    EXPECT_TRUE(map_->annotationsHost()->annotations().empty());
    map_->setMagnifierAllowsAnnotationCreation(false);
    EXPECT_FALSE(map_->annotationsHost()->magnifierAllowsAnnotationCreation());
    EXPECT_EQ(map_->magnifier(), map_->annotationsHost()->magnifier());

    map_->setMapScaleAtTop(true);
    EXPECT_TRUE(map_->scaleBar()->mapScaleAtTop());
    EXPECT_TRUE(map_->mapScaleAtTop());
    map_->setMapScaleHiddenAnimated(false, false);
    EXPECT_EQ(map_->mapScaleView(), map_->scaleBar()->mapScaleView());
}

TEST_F(CBMapScrollViewForwardingTest, PositionSavedStateAndTileCacheAreTheParts) {
    const auto& follower = map_->userLocationFollower();
    auto service = CBLocationManager::create();
    follower->setLocationManager(service);
    map_->setAlwaysShowsUserHeading(false);
    EXPECT_FALSE(follower->alwaysShowsUserHeading());
    EXPECT_FALSE(map_->alwaysShowsUserHeading());
    map_->setAllowsRotation(true);
    EXPECT_EQ(map_->allowsRotation(), follower->allowsRotation());
    EXPECT_EQ(map_->showsUserLocation(), follower->showsUserLocation());
    EXPECT_EQ(map_->centersOnUserLocation(), follower->centersOnUserLocation());
    EXPECT_EQ(map_->rotateToHeading(), follower->rotateToHeading());
    EXPECT_EQ(map_->userLocation(), follower->userLocation());
    // A location error reaches the map's delegate through the follower.
    auto screen = std::make_shared<ErrorScreen>();
    map_->setMapDelegate(screen);
    map_->locationManagerDidFailWithError(
        *service, NSError::errorWithDomain(kCLErrorDomain, kCLErrorLocationUnknown));
    EXPECT_EQ(screen->codes, std::vector<long>{kCLErrorLocationUnknown});

    // The saved state of a map, read through the view.
    EXPECT_EQ(CBMapScrollView::persistentDictionaryForMapWithIdentifier(std::nullopt),
              std::nullopt);
    const CBBoundingBox& mapBox = *map_->mapBoundingBox();
    ASSERT_TRUE(
        CBMapViewSavedState::saveBoundingBoxAndZoomlevelForMapWithIdentifier(mapBox, 14, "city"));
    EXPECT_EQ(CBMapScrollView::persistentDictionaryForMapWithIdentifier("city"),
              CBMapViewSavedState::persistentDictionaryForMapWithIdentifier("city"));
    EXPECT_EQ(CBMapScrollView::persistentZoomlevelForMapWithIdentifier("city"), 14);
    auto saved = CBMapScrollView::persistentBoundingBoxForMapWithIdentifier("city");
    ASSERT_TRUE(saved);
    EXPECT_DOUBLE_EQ(saved->NE().latitude, mapBox.NE().latitude);

    // The view's disk cache: transparency, the pre-fill's reset, clearing.
    map_->setCacheTransparentTileImages(true);
    EXPECT_TRUE(map_->displayManager()->cacheTransparentTileImages());
    EXPECT_TRUE(map_->cacheTransparentTileImages());
    map_->setCacheTransparentTileImages(false);
    auto counter = CBMapTileCachePrefill::nextPrerenderResetCounter(*map_->displayManager());
    *counter = 3;
    map_->didReceiveMemoryWarning();
    EXPECT_EQ(*counter, CBMapTileCachePrefill::kContextResetCounterLimit);
    const auto& source = map_->vectorDataSourceLayer();
    const int x = map_->offsetColumnsForBoundingBox(mapBox) >> 4;
    const int y = map_->offsetRowsForBoundingBox(mapBox) >> 4;
    source->prerenderXYZ(x, y, 14);
    map_->displayManager()->diskCache()->waitUntilIdle();
    ASSERT_TRUE(source->cachedTileAvailableForXYZ(x, y, 14));
    map_->clearDiskCacheForStoreIdentifierSync(map_->currentMapStorePath());
    EXPECT_FALSE(source->cachedTileAvailableForXYZ(x, y, 14));
}

}  // namespace
