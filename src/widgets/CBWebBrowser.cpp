#include "widgets/CBWebBrowser.h"

#include <algorithm>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"
#include "Net/NSURLRequest.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWebView.h"
#include "widgets/CBScreenToolbar.h"
#include "widgets/CBTextViewController.h"

namespace {
constexpr const char* kOpenInBrowser = "Open in Browser";
constexpr const char* kViewSource = "View Source";
constexpr CGFloat kMessageMargin = 20;

bool isWebScheme(const NSURL& url) {
    return url.scheme() == "http" || url.scheme() == "https";
}

std::string withoutFragment(const NSURL& url) {
    const std::string& text = url.absoluteString();
    return text.substr(0, text.find('#'));
}
}  // namespace

CBWebBrowser::CBWebBrowser() = default;

CBWebBrowser::~CBWebBrowser() {
    if (webView_) {
        webView_->setDelegate({});
        webView_->stopLoading();
    }
}

void CBWebBrowser::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    root->setBackgroundColor(UIColor::whiteColor());
    webView_ = std::make_shared<UIWebView>(root->bounds());
    root->addSubview(webView_);

    errorLabel_ = std::make_shared<UILabel>();
    errorLabel_->setNumberOfLines(0);
    errorLabel_->setTextAlignment(NSTextAlignmentCenter);
    errorLabel_->setFont(UIFont::systemFontOfSize(15));
    errorLabel_->setTextColor(UIColor::darkGrayColor());
    errorLabel_->setHidden(true);
    root->addSubview(errorLabel_);

    loadingScreen_ = std::make_shared<UIView>(root->bounds());
    loadingScreen_->setBackgroundColor(UIColor::whiteColor());
    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    loadingScreen_->addSubview(spinner_);
    auto loadingLabel = std::make_shared<UILabel>(CGRectMake(0, 0, 200, 20));
    loadingLabel->setText(NSLocalizedString("WebBrowserLoading"));
    loadingLabel->setTextAlignment(NSTextAlignmentCenter);
    loadingLabel->setTextColor(UIColor::grayColor());
    loadingLabel->setTag(1);
    loadingScreen_->addSubview(loadingLabel);
    loadingScreen_->setHidden(true);
    root->addSubview(loadingScreen_);
    setView(root);
}

void CBWebBrowser::viewDidLoad() {
    auto self = std::static_pointer_cast<CBWebBrowser>(shared_from_this());
    webView_->setDelegate(self);
    std::weak_ptr<CBWebBrowser> weak = self;
    auto call = [weak](void (CBWebBrowser::*method)()) {
        return [weak, method](UIBarButtonItem&) {
            if (auto browser = weak.lock())
                ((*browser).*method)();
        };
    };
    backItem_ = std::make_shared<UIBarButtonItem>("\u25C0", UIBarButtonItemStylePlain,
                                                  call(&CBWebBrowser::goBack));
    forwardItem_ = std::make_shared<UIBarButtonItem>("\u25B6", UIBarButtonItemStylePlain,
                                                     call(&CBWebBrowser::goForward));
    reloadItem_ =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemRefresh, [weak](UIBarButtonItem&) {
            if (auto browser = weak.lock())
                browser->webView_->reload();
        });
    stopItem_ =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemStop, [weak](UIBarButtonItem&) {
            if (auto browser = weak.lock())
                browser->webView_->stopLoading();
        });
    actionItem_ = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemAction,
                                                    call(&CBWebBrowser::showActions));
    updateToolbar();
}

void CBWebBrowser::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, false, false);
}

void CBWebBrowser::viewWillLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    webView_->setFrame(bounds);
    loadingScreen_->setFrame(bounds);
    const CGPoint middle = CGPointMake(bounds.size.width / 2, bounds.size.height / 2);
    spinner_->setCenter(CGPointMake(middle.x, middle.y - 15));
    if (auto label = loadingScreen_->viewWithTag(1))
        label->setCenter(CGPointMake(middle.x, middle.y + 20));
    const CGFloat width = std::max<CGFloat>(0, bounds.size.width - 2 * kMessageMargin);
    const CGSize size = errorLabel_->sizeThatFits(CGSizeMake(width, bounds.size.height));
    errorLabel_->setFrame(
        CGRectMake(kMessageMargin, middle.y - size.height / 2, width, size.height));
}

void CBWebBrowser::loadURL(const NSURL& url) {
    view();
    pendingPosition_.reset();
    webView_->loadRequest(NSURLRequest(url));
}

void CBWebBrowser::goBack() {
    if (canGoBack())
        loadHistoryEntry(position_ - 1);
}

void CBWebBrowser::goForward() {
    if (canGoForward())
        loadHistoryEntry(position_ + 1);
}

void CBWebBrowser::loadHistoryEntry(size_t position) {
    pendingPosition_ = position;
    webView_->loadRequest(NSURLRequest(history_[position]));
}

std::optional<NSURL> CBWebBrowser::currentURL() const {
    if (webView_ && webView_->request())
        return webView_->request()->URL();
    return std::nullopt;
}

bool CBWebBrowser::isLoadingScreenShown() const {
    return loadingScreen_ && !loadingScreen_->isHidden();
}

std::string CBWebBrowser::errorMessage() const {
    return errorLabel_ && !errorLabel_->isHidden() ? errorLabel_->text() : std::string();
}

bool CBWebBrowser::isWebPage() const {
    const auto url = currentURL();
    return url && isWebScheme(*url);
}

std::vector<std::string> CBWebBrowser::pageActions() const {
    if (!isWebPage())
        return {};
    std::vector<std::string> actions{NSLocalizedString(kOpenInBrowser)};
    if (pageShown_ && !webView_->pageSource().empty())
        actions.emplace_back(NSLocalizedString(kViewSource));
    return actions;
}

bool CBWebBrowser::performPageAction(const std::string& action) {
    const auto actions = pageActions();
    if (std::find(actions.begin(), actions.end(), action) == actions.end())
        return false;
    if (action == NSLocalizedString(kOpenInBrowser))
        return UIApplication::sharedApplication()->openURL(currentURL()->absoluteString());
    auto source = std::make_shared<CBTextViewController>();
    source->setTitle(NSLocalizedString("WebBrowserSourceTitle"));
    source->setText(webView_->pageSource());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(source, true);
    else
        presentViewControllerAnimatedCompletion(source, true, nullptr);
    return true;
}

void CBWebBrowser::showActions() {
    const auto actions = pageActions();
    if (actions.empty())
        return;
    actionSheet_ = std::make_shared<UIActionSheet>(
        std::nullopt, std::static_pointer_cast<CBWebBrowser>(shared_from_this()),
        NSLocalizedString("Cancel"), std::nullopt, actions);
    actionSheet_->showInView(view());
}

void CBWebBrowser::actionSheetClickedButtonAtIndex(UIActionSheet& sheet, long index) {
    if (index != sheet.cancelButtonIndex())
        performPageAction(sheet.buttonTitleAtIndex(index));
    actionSheet_.reset();
}

bool CBWebBrowser::webViewShouldStartLoadWithRequestNavigationType(UIWebView&,
                                                                   const NSURLRequest& request,
                                                                   UIWebViewNavigationType type) {
    if (type != UIWebViewNavigationTypeLinkClicked || openLinkInternally_ ||
        !isWebScheme(request.URL())) {
        // Covered at once, before a frame of the old page can show the new
        // load; a jump within the page loads nothing.
        const auto current = currentURL();
        if (!(request.URL().fragment() && current &&
              withoutFragment(request.URL()) == withoutFragment(*current)))
            setLoadingScreenShown(!firstLoadDone_ || showLoadingScreenAfterFirstLoad_);
        return true;
    }
    if (!UIApplication::sharedApplication()->openURL(request.URL().absoluteString()))
        NSLogWithLevel(NSLogLevel::Warning, "CBWebBrowser: the desktop did not open %s",
                       request.URL().absoluteString().c_str());
    return false;
}

void CBWebBrowser::webViewDidStartLoad(UIWebView& view) {
    if (const auto url = view.request() ? std::optional(view.request()->URL()) : std::nullopt) {
        if (pendingPosition_ && *pendingPosition_ < history_.size() &&
            history_[*pendingPosition_] == *url) {
            position_ = *pendingPosition_;
        } else if (history_.empty() || !(history_[position_] == *url)) {
            if (!history_.empty())
                history_.erase(history_.begin() + long(position_) + 1, history_.end());
            history_.push_back(*url);
            position_ = history_.size() - 1;
        }
    }
    pendingPosition_.reset();
    errorLabel_->setHidden(true);
    webView_->setHidden(false);
    setLoadingScreenShown(!firstLoadDone_ || showLoadingScreenAfterFirstLoad_);
    updateToolbar();
}

void CBWebBrowser::webViewDidFinishLoad(UIWebView& view) {
    firstLoadDone_ = true;
    pageShown_ = true;
    setLoadingScreenShown(false);
    std::string title = view.pageTitle();
    if (title.empty() && currentURL())
        title =
            currentURL()->host().empty() ? currentURL()->absoluteString() : currentURL()->host();
    setTitle(title);
    updateToolbar();
}

void CBWebBrowser::webViewDidFailLoadWithError(UIWebView&, const NSError& error) {
    firstLoadDone_ = true;
    // What the web view still holds is the page before.
    pageShown_ = false;
    setLoadingScreenShown(false);
    if (error.code != NSURLErrorCancelled) {
        NSLogWithLevel(NSLogLevel::Warning, "CBWebBrowser: %s not loaded: %s",
                       currentURL() ? currentURL()->absoluteString().c_str() : "the page",
                       error.localizedDescription().c_str());
        errorLabel_->setText(NSLocalizedString("WebBrowserPageNotLoaded") + "\n" +
                             error.localizedDescription());
        errorLabel_->setHidden(false);
        webView_->setHidden(true);
        view()->setNeedsLayout();
    }
    updateToolbar();
}

void CBWebBrowser::setLoadingScreenShown(bool shown) {
    loadingScreen_->setHidden(!shown);
    if (shown)
        spinner_->startAnimating();
    else
        spinner_->stopAnimating();
}

void CBWebBrowser::updateToolbar() {
    if (!backItem_)
        return;
    backItem_->setEnabled(canGoBack());
    forwardItem_->setEnabled(canGoForward());
    actionItem_->setEnabled(!pageActions().empty());
    auto space = &CBScreenToolbar::flexibleSpace;
    const bool loading = webView_->isLoading();
    setToolbarItems({backItem_, space(), forwardItem_, space(), loading ? stopItem_ : reloadItem_,
                     space(), actionItem_});
}
