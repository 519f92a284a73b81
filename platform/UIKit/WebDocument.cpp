#include "UIKit/WebDocument.h"

#include <litehtml/litehtml.h>
#include <malloc.h>

#include <cmath>

#include "UIKit/WebDocumentContainer.h"
#include "UIKit/WebLayoutBudget.h"
#include "UIKit/WebMarkupLimits.h"
#include "UIKit/WebMasterStyleSheet.h"

// The document's elements refer to the budgets: they go last.
struct WebDocument::Parsed {
    std::unique_ptr<WebPageBudget> budget;
    std::unique_ptr<WebLayoutBudget> layoutBudget;
    litehtml::document::ptr document;
};

namespace {

// Elements and text boxes from which a page is large.
constexpr size_t kLargePageBoxes = size_t{1} << 14;

litehtml::context& sharedContext() {
    static litehtml::context* context = [] {
        auto* made = new litehtml::context;
        made->load_master_stylesheet(kWebMasterStyleSheet);
        return made;
    }();
    return *context;
}

}  // namespace

WebDocument::WebDocument(const WebResourceLoader& loader, std::shared_ptr<const std::string> html,
                         const Layout& layout)
    : html_(std::move(html)),
      layout_(layout),
      container_(std::make_unique<WebDocumentContainer>(loader)),
      parsed_(std::make_unique<Parsed>()) {}

WebDocument::~WebDocument() {
    // The document refers to the container: it goes first.
    parsed_.reset();
    // A large page leaves its memory free in the allocator's arena of the
    // worker that built it, where another worker's page cannot use it:
    // it goes back to the system.
    if (large_)
        malloc_trim(0);
}

std::shared_ptr<WebDocument> WebDocument::create(std::string html, const WebResourceLoader& loader,
                                                 const Layout& layout,
                                                 WebPageBudget::Cancellation cancelled,
                                                 const WebPageBounds& bounds) {
    return create(std::make_shared<const std::string>(std::move(html)), loader, layout,
                  std::move(cancelled), bounds);
}

std::shared_ptr<WebDocument> WebDocument::create(std::shared_ptr<const std::string> html,
                                                 const WebResourceLoader& loader,
                                                 const Layout& layout,
                                                 WebPageBudget::Cancellation cancelled,
                                                 const WebPageBounds& bounds) {
    auto document = std::make_shared<WebDocument>(loader, std::move(html), layout);
    std::lock_guard lock(document->mutex_);
    document->bounds_ = bounds;
    return document->parse(std::move(cancelled)) ? document : nullptr;
}

bool WebDocument::parse(WebPageBudget::Cancellation cancelled) {
    parsed_->document.reset();
    parsed_->budget = std::make_unique<WebPageBudget>(std::move(cancelled), bounds_);
    parsed_->layoutBudget = std::make_unique<WebLayoutBudget>(*parsed_->budget);
    WebPageBudget& budget = *parsed_->budget;
    container_->startDocument(budget, *parsed_->layoutBudget);
    container_->setTextZoom(layout_.textZoom);
    container_->setViewport(layout_.viewport, layout_.scale);
    const std::string markup = WebLimitMarkup(*html_, budget);
    if (!budget.stopped())
        parsed_->document =
            litehtml::document::createFromUTF8(markup.c_str(), container_.get(), &sharedContext());
    if (parsed_->document && !budget.stopped())
        parsed_->document->render(std::max(1, int(layout_.width)));
    if (budget.stopped()) {
        parsed_->document.reset();
        return false;
    }
    budget.logCut();
    const WebPageBudget::Tally& built = container_->built();
    large_ = large_ || built.elements + built.textBoxes >= kLargePageBoxes;
    return true;
}

void WebDocument::layout(CGFloat width, CGSize viewport) {
    std::lock_guard lock(mutex_);
    layout_.width = width;
    layout_.viewport = viewport;
    container_->setViewport(viewport, layout_.scale);
    if (parsed_->document) {
        parsed_->document->media_changed();
        parsed_->document->render(std::max(1, int(width)));
    }
}

void WebDocument::setTextZoom(double zoom) {
    std::lock_guard lock(mutex_);
    if (zoom == layout_.textZoom)
        return;
    layout_.textZoom = zoom;
    parse({});
}

double WebDocument::textZoom() const {
    std::lock_guard lock(mutex_);
    return layout_.textZoom;
}

CGFloat WebDocument::contentWidth() const {
    std::lock_guard lock(mutex_);
    return parsed_->document ? parsed_->document->width() : 0;
}

CGFloat WebDocument::contentHeight() const {
    std::lock_guard lock(mutex_);
    return parsed_->document ? parsed_->document->height() : 0;
}

std::string WebDocument::title() const {
    std::lock_guard lock(mutex_);
    return container_->title();
}

std::string WebDocument::html() const {
    std::lock_guard lock(mutex_);
    return *html_;
}

std::optional<NSURL> WebDocument::linkBase() const {
    std::lock_guard lock(mutex_);
    return container_->linkBase();
}

void WebDocument::draw(CGContext& context, const CGRect& rect) const {
    std::lock_guard lock(mutex_);
    if (!parsed_->document)
        return;
    const litehtml::position clip(int(std::floor(rect.origin.x)), int(std::floor(rect.origin.y)),
                                  int(std::ceil(rect.size.width)) + 1,
                                  int(std::ceil(rect.size.height)) + 1);
    cairo_t* cr = context.cairoContext();
    cairo_save(cr);
    parsed_->document->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, 0, &clip);
    cairo_restore(cr);
}

std::optional<std::string> WebDocument::linkAt(CGPoint point) const {
    std::lock_guard lock(mutex_);
    if (!parsed_->document || !parsed_->document->root())
        return std::nullopt;
    const int x = int(point.x), y = int(point.y);
    for (auto element = parsed_->document->root()->get_element_by_point(x, y, x, y); element;
         element = element->parent()) {
        const char* tag = element->get_tagName();
        const char* href = element->get_attr("href");
        if (tag && std::string_view(tag) == "a" && href)
            return std::string(href);
    }
    return std::nullopt;
}

std::optional<CGFloat> WebDocument::offsetOfAnchor(const std::string& name) const {
    std::lock_guard lock(mutex_);
    if (!parsed_->document || !parsed_->document->root() || name.empty())
        return std::nullopt;
    // Names come from links of the page: matched against attributes, never
    // parsed as a selector.
    std::vector<litehtml::element::ptr> pending{parsed_->document->root()};
    while (!pending.empty()) {
        auto element = pending.back();
        pending.pop_back();
        const char* id = element->get_attr("id");
        const char* anchor = element->get_attr("name");
        if ((id && name == id) || (anchor && name == anchor))
            return CGFloat(element->get_placement().y);
        for (size_t i = element->get_children_count(); i-- > 0;)
            pending.push_back(element->get_child(int(i)));
    }
    return std::nullopt;
}

std::vector<UIVisibleText> WebDocument::visibleTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<UIVisibleText> texts;
    if (!parsed_->document || !parsed_->document->root())
        return texts;
    struct Entry {
        const litehtml::element* owner = nullptr;
        int line = 0;
        UIVisibleText text;
    };
    std::optional<Entry> open;
    auto close = [&] {
        if (!open)
            return;
        std::string& text = open->text.text;
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        if (!text.empty())
            texts.push_back(std::move(open->text));
        open.reset();
    };
    std::vector<litehtml::element::ptr> pending{parsed_->document->root()};
    while (!pending.empty()) {
        auto element = pending.back();
        pending.pop_back();
        const size_t children = element->get_children_count();
        if (children > 0) {
            for (size_t i = children; i-- > 0;)
                pending.push_back(element->get_child(int(i)));
            continue;
        }
        if (element->is_comment() || !element->is_visible())
            continue;
        litehtml::tstring word;
        element->get_text(word);
        if (word.empty())
            continue;
        // Words of one link belong together; other words to their line of
        // the nearest box that is not inline (a paragraph, a table cell).
        const litehtml::element* owner = nullptr;
        for (auto up = element->parent(); up; up = up->parent()) {
            const char* tag = up->get_tagName();
            const auto display = up->get_display();
            if ((tag && std::string_view(tag) == "a" && up->get_attr("href")) ||
                (display != litehtml::display_inline && display != litehtml::display_inline_text)) {
                owner = up.get();
                break;
            }
        }
        const litehtml::position place = element->get_placement();
        const CGRect rect = CGRectMake(place.x, place.y, place.width, place.height);
        if (element->is_white_space() || element->is_space()) {
            if (open)
                open->text.text += ' ';
            continue;
        }
        if (!open || open->owner != owner || std::abs(open->line - place.y) > 2) {
            close();
            open = Entry{owner, place.y, {"", rect}};
        }
        open->text.text += word;
        open->text.rect = CGRectUnion(open->text.rect, rect);
    }
    close();
    return texts;
}
