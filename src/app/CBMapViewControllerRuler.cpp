// The measuring ruler over the map: two fingers resting on the map bring it
// up between them with the distance they span.
#include "app/CBMapViewController.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/ZELInteractiveMapScaleView.h"

void CBMapViewController::addMeasuringRuler() {
    measuringRuler_ = ZELInteractiveMapScaleView::create(mapView_->UIView::frame(), mapView_);
    // Above the map, below the search bar and the controls.
    view()->insertSubviewAboveSubview(measuringRuler_, mapView_);
}

// Over the part of the map on screen: while the map turns with the heading
// it is a larger square reaching beyond the screen.
void CBMapViewController::layoutMeasuringRuler(const CGRect& visibleMap) {
    measuringRuler_->setFrame(visibleMap);
}
