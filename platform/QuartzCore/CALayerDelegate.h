#pragma once

#include <memory>
#include <optional>
#include <string>

class CAAnimation;
class CALayer;
class CGContext;

// What a layer asks of its delegate (a view, usually). Methods may be called
// on worker threads for tiled layers (drawLayerInContext only).
class CALayerDelegate {
  public:
    virtual ~CALayerDelegate() = default;
    // Whether display() should make a backing store and call drawLayerInContext.
    virtual bool layerWantsDrawing(CALayer&) { return false; }
    virtual void drawLayerInContext(CALayer&, CGContext&) {}
    virtual void layoutSublayersOfLayer(CALayer&) {}
    // The animation for a change of key: nullopt when the delegate has no
    // opinion (the layer's default applies), nullptr for none.
    virtual std::optional<std::shared_ptr<CAAnimation>> actionForLayerForKey(CALayer&,
                                                                             const std::string&) {
        return std::nullopt;
    }
};
