// The map view's highlight overlay: one place or route outlined at a time.
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPathDataSource.h"

void CBMapScrollView::highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                               const std::shared_ptr<CBGeoStyle>& style) {
    removeHighlight();
    if (!object)
        return;
    auto highlight = std::make_shared<CBPathDataSource>();
    const bool closed = object->isClosed();
    highlight->setClosedPath(closed);
    if (!highlight->setPathFromObjectInMap(object, self()))
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
    hightLightDatasource_ = highlight;
    addOverlayDatasource(highlight);
}

void CBMapScrollView::highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                                 const std::shared_ptr<CBGeoStyle>& style) {
    removeHighlight();
    if (!relation)
        return;
    auto highlight = std::make_shared<CBPathDataSource>();
    highlight->setPathFromRelationInMap(relation, self());
    auto used = style;
    if (!used) {
        used = std::make_shared<CBGeoStyle>();
        used->setStrokeColor(UIColor::blueColor().CGColor());
        used->setStrokeOpacity(0.7);
        used->setStrokeWidth(8.0);
    }
    highlight->setStyle(used);
    hightLightDatasource_ = highlight;
    addOverlayDatasource(highlight);
}

void CBMapScrollView::removeHighlight() {
    if (!hightLightDatasource_)
        return;
    removeOverlayDatasource(hightLightDatasource_);
    hightLightDatasource_ = nullptr;
}
