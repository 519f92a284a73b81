#include "sdk/update/BITWebTableViewCell.h"

#include <cmath>
#include <cstdio>

#include "UIKit/UIApplication.h"
#include "UIKit/UIColor.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWebView.h"

class BITWebTableViewCell::WebDelegate : public UIWebViewDelegate {
  public:
    explicit WebDelegate(BITWebTableViewCell& cell) : cell_(cell) {}

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequest& request,
                                                         UIWebViewNavigationType type) override {
        switch (type) {
            case UIWebViewNavigationTypeLinkClicked:
                // The notes stay as they are; the link goes to the desktop.
                cell_.openURL(request.URL());
                return false;
            case UIWebViewNavigationTypeOther:
                return true;
            default:
                return false;
        }
    }
    void webViewDidFinishLoad(UIWebView&) override { cell_.webViewDidFinishLoad(); }

  private:
    BITWebTableViewCell& cell_;
};

BITWebTableViewCell::BITWebTableViewCell()
    : UITableViewCell(UITableViewCellStyleDefault, kReuseIdentifier),
      webDelegate_(std::make_shared<WebDelegate>(*this)) {
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}

BITWebTableViewCell::~BITWebTableViewCell() {
    removeWebView();
}

void BITWebTableViewCell::setWebViewContent(const std::string& html) {
    webViewContent_ = html;
    setAccessibilityLabel(html);
}

void BITWebTableViewCell::setCellBackgroundColor(const UIColor& color) {
    cellBackgroundColor_ = color;
    setBackgroundColor(color);
    contentView()->setBackgroundColor(color);
}

std::string BITWebTableViewCell::pageForWidth(CGFloat width) const {
    char viewport[64];
    std::snprintf(viewport, sizeof viewport, "user-scalable=no width=%.0f", double(width));
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
           "<style type=\"text/css\">body { font: 13px 'Helvetica Neue', Helvetica; "
           "color:#626262; word-wrap:break-word; padding:8px;} ul {padding-left: 18px;}</style>"
           "<meta name=\"viewport\" content=\"" +
           std::string(viewport) + "\"/></head><body>" + webViewContent_ + "</body></html>";
}

void BITWebTableViewCell::addWebView() {
    if (webViewContent_.empty())
        return;
    const CGRect area = bounds();
    if (!webView_) {
        webView_ = std::make_shared<UIWebView>(area);
        webView_->setHidden(true);
        webView_->setOpaque(false);
        webView_->setBackgroundColor(UIColor::clearColor());
        webView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        webView_->scrollView()->setScrollEnabled(false);
        webView_->scrollView()->setBounces(false);
        webView_->setDelegate(webDelegate_);
        contentView()->addSubview(webView_);
    } else {
        webView_->setFrame(area);
    }
    webView_->loadHTMLStringBaseURL(pageForWidth(area.size.width),
                                    NSURL::URLWithString("about:blank"));
}

void BITWebTableViewCell::webViewDidFinishLoad() {
    if (!webView_)
        return;
    if (!webViewContent_.empty())
        showWebView();
    const CGFloat width = bounds().size.width;
    const CGFloat height = std::ceil(webView_->contentHeight());
    webView_->setFrame({{0, 0}, {width, height}});
    const CGSize size{width, height};
    if (size.width == webViewSize_.width && size.height == webViewSize_.height)
        return;
    webViewSize_ = size;
    if (webViewSizeHandler_)
        webViewSizeHandler_(*this);
}

void BITWebTableViewCell::showWebView() {
    if (!webView_)
        return;
    webView_->setHidden(false);
    textLabel()->setText("");
}

void BITWebTableViewCell::openURL(const NSURL& url) {
    UIApplication::sharedApplication()->openURL(url.absoluteString());
}

void BITWebTableViewCell::removeWebView() {
    if (!webView_)
        return;
    webView_->setDelegate({});
    webView_->resignFirstResponder();
    webView_->removeFromSuperview();
    webView_.reset();
}

void BITWebTableViewCell::setFrame(const CGRect& frame) {
    const CGRect old = this->frame();
    UITableViewCell::setFrame(frame);
    if (old.size.width != frame.size.width)
        addWebView();
}

void BITWebTableViewCell::prepareForReuse() {
    removeWebView();
    webViewContent_.clear();
    UITableViewCell::prepareForReuse();
}
