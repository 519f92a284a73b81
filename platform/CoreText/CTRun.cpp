#include "CoreText/CTRun.h"

#include <pango/pangocairo.h>

#include <algorithm>

#include "CoreText/CTTextLayout.h"

namespace {
CGFloat fromPango(int units) {
    return CGFloat(units) / PANGO_SCALE;
}
}  // namespace

CTRun::CTRun(const CTTextLayout& layout, PangoGlyphItem* item, CGFloat penX) {
    PangoItem* pangoItem = item->item;
    PangoGlyphString* glyphs = item->glyphs;
    const CTUTF16Index& index = layout.index();
    const long startUnit = long(index.unitOfByte(size_t(pangoItem->offset)));
    const long endUnit = long(index.unitOfByte(size_t(pangoItem->offset + pangoItem->length)));
    stringRange_ = CFRangeMake(layout.offset() + startUnit, endUnit - startUnit);
    attributes_ = layout.string().attributesAtIndex(size_t(startUnit));
    font_ = attributes_.font ? attributes_.font : CTDefaultFont();
    pangoFont_ =
        pangoItem->analysis.font ? PANGO_FONT(g_object_ref(pangoItem->analysis.font)) : nullptr;
    if (pangoItem->analysis.level % 2 == 1) {
        status_ |= kCTRunStatusRightToLeft;
    }
    CGFloat x = penX;
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
        const PangoGlyphInfo& info = glyphs->glyphs[i];
        glyphs_.push_back(info.glyph);
        positions_.push_back(
            {x + fromPango(info.geometry.x_offset), -fromPango(info.geometry.y_offset)});
        advances_.push_back({fromPango(info.geometry.width), 0});
        stringIndices_.push_back(
            layout.offset() +
            long(index.unitOfByte(size_t(pangoItem->offset + glyphs->log_clusters[i]))));
        x += fromPango(info.geometry.width);
    }
}

CTRun::~CTRun() {
    if (pangoFont_) {
        g_object_unref(pangoFont_);
    }
}

CGFloat CTRun::typographicBounds(CFRange range, CGFloat* ascent, CGFloat* descent,
                                 CGFloat* leading) const {
    if (ascent) {
        *ascent = font_->ascent();
    }
    if (descent) {
        *descent = font_->descent();
    }
    if (leading) {
        *leading = font_->leading();
    }
    const size_t from = std::min(size_t(std::max(0L, range.location)), advances_.size());
    const size_t to = range.length > 0 ? std::min(advances_.size(), from + size_t(range.length))
                                       : advances_.size();
    CGFloat width = 0;
    for (size_t i = from; i < to; ++i) {
        width += advances_[i].width;
    }
    return width;
}

CTGlyphPaint CTRun::paintIn(const CGContext& context) const {
    const CGColor black = CGColorCreateGenericGray(0, 1);
    const CGColor foreground = attributes_.foregroundColorFromContext
                                   ? context.fillColor()
                                   : attributes_.foregroundColor.value_or(black);
    CTGlyphPaint paint;
    const CGFloat percent = attributes_.strokeWidth.value_or(0);
    if (percent <= 0) {
        paint.fill = foreground;
    }
    if (percent != 0) {
        paint.stroke = attributes_.strokeColor.value_or(foreground);
        paint.strokeWidth = std::abs(percent) / 100 * font_->size();
    }
    return paint;
}

void CTRun::drawInto(cairo_t* cr, const CTGlyphPaint& paint, size_t from, size_t to) const {
    to = std::min(to, glyphs_.size());
    if (from >= to) {
        return;
    }
    const std::vector<CGGlyph> glyphs(glyphs_.begin() + long(from), glyphs_.begin() + long(to));
    const std::vector<CGPoint> positions(positions_.begin() + long(from),
                                         positions_.begin() + long(to));
    const CGFloat start = positions_[from].x;
    const CGFloat end = positions_[to - 1].x + advances_[to - 1].width;
    // Text space has y up from the baseline.
    auto band = [&](CGFloat bottom, CGFloat height, const CGColor& color) {
        cairo_save(cr);
        cairo_rectangle(cr, start, bottom, end - start, height);
        cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
        cairo_fill(cr);
        cairo_restore(cr);
    };
    if (attributes_.backgroundColor) {
        band(-font_->descent(), font_->ascent() + font_->descent(), *attributes_.backgroundColor);
    }
    CTDrawGlyphs(cr, pangoFont_, glyphs, positions, paint);
    if (!paint.fill) {
        return;
    }
    // Single lines in the text colour: under the glyphs, and through them at
    // half the x-height.
    const CGFloat thickness = std::max(font_->underlineThickness(), CGFloat(0.5));
    if (attributes_.underlineStyle.value_or(0) != 0) {
        band(font_->underlinePosition() - thickness / 2, thickness, *paint.fill);
    }
    if (attributes_.strikethroughStyle.value_or(0) != 0) {
        band(font_->xHeight() / 2 - thickness / 2, thickness, *paint.fill);
    }
}

void CTRun::draw(CGContext& context, CFRange range) const {
    const size_t from = size_t(std::max(0L, range.location));
    const size_t to = range.length > 0 ? from + size_t(range.length) : glyphs_.size();
    const CTGlyphPaint paint = paintIn(context);
    const CGAffineTransform t = context.getTextMatrix();
    context.paint(
        [&](cairo_t* cr) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
            cairo_transform(cr, &m);
            drawInto(cr, paint, from, to);
        },
        false);
}
