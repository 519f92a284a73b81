#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGGeometry.h"
#include "Net/NSURL.h"
#include "UIKit/UIView.h"
#include "UIKit/WebPageBudget.h"

class WebDocumentContainer;
class WebResourceLoader;

// One parsed and laid-out HTML page (litehtml) with what it loaded. Building
// blocks on resource loads, so it runs off the main thread; afterwards every
// method may be called from any thread (tiles draw on workers): a lock
// serialises them. Lengths are points.
class WebDocument {
  public:
    struct Layout {
        CGFloat width = 320;        // the page width to lay out at
        CGSize viewport{320, 480};  // what CSS sees as the window
        CGFloat scale = 2;          // pixels per point of the screen
        double textZoom = 1;        // 1 = 100 %
    };

    // Parses html, fetches its style sheets and images through loader,
    // lays it out: what the page builds is bounded (WebPageBudget.h), and
    // a page cut to its bounds says so in the log. Answers nullptr when the
    // build stopped before its end: `cancelled` answered true (it is asked
    // as each element and text is made), or the program is ending.
    static std::shared_ptr<WebDocument> create(std::shared_ptr<const std::string> html,
                                               const WebResourceLoader& loader,
                                               const Layout& layout,
                                               WebPageBudget::Cancellation cancelled = {},
                                               const WebPageBounds& bounds = {});
    static std::shared_ptr<WebDocument> create(std::string html, const WebResourceLoader& loader,
                                               const Layout& layout,
                                               WebPageBudget::Cancellation cancelled = {},
                                               const WebPageBounds& bounds = {});
    ~WebDocument();

    // Lays the page out again, for a new width or viewport.
    void layout(CGFloat width, CGSize viewport);
    // Rebuilds the page with its text scaled (resources are not loaded again).
    void setTextZoom(double zoom);
    double textZoom() const;

    CGFloat contentWidth() const;
    CGFloat contentHeight() const;
    std::string title() const;
    // The markup the page was made from, as given.
    std::string html() const;
    // The base URL links resolve against (the page's <base href> or its URL).
    std::optional<NSURL> linkBase() const;

    // Draws the part of the page in rect (page points) into a context whose
    // transform maps page points (y down) to its pixels.
    void draw(CGContext& context, const CGRect& rect) const;
    // The href of the link under a point of the page, as written.
    std::optional<std::string> linkAt(CGPoint point) const;
    // The top of the element with that id (or an anchor of that name).
    std::optional<CGFloat> offsetOfAnchor(const std::string& name) const;
    // The page's text as a reader sees it: one entry per line of a block,
    // and each link's words an entry of their own, with page rects.
    std::vector<UIVisibleText> visibleTexts() const;

    WebDocument(const WebResourceLoader& loader, std::shared_ptr<const std::string> html,
                const Layout& layout);

  private:
    struct Parsed;
    // Answers false when the build stopped.
    bool parse(WebPageBudget::Cancellation cancelled);

    WebPageBounds bounds_;
    // Built many boxes, once.
    bool large_ = false;

    mutable std::mutex mutex_;
    std::shared_ptr<const std::string> html_;
    Layout layout_;
    std::unique_ptr<WebDocumentContainer> container_;
    std::unique_ptr<Parsed> parsed_;
};
