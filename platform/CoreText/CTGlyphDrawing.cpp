#include "CoreText/CTGlyphDrawing.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <mutex>

namespace {

// cairo's scaled fonts are shared between threads through one cache, and
// making or dropping one while another thread does the same for an equal font
// can free it twice (seen as heap corruption when tiles draw labels on several
// threads at once). The calls here that make or drop scaled fonts take turns;
// stroking the outlines does not need to.
std::mutex& scaledFontLock() {
    static std::mutex lock;
    return lock;
}

void setSource(cairo_t* cr, const CGColor& c) {
    auto clamp = [](CGFloat v) { return std::clamp(v, CGFloat(0), CGFloat(1)); };
    cairo_set_source_rgba(cr, clamp(c.red), clamp(c.green), clamp(c.blue), clamp(c.alpha));
}
}  // namespace

void CTDrawGlyphs(cairo_t* cr, PangoFont* font, const std::vector<CGGlyph>& glyphs,
                  const std::vector<CGPoint>& positions, const CTGlyphPaint& paint) {
    if (font == nullptr || glyphs.empty()) {
        return;
    }
    std::vector<cairo_glyph_t> cairoGlyphs;
    cairoGlyphs.reserve(glyphs.size());
    for (size_t i = 0; i < glyphs.size() && i < positions.size(); ++i) {
        // Pango's empty and unknown-character glyphs have no outline to draw.
        if (glyphs[i] == PANGO_GLYPH_EMPTY || (glyphs[i] & PANGO_GLYPH_UNKNOWN_FLAG) != 0) {
            continue;
        }
        cairoGlyphs.push_back({glyphs[i], positions[i].x, -positions[i].y});
    }
    if (cairoGlyphs.empty()) {
        return;
    }
    cairo_save(cr);
    // Glyph outlines are y-down; text space is y-up.
    cairo_scale(cr, 1, -1);
    const int count = int(cairoGlyphs.size());
    const bool outline = paint.stroke && paint.strokeWidth > 0;
    {
        std::lock_guard lock(scaledFontLock());
        cairo_set_scaled_font(cr, pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font)));
        if (paint.fill) {
            setSource(cr, *paint.fill);
            cairo_show_glyphs(cr, cairoGlyphs.data(), count);
        }
        if (outline) {
            cairo_new_path(cr);
            cairo_glyph_path(cr, cairoGlyphs.data(), count);
        }
    }
    if (outline) {
        setSource(cr, *paint.stroke);
        cairo_set_line_width(cr, paint.strokeWidth);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_stroke(cr);
    }
    std::lock_guard lock(scaledFontLock());
    cairo_restore(cr);
}
