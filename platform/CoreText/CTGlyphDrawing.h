#pragma once

#include <optional>
#include <vector>

#include <cairo.h>
#include <pango/pango.h>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGFont.h"
#include "CoreGraphics/CGGeometry.h"

// How one run of glyphs is painted: filled, outlined, or outlined and filled.
struct CTGlyphPaint {
    std::optional<CGColor> fill;
    std::optional<CGColor> stroke;
    CGFloat strokeWidth = 0;
};

// Paints glyphs of font at positions given in a y-up text space whose origin
// is the current origin of cr (callers set up text matrix and transform).
// The outline goes over the fill, as the platform strokes text.
void CTDrawGlyphs(cairo_t* cr, PangoFont* font, const std::vector<CGGlyph>& glyphs,
                  const std::vector<CGPoint>& positions, const CTGlyphPaint& paint);
