#pragma once

#include <memory>

#include "QuartzCore/CATiledLayer.h"

class CGPattern;

// Lies under the map and paints a half-transparent white checker over its
// background colour, so that tiles not drawn yet show as a neutral grid. The
// checker keeps its size on screen at every level of detail.
class CBMapBackgroundLayer : public CATiledLayer {
  public:
    CBMapBackgroundLayer();

    // New tiles appear at once.
    double fadeDuration() const override { return 0; }
    bool drawsOwnContent() override { return true; }
    void drawInContext(CGContext& context) override;
    // The layer is its own delegate: asked to draw a layer, it draws itself.
    void drawLayerInContext(CALayer& layer, CGContext& context);

  private:
    std::shared_ptr<const CGPattern> uncoloredPattern_;
};
