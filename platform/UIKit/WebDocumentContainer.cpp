#include "UIKit/WebDocumentContainer.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "CoreText/CTTextSystem.h"
#include "Foundation/NSLog.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/WebBoundedElement.h"
#include "UIKit/WebFontFamilies.h"
#include "UIKit/WebTextBoxes.h"

struct WebDocumentContainer::Font {
    PangoFontDescription* description = nullptr;
    unsigned decoration = 0;
    int ascent = 0;
    int descent = 0;
    double underlinePosition = 0;  // below the baseline
    double lineThickness = 1;
    double strikePosition = 0;  // above the baseline
    ~Font() { pango_font_description_free(description); }
};

namespace {

void setColor(cairo_t* cr, const litehtml::web_color& color) {
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
}

// A rectangle with elliptical corners, as CSS border radii describe them.
void addRoundedRect(cairo_t* cr, const litehtml::position& box,
                    const litehtml::border_radiuses& r) {
    const double x = box.x, y = box.y, w = box.width, h = box.height;
    auto corner = [cr](double cx, double cy, double rx, double ry, double from) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, from, from + M_PI / 2);
        cairo_restore(cr);
    };
    cairo_new_sub_path(cr);
    if (r.top_left_x > 0 && r.top_left_y > 0)
        corner(x + r.top_left_x, y + r.top_left_y, r.top_left_x, r.top_left_y, M_PI);
    else
        cairo_move_to(cr, x, y);
    if (r.top_right_x > 0 && r.top_right_y > 0)
        corner(x + w - r.top_right_x, y + r.top_right_y, r.top_right_x, r.top_right_y, -M_PI / 2);
    else
        cairo_line_to(cr, x + w, y);
    if (r.bottom_right_x > 0 && r.bottom_right_y > 0)
        corner(x + w - r.bottom_right_x, y + h - r.bottom_right_y, r.bottom_right_x,
               r.bottom_right_y, 0);
    else
        cairo_line_to(cr, x + w, y + h);
    if (r.bottom_left_x > 0 && r.bottom_left_y > 0)
        corner(x + r.bottom_left_x, y + h - r.bottom_left_y, r.bottom_left_x, r.bottom_left_y,
               M_PI / 2);
    else
        cairo_line_to(cr, x, y + h);
    cairo_close_path(cr);
}

bool sameColor(const litehtml::web_color& a, const litehtml::web_color& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

bool hasRadius(const litehtml::border_radiuses& r) {
    return r.top_left_x > 0 || r.top_right_x > 0 || r.bottom_left_x > 0 || r.bottom_right_x > 0;
}

PangoLayout* createLayout(const PangoFontDescription* description, const char* text) {
    PangoLayout* layout = pango_layout_new(CTTextSystem::context());
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, text, -1);
    return layout;
}

}  // namespace

WebDocumentContainer::WebDocumentContainer(WebResourceLoader loader)
    : loader_(std::move(loader)), linkBase_(loader_.base()) {}

WebDocumentContainer::~WebDocumentContainer() = default;

void WebDocumentContainer::setViewport(CGSize size, CGFloat scale) {
    viewport_ = size;
    scale_ = scale;
}

std::optional<NSURL> WebDocumentContainer::linkBase() const {
    return linkBase_;
}

litehtml::uint_ptr WebDocumentContainer::create_font(const litehtml::tchar_t* faceName, int size,
                                                     int weight, litehtml::font_style italic,
                                                     unsigned int decoration,
                                                     litehtml::font_metrics* fm) {
    auto font = std::make_unique<Font>();
    font->description = pango_font_description_new();
    pango_font_description_set_family(font->description,
                                      WebFontFamilies(faceName ? faceName : "").c_str());
    const double points = std::clamp(size * textZoom_, 1.0, 1000.0);
    pango_font_description_set_absolute_size(font->description, points * PANGO_SCALE);
    pango_font_description_set_weight(font->description,
                                      PangoWeight(std::clamp(weight, 100, 1000)));
    pango_font_description_set_style(font->description, italic == litehtml::fontStyleItalic
                                                            ? PANGO_STYLE_ITALIC
                                                            : PANGO_STYLE_NORMAL);
    font->decoration = decoration;
    PangoFontMetrics* metrics =
        pango_context_get_metrics(CTTextSystem::context(), font->description, nullptr);
    font->ascent = int(std::ceil(pango_font_metrics_get_ascent(metrics) / double(PANGO_SCALE)));
    font->descent = int(std::ceil(pango_font_metrics_get_descent(metrics) / double(PANGO_SCALE)));
    font->underlinePosition =
        -pango_font_metrics_get_underline_position(metrics) / double(PANGO_SCALE);
    font->lineThickness =
        std::max(1.0, pango_font_metrics_get_underline_thickness(metrics) / double(PANGO_SCALE));
    font->strikePosition =
        pango_font_metrics_get_strikethrough_position(metrics) / double(PANGO_SCALE);
    pango_font_metrics_unref(metrics);
    if (fm) {
        fm->ascent = font->ascent;
        fm->descent = font->descent;
        fm->height = font->ascent + font->descent;
        fm->x_height = int(std::lround(points * 0.5));
        fm->draw_spaces = decoration != litehtml::font_decoration_none;
    }
    fonts_.push_back(std::move(font));
    return reinterpret_cast<litehtml::uint_ptr>(fonts_.back().get());
}

void WebDocumentContainer::delete_font(litehtml::uint_ptr hFont) {
    auto* font = reinterpret_cast<Font*>(hFont);
    std::erase_if(fonts_, [font](const auto& owned) { return owned.get() == font; });
    widths_.clear();
}

int WebDocumentContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) {
    const auto* font = reinterpret_cast<const Font*>(hFont);
    if (!font || !text)
        return 0;
    std::string key = std::to_string(hFont);
    key += '\0';
    key += text;
    if (auto it = widths_.find(key); it != widths_.end())
        return it->second;
    PangoLayout* layout = createLayout(font->description, text);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    const int width = int(std::ceil(logical.width / double(PANGO_SCALE)));
    widths_.emplace(std::move(key), width);
    return width;
}

void WebDocumentContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text,
                                     litehtml::uint_ptr hFont, litehtml::web_color color,
                                     const litehtml::position& pos) {
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    const auto* font = reinterpret_cast<const Font*>(hFont);
    if (!cr || !font || !text)
        return;
    cairo_save(cr);
    applyClips(cr);
    setColor(cr, color);
    PangoLayout* layout = createLayout(font->description, text);
    const double baseline = pos.bottom() - font->descent;
    cairo_move_to(cr, pos.x, baseline - pango_layout_get_baseline(layout) / double(PANGO_SCALE));
    pango_cairo_show_layout(cr, layout);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    const double width = logical.width / double(PANGO_SCALE);
    auto line = [&](double y) {
        cairo_rectangle(cr, pos.x, y - font->lineThickness / 2, width, font->lineThickness);
        cairo_fill(cr);
    };
    if (font->decoration & litehtml::font_decoration_underline)
        line(baseline + font->underlinePosition);
    if (font->decoration & litehtml::font_decoration_linethrough)
        line(baseline - font->strikePosition);
    if (font->decoration & litehtml::font_decoration_overline)
        line(baseline - font->ascent);
    cairo_restore(cr);
}

int WebDocumentContainer::pt_to_px(int pt) const {
    return int(std::lround(pt * 96.0 / 72.0));
}

int WebDocumentContainer::get_default_font_size() const {
    return 16;
}

const litehtml::tchar_t* WebDocumentContainer::get_default_font_name() const {
    return "sans-serif";
}

void WebDocumentContainer::draw_list_marker(litehtml::uint_ptr hdc,
                                            const litehtml::list_marker& marker) {
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    cairo_save(cr);
    applyClips(cr);
    if (!marker.image.empty()) {
        if (CGImageRef image = imageFor(marker.image.c_str(), marker.baseurl)) {
            cairo_surface_t* surface = image->createCairoSurface();
            cairo_translate(cr, marker.pos.x, marker.pos.y);
            cairo_scale(cr, marker.pos.width / double(image->width()),
                        marker.pos.height / double(image->height()));
            cairo_set_source_surface(cr, surface, 0, 0);
            cairo_paint(cr);
            cairo_surface_destroy(surface);
        }
        cairo_restore(cr);
        return;
    }
    setColor(cr, marker.color);
    const auto& p = marker.pos;
    switch (marker.marker_type) {
        case litehtml::list_style_type_circle:
            cairo_set_line_width(cr, 1);
            cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0 - 0.5, 0,
                      2 * M_PI);
            cairo_stroke(cr);
            break;
        case litehtml::list_style_type_disc:
            cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0, 0, 2 * M_PI);
            cairo_fill(cr);
            break;
        case litehtml::list_style_type_square:
            cairo_rectangle(cr, p.x, p.y, p.width, p.height);
            cairo_fill(cr);
            break;
        default:
            // Numbered markers are drawn by litehtml as text.
            break;
    }
    cairo_restore(cr);
}

std::optional<NSURL> WebDocumentContainer::resolve(const char* src, const char* baseurl) const {
    if (!src || !*src)
        return std::nullopt;
    if (baseurl && *baseurl) {
        if (auto base = loader_.resolve(baseurl))
            return NSURL::URLWithStringRelativeToURL(src, *base);
    }
    return loader_.resolve(src);
}

void WebDocumentContainer::load_image(const litehtml::tchar_t* src,
                                      const litehtml::tchar_t* baseurl, bool) {
    const auto url = resolve(src, baseurl);
    if (!url || images_.count(url->absoluteString()))
        return;
    CGImageRef image;
    if (auto bytes = loader_.load(*url)) {
        auto source =
            CGImageSource::createWithData(std::vector<uint8_t>(bytes->begin(), bytes->end()));
        image = source ? source->createImageAtIndex(0) : nullptr;
    }
    if (image && imagePixels_ + image->width() * image->height() > kMaximumImagePixels) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "UIWebView: %s left out, the page holds too many pixels",
                       url->absoluteString().c_str());
        image = nullptr;
    }
    if (image)
        imagePixels_ += image->width() * image->height();
    images_[url->absoluteString()] = image;
}

CGImageRef WebDocumentContainer::imageFor(const char* src, const char* baseurl) const {
    const auto url = resolve(src, baseurl);
    if (!url)
        return nullptr;
    auto it = images_.find(url->absoluteString());
    return it == images_.end() ? nullptr : it->second;
}

void WebDocumentContainer::get_image_size(const litehtml::tchar_t* src,
                                          const litehtml::tchar_t* baseurl, litehtml::size& sz) {
    if (CGImageRef image = imageFor(src, baseurl)) {
        sz.width = int(image->width());
        sz.height = int(image->height());
    } else {
        sz.width = sz.height = 0;
    }
}

void WebDocumentContainer::draw_background(litehtml::uint_ptr hdc,
                                           const litehtml::background_paint& bg) {
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    cairo_save(cr);
    applyClips(cr);
    addRoundedRect(cr, bg.clip_box, bg.border_radius);
    cairo_clip(cr);
    if (bg.color.alpha > 0) {
        setColor(cr, bg.color);
        cairo_paint(cr);
    }
    CGImageRef image = bg.image.empty() ? nullptr : imageFor(bg.image.c_str(), bg.baseurl.c_str());
    if (image && bg.image_size.width > 0 && bg.image_size.height > 0) {
        cairo_surface_t* surface = image->createCairoSurface();
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, image->width() / double(bg.image_size.width),
                                image->height() / double(bg.image_size.height));
        cairo_matrix_translate(&matrix, -(bg.position_x), -(bg.position_y));
        cairo_pattern_set_matrix(pattern, &matrix);
        const double x = bg.position_x, y = bg.position_y;
        const double w = bg.image_size.width, h = bg.image_size.height;
        const auto& clip = bg.clip_box;
        switch (bg.repeat) {
            case litehtml::background_repeat_repeat:
                cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
                cairo_rectangle(cr, clip.x, clip.y, clip.width, clip.height);
                break;
            case litehtml::background_repeat_repeat_x:
                cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
                cairo_rectangle(cr, clip.x, y, clip.width, h);
                break;
            case litehtml::background_repeat_repeat_y:
                cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
                cairo_rectangle(cr, x, clip.y, w, clip.height);
                break;
            case litehtml::background_repeat_no_repeat:
                cairo_rectangle(cr, x, y, w, h);
                break;
        }
        cairo_set_source(cr, pattern);
        cairo_fill(cr);
        cairo_pattern_destroy(pattern);
        cairo_surface_destroy(surface);
    }
    cairo_restore(cr);
}

void WebDocumentContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                        const litehtml::position& box, bool) {
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    cairo_save(cr);
    applyClips(cr);
    auto visible = [](const litehtml::border& b) {
        return b.width > 0 && b.style != litehtml::border_style_none &&
               b.style != litehtml::border_style_hidden && b.color.alpha > 0;
    };
    const auto& l = borders.left;
    const bool uniform = l.width == borders.top.width && l.width == borders.right.width &&
                         l.width == borders.bottom.width && l.style == borders.top.style &&
                         l.style == borders.right.style && l.style == borders.bottom.style &&
                         sameColor(l.color, borders.top.color) &&
                         sameColor(l.color, borders.right.color) &&
                         sameColor(l.color, borders.bottom.color);
    if (uniform && visible(l) && hasRadius(borders.radius)) {
        // The outline between the border box and the padding box, with the
        // border's own rounded corners.
        addRoundedRect(cr, box, borders.radius);
        litehtml::position inner(box.x + l.width, box.y + l.width, box.width - 2 * l.width,
                                 box.height - 2 * l.width);
        litehtml::border_radiuses radius = borders.radius;
        for (int* r : {&radius.top_left_x, &radius.top_left_y, &radius.top_right_x,
                       &radius.top_right_y, &radius.bottom_left_x, &radius.bottom_left_y,
                       &radius.bottom_right_x, &radius.bottom_right_y})
            *r = std::max(0, *r - l.width);
        addRoundedRect(cr, inner, radius);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        setColor(cr, l.color);
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    // Each side a trapezoid, so that corners of different colours meet on
    // the diagonal.
    const double x0 = box.x, y0 = box.y, x1 = box.right(), y1 = box.bottom();
    const double lw = l.width, tw = borders.top.width, rw = borders.right.width,
                 bw = borders.bottom.width;
    struct Side {
        const litehtml::border& border;
        double points[8];
    };
    const Side sides[] = {
        {borders.top, {x0, y0, x1, y0, x1 - rw, y0 + tw, x0 + lw, y0 + tw}},
        {borders.right, {x1, y0, x1, y1, x1 - rw, y1 - bw, x1 - rw, y0 + tw}},
        {borders.bottom, {x1, y1, x0, y1, x0 + lw, y1 - bw, x1 - rw, y1 - bw}},
        {borders.left, {x0, y1, x0, y0, x0 + lw, y0 + tw, x0 + lw, y1 - bw}},
    };
    for (const auto& side : sides) {
        if (!visible(side.border))
            continue;
        cairo_move_to(cr, side.points[0], side.points[1]);
        for (int i = 2; i < 8; i += 2)
            cairo_line_to(cr, side.points[i], side.points[i + 1]);
        cairo_close_path(cr);
        setColor(cr, side.border.color);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void WebDocumentContainer::set_caption(const litehtml::tchar_t* caption) {
    title_ = caption ? caption : "";
}

// Local content keeps its links in its own folder.
void WebDocumentContainer::set_base_url(const litehtml::tchar_t* base_url) {
    if (loader_.localContentOnly())
        return;
    if (auto url = loader_.resolve(base_url ? base_url : ""))
        linkBase_ = url;
}

void WebDocumentContainer::link(const std::shared_ptr<litehtml::document>&,
                                const litehtml::element::ptr&) {}

// Taps are resolved by the web view from the element under the finger.
void WebDocumentContainer::on_anchor_click(const litehtml::tchar_t*,
                                           const litehtml::element::ptr&) {}

void WebDocumentContainer::set_cursor(const litehtml::tchar_t*) {}

void WebDocumentContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
    if (tt == litehtml::text_transform_none || text.empty())
        return;
    gchar* changed = nullptr;
    if (tt == litehtml::text_transform_uppercase) {
        changed = g_utf8_strup(text.c_str(), -1);
    } else if (tt == litehtml::text_transform_lowercase) {
        changed = g_utf8_strdown(text.c_str(), -1);
    } else {
        const gchar* rest = g_utf8_next_char(text.c_str());
        gchar* first = g_utf8_strup(text.c_str(), rest - text.c_str());
        text = std::string(first) + rest;
        g_free(first);
        return;
    }
    text = changed;
    g_free(changed);
}

// A style sheet comes from the page's own folder (the loader keeps file
// reads inside it) or the page's own host; each is taken once per parse, and
// imports reach kMaximumImportDepth deep: a sheet importing itself, or a long
// chain, cannot recurse without end.
void WebDocumentContainer::import_css(litehtml::tstring& text, const litehtml::tstring& url,
                                      litehtml::tstring& baseurl) {
    text.clear();
    // litehtml passes the string form of "@import" with its quotes.
    std::string_view reference = url;
    const size_t first = reference.find_first_not_of(" \t\n");
    reference = first == std::string_view::npos
                    ? std::string_view()
                    : reference.substr(first, reference.find_last_not_of(" \t\n") + 1 - first);
    if (reference.size() >= 2 && (reference.front() == '"' || reference.front() == '\'') &&
        reference.back() == reference.front())
        reference = reference.substr(1, reference.size() - 2);
    const auto resolved = resolve(std::string(reference).c_str(), baseurl.c_str());
    if (!resolved)
        return;
    const std::string key = resolved->absoluteString();
    const auto parent = importDepths_.find(baseurl);
    const int depth = parent == importDepths_.end() ? 1 : parent->second + 1;
    if (importDepths_.contains(key) || depth > kMaximumImportDepth || !mayImport(*resolved)) {
        NSLogWithLevel(NSLogLevel::Warning, "UIWebView: style sheet not imported: %s", key.c_str());
        return;
    }
    importDepths_[key] = depth;
    auto cached = styles_.find(key);
    if (cached == styles_.end()) {
        auto bytes = loader_.load(*resolved);
        cached = styles_.emplace(key, bytes ? std::move(*bytes) : std::string()).first;
    }
    text = cached->second;
    baseurl = key;
}

bool WebDocumentContainer::mayImport(const NSURL& url) const {
    if (url.scheme() == "file")
        return true;
    const auto& page = loader_.base();
    return page && (page->scheme() == "http" || page->scheme() == "https") &&
           url.host() == page->host();
}

void WebDocumentContainer::set_clip(const litehtml::position& pos,
                                    const litehtml::border_radiuses& bdr_radius, bool, bool) {
    clips_.push_back({pos, bdr_radius});
}

void WebDocumentContainer::del_clip() {
    if (!clips_.empty())
        clips_.pop_back();
}

void WebDocumentContainer::applyClips(cairo_t* cr) const {
    for (const auto& clip : clips_) {
        addRoundedRect(cr, clip.box, clip.radius);
        cairo_clip(cr);
    }
}

void WebDocumentContainer::get_client_rect(litehtml::position& client) const {
    client = litehtml::position(0, 0, int(viewport_.width), int(viewport_.height));
}

void WebDocumentContainer::startDocument(WebPageBudget& budget, WebLayoutBudget& layout) {
    importDepths_.clear();
    budget_ = &budget;
    layout_ = &layout;
    tally_ = {};
}

std::shared_ptr<litehtml::element> WebDocumentContainer::create_element(
    const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
    const std::shared_ptr<litehtml::document>& doc) {
    if (!budget_ || !layout_)
        return nullptr;
    // An element past the budget is a bare one: it keeps no children and
    // shows nothing, so the rest of the page is built at no cost.
    if (budget_->stopped() ||
        !budget_->takeElements(tally_, 1, WebPageBudget::attributeBytes(attributes), 0))
        return std::make_shared<litehtml::element>(doc);
    return WebCreateBoundedElement(tag_name, doc, *layout_);
}

void WebDocumentContainer::split_text(
    const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
    const std::function<void(const litehtml::tchar_t*)>& on_space) {
    std::string_view whole = text ? text : "";
    if (budget_)
        whole = budget_->stopped() ? std::string_view()
                                   : whole.substr(0, budget_->takeText(tally_, whole, 0));
    WebForEachTextBox(whole, [&](std::string_view box, bool space) {
        const std::string piece(box);
        (space ? on_space : on_word)(piece.c_str());
        return true;
    });
}

void WebDocumentContainer::get_media_features(litehtml::media_features& media) const {
    media.type = litehtml::media_type_screen;
    media.width = media.device_width = int(viewport_.width);
    media.height = media.device_height = int(viewport_.height);
    media.color = 8;
    media.color_index = 0;
    media.monochrome = 0;
    media.resolution = int(96 * scale_);
}

void WebDocumentContainer::get_language(litehtml::tstring& language,
                                        litehtml::tstring& culture) const {
    language = "en";
    culture.clear();
}
