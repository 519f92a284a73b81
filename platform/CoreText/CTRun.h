#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGFont.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTGlyphDrawing.h"
#include "CoreText/NSAttributedString.h"

typedef struct _PangoGlyphItem PangoGlyphItem;
class CTTextLayout;

enum CTRunStatus : unsigned {
    kCTRunStatusNoStatus = 0,
    kCTRunStatusRightToLeft = 1u << 0,
    kCTRunStatusNonMonotonic = 1u << 1,
    kCTRunStatusHasNonIdentityMatrix = 1u << 2,
};

// Glyphs of one font and one set of attributes within a line. Positions are
// relative to the line's origin, y up; string indices count UTF-16 units of
// the whole attributed string.
class CTRun {
  public:
    CTRun(const CTTextLayout& layout, PangoGlyphItem* item, CGFloat penX);
    ~CTRun();
    CTRun(const CTRun&) = delete;
    CTRun& operator=(const CTRun&) = delete;

    size_t glyphCount() const { return glyphs_.size(); }
    const std::vector<CGGlyph>& glyphs() const { return glyphs_; }
    const std::vector<CGPoint>& positions() const { return positions_; }
    const std::vector<CGSize>& advances() const { return advances_; }
    const std::vector<long>& stringIndices() const { return stringIndices_; }
    CFRange stringRange() const { return stringRange_; }
    const CTStringAttributes& attributes() const { return attributes_; }
    CTFontRef font() const { return font_; }
    unsigned status() const { return status_; }
    // Runs are laid out without a matrix of their own.
    CGAffineTransform textMatrix() const { return CGAffineTransformIdentity; }

    // Width of the glyphs in range (length 0: to the end) and the font's
    // ascent, descent and leading.
    CGFloat typographicBounds(CFRange range, CGFloat* ascent, CGFloat* descent,
                              CGFloat* leading) const;
    // CTRunDraw: the glyphs in range at their positions in text space.
    void draw(CGContext& context, CFRange range) const;

    // How the run's attributes paint it in context.
    CTGlyphPaint paintIn(const CGContext& context) const;
    // Draws glyphs [from, to) into cr, already in text space (used by lines).
    void drawInto(cairo_t* cr, const CTGlyphPaint& paint, size_t from, size_t to) const;

  private:
    std::vector<CGGlyph> glyphs_;
    std::vector<CGPoint> positions_;
    std::vector<CGSize> advances_;
    std::vector<long> stringIndices_;
    CFRange stringRange_;
    CTStringAttributes attributes_;
    CTFontRef font_;
    PangoFont* pangoFont_ = nullptr;
    unsigned status_ = kCTRunStatusNoStatus;
};

using CTRunRef = std::shared_ptr<const CTRun>;
