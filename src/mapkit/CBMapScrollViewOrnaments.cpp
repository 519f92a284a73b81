// The map view's ornaments beyond the map's edges.
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "mapkit/CBMapScrollView.h"

void CBMapScrollView::setOrnamentationFramePreloadInset(const UIEdgeInsets& insets) {
    ornamentationFrameManager_->setEdgeInsets(insets);
}

void CBMapScrollView::reloadOrnamentationFrameData() {
    ornamentationFrameManager_->reloadData();
}
