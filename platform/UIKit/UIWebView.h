#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Net/NSURLRequest.h"
#include "UIKit/UIView.h"
#include "UIKit/UIWebViewDelegate.h"

class UIScrollView;
class WebDocument;
class WebDocumentView;
class WebResourceLoader;

// A view showing an HTML page, laid out and drawn by litehtml.
//
// Pages come from a string with a base URL (a file URL: relative style
// sheets and images load from that folder, never from outside it) or from a
// request (http, https or a file). Loading runs on a worker thread; the
// delegate hears didStartLoad, then didFinishLoad or didFailLoadWithError, on
// the main thread. A newer load supersedes an older one: the page the older
// one was making stops being made, as it does when loading stops or the
// view goes.
//
// Tapping a link asks the delegate (navigation type link clicked) with the
// link resolved against the page; if it agrees, "#name" scrolls to the
// anchor, http(s) and file links inside the page's folder load in the view,
// and other schemes (mailto, tel, geo, ...) go to UIApplication openURL.
// "javascript:" links are ignored and file links outside the folder refused.
//
// A view for local content only (setLocalContentOnly) shows pages from
// their own folder and nothing else: no resource comes from the network and
// a page's <base> element is ignored, so its links resolve against the page.
//
// There is no JavaScript. What pages' scripts did for their callers are
// native operations: the text size steps (increaseFontSize,
// decreaseFontSize, textZoom) and the page height (contentHeight).
class UIWebView : public UIView {
  public:
    explicit UIWebView(const CGRect& frame = CGRectZero);
    ~UIWebView() override;

    std::shared_ptr<UIWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIWebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<UIScrollView>& scrollView() const;

    // Applies to the loads that start afterwards.
    bool localContentOnly() const { return localContentOnly_; }
    void setLocalContentOnly(bool flag) { localContentOnly_ = flag; }

    // The markup is kept, not copied, for the page made of it.
    void loadHTMLStringBaseURL(std::string html, const std::optional<NSURL>& baseURL);
    void loadRequest(const NSURLRequest& request);
    void reload();
    void stopLoading();
    bool isLoading() const { return loading_; }
    // The page shown or being loaded.
    const std::optional<NSURLRequest>& request() const { return request_; }
    // The page's <title>.
    std::string pageTitle() const;
    // The markup of the page shown (empty before one is shown).
    std::string pageSource() const;

    // Text size: 1 is the page's own; each step scales by kTextZoomStep,
    // within kMinimumTextZoom ... kMaximumTextZoom.
    static constexpr double kTextZoomStep = 1.15;
    static constexpr double kMinimumTextZoom = 0.5;
    static constexpr double kMaximumTextZoom = 3.0;
    double textZoom() const { return textZoom_; }
    void setTextZoom(double zoom);
    void increaseFontSize();
    void decreaseFontSize();
    // The laid-out page's height in points (0 before a page is shown).
    CGFloat contentHeight() const;

    // Follows the link under a point of this view, as a tap does; false when
    // there is no link there.
    bool activateLinkAtPoint(CGPoint point);

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void didMoveToWindow() override;

  private:
    struct Load;
    void start(const std::optional<NSURLRequest>& request, UIWebViewNavigationType type,
               std::shared_ptr<Load> load, bool askDelegate = true);
    void finish(uint64_t generation, std::shared_ptr<WebDocument> document);
    void fail(uint64_t generation, const NSError& error);
    void followLink(const std::string& href);
    void scrollToAnchor(const std::string& name);
    void updateContentSize();
    // Tells the page being made, if any, to stop.
    void cancelPendingLoad();
    std::shared_ptr<WebDocument> document() const;
    // Subviews join once the view is owned by a shared pointer.
    void attachSubviews() const;

    std::weak_ptr<UIWebViewDelegate> delegate_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<WebDocumentView> documentView_;
    std::optional<NSURLRequest> request_;
    std::shared_ptr<Load> lastLoad_;
    // Set when the page being made is no longer wanted.
    std::shared_ptr<std::atomic<bool>> pendingLoad_;
    uint64_t generation_ = 0;
    bool loading_ = false;
    double textZoom_ = 1;
    bool localContentOnly_ = false;
    CGFloat laidOutWidth_ = 0;
    mutable bool attached_ = false;
};
