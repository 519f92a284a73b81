#include "mapkit/CBMapLayers.h"

#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIImage.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBVectorDataSource.h"

CBMapLayers::CBMapLayers(std::weak_ptr<CBMapScrollView> map,
                         std::shared_ptr<CBGeoDisplayManager> displayManager)
    : map_(std::move(map)),
      displayManager_(std::move(displayManager)),
      vectorDataSourceLayer_(std::make_shared<CBVectorDataSource>(displayManager_)) {
    displayManager_->addDatasource(vectorDataSourceLayer_);
}

void CBMapLayers::addThrough(const std::shared_ptr<CBGeoDataSource>& source,
                             const std::function<void()>& add) {
    auto map = map_.lock();
    if (!source || !map)
        return;
    add();
    map->mapView()->setNeedsDisplay();
    if (auto d = map->mapDelegate())
        d->mapScrollViewDidAddDataSourceAsOverlay(*map, source, false);
}

void CBMapLayers::addDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    addThrough(source, [&] { displayManager_->addDatasource(source); });
}

void CBMapLayers::insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                                        const std::shared_ptr<CBGeoDataSource>& existing) {
    if (existing)
        addThrough(source, [&] { displayManager_->insertDatasourceAbove(source, existing); });
}

void CBMapLayers::insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                                        const std::shared_ptr<CBGeoDataSource>& existing) {
    if (existing)
        addThrough(source, [&] { displayManager_->insertDatasourceBelow(source, existing); });
}

void CBMapLayers::removeDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    auto map = map_.lock();
    if (!source || !map)
        return;
    displayManager_->removeDatasource(source);
    if (source == vectorDataSourceLayer_)
        vectorDataSourceLayer_ = nullptr;
    map->mapView()->setNeedsDisplay();
    if (auto d = map->mapDelegate())
        d->mapScrollViewDidRemoveDataSourceWasOverlay(*map, source, false);
}

void CBMapLayers::removeVectorDataSource() {
    auto map = map_.lock();
    if (!map)
        return;
    removeDatasource(vectorDataSourceLayer_);
    map->mapView()->setFillBackground(false);
    displayManager_->setStyleSheet(nullptr);
    displayManager_->disableDiskCache();
}

bool CBMapLayers::changeStyleToStylePlist(const std::string& path) {
    auto map = map_.lock();
    if (!map || !displayManager_->changeStyleToStylePlist(path))
        return false;
    setupMapViewForCurrentMapBaseStyle();
    map->reloadMapView();
    return true;
}

std::optional<std::string> CBMapLayers::currentStylePlistPath() const {
    return displayManager_->currentStylePlistPath();
}

void CBMapLayers::setupMapViewForCurrentMapBaseStyle() {
    auto map = map_.lock();
    auto sheet = displayManager_->styleSheet();
    auto base = sheet ? sheet->baseMapStyle() : nullptr;
    if (!map || !base)
        return;
    auto fill = base->fillColor();
    auto pattern = base->fillPatternImage();
    if (fill && !pattern)
        map->setBackgroundColor(
            UIColor::colorWithRedGreenBlueAlpha(fill->red, fill->green, fill->blue, fill->alpha));
    else if (pattern)
        map->setBackgroundColor(UIColor::colorWithPatternImage(
            UIImage::imageWithCGImage(pattern->CGImage(), pattern->scale())));
    if (map->mapBackgroundLayer())
        map->mapBackgroundLayer()->setBackgroundColor(fill);
}

std::string CBMapLayers::onlineTileServiceURLPattern() {
    const auto host =
        NSUserDefaults::standardUserDefaults()->stringForKey("CBOnlineTileServiceHost");
    return "http://" + host.value_or("127.0.0.1:8091") +
           "/neighbourhood/%i/%i/%i.png?apikey=" + kOnlineTileServiceKey;
}

std::shared_ptr<CBImageDataSource> CBMapLayers::setupForThunderforestLayer() {
    return setupForThunderforestLayerWithBoundingBox(nullptr);
}

std::shared_ptr<CBImageDataSource> CBMapLayers::setupForThunderforestLayerWithBoundingBox(
    const std::shared_ptr<CBBoundingBox>& box) {
    auto map = map_.lock();
    if (!map)
        return nullptr;
    auto mapBox = box ? box
                      : CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
                            CLLocationCoordinate2DMake(75.0, 179.5),
                            CLLocationCoordinate2DMake(-70.0, -179.5));
    map->layout()->setMapBoundingBox(mapBox);
    map->layout()->setMaximumZoomLevel(11);
    removeVectorDataSource();
    auto source = std::make_shared<CBImageDataSource>();
    source->setUrlPatternType(2);
    source->setOpacity(1.0f);
    source->setUrlPattern(onlineTileServiceURLPattern());
    addDatasource(source);
    return source;
}
