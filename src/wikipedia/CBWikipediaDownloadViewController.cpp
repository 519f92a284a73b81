#include "wikipedia/CBWikipediaDownloadViewController.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIScrollView.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/UIScrollView+CBContentFit.h"
#include "widgets/ZELRoundedGradientButton.h"
#include "wikipedia/CBWikipediaDownloadViewControllerDelegate.h"
#include "wikipedia/CBWikipediaHost.h"

namespace {
constexpr CGFloat kMargin = 20;
constexpr CGFloat kWidth = 320 - 2 * kMargin;
constexpr CGFloat kTitleInset = 7;
constexpr double kAddedTransitionDuration = 0.5;
}  // namespace

CBWikipediaDownloadViewController::CBWikipediaDownloadViewController(CBWikipediaServices services)
    : services_(std::move(services)) {
    setTitle("Wikipedia");
}

CBWikipediaDownloadViewController::~CBWikipediaDownloadViewController() = default;

// The map the tab was offered for: the one shown, even before the registry
// has made its installed copy the current map.
std::optional<std::string> CBWikipediaDownloadViewController::currentMapIdentifier() const {
    return services_.currentMapIdentifier();
}

ZELDownloadStatus CBWikipediaDownloadViewController::currentStatus() const {
    const auto identifier = currentMapIdentifier();
    return identifier && services_.manager
               ? services_.manager->downloadStatusForMapIdentifier(*identifier)
               : ZELDownloadStatus{};
}

CBWikipediaPackageList CBWikipediaDownloadViewController::packageList() const {
    const auto identifier = currentMapIdentifier();
    return identifier && services_.manager
               ? services_.manager->packageListForMapIdentifier(*identifier)
               : CBWikipediaPackageList::NotOffered;
}

void CBWikipediaDownloadViewController::loadView() {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    view->setBackgroundColor(UIColor::whiteColor());
    contentView_ = std::make_shared<UIScrollView>(view->bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                      UIViewAutoresizingFlexibleHeight);
    view->addSubview(contentView_);
    label_ = std::make_shared<UILabel>(CGRectMake(kMargin, 60, kWidth, 132));
    label_->setNumberOfLines(0);
    label_->setTextAlignment(NSTextAlignmentCenter);
    label_->setFont(UIFont::systemFontOfSize(17));
    label_->setTextColor(UIColor::darkGrayColor());
    label_->setBackgroundColor(UIColor::clearColor());
    label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    contentView_->addSubview(label_);

    auto button =
        std::make_shared<ZELRoundedGradientButton>(CGRectMake(kMargin, 204, kWidth, 44), 2);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    button->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    std::weak_ptr<CBWikipediaDownloadViewController> weak =
        std::static_pointer_cast<CBWikipediaDownloadViewController>(shared_from_this());
    button->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto screen = weak.lock())
                screen->startDownload();
        },
        UIControlEventTouchUpInside);
    button_ = button;
    contentView_->addSubview(button_);

    progress_ = std::make_shared<UIProgressView>(CGRectMake(kMargin, 224, kWidth, 4));
    progress_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    progress_->setHidden(true);
    contentView_->addSubview(progress_);
    setView(view);
}

void CBWikipediaDownloadViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto self = std::static_pointer_cast<CBWikipediaDownloadViewController>(shared_from_this());
    if (services_.manager)
        services_.manager->addDelegate(self);
    auto title = button_->titleLabel();
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumScaleFactor(0.75);
    button_->setTitleEdgeInsets(UIEdgeInsetsMake(0, kTitleInset, 0, kTitleInset));
    updateDownloadButton();
}

void CBWikipediaDownloadViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    UIScrollViewFitContentHeightToSubviews(*contentView_);
}

void CBWikipediaDownloadViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

bool CBWikipediaDownloadViewController::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

void CBWikipediaDownloadViewController::updateDownloadButton() {
    if (!isViewLoaded())
        return;
    // What shows decides how far the content reaches.
    view()->setNeedsLayout();
    const ZELDownloadStatus status = currentStatus();
    shownStatus_ = status;
    const auto identifier = currentMapIdentifier();
    if (!status.isQueued()) {
        // Articles that are there but cannot be read are not offered again
        // here: they are deleted on purpose, on the map's page in the store,
        // once no update of the map is on its way.
        const bool damaged = identifier && services_.manager &&
                             services_.manager->wikipediaIsDamagedForMapIdentifier(*identifier);
        const bool mapLoads =
            identifier && services_.registry &&
            services_.registry->downloadStatusForMapIdentifier(identifier).isQueued();
        progress_->setHidden(true);
        if (damaged) {
            label_->setText(
                NSLocalizedString(mapLoads ? "WikipediaDamagedWhileMapLoads" : "WikipediaDamaged"));
            button_->setHidden(true);
        } else {
            showPackageList();
        }
        return;
    }
    // A failed download keeps its button: a tap asks for the language again
    // and goes on with the bytes it has.
    button_->setHidden(status.phase != ZELDownloadPhase::Failed);
    if (status.phase == ZELDownloadPhase::Failed) {
        // Why, in the words of the map downloads, when it is known.
        const auto reason = ZELDownloadFailureReason(status.failure);
        label_->setText(reason ? NSLocalizedFormat("DownloadErrorWikipediaFormat", {*reason})
                               : NSLocalizedString("DownloadErrorWikipedia"));
        progress_->setHidden(true);
    } else if (status.isWaiting()) {
        label_->setText(NSLocalizedString("DownloadPendingWikipedia"));
    } else {
        label_->setText(NSLocalizedString(status.step == ZELDownloadStep::Loading
                                              ? "Downloading Wikipedia articles"
                                              : "downloadExtracting"));
        progress_->setHidden(false);
        progress_->setProgress(float(status.progress));
    }
}

void CBWikipediaDownloadViewController::showPackageList() {
    const CBWikipediaPackageList list = packageList();
    const bool failed =
        list == CBWikipediaPackageList::Failed || list == CBWikipediaPackageList::NoStore;
    switch (list) {
        case CBWikipediaPackageList::Offered:
            label_->setText(NSLocalizedString("WikipediaNotLoadedYet"));
            break;
        case CBWikipediaPackageList::Loading:
            label_->setText(NSLocalizedString("WikipediaListLoading"));
            break;
        case CBWikipediaPackageList::NotOffered:
            label_->setText(NSLocalizedString("WikipediaNotOffered"));
            break;
        case CBWikipediaPackageList::Failed:
        case CBWikipediaPackageList::NoStore:
            label_->setText(NSLocalizedString("WikipediaListFailed"));
            break;
    }
    button_->setTitleForState(
        NSLocalizedString(failed ? "Try Again" : "Download Wikipedia articles"),
        UIControlStateNormal);
    button_->setHidden(!failed && list != CBWikipediaPackageList::Offered);
}

void CBWikipediaDownloadViewController::startDownload() {
    displayedDownloadError_ = false;
    if (!services_.manager)
        return;
    // Without the store's list there is no language to ask for: the button
    // asks for the list again.
    const auto identifier = currentMapIdentifier();
    if (!identifier)
        return;
    const auto list = packageList();
    if (!currentStatus().isQueued() &&
        (list == CBWikipediaPackageList::Failed || list == CBWikipediaPackageList::NoStore)) {
        services_.manager->askStoreForPackageListOfMapIdentifier(*identifier);
        return;
    }
    // The map the tab was offered for: on a busy first start the registry
    // may not have made the installed sample current yet.
    auto navigation = navigationController();
    auto shownIn =
        navigation && navigation->view()->superview() ? navigation->view()->superview() : view();
    services_.manager->startDownloadForMapIdentifierInView(*identifier, shownIn);
}

void CBWikipediaDownloadViewController::wikipediaManagerPackageListChangedForMapWithIdentifier(
    CBWikipediaManager&, const std::string& identifier) {
    if (identifier == currentMapIdentifier())
        updateDownloadButton();
}

void CBWikipediaDownloadViewController::wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
    CBWikipediaManager&, const ZELDownloadStatus& status, const std::string& identifier) {
    if (identifier != currentMapIdentifier())
        return;
    if (status.phase == ZELDownloadPhase::Failed && !displayedDownloadError_) {
        if (auto host = services_.host.lock())
            host->showFailedMessageForIndividualDownload(status);
        displayedDownloadError_ = true;
    }
    if (!status.isQueued()) {
        downloadLeftQueue(identifier);
        return;
    }
    if (!shownStatus_.isQueued() && isViewLoaded())
        UIView::transitionWithViewDurationOptionsAnimationsCompletion(
            view(), kAddedTransitionDuration, UIViewAnimationOptionTransitionCrossDissolve, nullptr,
            nullptr);
    updateDownloadButton();
}

void CBWikipediaDownloadViewController::
    wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(CBWikipediaManager&,
                                                                  const ZELDownloadStatus& status,
                                                                  const std::string& identifier) {
    if (identifier == currentMapIdentifier() && progress_)
        progress_->setProgress(float(status.progress));
}

void CBWikipediaDownloadViewController::downloadOfEngineChanged(ZELDownloadManagerEngine& engine,
                                                                const Download& download) {
    if (download && download->type() == CBWikipediaManager::kDownloadType && services_.manager)
        wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
            *services_.manager, engine.statusForDownload(download), download->identifier());
}

void CBWikipediaDownloadViewController::downloadManagerDidAdd(ZELDownloadManagerEngine& engine,
                                                              const Download& download) {
    downloadOfEngineChanged(engine, download);
}

void CBWikipediaDownloadViewController::downloadManagerWillStartLoading(
    ZELDownloadManagerEngine& engine, const Download& download) {
    downloadOfEngineChanged(engine, download);
}

void CBWikipediaDownloadViewController::downloadManagerDidStartPostProcessingForDownload(
    ZELDownloadManagerEngine& engine, const Download& download) {
    downloadOfEngineChanged(engine, download);
}

void CBWikipediaDownloadViewController::downloadManagerFinishedLoadingDownload(
    ZELDownloadManagerEngine& engine, const Download& download) {
    downloadOfEngineChanged(engine, download);
}

void CBWikipediaDownloadViewController::downloadManagerFailedToLoadDownload(
    ZELDownloadManagerEngine& engine, const Download& download) {
    downloadOfEngineChanged(engine, download);
}

void CBWikipediaDownloadViewController::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double progress, const Download& download) {
    if (!download || download->type() != CBWikipediaManager::kDownloadType || !services_.manager)
        return;
    auto status = engine.statusForDownload(download);
    status.progress = progress;
    wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(*services_.manager, status,
                                                                  download->identifier());
}

void CBWikipediaDownloadViewController::downloadLeftQueue(const std::string& identifier) {
    if (services_.manager && services_.manager->userHasWikipediaForMapIdentifier(identifier)) {
        services_.manager->openWikipediaForMapIdentifier(identifier);
        if (auto listener = delegate()) {
            listener->wikipediaDownloadViewControllerCompletedDownload(*this);
            return;
        }
    }
    updateDownloadButton();
}
