#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Net/NSURL.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWebViewDelegate.h"

class UIActivityIndicatorView;
class UIBarButtonItem;
class UILabel;
class UIWebView;

// An in-application web browser: the page, a loading screen, and a toolbar
// with back, forward, reload (stop while loading) and an action button. For
// a web page (http or https) the action sheet offers opening it in the
// desktop's browser and its source; local pages have neither. Links the
// page follows load here when openLinkInternally is set, else web links go
// to the desktop's browser (other schemes always do). A page that cannot be
// loaded leaves a message in place of the page.
class CBWebBrowser : public UIViewController,
                     public UIWebViewDelegate,
                     public UIActionSheetDelegate {
  public:
    CBWebBrowser();
    ~CBWebBrowser() override;

    bool openLinkInternally() const { return openLinkInternally_; }
    void setOpenLinkInternally(bool flag) { openLinkInternally_ = flag; }
    // The loading screen covers the first page always; later pages only
    // with this set.
    bool showLoadingScreenAfterFirstLoad() const { return showLoadingScreenAfterFirstLoad_; }
    void setShowLoadingScreenAfterFirstLoad(bool flag) { showLoadingScreenAfterFirstLoad_ = flag; }

    void loadURL(const NSURL& url);
    void goBack();
    void goForward();
    bool canGoBack() const { return position_ > 0; }
    bool canGoForward() const { return position_ + 1 < history_.size(); }

    // The page shown or being loaded.
    std::optional<NSURL> currentURL() const;
    bool isLoadingScreenShown() const;
    // The failure message shown in place of the page (empty while none).
    std::string errorMessage() const;
    // The action sheet's entries for the page shown: none for local pages.
    std::vector<std::string> pageActions() const;
    // Runs one of pageActions(); false for an unknown one.
    bool performPageAction(const std::string& action);

    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillLayoutSubviews() override;

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& view,
                                                         const NSURLRequest& request,
                                                         UIWebViewNavigationType type) override;
    void webViewDidStartLoad(UIWebView& view) override;
    void webViewDidFinishLoad(UIWebView& view) override;
    void webViewDidFailLoadWithError(UIWebView& view, const NSError& error) override;
    void actionSheetClickedButtonAtIndex(UIActionSheet& sheet, long index) override;

  private:
    void loadHistoryEntry(size_t position);
    void setLoadingScreenShown(bool shown);
    void updateToolbar();
    void showActions();
    bool isWebPage() const;

    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<UIView> loadingScreen_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    std::shared_ptr<UILabel> errorLabel_;
    std::shared_ptr<UIBarButtonItem> backItem_;
    std::shared_ptr<UIBarButtonItem> forwardItem_;
    std::shared_ptr<UIBarButtonItem> reloadItem_;
    std::shared_ptr<UIBarButtonItem> stopItem_;
    std::shared_ptr<UIBarButtonItem> actionItem_;
    std::shared_ptr<UIActionSheet> actionSheet_;
    std::vector<NSURL> history_;
    size_t position_ = 0;
    // Where back or forward is going: a start of that page moves there
    // instead of adding a page.
    std::optional<size_t> pendingPosition_;
    bool firstLoadDone_ = false;
    // The web view shows the page of the last load.
    bool pageShown_ = false;
    bool openLinkInternally_ = false;
    bool showLoadingScreenAfterFirstLoad_ = false;
};
