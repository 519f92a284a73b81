#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <cairo.h>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGGradient.h"
#include "CoreGraphics/CGImage.h"
#include "CoreGraphics/CGPath.h"
#include "CoreGraphics/CGPattern.h"

enum CGPathDrawingMode {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};

enum CGBlendMode {
    kCGBlendModeNormal,
    kCGBlendModeMultiply,
    kCGBlendModeScreen,
    kCGBlendModeOverlay,
    kCGBlendModeDarken,
    kCGBlendModeLighten,
    kCGBlendModeColorDodge,
    kCGBlendModeColorBurn,
    kCGBlendModeSoftLight,
    kCGBlendModeHardLight,
    kCGBlendModeDifference,
    kCGBlendModeExclusion,
    kCGBlendModeHue,
    kCGBlendModeSaturation,
    kCGBlendModeColor,
    kCGBlendModeLuminosity,
    kCGBlendModeClear,
    kCGBlendModeCopy,
    kCGBlendModeSourceIn,
    kCGBlendModeSourceOut,
    kCGBlendModeSourceAtop,
    kCGBlendModeDestinationOver,
    kCGBlendModeDestinationIn,
    kCGBlendModeDestinationOut,
    kCGBlendModeDestinationAtop,
    kCGBlendModeXOR,
    kCGBlendModePlusDarker,
    kCGBlendModePlusLighter,
};

enum CGInterpolationQuality {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationHigh = 3,
    kCGInterpolationMedium = 4,
};

enum CGTextDrawingMode {
    kCGTextFill,
    kCGTextStroke,
    kCGTextFillStroke,
    kCGTextInvisible,
    kCGTextFillClip,
    kCGTextStrokeClip,
    kCGTextFillStrokeClip,
    kCGTextClip,
};

// A Core Graphics drawing context over a cairo surface. Each CGContext*
// function of the platform is the method of the same name without the prefix
// (CGContextFillPath(c) is c->fillPath()).
//
// Coordinates: the context starts with a base transform from its default user
// space to the surface's pixels (y down). A bitmap context's base transform
// flips y, so its user space has the origin bottom-left and y up, as in Core
// Graphics; a context over a view's surface is made with the base transform
// the view layer wants (y down at screen scale). Shadow offsets and blur are
// measured in the default user space, whatever the current transform.
//
// As in Core Graphics, the current path is not part of the graphics state and
// every painting operation that uses it empties it.
class CGContext {
  public:
    // CGBitmapContextCreate: a zero-filled width x height bitmap, premultiplied
    // ARGB32 (kCGImageAlphaPremultipliedFirst) or opaque
    // (kCGImageAlphaNoneSkipFirst, kCGImageAlphaNone). nullptr (logged) for
    // other layouts, a zero size or one above CGImage's limits.
    static std::shared_ptr<CGContext> createBitmapContext(
        size_t width, size_t height, CGImageAlphaInfo alphaInfo = kCGImageAlphaPremultipliedFirst);
    // A context drawing into surface (referenced, not copied) with the given
    // base transform.
    static std::shared_ptr<CGContext> createWithCairoSurface(cairo_surface_t* surface,
                                                             const CGAffineTransform& base);

    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    // CGBitmapContextGet...: the pixel buffer (0 and nullptr for contexts that
    // are not over an image surface). data() finishes pending drawing first;
    // callers that write into the pixels call markDirty() afterwards.
    size_t width() const;
    size_t height() const;
    size_t bytesPerRow() const;
    CGImageAlphaInfo alphaInfo() const;
    uint8_t* data();
    void markDirty();
    // CGBitmapContextCreateImage: a copy of the pixels; nullptr when the
    // context has no pixel buffer.
    CGImageRef createImage();

    cairo_t* cairoContext() const { return cr_; }
    cairo_surface_t* cairoSurface() const { return surface_; }
    const CGAffineTransform& baseTransform() const { return base_; }

    // Graphics state.
    void saveGState();
    void restoreGState();  // an unbalanced restore is logged and ignored

    // Current transformation matrix (user space to pixels).
    void scaleCTM(CGFloat sx, CGFloat sy);
    void translateCTM(CGFloat tx, CGFloat ty);
    void rotateCTM(CGFloat angle);
    void concatCTM(const CGAffineTransform& transform);
    CGAffineTransform getCTM() const;
    CGPoint convertPointToDeviceSpace(CGPoint point) const;
    CGPoint convertPointToUserSpace(CGPoint point) const;

    // Current path, in user space at the time each element is added.
    void beginPath();
    void moveToPoint(CGFloat x, CGFloat y);
    void addLineToPoint(CGFloat x, CGFloat y);
    void addCurveToPoint(CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                         CGFloat y);
    void addQuadCurveToPoint(CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
    void addArc(CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                bool clockwise);
    void addArcToPoint(CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
    void addRect(const CGRect& rect);
    void addRects(const std::vector<CGRect>& rects);
    void addLines(const std::vector<CGPoint>& points);
    void addEllipseInRect(const CGRect& rect);
    void addPath(const CGPath& path);
    void closePath();
    bool isPathEmpty() const;
    CGPoint getPathCurrentPoint() const;
    CGRect getPathBoundingBox() const;  // CGRectNull for an empty path
    bool pathContainsPoint(CGPoint point, CGPathDrawingMode mode) const;

    // Painting.
    void drawPath(CGPathDrawingMode mode);
    void fillPath();
    void eoFillPath();
    void strokePath();
    void fillRect(const CGRect& rect);
    void fillRects(const std::vector<CGRect>& rects);
    void fillEllipseInRect(const CGRect& rect);
    void strokeRect(const CGRect& rect);
    void strokeRectWithWidth(const CGRect& rect, CGFloat width);
    void strokeEllipseInRect(const CGRect& rect);
    // Pairs of points, each pair one line.
    void strokeLineSegments(const std::vector<CGPoint>& points);
    // Makes the rectangle transparent, ignoring alpha, blend mode and shadow.
    void clearRect(const CGRect& rect);

    // Colours and patterns.
    void setFillColorWithColor(const CGColor& color);
    void setStrokeColorWithColor(const CGColor& color);
    void setRGBFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    void setRGBStrokeColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    void setGrayFillColor(CGFloat gray, CGFloat alpha);
    void setGrayStrokeColor(CGFloat gray, CGFloat alpha);
    // The pattern colour space's fill: the pattern, painted (when uncoloured)
    // in components red, green, blue, alpha.
    void setFillPattern(std::shared_ptr<const CGPattern> pattern, const CGFloat components[4]);
    const CGColor& fillColor() const;
    const CGColor& strokeColor() const;

    // Stroke parameters.
    void setLineWidth(CGFloat width);
    void setLineCap(CGLineCap cap);
    void setLineJoin(CGLineJoin join);
    void setMiterLimit(CGFloat limit);
    // No lengths, all zero or a negative one: solid lines.
    void setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths);
    CGFloat lineWidth() const;
    CGLineCap lineCap() const;
    CGLineJoin lineJoin() const;
    const std::vector<CGFloat>& lineDashLengths() const;
    CGFloat lineDashPhase() const;
    // CGContextSetFlatness: how far, in device pixels, flattened curves and
    // round joins and caps may stray from the exact shape (cairo's tolerance,
    // 0.1 by default). Part of the graphics state.
    void setFlatness(CGFloat flatness);

    // Compositing.
    void setAlpha(CGFloat alpha);
    CGFloat alpha() const;
    void setBlendMode(CGBlendMode mode);
    // CGContextSetShadow: black at a third alpha.
    void setShadow(CGSize offset, CGFloat blur);
    // No colour turns shadows off.
    void setShadowWithColor(CGSize offset, CGFloat blur, const std::optional<CGColor>& color);
    void setShouldAntialias(bool antialias);
    // Antialiasing from 4 x 4 samples a pixel instead of the finer default
    // grid: a fraction of the work for large strokes and fills, with edge
    // pixels' coverage off by at most a sixteenth. Part of the graphics state.
    void setCoarseAntialiasing(bool coarse);
    void setInterpolationQuality(CGInterpolationQuality quality);
    CGInterpolationQuality interpolationQuality() const;

    // Clipping; each call intersects the current clip.
    void clip();
    void eoClip();
    void clipToRect(const CGRect& rect);
    void clipToRects(const std::vector<CGRect>& rects);
    // The image stretched over rect limits painting: its alpha where it has
    // alpha, else its luminance (white paints, black masks).
    void clipToMask(const CGRect& rect, const CGImage& mask);
    CGRect getClipBoundingBox() const;

    // Gradients fill the clip area; options extend the end colours.
    void drawLinearGradient(const CGGradient& gradient, CGPoint startPoint, CGPoint endPoint,
                            unsigned options);
    void drawRadialGradient(const CGGradient& gradient, CGPoint startCenter, CGFloat startRadius,
                            CGPoint endCenter, CGFloat endRadius, unsigned options);

    // Images are drawn with their top row at the rectangle's maximum y, as
    // Core Graphics does: upright in a y-up space, upside down in a y-down one.
    void drawImage(const CGRect& rect, const CGImage& image);
    // The image scaled to rect's size, repeated over the whole clip area from
    // rect's origin.
    void drawTiledImage(const CGRect& rect, const CGImage& image);

    // Text state, used by Core Text. As in Core Graphics the text matrix is
    // not part of the graphics state; the text position is its translation.
    void setTextMatrix(const CGAffineTransform& matrix);
    CGAffineTransform getTextMatrix() const;
    void setTextPosition(CGFloat x, CGFloat y);
    CGPoint getTextPosition() const;
    void setTextDrawingMode(CGTextDrawingMode mode);
    CGTextDrawingMode textDrawingMode() const;

    // For the other stand-ins (Core Text, Quartz Core): runs draw with a cairo
    // context in the current user space whose path is the current path, then
    // composites what it painted with the context's alpha, blend mode, shadow
    // and mask clip. draw sets its own source. The current path is emptied
    // when consumesPath, else kept.
    void paint(const std::function<void(cairo_t* cr)>& draw, bool consumesPath);

  private:
    struct GState;
    struct Mask;

    CGContext(cairo_surface_t* surface, const CGAffineTransform& base);

    GState& state();
    const GState& state() const;
    // paint() without alpha, mask or shadow.
    void paintDirectly(const std::function<void(cairo_t* cr)>& draw, bool consumesPath);
    // The colour a lone fill or stroke is painted in when the context's alpha
    // can go into it; nullopt when it has to be composited as a group.
    std::optional<CGColor> colorWithAlphaFolded(const CGColor& color) const;
    void appendPath(const CGPath& path);  // continues the open subpath
    void fillWithRule(bool evenOdd);
    void applyStroke(cairo_t* cr) const;
    void paintColorOverPath(cairo_t* cr, const CGColor& color, bool stroke) const;
    cairo_pattern_t* createPatternSource(cairo_t* cr, const CGPattern& pattern) const;
    cairo_pattern_t* createGradientPattern(const CGGradient& gradient, cairo_pattern_t* pattern,
                                           unsigned options) const;
    void drawImageSource(cairo_t* cr, const CGRect& rect, const CGImage& image, bool tiled) const;
    // False when the area is too large for a shadow.
    bool paintWithShadow(const std::function<void(cairo_t* cr)>& draw, cairo_path_t* path);
    void composite(const std::function<void()>& paintLayer);

    cairo_surface_t* surface_;
    cairo_t* cr_;
    CGAffineTransform base_;
    std::vector<GState> states_;
    CGAffineTransform textMatrix_ = CGAffineTransformIdentity;
};

using CGContextRef = std::shared_ptr<CGContext>;
