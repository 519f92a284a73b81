#include "mapkit/CBMapBackgroundLayer.h"

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGPattern.h"

namespace {

constexpr CGFloat kCell = 32;

}  // namespace

CBMapBackgroundLayer::CBMapBackgroundLayer() {
    uncoloredPattern_ = CGPattern::create(
        CGRectMake(0, 0, kCell, kCell), CGAffineTransformIdentity, kCell, kCell,
        kCGPatternTilingNoDistortion, false, [](CGContext& context) {
            context.fillRect(CGRectMake(0, 0, kCell / 2, kCell / 2));
            context.fillRect(CGRectMake(kCell / 2, kCell / 2, kCell / 2, kCell / 2));
        });
}

void CBMapBackgroundLayer::drawInContext(CGContext& context) {
    CGRect clip = context.getClipBoundingBox();
    CGFloat scale = context.getCTM().a;
    if (!(scale > 0) || !uncoloredPattern_)
        return;
    context.saveGState();
    // Undo the level's scale so the checker keeps its size on screen.
    context.scaleCTM(1 / scale, 1 / scale);
    const CGFloat white[4] = {1.0, 1.0, 1.0, 0.5};
    context.setFillPattern(uncoloredPattern_, white);
    context.fillRect(CGRectMake(clip.origin.x * scale, clip.origin.y * scale,
                                clip.size.width * scale, clip.size.height * scale));
    context.restoreGState();
}

void CBMapBackgroundLayer::drawLayerInContext(CALayer&, CGContext& context) {
    drawInContext(context);
}
