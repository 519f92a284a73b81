#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Net/NSURLRequest.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWebViewDelegate.h"
#include "wikipedia/CBWikipediaServices.h"

class CBWikipediaArticle;
class CBWikipediaManager;
class CBWikipediaOfflineLinks;
class UIBarButtonItem;
class UISegmentedControl;
class UIWebView;

// One offline article. The page (CBWikipediaArticlePage) is assembled off
// the main thread and shown in a web view for local content whose folder is
// the package's images folder. A link to an article of the store opens it in
// a further viewer; any other link is opened on the desktop only after the
// user agreed. The toolbar offers the article's web page and its authors,
// larger and smaller text, and the article on the main map.
class CBWikipediaViewer : public UIViewController,
                          public UIWebViewDelegate,
                          public UIActionSheetDelegate,
                          public UIAlertViewDelegate {
  public:
    // Text size steps either way from the page's own.
    static constexpr long kMaximumFontChanges = 3;

    explicit CBWikipediaViewer(CBWikipediaServices services);
    ~CBWikipediaViewer() override;

    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

    const std::shared_ptr<CBWikipediaArticle>& article() const { return article_; }
    // Shows the article: its title at once, its page once assembled. Of
    // articles set in quick succession only the last one's page is shown.
    void setArticle(std::shared_ptr<CBWikipediaArticle> article);
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return services_.manager;
    }
    void setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager) {
        services_.manager = std::move(manager);
    }
    // The addresses of the store's articles; taken from the manager when
    // the view loads without them.
    const std::shared_ptr<const CBWikipediaOfflineLinks>& allOfflineLinks() const {
        return offlineLinks_;
    }
    void setAllOfflineLinks(const std::vector<std::string>& urls);
    // The package's images folder: the page's own folder.
    const std::string& basePath() const { return basePath_; }
    void setBasePath(std::string path) { basePath_ = std::move(path); }
    // Shown over a map already: the toolbar has no map button.
    bool isOnMap() const { return isOnMap_; }
    void setIsOnMap(bool flag) { isOnMap_ = flag; }
    // The outside link waiting for the user's answer.
    const std::optional<NSURLRequest>& tappedLinkRequest() const { return tappedLinkRequest_; }
    // The text size steps taken, within ±kMaximumFontChanges.
    long fontChanges() const { return fontChanges_; }
    // The text size control: segment 0 larger, 1 smaller.
    const std::shared_ptr<UISegmentedControl>& fontSizeControl() const { return fontSizeControl_; }

    void loadCurrentArticleInWebView();
    // Percent-escapes what a URL cannot hold and "()[]"; escapes already
    // there stay as they are.
    static std::string escapedUrlStringForString(const std::string& string);
    // Decodes the percent escapes; a broken one leaves the string as it is.
    static std::string unescapedUrlStringForString(const std::string& string);

    void presentLinkedArticle(const std::shared_ptr<CBWikipediaArticle>& article);
    void showActionsheet();
    void changeFontSize(UISegmentedControl& control);
    void showOnMap();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillLayoutSubviews() override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& view,
                                                         const NSURLRequest& request,
                                                         UIWebViewNavigationType type) override;
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) override;

  private:
    void buildToolbar();
    void openURL(const std::string& url);

    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<CBWikipediaArticle> article_;
    CBWikipediaServices services_;
    std::shared_ptr<const CBWikipediaOfflineLinks> offlineLinks_;
    std::string basePath_;
    bool isOnMap_ = false;
    std::optional<NSURLRequest> tappedLinkRequest_;
    long fontChanges_ = 0;
    std::shared_ptr<UISegmentedControl> fontSizeControl_;
    std::shared_ptr<UIAlertView> alert_;
    std::shared_ptr<UIActionSheet> actionSheet_;
};
