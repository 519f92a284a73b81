#include "mapkit/CBMapOverlays.h"

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBPathDataSource.h"

CBMapOverlays::CBMapOverlays(std::weak_ptr<CBMapScrollView> map) : map_(std::move(map)) {}

std::shared_ptr<CBGeoDisplayManager> CBMapOverlays::renderer() const {
    auto map = map_.lock();
    return map ? map->displayManager() : nullptr;
}

void CBMapOverlays::addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    auto map = map_.lock();
    if (!source || !map)
        return;
    map->mapView()->loadOverlayLayerIfNeeded();
    map->displayManager()->addOverlayDatasource(source);
    resetOverlayContents();
    if (auto d = map->mapDelegate())
        d->mapScrollViewDidAddDataSourceAsOverlay(*map, source, true);
}

void CBMapOverlays::removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    auto map = map_.lock();
    if (!source || !map)
        return;
    const auto& renderer = map->displayManager();
    renderer->removeOverlayDatasource(source);
    if (renderer->overlayDataSources().empty())
        map->mapView()->unloadOverlayLayer();
    else
        resetOverlayContents();
    if (auto d = map->mapDelegate())
        d->mapScrollViewDidRemoveDataSourceWasOverlay(*map, source, true);
}

void CBMapOverlays::removeAllOverlayDatasources() {
    auto map = map_.lock();
    if (!map)
        return;
    const auto& renderer = map->displayManager();
    for (const auto& source : renderer->overlayDataSources()) {
        renderer->removeOverlayDatasource(source);
        if (auto d = map->mapDelegate())
            d->mapScrollViewDidRemoveDataSourceWasOverlay(*map, source, true);
    }
    map->mapView()->unloadOverlayLayer();
}

void CBMapOverlays::overlaysNeedDisplay() {
    auto map = map_.lock();
    if (auto overlay = map ? map->mapView()->overLayLayer() : nullptr)
        overlay->setNeedsDisplay();
}

void CBMapOverlays::setBackgroundColorForOverlay(const std::optional<UIColor>& color) {
    auto map = map_.lock();
    if (auto overlay = map ? map->mapView()->overLayLayer() : nullptr)
        overlay->setBackgroundColor(color);
}

void CBMapOverlays::resetOverlayContents() {
    auto map = map_.lock();
    if (auto overlay = map ? map->mapView()->overLayLayer() : nullptr) {
        overlay->layer()->setContents(nullptr);
        overlay->setNeedsDisplay();
    }
}

void CBMapOverlays::highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                             const std::shared_ptr<CBGeoStyle>& style) {
    removeHighlight();
    auto map = map_.lock();
    auto laidOut = map ? map->layout()->projector() : nullptr;
    if (!object)
        return;
    auto highlight = std::make_shared<CBPathDataSource>();
    const bool closed = object->isClosed();
    highlight->setClosedPath(closed);
    if (!highlight->setPathFromObjectInMap(object, laidOut.get()))
        return;
    auto used = style;
    if (!used) {
        used = std::make_shared<CBGeoStyle>();
        used->setStrokeOpacity(0.7);
        used->setStrokeColor(UIColor::blueColor().CGColor());
        if (closed) {
            used->setFillColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1.0, 0.33).CGColor());
            used->setStrokeWidth(4.0);
        } else {
            used->setStrokeWidth(8.0);
        }
    }
    highlight->setStyle(used);
    showHighlight(std::move(highlight));
}

void CBMapOverlays::highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                               const std::shared_ptr<CBGeoStyle>& style) {
    removeHighlight();
    auto map = map_.lock();
    auto laidOut = map ? map->layout()->projector() : nullptr;
    if (!relation)
        return;
    auto highlight = std::make_shared<CBPathDataSource>();
    highlight->setPathFromRelationInMap(relation, laidOut.get());
    auto used = style;
    if (!used) {
        used = std::make_shared<CBGeoStyle>();
        used->setStrokeColor(UIColor::blueColor().CGColor());
        used->setStrokeOpacity(0.7);
        used->setStrokeWidth(8.0);
    }
    highlight->setStyle(used);
    showHighlight(std::move(highlight));
}

void CBMapOverlays::showHighlight(std::shared_ptr<CBPathDataSource> highlight) {
    hightLightDatasource_ = std::move(highlight);
    addOverlayDatasource(hightLightDatasource_);
}

void CBMapOverlays::removeHighlight() {
    if (!hightLightDatasource_)
        return;
    removeOverlayDatasource(hightLightDatasource_);
    hightLightDatasource_ = nullptr;
}
