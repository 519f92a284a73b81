#pragma once

#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGPath.h"

class CGContext;

// The geometry of one tile on its way to the context. Consecutive strokes
// (and fills that do not overlap) painted alike are gathered into one path,
// so the context strokes or fills once per run of elements instead of once
// per element. Each path is fitted to the pixel grid on the way: vertices
// closer than a fraction of a device pixel to the last one kept are dropped,
// stretches of a solid line wholly outside the clip (plus the line's reach)
// are left out, and fills smaller than a pixel are skipped. The runs are
// painted with coarse antialiasing.
//
// A stroke or fill takes the context's paint (colour, width, cap, join,
// dashes, alpha) as it is when added; whatever else is drawn into the context
// in between must come after flush().
class CBTilePathBatch {
  public:
    explicit CBTilePathBatch(CGContext& context);
    ~CBTilePathBatch();
    CBTilePathBatch(const CBTilePathBatch&) = delete;
    CBTilePathBatch& operator=(const CBTilePathBatch&) = delete;

    // Strokes path with the context's stroke paint.
    void stroke(const CGPath& path);
    // Fills path with the context's fill colour.
    void fill(const CGPath& path, bool evenOdd);
    // Paints what is gathered.
    void flush();

    // Paint calls made into the context so far.
    size_t paintCount() const { return paints_; }

  private:
    struct Paint {
        bool fill = false;
        bool evenOdd = false;
        CGColor color;
        CGFloat width = 0;
        CGLineCap cap = kCGLineCapButt;
        CGLineJoin join = kCGLineJoinMiter;
        CGFloat dashPhase = 0;
        std::vector<CGFloat> dashes;
        CGFloat alpha = 1;
        bool operator==(const Paint&) const = default;
    };
    Paint currentPaint(bool fill, bool evenOdd) const;
    // Starts a run with paint unless the gathered run has it and may grow.
    void join(const Paint& paint, const CGRect& bounds);
    // Appends path fitted to the grid.
    void appendFitted(const CGPath& path, CGFloat reach, bool cull);

    CGContext& context_;
    CGAffineTransform toDevice_;
    CGRect clip_;
    Paint paint_;
    CGPath path_;
    std::vector<CGRect> fillBounds_;
    size_t paints_ = 0;
};
