#include "sdk/update/BITUpdateViewController.h"

#include "CoreGraphics/CGGradient.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSIndexPath.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSString+MarkupEscaping.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITImageHelpers.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/update/BITAppStoreHeader.h"
#include "sdk/update/BITAppVersionMetaInfo.h"
#include "sdk/update/BITWebTableViewCell.h"

namespace {

UIColor grey(CGFloat white) {
    return UIColor::colorWithWhiteAlpha(white / 255.0, 1);
}

constexpr CGFloat kFooterHeight = 50;
constexpr CGFloat kFirstRowPlaceholderHeight = 250;
constexpr CGFloat kRowPlaceholderHeight = 44;

std::shared_ptr<UIImage> applicationIcon() {
    const auto bundle = NSBundle::mainBundle();
    const auto name = bit_appIconName(*bundle, *bundle);
    if (!name)
        return nullptr;
    const auto path = bundle->pathForResource(*name, "png");
    return bit_loadImageFile(path.value_or(bundle->resourcePath() + "/" + *name));
}

std::shared_ptr<UIView> hairline(CGFloat y, CGFloat width, CGFloat white) {
    auto line = std::make_shared<UIView>(CGRect{{0, y}, {width, 1}});
    line->setBackgroundColor(grey(white));
    line->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    return line;
}

}  // namespace

BITUpdateViewController::BITUpdateViewController(const std::shared_ptr<BITUpdateManager>& manager,
                                                 bool modal)
    : BITZizavaBaseViewController(UITableViewStylePlain, modal),
      updateManager_(manager),
      appEnvironment_(manager ? manager->appEnvironment() : BITAppEnvironmentAppStore) {
    setTitle(bit_localizedString("UpdateScreenTitle"));
    cells_.reserve(5);
}

BITUpdateViewController::~BITUpdateViewController() {
    if (activeObserver_)
        NSNotificationCenter::defaultCenter()->removeObserver(activeObserver_);
    if (const auto manager = updateManager_.lock())
        manager->removeObserver(this);
}

UIColor BITUpdateViewController::backgroundColor() const {
    return UIColor::whiteColor();
}

std::shared_ptr<BITUpdateViewController> BITUpdateViewController::self() {
    return std::static_pointer_cast<BITUpdateViewController>(shared_from_this());
}

void BITUpdateViewController::viewDidLoad() {
    BITZizavaBaseViewController::viewDidLoad();
    std::weak_ptr<BITUpdateViewController> weakSelf = self();
    activeObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationDidBecomeActiveNotification, nullptr, DispatchQueue::main()->scheduler(),
        [weakSelf](const NSNotification&) {
            if (const auto screen = weakSelf.lock())
                screen->appDidBecomeActive();
        });
    if (const auto manager = updateManager_.lock())
        manager->addObserver(self());

    const auto table = tableView();
    table->setBackgroundColor(grey(245));
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    // Pulling the list down shows the header's grey, not a gap.
    auto above = std::make_shared<UIView>(CGRect{{0, -501}, {view()->bounds().size.width, 600}});
    above->setBackgroundColor(grey(245));
    above->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    table->addSubview(above);

    appStoreHeader_ = std::make_shared<BITAppStoreHeader>(
        CGRect{{0, 0}, {view()->bounds().size.width, BITAppStoreHeader::kHeight}});
    appStoreHeader_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    updateAppStoreHeader();
    if (const auto icon = applicationIcon())
        appStoreHeader_->setIconImage(icon);
    table->setTableHeaderView(appStoreHeader_);

    appStoreButton_ = std::make_shared<BITStoreButton>(CGPoint{5, 58}, 1);
    appStoreButton_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    appStoreButton_->setButtonDelegate(self());
    appStoreHeader_->addSubview(appStoreButton_);
    appStoreButton_->setButtonData(BITStoreButtonData::dataWithLabelEnabled("", false));
    appStoreButton_->alignToSuperview();
    setAppStoreButtonState(BITUpdateCheckStatus);
}

void BITUpdateViewController::viewWillAppear(bool animated) {
    BITZizavaBaseViewController::viewWillAppear(animated);
    if (mandatoryUpdate_)
        navigationItem()->setLeftBarButtonItem(nullptr);
    if (const auto manager = updateManager_.lock())
        manager->setCurrentZizavaViewController(self());
    redrawTableView();
}

void BITUpdateViewController::viewWillDisappear(bool animated) {
    if (const auto manager = updateManager_.lock())
        manager->setCurrentZizavaViewController({});
    BITZizavaBaseViewController::viewWillDisappear(animated);
}

void BITUpdateViewController::setAppStoreButtonStateAnimated(BITUpdateStoreButtonState state,
                                                             bool animated) {
    appStoreButtonState_ = state;
    static constexpr struct {
        const char* key;
        bool enabled;
    } kStates[] = {{"UpdateButtonOffline", false},
                   {"UpdateButtonCheck", true},
                   {"UpdateButtonSearching", false},
                   {"UpdateButtonUpdate", true},
                   {"UpdateButtonInstalling", false}};
    if (state < 0 || state > BITUpdateStateInstalling || !appStoreButton_)
        return;
    appStoreButton_->setButtonDataAnimated(
        BITStoreButtonData::dataWithLabelEnabled(bit_localizedString(kStates[state].key),
                                                 kStates[state].enabled),
        animated);
}

void BITUpdateViewController::restoreStoreButtonStateAnimated(bool animated) {
    const auto manager = updateManager_.lock();
    if (appEnvironment_ == BITAppEnvironmentAppStore)
        setAppStoreButtonStateAnimated(BITUpdateStateOffline, animated);
    else
        setAppStoreButtonStateAnimated(
            manager && manager->updateAvailable() ? BITUpdateStateUpdate : BITUpdateCheckStatus,
            animated);
}

void BITUpdateViewController::updateAppStoreHeader() {
    const auto manager = updateManager_.lock();
    if (!manager || !appStoreHeader_)
        return;
    const auto newest = manager->newestAppVersion();
    appStoreHeader_->setHeaderText(newest ? newest->name.value_or("") : std::string());
    appStoreHeader_->setSubHeaderText(manager->companyName().value_or(""));
}

void BITUpdateViewController::storeButtonFired(BITStoreButton&) {
    const auto manager = updateManager_.lock();
    if (!manager)
        return;
    if (appStoreButtonState_ == BITUpdateStateUpdate) {
        std::weak_ptr<BITUpdateViewController> weakSelf = self();
        const bool started = manager->initiateAppDownload([weakSelf](bool opened) {
            const auto screen = weakSelf.lock();
            if (screen && !opened && screen->appStoreButtonState_ == BITUpdateStateInstalling)
                screen->restoreStoreButtonStateAnimated(true);
        });
        if (started)
            setAppStoreButtonStateAnimated(BITUpdateStateInstalling, true);
    } else if (appStoreButtonState_ == BITUpdateCheckStatus) {
        manager->checkForUpdateShowFeedback(true);
    }
}

bool BITUpdateViewController::isOnScreen() {
    return isViewLoaded() && view()->window() != nullptr;
}

void BITUpdateViewController::updateManagerDidChangeValueForKey(BITUpdateManager& manager,
                                                                const std::string& key) {
    if (!isOnScreen())
        return;
    if (key == "checkInProgress") {
        if (manager.checkInProgress())
            setAppStoreButtonStateAnimated(BITUpdateStateSearching, true);
        else
            restoreStoreButtonStateAnimated(true);
    } else if (key == "updateAvailable") {
        restoreStoreButtonStateAnimated(true);
    } else if (key == "appVersions") {
        redrawTableView();
    }
}

void BITUpdateViewController::webViewSizeChanged() {
    if (!isOnScreen())
        return;
    tableView()->reloadData();
    realignPreviousVersionButton();
}

void BITUpdateViewController::appDidBecomeActive() {
    const auto manager = updateManager_.lock();
    if (appStoreButtonState_ == BITUpdateStateInstalling)
        setAppStoreButtonStateAnimated(BITUpdateStateUpdate, true);
    else if (!manager || !manager->checkInProgress())
        restoreStoreButtonStateAnimated(true);
}

std::string BITUpdateViewController::webContentForAppVersion(const BITAppVersionMetaInfo& version,
                                                             bool newest) const {
    const auto manager = updateManager_.lock();
    std::string details;
    if (version.date)
        details = version.dateString();
    if (version.size) {
        if (!details.empty())
            details += " - ";
        details += version.sizeInMB();
    }
    const bool installed = manager && version.version == manager->currentAppVersion();
    const std::string marker =
        installed
            ? "<span style=\"float:right;\"><b>" +
                  NSStringByEscapingMarkup(bit_localizedString("UpdateInstalled")) + "</b></span>"
            : std::string();
    if (newest && !version.notes)
        return "<div style=\"min-height:130px;vertical-align:middle;text-align:center;\">" +
               NSStringByEscapingMarkup(bit_localizedString("UpdateNoReleaseNotesAvailable")) +
               "</div>";
    // The notes are the service's HTML; everything else is plain text.
    return "<p><b>" + NSStringByEscapingMarkup(version.versionString()) + "</b>" + marker +
           "<br/><small>" + NSStringByEscapingMarkup(details) + "</small></p><p>" +
           version.notesOrEmptyString() + "</p>";
}

std::shared_ptr<BITWebTableViewCell> BITUpdateViewController::webCellWithAppVersion(
    const std::shared_ptr<BITAppVersionMetaInfo>& version) {
    auto cell = std::make_shared<BITWebTableViewCell>();
    // Sized before it has content, so the page is laid out once.
    cell->setFrame({{0, 0}, {tableView()->bounds().size.width, kRowPlaceholderHeight}});
    configureWebCellForAppVersion(*cell, version);
    return cell;
}

void BITUpdateViewController::configureWebCellForAppVersion(
    BITWebTableViewCell& cell, const std::shared_ptr<BITAppVersionMetaInfo>& version) {
    const auto manager = updateManager_.lock();
    const bool newest = manager && manager->newestAppVersion() == version;
    cell.setWebViewContent(webContentForAppVersion(*version, newest));
    cell.setCellBackgroundColor(backgroundColor());
    cell.addWebView();
    cell.textLabel()->setText("");
    std::weak_ptr<BITUpdateViewController> weakSelf = self();
    cell.setWebViewSizeHandler([weakSelf](BITWebTableViewCell&) {
        if (const auto screen = weakSelf.lock())
            screen->webViewSizeChanged();
    });
}

void BITUpdateViewController::redrawTableView() {
    restoreStoreButtonStateAnimated(false);
    updateAppStoreHeader();
    for (const auto& cell : cells_)
        cell->setWebViewSizeHandler(nullptr);
    cells_.clear();
    const auto manager = updateManager_.lock();
    if (manager) {
        const auto& versions = manager->appVersions();
        for (size_t i = 0; i < versions.size(); ++i) {
            const auto& version = versions[i];
            if (!showAllVersions_ && version->version == manager->currentAppVersion()) {
                if (i == 0)
                    cells_.push_back(webCellWithAppVersion(version));
                break;
            }
            cells_.push_back(webCellWithAppVersion(version));
        }
    }
    tableView()->reloadData();
    showHidePreviousVersionsButton();
}

void BITUpdateViewController::showPreviousVersionAction() {
    showAllVersions_ = true;
    const auto manager = updateManager_.lock();
    if (manager) {
        const auto& versions = manager->appVersions();
        bool found = false;
        for (size_t i = 0; i < versions.size(); ++i) {
            found = found || versions[i]->version == manager->currentAppVersion();
            if (found && i > 0)
                cells_.push_back(webCellWithAppVersion(versions[i]));
        }
    }
    tableView()->reloadData();
    showHidePreviousVersionsButton();
}

void BITUpdateViewController::showHidePreviousVersionsButton() {
    const auto manager = updateManager_.lock();
    const bool offer = manager && manager->appVersions().size() >= 2 && !showAllVersions_;
    const auto table = tableView();
    if (!offer) {
        footer_.reset();
        previousVersionsButton_.reset();
        table->setTableFooterView(nullptr);
        table->setBackgroundColor(backgroundColor());
        return;
    }
    const CGFloat width = table->bounds().size.width;
    footer_ = std::make_shared<UIView>(CGRect{{0, 0}, {width, kFooterHeight}});
    footer_->setBackgroundColor(grey(245));
    footer_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    footer_->addSubview(hairline(0, width, 214));
    footer_->addSubview(hairline(1, width, 221));
    previousVersionsButton_ = std::make_shared<UIButton>(CGRect{{0, 6}, {width, 44}});
    previousVersionsButton_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    previousVersionsButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(14));
    previousVersionsButton_->setTitleForState(bit_localizedString("UpdateShowPreviousVersions"),
                                              UIControlStateNormal);
    previousVersionsButton_->setTitleColorForState(grey(61), UIControlStateNormal);
    previousVersionsButton_->setTitleColorForState(UIColor::whiteColor(),
                                                   UIControlStateHighlighted);
    previousVersionsButton_->setBackgroundImageForState(gradientButtonHighlightImage(),
                                                        UIControlStateHighlighted);
    std::weak_ptr<BITUpdateViewController> weakSelf = self();
    previousVersionsButton_->addTargetForControlEvents(
        [weakSelf](UIControl&) {
            if (const auto screen = weakSelf.lock())
                screen->showPreviousVersionAction();
        },
        UIControlEventTouchUpInside);
    footer_->addSubview(previousVersionsButton_);
    table->setBackgroundColor(grey(245));
    realignPreviousVersionButton();
}

std::shared_ptr<UIImage> BITUpdateViewController::gradientButtonHighlightImage() {
    const CGSize size{10, 70};
    UIGraphicsBeginImageContextWithOptions(size, true, 0);
    const auto context = UIGraphicsGetCurrentContext();
    const auto gradient =
        CGGradient::createWithColorComponents({0.45, 0.58, 0.85, 1, 0.16, 0.33, 0.70, 1});
    if (context && gradient)
        context->drawLinearGradient(*gradient, CGPointZero, CGPointMake(0, size.height), 0);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

void BITUpdateViewController::realignPreviousVersionButton() {
    if (!footer_)
        return;
    const auto table = tableView();
    CGFloat used = BITAppStoreHeader::kHeight;
    for (long row = 0; row < long(cells_.size()); ++row)
        used += tableViewHeightForRowAtIndexPath(*table, NSIndexPath{0, row}).value_or(0);
    const CGFloat rest = table->bounds().size.height - used;
    CGRect frame = footer_->frame();
    frame.size.height = rest > 100 ? rest : kFooterHeight;
    footer_->setFrame(frame);
    table->setTableFooterView(footer_);
}

long BITUpdateViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
    return long(cells_.size());
}

std::shared_ptr<UITableViewCell> BITUpdateViewController::tableViewCellForRowAtIndexPath(
    UITableView&, const NSIndexPath& indexPath) {
    if (indexPath.row >= 0 && indexPath.row < long(cells_.size()))
        return cells_[size_t(indexPath.row)];
    BITZizavaLogWarning(
        "Warning: cells_ and indexPath do not match? forgot calling redrawTableView? Returning "
        "empty UITableViewCell");
    return std::make_shared<UITableViewCell>();
}

std::optional<CGFloat> BITUpdateViewController::tableViewHeightForRowAtIndexPath(
    UITableView&, const NSIndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= long(cells_.size()))
        return kRowPlaceholderHeight;
    const CGFloat height = cells_[size_t(indexPath.row)]->webViewSize().height;
    if (height > 0)
        return height;
    return indexPath.row == 0 ? kFirstRowPlaceholderHeight : kRowPlaceholderHeight;
}
