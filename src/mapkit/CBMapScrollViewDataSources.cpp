// The map view's data sources and base style.
#include "UIKit/UIImage.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBVectorDataSource.h"

void CBMapScrollView::addDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    if (!source)
        return;
    displayManager_->addDatasource(source);
    mapView_->setNeedsDisplay();
    if (auto d = mapDelegate())
        d->mapScrollViewDidAddDataSourceAsOverlay(*this, source, false);
}

void CBMapScrollView::insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                                            const std::shared_ptr<CBGeoDataSource>& existing) {
    if (!source || !existing)
        return;
    displayManager_->insertDatasourceAbove(source, existing);
    mapView_->setNeedsDisplay();
    if (auto d = mapDelegate())
        d->mapScrollViewDidAddDataSourceAsOverlay(*this, source, false);
}

void CBMapScrollView::insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                                            const std::shared_ptr<CBGeoDataSource>& existing) {
    if (!source || !existing)
        return;
    displayManager_->insertDatasourceBelow(source, existing);
    mapView_->setNeedsDisplay();
    if (auto d = mapDelegate())
        d->mapScrollViewDidAddDataSourceAsOverlay(*this, source, false);
}

void CBMapScrollView::removeDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    if (!source)
        return;
    displayManager_->removeDatasource(source);
    if (source == vectorDataSourceLayer_)
        vectorDataSourceLayer_ = nullptr;
    mapView_->setNeedsDisplay();
    if (auto d = mapDelegate())
        d->mapScrollViewDidRemoveDataSourceWasOverlay(*this, source, false);
}

void CBMapScrollView::removeVectorDataSource() {
    removeDatasource(vectorDataSourceLayer_);
    mapView_->setFillBackground(false);
    displayManager_->setStyleSheet(nullptr);
    displayManager_->disableDiskCache();
}

bool CBMapScrollView::changeStyleToStylePlist(const std::string& path) {
    if (!displayManager_->changeStyleToStylePlist(path))
        return false;
    setupMapViewForCurrentMapBaseStyle();
    reloadMapView();
    return true;
}

std::optional<std::string> CBMapScrollView::currentStylePlistPath() const {
    return displayManager_->currentStylePlistPath();
}

void CBMapScrollView::setupMapViewForCurrentMapBaseStyle() {
    auto sheet = displayManager_->styleSheet();
    auto base = sheet ? sheet->baseMapStyle() : nullptr;
    if (!base)
        return;
    auto fill = base->fillColor();
    auto pattern = base->fillPatternImage();
    if (fill && !pattern)
        setBackgroundColor(
            UIColor::colorWithRedGreenBlueAlpha(fill->red, fill->green, fill->blue, fill->alpha));
    else if (pattern)
        setBackgroundColor(UIColor::colorWithPatternImage(
            UIImage::imageWithCGImage(pattern->CGImage(), pattern->scale())));
    if (mapBackgroundLayer_)
        mapBackgroundLayer_->setBackgroundColor(fill);
}

void CBMapScrollView::removeCheckerPattern() {
    if (mapBackgroundLayer_)
        mapBackgroundLayer_->removeFromSuperlayer();
    mapBackgroundLayer_ = nullptr;
}
