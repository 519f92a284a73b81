#include "UIKit/UIWebView.h"

#include <algorithm>
#include <cctype>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebDocumentView.h"
#include "UIKit/WebResourceLoader.h"

struct UIWebView::Load {
    // Markup given by the caller, shared with the page made of it.
    std::shared_ptr<const std::string> html;
    std::optional<NSURL> url;  // else the page to fetch
    std::optional<NSURL> base;
    std::string root;  // the folder file resources stay in; empty: the base's
    bool localContentOnly = false;
};

namespace {

// The scheme of a link as written ("JavaScript:..." included), lower-case;
// empty for relative links.
std::string schemeOf(const std::string& href) {
    size_t begin = 0;
    while (begin < href.size() && std::isspace(static_cast<unsigned char>(href[begin])))
        ++begin;
    std::string scheme;
    for (size_t i = begin; i < href.size(); ++i) {
        const char c = href[i];
        if (c == ':')
            return scheme;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
        scheme += char(std::tolower(static_cast<unsigned char>(c)));
    }
    return {};
}

std::string withoutFragment(const NSURL& url) {
    const std::string& text = url.absoluteString();
    return text.substr(0, text.find('#'));
}

}  // namespace

UIWebView::UIWebView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
    scrollView_ = std::make_shared<UIScrollView>(bounds());
    scrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
    scrollView_->setAlwaysBounceVertical(true);
    documentView_ = std::make_shared<WebDocumentView>(CGRectMake(0, 0, frame.size.width, 0));
    scrollView_->addSubview(documentView_);
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget([this](UIGestureRecognizer& recognizer) {
        if (recognizer.state() == UIGestureRecognizerStateEnded)
            activateLinkAtPoint(
                recognizer.locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
    });
    documentView_->addGestureRecognizer(tap);
}

UIWebView::~UIWebView() {
    cancelPendingLoad();
}

void UIWebView::cancelPendingLoad() {
    if (pendingLoad_)
        pendingLoad_->store(true);
    pendingLoad_.reset();
}

void UIWebView::attachSubviews() const {
    if (attached_ || weak_from_this().expired())
        return;
    attached_ = true;
    // The view may have changed its size since the scroll view was made.
    scrollView_->setFrame(bounds());
    const_cast<UIWebView*>(this)->addSubview(scrollView_);
}

const std::shared_ptr<UIScrollView>& UIWebView::scrollView() const {
    attachSubviews();
    return scrollView_;
}

void UIWebView::didMoveToWindow() {
    attachSubviews();
}

std::shared_ptr<WebDocument> UIWebView::document() const {
    return documentView_->document();
}

void UIWebView::loadHTMLStringBaseURL(std::string html, const std::optional<NSURL>& baseURL) {
    auto load = std::make_shared<Load>();
    load->html = std::make_shared<const std::string>(std::move(html));
    load->base = baseURL;
    load->localContentOnly = localContentOnly_;
    std::optional<NSURLRequest> request;
    if (baseURL)
        request.emplace(*baseURL);
    start(request, UIWebViewNavigationTypeOther, std::move(load));
}

void UIWebView::loadRequest(const NSURLRequest& request) {
    auto load = std::make_shared<Load>();
    load->url = request.URL();
    load->base = request.URL();
    load->localContentOnly = localContentOnly_;
    start(request, UIWebViewNavigationTypeOther, std::move(load));
}

void UIWebView::reload() {
    if (lastLoad_)
        start(request_, UIWebViewNavigationTypeReload, lastLoad_);
}

void UIWebView::stopLoading() {
    if (!loading_)
        return;
    ++generation_;
    loading_ = false;
    cancelPendingLoad();
}

void UIWebView::start(const std::optional<NSURLRequest>& request, UIWebViewNavigationType type,
                      std::shared_ptr<Load> load, bool askDelegate) {
    attachSubviews();
    auto delegate = delegate_.lock();
    if (askDelegate && delegate && request &&
        !delegate->webViewShouldStartLoadWithRequestNavigationType(*this, *request, type))
        return;
    const uint64_t generation = ++generation_;
    // The page being made, if any, is not wanted any more: it stops.
    cancelPendingLoad();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    pendingLoad_ = cancelled;
    request_ = request;
    lastLoad_ = load;
    loading_ = true;
    WebDocument::Layout layout;
    layout.width = std::max<CGFloat>(1, bounds().size.width);
    layout.viewport = bounds().size;
    layout.scale = UIScreen::mainScreen()->scale();
    layout.textZoom = textZoom_;
    laidOutWidth_ = layout.width;
    std::weak_ptr<UIWebView> weak = std::static_pointer_cast<UIWebView>(shared_from_this());
    DispatchQueue::main()->async([weak, generation] {
        auto view = weak.lock();
        if (view && view->generation_ == generation)
            if (auto delegate = view->delegate())
                delegate->webViewDidStartLoad(*view);
    });
    DispatchQueue::global()->async([weak, generation, load, layout, cancelled] {
        WebResourceLoader loader = load->root.empty() ? WebResourceLoader(load->base)
                                                      : WebResourceLoader(load->base, load->root);
        loader.setLocalContentOnly(load->localContentOnly);
        NSError error;
        std::shared_ptr<const std::string> html = load->html;
        if (!html && load->url)
            if (auto fetched = loader.load(*load->url, &error))
                html = std::make_shared<const std::string>(std::move(*fetched));
        std::shared_ptr<WebDocument> document;
        if (html)
            document = WebDocument::create(std::move(html), loader, layout,
                                           [cancelled] { return cancelled->load(); });
        if (cancelled->load())
            return;
        DispatchQueue::main()->async([weak, generation, document, error] {
            if (auto view = weak.lock()) {
                if (document)
                    view->finish(generation, document);
                else
                    view->fail(generation, error);
            }
        });
    });
}

void UIWebView::finish(uint64_t generation, std::shared_ptr<WebDocument> document) {
    if (generation != generation_)
        return;
    loading_ = false;
    pendingLoad_.reset();
    documentView_->setDocument(std::move(document));
    // The view may have changed its width (a turn) while the page was made:
    // the page takes the width it has now.
    layoutSubviews();
    scrollView_->setContentOffset(scrollView_->minimumContentOffset());
    updateContentSize();
    if (request_ && request_->URL().fragment())
        scrollToAnchor(*request_->URL().fragment());
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFinishLoad(*this);
}

void UIWebView::fail(uint64_t generation, const NSError& error) {
    if (generation != generation_)
        return;
    loading_ = false;
    pendingLoad_.reset();
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFailLoadWithError(*this, error);
}

std::string UIWebView::pageTitle() const {
    auto page = document();
    return page ? page->title() : std::string();
}

std::string UIWebView::pageSource() const {
    auto page = document();
    return page ? page->html() : std::string();
}

void UIWebView::setTextZoom(double zoom) {
    zoom = std::clamp(zoom, kMinimumTextZoom, kMaximumTextZoom);
    if (zoom == textZoom_)
        return;
    textZoom_ = zoom;
    if (auto page = document()) {
        page->setTextZoom(zoom);
        documentView_->setNeedsDisplay();
        updateContentSize();
    }
}

void UIWebView::increaseFontSize() {
    setTextZoom(textZoom_ * kTextZoomStep);
}

void UIWebView::decreaseFontSize() {
    setTextZoom(textZoom_ / kTextZoomStep);
}

CGFloat UIWebView::contentHeight() const {
    auto page = document();
    return page ? page->contentHeight() : 0;
}

CGSize UIWebView::sizeThatFits(CGSize) const {
    auto page = document();
    if (!page)
        return bounds().size;
    return {std::max(bounds().size.width, page->contentWidth()), page->contentHeight()};
}

void UIWebView::layoutSubviews() {
    attachSubviews();
    const CGFloat width = std::max<CGFloat>(1, bounds().size.width);
    auto page = document();
    if (page && width != laidOutWidth_) {
        laidOutWidth_ = width;
        page->layout(width, bounds().size);
        documentView_->setNeedsDisplay();
    }
    updateContentSize();
}

void UIWebView::updateContentSize() {
    auto page = document();
    const CGFloat width = bounds().size.width;
    const CGFloat height = page ? page->contentHeight() : 0;
    const CGFloat pageWidth = page ? std::max(width, page->contentWidth()) : width;
    documentView_->setFrame(CGRectMake(0, 0, pageWidth, height));
    scrollView_->setContentSize({pageWidth, height});
}

bool UIWebView::activateLinkAtPoint(CGPoint point) {
    auto page = document();
    if (!page)
        return false;
    const CGPoint inPage = convertPointToView(point, documentView_);
    const auto href = page->linkAt(inPage);
    if (!href)
        return false;
    followLink(*href);
    return true;
}

void UIWebView::followLink(const std::string& href) {
    if (schemeOf(href) == "javascript")
        return;
    auto page = document();
    const auto base = page ? page->linkBase() : std::nullopt;
    const auto url =
        base ? NSURL::URLWithStringRelativeToURL(href, *base) : NSURL::URLWithString(href);
    if (!url) {
        NSLogWithLevel(NSLogLevel::Warning, "UIWebView: ignored the link %s", href.c_str());
        return;
    }
    const std::string root = lastLoad_ ? lastLoad_->root : std::string();
    const WebResourceLoader loader =
        root.empty() ? WebResourceLoader(request_ ? std::optional(request_->URL()) : std::nullopt)
                     : WebResourceLoader(std::nullopt, root);
    if (url->scheme() == "file" && !loader.isInsideRoot(*url)) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "UIWebView: refused the link %s outside the page's folder",
                       url->absoluteString().c_str());
        return;
    }
    const NSURLRequest request(*url);
    if (auto delegate = delegate_.lock();
        delegate && !delegate->webViewShouldStartLoadWithRequestNavigationType(
                        *this, request, UIWebViewNavigationTypeLinkClicked))
        return;
    if (url->fragment() && request_ && withoutFragment(*url) == withoutFragment(request_->URL())) {
        scrollToAnchor(*url->fragment());
        return;
    }
    if (url->scheme() == "file" || url->scheme() == "http" || url->scheme() == "https") {
        auto load = std::make_shared<Load>();
        load->url = *url;
        load->base = *url;
        load->root = url->scheme() == "file" ? loader.root() : std::string();
        load->localContentOnly = localContentOnly_;
        start(request, UIWebViewNavigationTypeLinkClicked, std::move(load), false);
        return;
    }
    UIApplication::sharedApplication()->openURL(url->absoluteString());
}

void UIWebView::scrollToAnchor(const std::string& name) {
    auto page = document();
    const auto decoded = NSURL::percentDecode(name);
    const auto top = page ? page->offsetOfAnchor(decoded.value_or(name)) : std::nullopt;
    if (!top)
        return;
    CGPoint offset{scrollView_->contentOffset().x, *top};
    offset.y = std::clamp(offset.y, scrollView_->minimumContentOffset().y,
                          scrollView_->maximumContentOffset().y);
    scrollView_->setContentOffset(offset);
}
