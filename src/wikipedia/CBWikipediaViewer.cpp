#include "wikipedia/CBWikipediaViewer.h"

#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITabBar.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UIToolbar.h"
#include "UIKit/UIWebView.h"
#include "model/CBWikipediaManager.h"
#include "model/CBWikipediaOfflineLinks.h"
#include "uiadditions/UIApplication+SafeURL.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"
#include "wikiguide/CBWikipediaArticle.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaArticlePage.h"
#include "wikipedia/CBWikipediaHost.h"

namespace {

constexpr CGFloat kFontSizeControlWidth = 100;
constexpr CGFloat kToolbarMargin = 10;
// What may stand in an address besides letters, digits and "-._~": the
// reserved characters but the brackets, and "%" so that escapes stay.
constexpr const char* kKeptInAddresses = "!*';:@&=+$,/?#%";

std::optional<NSURL> folderURL(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    const std::string folder = path.ends_with('/') ? path : path + "/";
    return NSURL::URLWithString("file://" + NSURL::percentEncode(folder, "/"));
}

}  // namespace

CBWikipediaViewer::CBWikipediaViewer(CBWikipediaServices services)
    : services_(std::move(services)) {
    setHidesBottomBarWhenPushed(true);
}

CBWikipediaViewer::~CBWikipediaViewer() {
    tappedLinkRequest_.reset();
    if (webView_) {
        webView_->setDelegate({});
        webView_->stopLoading();
    }
}

void CBWikipediaViewer::setArticle(std::shared_ptr<CBWikipediaArticle> article) {
    article_ = std::move(article);
    if (article_)
        if (auto title = article_->title())
            setTitle(*title);
    if (isViewLoaded())
        loadCurrentArticleInWebView();
}

void CBWikipediaViewer::setAllOfflineLinks(const std::vector<std::string>& urls) {
    offlineLinks_ = std::make_shared<const CBWikipediaOfflineLinks>(urls);
}

std::string CBWikipediaViewer::escapedUrlStringForString(const std::string& string) {
    return NSURL::percentEncode(string, kKeptInAddresses);
}

std::string CBWikipediaViewer::unescapedUrlStringForString(const std::string& string) {
    return NSURL::percentDecode(string).value_or(string);
}

void CBWikipediaViewer::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    root->setBackgroundColor(UIColor::whiteColor());
    webView_ = std::make_shared<UIWebView>(root->bounds());
    webView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleHeight);
    // The page shows the package's folder and nothing from elsewhere.
    webView_->setLocalContentOnly(true);
    root->addSubview(webView_);
    setView(root);
}

void CBWikipediaViewer::viewDidLoad() {
    auto application = UIApplication::sharedApplication();
    application->setStatusBarStyle(UIStatusBarStyleDefault);
    application->setStatusBarHidden(false);
    if (!offlineLinks_ && services_.manager)
        if (const auto links = services_.manager->allAvailableWikipediaLinks())
            setAllOfflineLinks(*links);
    webView_->setDelegate(std::static_pointer_cast<CBWikipediaViewer>(shared_from_this()));
    loadCurrentArticleInWebView();
    buildToolbar();
}

void CBWikipediaViewer::buildToolbar() {
    std::weak_ptr<CBWikipediaViewer> weak =
        std::static_pointer_cast<CBWikipediaViewer>(shared_from_this());
    fontSizeControl_ = std::make_shared<UISegmentedControl>(std::vector<UIImageRef>{
        UIImage::imageNamed("button-largerfont"), UIImage::imageNamed("button-smallerfont")});
    fontSizeControl_->setMomentary(true);
    fontSizeControl_->sizeToFit();
    CGRect frame = fontSizeControl_->frame();
    frame.size.width = kFontSizeControlWidth;
    fontSizeControl_->setFrame(frame);
    fontSizeControl_->addTargetForControlEvents(
        [weak](UIControl& control) {
            if (auto viewer = weak.lock())
                viewer->changeFontSize(static_cast<UISegmentedControl&>(control));
        },
        UIControlEventValueChanged);
    auto fontSizeItem = std::make_shared<UIBarButtonItem>(fontSizeControl_);
    auto actionItem =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemAction, [weak](UIBarButtonItem&) {
            if (auto viewer = weak.lock())
                viewer->showActionsheet();
        });
    auto fixedSpace = [] { return CBScreenToolbar::fixedSpace(kToolbarMargin); };
    auto flexibleSpace = &CBScreenToolbar::flexibleSpace;
    std::shared_ptr<UIBarButtonItem> mapItem;
    if (isOnMap_)
        mapItem = fixedSpace();
    else
        mapItem =
            std::make_shared<UIBarButtonItem>(UIImage::imageNamed("button-map-pin"),
                                              UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
                                                  if (auto viewer = weak.lock())
                                                      viewer->showOnMap();
                                              });
    setToolbarItems({fixedSpace(), actionItem, flexibleSpace(), fontSizeItem, flexibleSpace(),
                     mapItem, fixedSpace()});
}

void CBWikipediaViewer::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    auto navigation = navigationController();
    if (!navigation)
        return;
    if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad)
        navigation->navigationBar()->setBarStyle(UIBarStyleDefault);
    navigation->toolbar()->setTintColor(navigation->navigationBar()->tintColor());
    navigation->setToolbarHiddenAnimated(false, animated);
}

void CBWikipediaViewer::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    // The bars have come in: the page measures again what they cover.
    view()->setNeedsLayout();
    CBScreenBreadcrumb::screenAppeared(*this);
}

void CBWikipediaViewer::viewWillLayoutSubviews() {
    webView_->setFrame(view()->bounds());
    // The page scrolls to its last line above the bars that lie over its
    // foot: the toolbar, and the tab bar of the guide's Wikipedia tab.
    const CGRect bounds = view()->bounds();
    CGFloat covered = 0;
    auto navigation = navigationController();
    auto tabs = tabBarController();
    for (const std::shared_ptr<UIView>& bar :
         {navigation ? std::static_pointer_cast<UIView>(navigation->toolbar()) : nullptr,
          tabs ? std::static_pointer_cast<UIView>(tabs->tabBar()) : nullptr}) {
        if (!bar || bar->isHidden() || !bar->window() || !view()->window())
            continue;
        const CGRect frame = bar->convertRectToView(bar->bounds(), view());
        if (CGRectIntersectsRect(frame, bounds))
            covered = std::max(covered, CGRectGetMaxY(bounds) - frame.origin.y);
    }
    const auto& scroll = webView_->scrollView();
    UIEdgeInsets inset = scroll->contentInset();
    if (inset.bottom != covered) {
        inset.bottom = covered;
        scroll->setContentInset(inset);
        scroll->setScrollIndicatorInsets(inset);
    }
}

bool CBWikipediaViewer::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

// The page is assembled on a global queue from what the article held when
// asked; only the last request's page reaches the web view.
void CBWikipediaViewer::loadCurrentArticleInWebView() {
    if (!article_)
        return;
    const auto article = article_;
    CBWikipediaArticlePage::Article fields{article->url().value_or(""),
                                           article->title().value_or(""), article->html()};
    const double width = view()->bounds().size.width;
    const std::string bundlePath = NSBundle::mainBundle()->resourcePath();
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    spinner->startAnimating();
    navigationItem()->setTitleView(spinner);
    std::weak_ptr<CBWikipediaViewer> weak =
        std::static_pointer_cast<CBWikipediaViewer>(shared_from_this());
    DispatchQueue::global()->async([weak, article, fields = std::move(fields), width, bundlePath,
                                    links = offlineLinks_]() mutable {
        auto page = std::make_shared<std::string>(CBWikipediaArticlePage::pageForArticle(
            CBWikipediaArticlePage::pageTemplate(), std::move(fields), width, bundlePath,
            links.get()));
        DispatchQueue::main()->async([weak, article, page] {
            auto viewer = weak.lock();
            if (!viewer || viewer->article_ != article)
                return;
            viewer->navigationItem()->setTitleView(nullptr);
            // An article's page may be large: it moves into the web view.
            viewer->webView_->loadHTMLStringBaseURL(std::move(*page), folderURL(viewer->basePath_));
        });
    });
}

bool CBWikipediaViewer::webViewShouldStartLoadWithRequestNavigationType(
    UIWebView&, const NSURLRequest& request, UIWebViewNavigationType type) {
    const NSURL& url = request.URL();
    if (type != UIWebViewNavigationTypeLinkClicked || url.scheme() == "file")
        return true;
    const std::string& address = url.absoluteString();
    std::shared_ptr<CBWikipediaArticle> linked;
    if (services_.manager) {
        linked = services_.manager->articleForUrl(address);
        if (!linked)
            linked = services_.manager->articleForUrl(escapedUrlStringForString(address));
    }
    if (linked) {
        presentLinkedArticle(linked);
        return false;
    }
    // Asking would promise what the desktop cannot do.
    if (!UIApplication::sharedApplication()->canOpenURL(address)) {
        NSLogWithLevel(NSLogLevel::Info, "CBWikipediaViewer: no program opens %s", address.c_str());
        return false;
    }
    tappedLinkRequest_ = request;
    alert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("OpenNewPageTitle"),
        NSLocalizedString("OpenNewPageMessage") + "\n(" + address + ")",
        std::static_pointer_cast<CBWikipediaViewer>(shared_from_this()),
        NSLocalizedString("Cancel"), std::vector<std::string>{NSLocalizedString("OpenInSafari")});
    alert_->show();
    return false;
}

void CBWikipediaViewer::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    if (index != alert.cancelButtonIndex() && tappedLinkRequest_)
        openURL(tappedLinkRequest_->URL().absoluteString());
    tappedLinkRequest_.reset();
    alert_.reset();
}

void CBWikipediaViewer::openURL(const std::string& url) {
    if (!openURLSafe_zel(UIApplication::sharedApplication(), url))
        NSLogWithLevel(NSLogLevel::Info, "CBWikipediaViewer: %s was not opened", url.c_str());
}

void CBWikipediaViewer::presentLinkedArticle(const std::shared_ptr<CBWikipediaArticle>& article) {
    if (!article)
        return;
    auto viewer = std::make_shared<CBWikipediaViewer>(services_);
    viewer->offlineLinks_ = offlineLinks_;
    viewer->setBasePath(services_.manager ? services_.manager->currentImgPath() : basePath_);
    viewer->setArticle(article);
    viewer->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(viewer, true);
}

void CBWikipediaViewer::showActionsheet() {
    if (!article_)
        return;
    actionSheet_ = std::make_shared<UIActionSheet>(
        article_->title(), std::static_pointer_cast<CBWikipediaViewer>(shared_from_this()),
        NSLocalizedString("Cancel"), std::nullopt,
        std::vector<std::string>{NSLocalizedString("OpenInSafari"),
                                 NSLocalizedString("Show authors")});
    if (auto navigation = navigationController())
        actionSheet_->showFromToolbar(navigation->toolbar());
    else
        actionSheet_->showInView(view());
}

void CBWikipediaViewer::actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) {
    const long choice = index - sheet.firstOtherButtonIndex();
    const auto url = article_ ? article_->url() : std::nullopt;
    if (index != sheet.cancelButtonIndex() && url) {
        if (choice == 0)
            openURL(*url);
        else if (choice == 1)
            openURL(*url + "?action=history");
    }
    actionSheet_.reset();
}

void CBWikipediaViewer::changeFontSize(UISegmentedControl& control) {
    const bool larger = control.selectedSegmentIndex() == 0;
    const long changes = fontChanges_ + (larger ? 1 : -1);
    if (changes > kMaximumFontChanges || changes < -kMaximumFontChanges)
        return;
    fontChanges_ = changes;
    if (larger)
        webView_->increaseFontSize();
    else
        webView_->decreaseFontSize();
}

void CBWikipediaViewer::showOnMap() {
    auto host = services_.host.lock();
    if (!article_ || !host)
        return;
    host->presentAnnotationsCentered({std::make_shared<CBWikipediaArticleAnnotation>(*article_)},
                                     true);
}
