#include "mapkit/CBDrawPathWithStyle.h"

#include "CoreGraphics/CGContext.h"

void CBDrawPathWithStyle(const CGPath& path, CGContext& context, CBGeoStyle& style, CGFloat scale,
                         bool evenOdd) {
    if (!(scale > 0))
        scale = 1;
    auto strokeOpacity = style.strokeOpacity();
    if (strokeOpacity)
        context.setAlpha(*strokeOpacity);
    context.setLineCap(kCGLineCapRound);
    context.setLineJoin(kCGLineJoinRound);

    auto casingColor = style.casingColor();
    auto casingWidth = style.casingWidth();
    if (casingColor && casingWidth) {
        context.setStrokeColorWithColor(*casingColor);
        context.setLineWidth(*casingWidth / scale);
        context.addPath(path);
        context.strokePath();
    }

    CGFloat fillAlpha = style.fillOpacity().value_or(1.0);
    if (auto fillColor = style.fillColor()) {
        context.setAlpha(fillAlpha);
        context.setFillColorWithColor(*fillColor);
        context.addPath(path);
        if (evenOdd)
            context.eoFillPath();
        else
            context.fillPath();
    }
    if (auto pattern = style.fillPatternImage(); pattern && pattern->CGImage()) {
        context.setAlpha(fillAlpha);
        context.saveGState();
        context.addPath(path);
        context.clip();
        CGSize size = pattern->size();
        context.drawTiledImage(CGRectMake(0, 0, size.width, size.height), *pattern->CGImage());
        context.restoreGState();
    }

    // Every cap the style names is honoured, butt included: the round cap
    // above only serves the casing. An unknown value keeps it.
    int cap = style.lineCap();
    if (cap == kCGLineCapButt || cap == kCGLineCapSquare)
        context.setLineCap(static_cast<CGLineCap>(cap));

    if (auto dashes = style.strokeDashes()) {
        std::vector<CGFloat> lengths;
        lengths.reserve(dashes->size());
        for (CGFloat length : *dashes)
            lengths.push_back(length / scale);
        context.setLineDash(0, lengths);
    } else {
        context.setLineDash(0, {});
    }

    context.setAlpha(strokeOpacity.value_or(1.0));
    auto strokeColor = style.strokeColor();
    auto strokeWidth = style.strokeWidth();
    if (strokeColor && strokeWidth) {
        context.setStrokeColorWithColor(*strokeColor);
        context.setLineWidth(*strokeWidth / scale);
        context.addPath(path);
        context.strokePath();
    }
}
