#include "CoreText/CTTextLayout.h"

#include <algorithm>
#include <optional>

#include "CoreText/CTTextSystem.h"

namespace {
CGFloat fromPango(int units) {
    return CGFloat(units) / PANGO_SCALE;
}
// The height of the lines a run stands on when its paragraph limits them:
// its font's line height times the multiple, raised to the minimum, then
// lowered to the maximum (each 0 when not set): the maximum wins. A line is as high as its highest
// run, which is what the limits make of the line's own height.
std::optional<CGFloat> limitedLineHeight(const std::optional<CTParagraphStyle>& style,
                                         const CTFont& font) {
    if (!style || (style->minimumLineHeight <= 0 && style->maximumLineHeight <= 0)) {
        return std::nullopt;
    }
    const CGFloat height = std::max(
        font.lineHeight() * (style->lineHeightMultiple > 0 ? style->lineHeightMultiple : 1),
        style->minimumLineHeight);
    return style->maximumLineHeight > 0 ? std::min(height, style->maximumLineHeight) : height;
}
}  // namespace

// Never destroyed: text is laid out on worker threads too.
CTFontRef CTDefaultFont() {
    static const auto* font = new CTFontRef(CTFont::createWithName("Helvetica", 12));
    return *font;
}

CTTextLayout::CTTextLayout(NSAttributedString string, long offset)
    : string_(std::move(string)), offset_(offset), index_(string_.string()) {}

CTTextLayout::~CTTextLayout() {
    if (layout_) {
        g_object_unref(layout_);
    }
}

std::shared_ptr<const CTTextLayout> CTTextLayout::create(const NSAttributedString& source,
                                                         CFRange range, CGFloat width) {
    const long from = std::clamp(range.location, 0L, long(source.length()));
    const long length = range.length > 0 ? std::min(range.length, long(source.length()) - from)
                                         : long(source.length()) - from;
    auto result = std::make_shared<CTTextLayout>(
        source.attributedSubstringFromRange(CFRangeMake(from, length)), from);
    const CTUTF16Index& index = result->index_;
    PangoLayout* layout = pango_layout_new(CTTextSystem::context());
    pango_layout_set_text(layout, index.text().c_str(), int(index.text().size()));

    PangoAttrList* attributes = pango_attr_list_new();
    const auto& runs = result->string_.runs();
    for (size_t i = 0; i < runs.size(); ++i) {
        const CTStringAttributes& a = runs[i].attributes;
        const guint start = guint(index.byteOfUnit(size_t(runs[i].range.location)));
        const guint end =
            guint(index.byteOfUnit(size_t(runs[i].range.location + runs[i].range.length)));
        auto add = [&](PangoAttribute* attribute) {
            attribute->start_index = start;
            attribute->end_index = end;
            pango_attr_list_insert(attributes, attribute);
        };
        const CTFontRef& font = a.font ? a.font : CTDefaultFont();
        PangoFontDescription* desc = font->createPangoDescription();
        add(pango_attr_font_desc_new(desc));
        pango_font_description_free(desc);
        if (const auto height = limitedLineHeight(a.paragraphStyle, *font)) {
            add(pango_attr_line_height_new_absolute(int(*height * PANGO_SCALE)));
        }
        if (a.kern) {
            add(pango_attr_letter_spacing_new(int(*a.kern * PANGO_SCALE)));
        }
        // Pango splits items only where its own attributes change; a marker
        // per run keeps colours and outlines of neighbouring runs apart.
        add(pango_attr_foreground_new(guint16(i & 0xFFFF), guint16(i >> 16), 0));
    }
    const CTParagraphStyle style =
        runs.empty() ? CTParagraphStyle{}
                     : runs[0].attributes.paragraphStyle.value_or(CTParagraphStyle{});
    if (style.lineHeightMultiple > 0 && style.minimumLineHeight <= 0 &&
        style.maximumLineHeight <= 0) {
        PangoAttribute* lineHeight = pango_attr_line_height_new(style.lineHeightMultiple);
        pango_attr_list_insert(attributes, lineHeight);
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);

    if (width < 0) {
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        pango_layout_set_width(layout, -1);
    } else {
        pango_layout_set_width(layout, int(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, style.lineBreakMode == kCTLineBreakByCharWrapping
                                          ? PANGO_WRAP_CHAR
                                          : PANGO_WRAP_WORD_CHAR);
        switch (style.alignment) {
            case kCTTextAlignmentRight:
                pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
                break;
            case kCTTextAlignmentCenter:
                pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
                break;
            case kCTTextAlignmentJustified:
                pango_layout_set_justify(layout, TRUE);
                break;
            case kCTTextAlignmentLeft:
            case kCTTextAlignmentNatural:
                break;
        }
    }
    pango_layout_set_spacing(layout, int(style.lineSpacing * PANGO_SCALE));
    pango_layout_set_indent(layout, int(style.firstLineHeadIndent * PANGO_SCALE));
    result->layout_ = layout;

    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const int baseline = pango_layout_iter_get_baseline(iter);
        result->lines_.push_back({pango_layout_iter_get_line_readonly(iter), fromPango(logical.x),
                                  fromPango(baseline), fromPango(baseline - logical.y),
                                  fromPango(logical.y + logical.height - baseline)});
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return result;
}

size_t CTTextLayout::linesFittingHeight(CGFloat height) const {
    // A little slack absorbs the rounding of pango units.
    size_t count = 0;
    for (const Line& line : lines_) {
        if (line.baseline + line.descent > height + 0.01) {
            break;
        }
        ++count;
    }
    return count;
}
