#include "mapkit/ZELGlowingShapeLayer.h"

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIScreen.h"

ZELGlowingShapeLayer::ZELGlowingShapeLayer() {
    if (auto screen = UIScreen::mainScreen())
        setContentsScale(screen->scale());
    setNeedsDisplayOnBoundsChange(true);
}

void ZELGlowingShapeLayer::drawInContext(CGContext& context) {
    if (lineWidth_ == 0 || !strokeColor_)
        return;
    context.saveGState();
    if (glowRadius_ != 0 && glowColor_)
        context.setShadowWithColor(CGSizeZero, glowRadius_, glowColor_);
    context.setLineWidth(lineWidth_);
    context.setStrokeColorWithColor(*strokeColor_);
    context.strokeEllipseInRect(CGRectInset(bounds(), glowRadius_, glowRadius_));
    context.restoreGState();
}
