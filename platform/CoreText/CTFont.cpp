#include "CoreText/CTFont.h"

#include <pango/pangocairo.h>

#include <strings.h>

#include "CoreText/CTGlyphDrawing.h"
#include "CoreText/CTTextSystem.h"

namespace {

constexpr CGFloat kDefaultSize = 12;

CGFloat fromPango(int units) {
    return CGFloat(units) / PANGO_SCALE;
}

PangoFontDescription* describe(const CTFontFace& face, CGFloat size) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, face.family.c_str());
    pango_font_description_set_weight(desc, PangoWeight(face.weight));
    pango_font_description_set_style(desc, face.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_stretch(
        desc, face.condensed ? PANGO_STRETCH_CONDENSED : PANGO_STRETCH_NORMAL);
    // One point is one unit of user space.
    pango_font_description_set_absolute_size(desc, size * PANGO_SCALE);
    return desc;
}

PangoFont* load(const CTFontFace& face, CGFloat size) {
    PangoFontDescription* desc = describe(face, size);
    PangoFont* font =
        pango_font_map_load_font(CTTextSystem::fontMap(), CTTextSystem::context(), desc);
    pango_font_description_free(desc);
    return font;
}

std::string familyOf(PangoFont* font) {
    PangoFontDescription* desc = pango_font_describe(font);
    std::string family = pango_font_description_get_family(desc);
    pango_font_description_free(desc);
    return family;
}

// The top of a character's ink above the baseline.
CGFloat inkHeight(PangoFont* font, hb_codepoint_t character) {
    hb_codepoint_t glyph = 0;
    if (!hb_font_get_nominal_glyph(pango_font_get_hb_font(font), character, &glyph)) {
        return 0;
    }
    PangoRectangle ink;
    pango_font_get_glyph_extents(font, glyph, &ink, nullptr);
    return -fromPango(ink.y);
}

}  // namespace

CTFont::CTFont(std::string name, CGFloat size, CTFontFace face)
    : name_(std::move(name)), size_(size), face_(std::move(face)) {
    PangoFont* font = load(face_, size_);
    if (font == nullptr) {
        return;
    }
    family_ = familyOf(font);
    PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
    ascent_ = fromPango(pango_font_metrics_get_ascent(metrics));
    descent_ = fromPango(pango_font_metrics_get_descent(metrics));
    leading_ = std::max(CGFloat(0),
                        fromPango(pango_font_metrics_get_height(metrics)) - ascent_ - descent_);
    underlinePosition_ = fromPango(pango_font_metrics_get_underline_position(metrics));
    underlineThickness_ = fromPango(pango_font_metrics_get_underline_thickness(metrics));
    pango_font_metrics_unref(metrics);
    capHeight_ = inkHeight(font, 'H');
    xHeight_ = inkHeight(font, 'x');
    g_object_unref(font);
}

std::shared_ptr<const CTFont> CTFont::createWithName(const std::string& name, CGFloat size) {
    if (!(size > 0) || !std::isfinite(size)) {
        size = kDefaultSize;
    }
    if (auto face = CTFontSubstituteForName(name)) {
        return std::make_shared<const CTFont>(name, size, *face);
    }
    CTFontFace face = CTFontFaceFromName(name);
    // fontconfig answers every request with something; an unknown family
    // gets the default family instead of whatever fontconfig picked.
    PangoFont* font = load(face, size);
    const std::string found = font ? familyOf(font) : std::string();
    if (font) {
        g_object_unref(font);
    }
    if (strcasecmp(found.c_str(), face.family.c_str()) != 0) {
        face.family = kCTFontDefaultFamily;
    }
    return std::make_shared<const CTFont>(name, size, face);
}

std::shared_ptr<const CTFont> CTFont::systemFontOfSize(CGFloat size) {
    return createWithName("System", size);
}

std::shared_ptr<const CTFont> CTFont::boldSystemFontOfSize(CGFloat size) {
    return createWithName("System-Bold", size);
}

std::shared_ptr<const CTFont> CTFont::copyWithSize(CGFloat size) const {
    return std::make_shared<const CTFont>(name_, size > 0 ? size : size_, face_);
}

PangoFontDescription* CTFont::createPangoDescription() const {
    return describe(face_, size_);
}

PangoFont* CTFont::pangoFont() const {
    return load(face_, size_);
}

std::vector<CGGlyph> CTFont::glyphsForCharacters(const std::string& text) const {
    std::vector<CGGlyph> glyphs;
    PangoFont* font = pangoFont();
    if (font == nullptr) {
        return glyphs;
    }
    hb_font_t* hb = pango_font_get_hb_font(font);
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        const gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            glyphs.push_back(0);
            ++p;
            continue;
        }
        hb_codepoint_t glyph = 0;
        glyphs.push_back(hb_font_get_nominal_glyph(hb, c, &glyph) ? glyph : 0);
        p = g_utf8_next_char(p);
    }
    g_object_unref(font);
    return glyphs;
}

std::vector<CGFloat> CTFont::advancesForGlyphs(const std::vector<CGGlyph>& glyphs) const {
    std::vector<CGFloat> advances;
    PangoFont* font = pangoFont();
    if (font == nullptr) {
        return std::vector<CGFloat>(glyphs.size(), 0);
    }
    for (CGGlyph glyph : glyphs) {
        PangoRectangle logical;
        pango_font_get_glyph_extents(font, glyph, nullptr, &logical);
        advances.push_back(fromPango(logical.width));
    }
    g_object_unref(font);
    return advances;
}

void CTFont::drawGlyphs(const std::vector<CGGlyph>& glyphs, const std::vector<CGPoint>& positions,
                        CGContext& context) const {
    PangoFont* font = pangoFont();
    if (font == nullptr) {
        return;
    }
    const CGAffineTransform textMatrix = context.getTextMatrix();
    const CGColor fill = context.fillColor();
    context.paint(
        [&](cairo_t* cr) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, textMatrix.a, textMatrix.b, textMatrix.c, textMatrix.d,
                              textMatrix.tx, textMatrix.ty);
            cairo_transform(cr, &m);
            CTDrawGlyphs(cr, font, glyphs, positions, {fill, std::nullopt, 0});
        },
        false);
    g_object_unref(font);
}
