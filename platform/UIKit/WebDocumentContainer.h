#pragma once

#include <litehtml/litehtml.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGImage.h"
#include "UIKit/WebPageBudget.h"
#include "UIKit/WebResourceLoader.h"

class WebLayoutBudget;
typedef struct _cairo cairo_t;
typedef struct _PangoFontDescription PangoFontDescription;

// What litehtml asks of its host: fonts and text measured and drawn with
// pango, boxes, borders and images drawn with cairo (the hdc is a cairo_t*),
// style sheets and images fetched through the page's resource loader and
// decoded by ImageIO. CSS pixels are points; the cairo context carries the
// screen scale. Fonts are scaled by the text zoom.
//
// Resources are fetched while the document is built (off the main thread);
// drawing only reads what was loaded, so tiles may draw on worker threads
// while the owner serialises access to the document.
class WebDocumentContainer final : public litehtml::document_container {
  public:
    // Decoded pixels a page may hold in all; images beyond are left out.
    static constexpr size_t kMaximumImagePixels = size_t{48} << 20;
    // Style sheets import one another at most this deep.
    static constexpr int kMaximumImportDepth = 8;

    explicit WebDocumentContainer(WebResourceLoader loader);
    ~WebDocumentContainer();
    WebDocumentContainer(const WebDocumentContainer&) = delete;
    WebDocumentContainer& operator=(const WebDocumentContainer&) = delete;

    const WebResourceLoader& loader() const { return loader_; }
    void setTextZoom(double zoom) { textZoom_ = zoom; }
    void setViewport(CGSize size, CGFloat scale);
    // A parse of the page begins: each style sheet may be imported once
    // more, and the elements and texts made are charged to the budget (see
    // WebPageBudget.h), the styles to its layout part. Both outlive the
    // document made.
    void startDocument(WebPageBudget& budget, WebLayoutBudget& layout);
    const std::string& title() const { return title_; }
    // What the document made of the page so far.
    const WebPageBudget::Tally& built() const { return tally_; }
    // The base URL the page set for its links (<base href>), else the loader's.
    std::optional<NSURL> linkBase() const;

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override;
    void delete_font(litehtml::uint_ptr hFont) override;
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override;
    const litehtml::tchar_t* get_default_font_name() const override;
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                    bool redraw_on_ready) override;
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                        litehtml::size& sz) override;
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool root) override;
    void set_caption(const litehtml::tchar_t* caption) override;
    void set_base_url(const litehtml::tchar_t* base_url) override;
    void link(const std::shared_ptr<litehtml::document>& doc,
              const litehtml::element::ptr& el) override;
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
    void set_cursor(const litehtml::tchar_t* cursor) override;
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring& text, const litehtml::tstring& url,
                    litehtml::tstring& baseurl) override;
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& bdr_radius,
                  bool valid_x, bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position& client) const override;
    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& doc) override;
    void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                    const std::function<void(const litehtml::tchar_t*)>& on_space) override;
    void get_media_features(litehtml::media_features& media) const override;
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

  private:
    struct Font;
    struct Clip {
        litehtml::position box;
        litehtml::border_radiuses radius;
    };

    std::optional<NSURL> resolve(const char* src, const char* baseurl) const;
    bool mayImport(const NSURL& url) const;
    CGImageRef imageFor(const char* src, const char* baseurl) const;
    void applyClips(cairo_t* cr) const;

    WebResourceLoader loader_;
    double textZoom_ = 1;
    CGSize viewport_{320, 480};
    CGFloat scale_ = 1;
    std::string title_;
    std::optional<NSURL> linkBase_;
    std::map<std::string, CGImageRef> images_;   // by resolved URL; null when unusable
    std::map<std::string, std::string> styles_;  // by resolved URL, kept for a parse anew
    std::map<std::string, int> importDepths_;    // the style sheets of this parse
    size_t imagePixels_ = 0;
    std::vector<Clip> clips_;
    std::vector<std::unique_ptr<Font>> fonts_;
    WebPageBudget* budget_ = nullptr;
    WebLayoutBudget* layout_ = nullptr;
    WebPageBudget::Tally tally_;
    // Words repeat: measuring each once saves most of the layout time.
    std::unordered_map<std::string, int> widths_;
};
