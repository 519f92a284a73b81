#include "uiadditions/CALayer+ZELGeometry.h"

CGPoint absoluteAnchorPoint_zel(const std::shared_ptr<CALayer>& layer) {
    if (!layer) {
        return CGPointZero;
    }
    const CGSize size = layer->bounds().size;
    return {layer->anchorPoint().x * size.width, layer->anchorPoint().y * size.height};
}

void setZELAbsoluteAnchorPointAndMaintainPosition(const std::shared_ptr<CALayer>& layer,
                                                  CGPoint point, bool maintainPosition) {
    if (!layer) {
        return;
    }
    const CGSize size = layer->bounds().size;
    if (size.width == 0 || size.height == 0) {
        return;  // an anchor point of an empty layer has no meaning
    }
    if (maintainPosition) {
        const CGPoint current = absoluteAnchorPoint_zel(layer);
        const CGPoint position = layer->position();
        layer->setPosition({position.x + point.x - current.x, position.y + point.y - current.y});
    }
    layer->setAnchorPoint({point.x / size.width, point.y / size.height});
}

void setZELAbsoluteAnchorPoint(const std::shared_ptr<CALayer>& layer, CGPoint point) {
    setZELAbsoluteAnchorPointAndMaintainPosition(layer, point, false);
}
