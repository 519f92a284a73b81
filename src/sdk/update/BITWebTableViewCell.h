#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Net/NSURL.h"
#include "UIKit/UIColor.h"
#include "UIKit/UITableViewCell.h"

class UIWebView;

// A table cell showing an HTML fragment (a build's release notes) in a web
// view as tall as the laid-out page. A tapped link opens outside the screen.
class BITWebTableViewCell : public UITableViewCell {
  public:
    static constexpr const char* kReuseIdentifier = "PSWebTableViewCell";

    BITWebTableViewCell();
    ~BITWebTableViewCell() override;

    const std::string& webViewContent() const { return webViewContent_; }
    // The body of the page; also the cell's accessibility label.
    void setWebViewContent(const std::string& html);
    // The laid-out page's size; zero until it has been rendered.
    CGSize webViewSize() const { return webViewSize_; }
    // Told when webViewSize changes.
    void setWebViewSizeHandler(std::function<void(BITWebTableViewCell&)> handler) {
        webViewSizeHandler_ = std::move(handler);
    }
    const UIColor& cellBackgroundColor() const { return cellBackgroundColor_; }
    void setCellBackgroundColor(const UIColor& color);
    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

    // (Re)renders the content at the cell's width.
    void addWebView();
    // Reveals the rendered page in place of the text label.
    void showWebView();
    void removeWebView();
    // A tapped link of the notes: opened with the desktop, outside the screen.
    void openURL(const NSURL& url);
    // The whole page for the content at a width in points.
    std::string pageForWidth(CGFloat width) const;

    void setFrame(const CGRect& frame) override;
    void prepareForReuse() override;

  private:
    class WebDelegate;
    void webViewDidFinishLoad();

    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<WebDelegate> webDelegate_;
    std::string webViewContent_;
    UIColor cellBackgroundColor_ = UIColor::clearColor();
    CGSize webViewSize_ = {0, 0};
    std::function<void(BITWebTableViewCell&)> webViewSizeHandler_;
};
