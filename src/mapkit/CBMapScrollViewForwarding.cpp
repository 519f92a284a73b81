// What the map view answers for the parts it holds: its layout, visible
// area, layers, overlays, annotations, user position, scale bar, saved
// state and tile cache do the work.
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapViewSavedState.h"
#include "mapkit/CBMapVisibleArea.h"

// Layout.

void CBMapScrollView::setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    layout_->setMapBoundingBox(box);
}

void CBMapScrollView::setMapBoundingBoxForProjectionAndMaximumZoomlevel(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<CBMapProjection>& projection,
    int maximumZoomLevel) {
    layout_->setMapBoundingBoxForProjectionAndMaximumZoomlevel(box, projection, maximumZoomLevel);
}

void CBMapScrollView::configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    layout_->configureForBoundingBox(box);
}

void CBMapScrollView::configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize,
                                                                   CGSize containerSize,
                                                                   CGPoint offset) {
    layout_->configureForMapSizeAndContainerSizeAndOffset(mapSize, containerSize, offset);
}

void CBMapScrollView::configureZoomForMapSize(CGSize size) {
    layout_->configureZoomForMapSize(size);
}

std::shared_ptr<CBMapProjection> CBMapScrollView::mapProjection() const {
    return layout_->mapProjection();
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::mapBoundingBox() const {
    return layout_->mapBoundingBox();
}

int CBMapScrollView::maximumZoomLevel() const {
    return layout_->maximumZoomLevel();
}

int CBMapScrollView::nativeZoomLevelForScale(float scale) const {
    return layout_->nativeZoomLevelForScale(scale);
}

float CBMapScrollView::scaleForNativeZoomlevel(int level) const {
    return layout_->scaleForNativeZoomlevel(level);
}

int CBMapScrollView::nativeZoomLevel() const {
    return layout_->nativeZoomLevel();
}

int CBMapScrollView::minimumZoomLevel() const {
    return layout_->minimumZoomLevel();
}

void CBMapScrollView::setMaximumZoomLevel(int level) {
    layout_->setMaximumZoomLevel(level);
}

double CBMapScrollView::tileWidth() {
    return CBMapLayout::tileWidth();
}

double CBMapScrollView::tileHeight() {
    return CBMapLayout::tileHeight();
}

CGRect CBMapScrollView::rectForXYZ(int x, int y, int z) const {
    return layout_->rectForXYZ(x, y, z);
}

int CBMapScrollView::offsetColumnsForBoundingBox(const CBBoundingBox& box) const {
    return layout_->offsetColumnsForBoundingBox(box);
}

int CBMapScrollView::offsetRowsForBoundingBox(const CBBoundingBox& box) const {
    return layout_->offsetRowsForBoundingBox(box);
}

int CBMapScrollView::lastColumnForBoundingBox(const CBBoundingBox& box) const {
    return layout_->lastColumnForBoundingBox(box);
}

int CBMapScrollView::lastRowForBoundingBox(const CBBoundingBox& box) const {
    return layout_->lastRowForBoundingBox(box);
}

CGPoint CBMapScrollView::offsetForCoordinate(CLLocationCoordinate2D coordinate) const {
    return layout_->offsetForCoordinate(coordinate);
}

CLLocationCoordinate2D CBMapScrollView::coordinateAtOffset(CGPoint offset) const {
    return layout_->coordinateAtOffset(offset);
}

CGRect CBMapScrollView::rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const {
    return layout_->rectForBoundingBox(box);
}

float CBMapScrollView::zoomScaleThatFitsBoundingBox(
    const std::shared_ptr<CBBoundingBox>& box) const {
    return layout_->zoomScaleThatFitsBoundingBox(box);
}

CGRect CBMapScrollView::zoomRectForScaleWithCenter(float scale, CGPoint center) const {
    return layout_->zoomRectForScaleWithCenter(scale, center);
}

// Visible area.

void CBMapScrollView::calculateVisibleBBox() {
    visibleArea_->calculateVisibleBBox();
}

void CBMapScrollView::setWiderBBoxFromVisibleBBox() {
    visibleArea_->setWiderBBoxFromVisibleBBox();
}

void CBMapScrollView::setWiderBBoxFactor(double factor) {
    visibleArea_->setWiderBBoxFactor(factor);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::visibleBBox() const {
    return visibleArea_->visibleBBox();
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::widerBBox() const {
    return visibleArea_->widerBBox();
}

double CBMapScrollView::widerBBoxFactor() const {
    return visibleArea_->widerBBoxFactor();
}

CLLocationCoordinate2D CBMapScrollView::visibleCenter() const {
    return visibleArea_->visibleCenter();
}

double CBMapScrollView::pointsPerKilometer() const {
    return visibleArea_->pointsPerKilometer();
}

bool CBMapScrollView::savesState() const {
    return visibleArea_->savesState();
}

void CBMapScrollView::setSavesState(bool flag) {
    visibleArea_->setSavesState(flag);
}

// User position.

bool CBMapScrollView::showsUserLocation() const {
    return userLocationFollower_->showsUserLocation();
}

void CBMapScrollView::setShowsUserLocation(bool show) {
    userLocationFollower_->setShowsUserLocation(show);
}

bool CBMapScrollView::alwaysShowsUserHeading() const {
    return userLocationFollower_->alwaysShowsUserHeading();
}

void CBMapScrollView::setAlwaysShowsUserHeading(bool show) {
    userLocationFollower_->setAlwaysShowsUserHeading(show);
}

bool CBMapScrollView::centersOnUserLocation() const {
    return userLocationFollower_->centersOnUserLocation();
}

void CBMapScrollView::setCentersOnUserLocation(bool center) {
    userLocationFollower_->setCentersOnUserLocation(center);
}

bool CBMapScrollView::allowsRotation() const {
    return userLocationFollower_->allowsRotation();
}

void CBMapScrollView::setAllowsRotation(bool allow) {
    userLocationFollower_->setAllowsRotation(allow);
}

bool CBMapScrollView::rotateToHeading() const {
    return userLocationFollower_->rotateToHeading();
}

void CBMapScrollView::setRotateToHeading(bool rotate) {
    userLocationFollower_->setRotateToHeading(rotate);
}

void CBMapScrollView::setRotateToHeadingAndNotifyDelegate(bool rotate, bool notify) {
    userLocationFollower_->setRotateToHeadingAndNotifyDelegate(rotate, notify);
}

void CBMapScrollView::toggleCentersOnUserLocationAndRotation() {
    userLocationFollower_->toggleCentersOnUserLocationAndRotation();
}

void CBMapScrollView::stopLocationUsage() {
    userLocationFollower_->stopLocationUsage();
}

std::shared_ptr<UIBarButtonItem> CBMapScrollView::barButtonItemForCurrentCenteringRotationStatus() {
    return userLocationFollower_->barButtonItemForCurrentCenteringRotationStatus();
}

std::shared_ptr<CBUserLocation> CBMapScrollView::userLocation() const {
    return userLocationFollower_->userLocation();
}

void CBMapScrollView::updateUserLocationToLocation(const std::shared_ptr<CLLocation>& location) {
    userLocationFollower_->updateUserLocationToLocation(location);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::zoomBoundingBoxForLocationUpdate(
    const CLLocation& location) {
    return userLocationFollower_->zoomBoundingBoxForLocationUpdate(location);
}

void CBMapScrollView::locationManagerDidUpdateToLocationFromLocation(
    CBLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
    std::shared_ptr<CLLocation> oldLocation) {
    userLocationFollower_->locationManagerDidUpdateToLocationFromLocation(
        manager, std::move(newLocation), std::move(oldLocation));
}

void CBMapScrollView::locationManagerDidUpdateHeading(CBLocationManager& manager,
                                                      std::shared_ptr<CLHeading> heading) {
    userLocationFollower_->locationManagerDidUpdateHeading(manager, std::move(heading));
}

void CBMapScrollView::locationManagerDidFailWithError(CBLocationManager& manager,
                                                      const NSError& error) {
    userLocationFollower_->locationManagerDidFailWithError(manager, error);
}

// Annotations.

std::vector<CBAnnotationRef> CBMapScrollView::annotations() const {
    return annotationsHost_->annotations();
}

void CBMapScrollView::addAnnotationCentered(const CBAnnotationRef& annotation, bool centered) {
    annotationsHost_->addAnnotationCentered(annotation, centered);
}

void CBMapScrollView::addAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                             bool centered) {
    annotationsHost_->addAnnotationsCentered(annotations, centered);
}

void CBMapScrollView::addAnnotationsCenteredIncludingLocations(
    const std::vector<CBAnnotationRef>& annotations, bool centered,
    const std::vector<CLLocationCoordinate2D>& locations) {
    annotationsHost_->addAnnotationsCenteredIncludingLocations(annotations, centered, locations);
}

void CBMapScrollView::removeAnnotation(const CBAnnotationRef& annotation) {
    annotationsHost_->removeAnnotation(annotation);
}

void CBMapScrollView::removeAnnotations(const std::vector<CBAnnotationRef>& annotations) {
    annotationsHost_->removeAnnotations(annotations);
}

void CBMapScrollView::exchangeCurrentAnnotationsWithNewAnnotationsArray(
    const std::vector<CBAnnotationRef>& annotations) {
    annotationsHost_->exchangeCurrentAnnotationsWithNewAnnotationsArray(annotations);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::boundingBoxForAnnotationsInArray(
    const std::vector<CBAnnotationRef>& annotations) {
    return CBMapAnnotationsHost::boundingBoxForAnnotationsInArray(annotations);
}

void CBMapScrollView::selectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated) {
    annotationsHost_->selectAnnotationAnimated(annotation, animated);
}

void CBMapScrollView::deselectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated) {
    annotationsHost_->deselectAnnotationAnimated(annotation, animated);
}

CBAnnotationRef CBMapScrollView::selectedAnnotation() const {
    return annotationsHost_->selectedAnnotation();
}

void CBMapScrollView::updateSelectedAnnotation() {
    annotationsHost_->updateSelectedAnnotation();
}

std::shared_ptr<CBAnnotationView> CBMapScrollView::dequeueReusableAnnotationViewWithIdentifier(
    const std::string& reuseIdentifier) {
    return annotationsHost_->dequeueReusableAnnotationViewWithIdentifier(reuseIdentifier);
}

void CBMapScrollView::setAnnotionsHiddenAnimated(bool hidden, bool animated) {
    annotationsHost_->setAnnotionsHiddenAnimated(hidden, animated);
}

std::shared_ptr<CBAnnotationView> CBMapScrollView::existingViewForAnnotation(
    const CBAnnotationRef& annotation) const {
    return annotationsHost_->existingViewForAnnotation(annotation);
}

std::shared_ptr<CBAnnotationCalloutView> CBMapScrollView::currentCalloutView() const {
    return annotationsHost_->currentCalloutView();
}

void CBMapScrollView::magnifyCoordinate(CLLocationCoordinate2D coordinate) {
    annotationsHost_->magnifyCoordinate(coordinate);
}

void CBMapScrollView::magnifyPoint(CGPoint point) {
    annotationsHost_->magnifyPoint(point);
}

void CBMapScrollView::hideMagnifier(bool animated) {
    annotationsHost_->hideMagnifier(animated);
}

std::shared_ptr<CBMapMagnifier> CBMapScrollView::magnifier() const {
    return annotationsHost_->magnifier();
}

bool CBMapScrollView::magnifierAllowsAnnotationCreation() const {
    return annotationsHost_->magnifierAllowsAnnotationCreation();
}

void CBMapScrollView::setMagnifierAllowsAnnotationCreation(bool flag) {
    annotationsHost_->setMagnifierAllowsAnnotationCreation(flag);
}

// Saved state.

std::optional<Value::Dictionary> CBMapScrollView::persistentDictionaryForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentDictionaryForMapWithIdentifier(identifier);
}

std::optional<int> CBMapScrollView::persistentZoomlevelForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentZoomlevelForMapWithIdentifier(identifier);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::persistentBoundingBoxForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentBoundingBoxForMapWithIdentifier(identifier);
}

// Layers and overlays.

void CBMapScrollView::addDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    layers_->addDatasource(source);
}

void CBMapScrollView::removeDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    layers_->removeDatasource(source);
}

void CBMapScrollView::insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                                            const std::shared_ptr<CBGeoDataSource>& existing) {
    layers_->insertDatasourceAbove(source, existing);
}

void CBMapScrollView::insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                                            const std::shared_ptr<CBGeoDataSource>& existing) {
    layers_->insertDatasourceBelow(source, existing);
}

std::shared_ptr<CBVectorDataSource> CBMapScrollView::vectorDataSourceLayer() const {
    return layers_->vectorDataSourceLayer();
}

void CBMapScrollView::removeVectorDataSource() {
    layers_->removeVectorDataSource();
}

bool CBMapScrollView::changeStyleToStylePlist(const std::string& path) {
    return layers_->changeStyleToStylePlist(path);
}

std::optional<std::string> CBMapScrollView::currentStylePlistPath() const {
    return layers_->currentStylePlistPath();
}

void CBMapScrollView::setupMapViewForCurrentMapBaseStyle() {
    layers_->setupMapViewForCurrentMapBaseStyle();
}

std::shared_ptr<CBImageDataSource> CBMapScrollView::setupForThunderforestLayer() {
    return layers_->setupForThunderforestLayer();
}

std::shared_ptr<CBImageDataSource> CBMapScrollView::setupForThunderforestLayerWithBoundingBox(
    const std::shared_ptr<CBBoundingBox>& box) {
    return layers_->setupForThunderforestLayerWithBoundingBox(box);
}

void CBMapScrollView::addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    overlays_->addOverlayDatasource(source);
}

void CBMapScrollView::removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    overlays_->removeOverlayDatasource(source);
}

void CBMapScrollView::removeAllOverlayDatasources() {
    overlays_->removeAllOverlayDatasources();
}

void CBMapScrollView::overlaysNeedDisplay() {
    overlays_->overlaysNeedDisplay();
}

void CBMapScrollView::resetOverlayContents() {
    overlays_->resetOverlayContents();
}

void CBMapScrollView::setBackgroundColorForOverlay(const std::optional<UIColor>& color) {
    overlays_->setBackgroundColorForOverlay(color);
}

void CBMapScrollView::highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                               const std::shared_ptr<CBGeoStyle>& style) {
    overlays_->highlightObjectWithStyle(object, style);
}

void CBMapScrollView::highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                                 const std::shared_ptr<CBGeoStyle>& style) {
    overlays_->highlightRelationWithStyle(relation, style);
}

void CBMapScrollView::removeHighlight() {
    overlays_->removeHighlight();
}

// Scale bar.

void CBMapScrollView::setMapScaleHiddenAnimated(bool hidden, bool animated) {
    scaleBar_->setMapScaleHiddenAnimated(hidden, animated);
}

std::shared_ptr<CBMapScaleView> CBMapScrollView::mapScaleView() const {
    return scaleBar_->mapScaleView();
}

bool CBMapScrollView::mapScaleAtTop() const {
    return scaleBar_->mapScaleAtTop();
}

void CBMapScrollView::setMapScaleAtTop(bool flag) {
    scaleBar_->setMapScaleAtTop(flag);
}

// Tile cache.

void CBMapScrollView::clearDiskCache() {
    CBMapTileCachePrefill::clearDiskCache(*displayManager_);
}

void CBMapScrollView::clearDiskCacheForStoreIdentifier(const std::string& storeId) {
    CBMapTileCachePrefill::clearDiskCacheForStoreIdentifier(*displayManager_, storeId);
}

void CBMapScrollView::clearDiskCacheForStoreIdentifierSync(const std::string& storeId) {
    CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(*displayManager_, storeId);
}

void CBMapScrollView::clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
    const std::shared_ptr<UIAlertView>& activity, const std::shared_ptr<UIAlertView>& completion) {
    CBMapTileCachePrefill::clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
        *displayManager_, activity, completion);
}

bool CBMapScrollView::cacheTransparentTileImages() const {
    return displayManager_->cacheTransparentTileImages();
}

void CBMapScrollView::setCacheTransparentTileImages(bool transparent) {
    CBMapTileCachePrefill::setCacheTransparentTileImages(*displayManager_, transparent);
}

void CBMapScrollView::didReceiveMemoryWarning() {
    *CBMapTileCachePrefill::nextPrerenderResetCounter(*displayManager_) =
        CBMapTileCachePrefill::kContextResetCounterLimit;
}
