#include "store/CBMapStoreDetailVC.h"

#include "Foundation/NSBundle.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIScrollView.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBDownloadStatusText.h"
#include "store/CBMapDetailStatistics.h"
#include "store/CBMapStoreDownloadViewController.h"
#include "uiadditions/CBRetryAlert.h"
#include "uiadditions/UIView+ZELGeometry.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBStatsBar.h"
#include "widgets/UIScrollView+CBContentFit.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

// The header's shadow curls at the sides and the bottom, like a lifted card.
constexpr UIEdgeInsets kHeaderCurl{0, 1.0, 2.0, 1.0};
// A cover is two thirds as wide as it is high.
constexpr CGFloat kCoverAspect = 0.66;
// The line under an installed map's cover that says it can be changed.
constexpr CGFloat kEditCoverHeight = 20;
// The line under the spinner while the map's information loads.
constexpr CGRect kUpdatingLabelFrame{{0, 50}, {240, 30}};

std::shared_ptr<UILabel> makeLabel(CGFloat size) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::systemFontOfSize(size));
    label->setNumberOfLines(0);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    return label;
}

// A full-width action button of the screen; the action reaches the screen
// only while it lives.
std::shared_ptr<ZELRoundedGradientButton> makeButton(
    CGFloat top, const std::weak_ptr<CBMapStoreDetailVC>& weakScreen,
    void (CBMapStoreDetailVC::*action)()) {
    auto button = std::make_shared<ZELRoundedGradientButton>(CGRectMake(20, top, 280, 40), 2);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    button->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    button->addTargetForControlEvents(
        [weakScreen, action](UIControl&) {
            if (auto screen = weakScreen.lock())
                ((*screen).*action)();
        },
        UIControlEventTouchUpInside);
    return button;
}

std::shared_ptr<UIProgressView> makeProgress(CGFloat top) {
    auto progress = std::make_shared<UIProgressView>(CGRectMake(20, top, 280, 4));
    progress->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    progress->setHidden(true);
    return progress;
}

// What a queued download makes of its button: the title, whether a tap
// goes on with it (a paused download resumes, a failed one is retried from
// the bytes it has), and whether the progress bar or the status line shows.
struct DownloadButton {
    const char* map;
    const char* wikipedia;
    bool enabled;
    bool showsProgress;
    bool showsStatus;
};

DownloadButton buttonForDownloadStatus(const ZELDownloadStatus& status) {
    // Unpacking too: the loading is over, whatever the bar shows.
    if (status.phase == ZELDownloadPhase::Installing)
        return {"downloadExtracting", "downloadExtracting", false, true, false};
    if (status.phase == ZELDownloadPhase::Paused)
        return {"ResumeDownloadMap", "ResumeDownloadWikipedia", true, false, true};
    if (status.isWaiting())
        return {"DownloadPendingMap", "DownloadPendingWikipedia", false, false, false};
    if (status.phase == ZELDownloadPhase::Failed)
        return {"RetryDownloadMap", "RetryDownloadWikipedia", true, false, true};
    return {"Downloading map", "Downloading Wikipedia articles", false, true, false};
}

// The line under a button that says why a download stopped.
std::shared_ptr<UILabel> makeStatusLabel(CGFloat top) {
    auto label = std::make_shared<UILabel>(CGRectMake(20, top, 280, 16));
    label->setFont(UIFont::systemFontOfSize(12));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.75);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label->setHidden(true);
    return label;
}

// Shows the status's line, red for a failure, or hides the label.
void showStatusLine(UILabel& label, const ZELDownloadStatus& status, bool shown) {
    label.setHidden(!shown);
    if (!shown)
        return;
    label.setText(CBDownloadStatusText::stateText(status));
    label.setTextColor(CBDownloadStatusText::stateColor(status));
}

}  // namespace

std::shared_ptr<CBMapStoreDetailVC> CBMapStoreDetailVC::create(
    std::shared_ptr<CBMapStoreMap> map, std::shared_ptr<ZELDownloadManagerEngine> manager,
    std::shared_ptr<CBMapStoreEngine> engine,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine,
    std::shared_ptr<CBWikipediaManager> wikipediaManager) {
    auto screen = std::make_shared<CBMapStoreDetailVC>(
        std::move(map), std::move(manager), std::move(engine), std::move(userMapStoreEngine),
        std::move(wikipediaManager));
    if (screen->userMapStoreEngine_)
        screen->userMapStoreEngine_->addDelegate(screen);
    if (screen->wikipediaManager_)
        screen->wikipediaManager_->addDelegate(screen);
    return screen;
}

CBMapStoreDetailVC::CBMapStoreDetailVC(std::shared_ptr<CBMapStoreMap> map,
                                       std::shared_ptr<ZELDownloadManagerEngine> manager,
                                       std::shared_ptr<CBMapStoreEngine> engine,
                                       std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine,
                                       std::shared_ptr<CBWikipediaManager> wikipediaManager)
    : map_(std::move(map)),
      downloadManager_(std::move(manager)),
      engine_(std::move(engine)),
      userMapStoreEngine_(std::move(userMapStoreEngine)),
      wikipediaManager_(std::move(wikipediaManager)) {}

CBMapStoreDetailVC::~CBMapStoreDetailVC() {
    // The tile threads may still ask the source for cache paths.
    if (mapTileDataSource_)
        mapTileDataSource_->setCacheDelegate({});
}

std::shared_ptr<CBMapStoreMap> CBMapStoreDetailVC::installedMap() const {
    auto record =
        userMapStoreEngine_ ? userMapStoreEngine_->mapForIdentifier(map_->identifier()) : nullptr;
    // The registry keeps a record from the first download on; the map is
    // there only once it was added.
    return record && record->dateAdded() ? record : nullptr;
}

void CBMapStoreDetailVC::buildViews() {
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    contentView_ = std::make_shared<UIScrollView>(root->bounds());
    root->addSubview(contentView_);

    headerContainerView_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 160));
    headerContainerView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));
    headerContainerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    contentView_->addSubview(headerContainerView_);
    mapCoverView_ = std::make_shared<UIImageView>(CGRectMake(0, 0, 106, 160));
    mapCoverView_->setContentMode(UIViewContentModeScaleAspectFill);
    mapCoverView_->setClipsToBounds(true);
    headerContainerView_->addSubview(mapCoverView_);
    mapCoverLoadingIndicator_ =
        std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    mapCoverLoadingIndicator_->setCenter(CGPointMake(53, 80));
    mapCoverLoadingIndicator_->startAnimating();
    headerContainerView_->addSubview(mapCoverLoadingIndicator_);
    editCoverLabel_ = makeLabel(12);
    editCoverLabel_->setAutoresizingMask(UIViewAutoresizingNone);
    editCoverLabel_->setTextAlignment(NSTextAlignmentCenter);
    editCoverLabel_->setHidden(true);
    headerContainerView_->addSubview(editCoverLabel_);

    mapViewContainer_ = std::make_shared<UIView>(CGRectMake(106, 0, 214, 160));
    mapViewContainer_->setClipsToBounds(true);
    headerContainerView_->insertSubviewAtIndex(mapViewContainer_, 0);

    generalMapStats_ = makeLabel(14);
    generalMapStats_->setFrame(CGRectMake(10, 168, 300, 40));
    contentView_->addSubview(generalMapStats_);
    statsBar_ = std::make_shared<CBStatsBar>(CGRectMake(10, 210, 300, 28));
    statsBar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    contentView_->addSubview(statsBar_);

    const std::weak_ptr<CBMapStoreDetailVC> weak =
        std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this());
    downloadMapButton_ = makeButton(248, weak, &CBMapStoreDetailVC::downloadMap);
    contentView_->addSubview(downloadMapButton_);
    mapProgress_ = makeProgress(294);
    contentView_->addSubview(mapProgress_);
    mapStatusLabel_ = makeStatusLabel(290);
    contentView_->addSubview(mapStatusLabel_);
    downloadWikipediaButton_ = makeButton(308, weak, &CBMapStoreDetailVC::downloadWikipedia);
    contentView_->addSubview(downloadWikipediaButton_);
    wikiProgress_ = makeProgress(354);
    contentView_->addSubview(wikiProgress_);
    wikiStatusLabel_ = makeStatusLabel(350);
    contentView_->addSubview(wikiStatusLabel_);
    wikipediaStats_ = makeLabel(13);
    wikipediaStats_->setFrame(CGRectMake(10, 352, 300, 60));
    contentView_->addSubview(wikipediaStats_);

    updatingView_ = std::make_shared<UIView>(CGRectMake(40, 250, 240, 90));
    updatingView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.6));
    updatingView_->layer()->setCornerRadius(12.0);
    updatingView_->setHidden(true);
    updatingActivity_ =
        std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    updatingActivity_->setCenter(CGPointMake(120, 30));
    updatingView_->addSubview(updatingActivity_);
    updatingLabel_ = makeLabel(14);
    updatingLabel_->setFrame(kUpdatingLabelFrame);
    updatingLabel_->setTextColor(UIColor::whiteColor());
    updatingLabel_->setTextAlignment(NSTextAlignmentCenter);
    updatingLabel_->setText(NSLocalizedString("UpdatingMapInfo"));
    updatingView_->addSubview(updatingLabel_);
    retryInfoButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    retryInfoButton_->setFrame(CGRectMake(50, 54, 140, 30));
    retryInfoButton_->setTitleForState(NSLocalizedString("TryAgain"), UIControlStateNormal);
    retryInfoButton_->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    retryInfoButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(15));
    retryInfoButton_->setHidden(true);
    retryInfoButton_->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto screen = weak.lock())
                screen->retryLoadingMapInfo();
        },
        UIControlEventTouchUpInside);
    updatingView_->addSubview(retryInfoButton_);
    contentView_->addSubview(updatingView_);
}

void CBMapStoreDetailVC::viewDidLoad() {
    if (rightButtonAfterDownload_) {
        originalBarButtonItem_ = navigationItem()->rightBarButtonItem();
        navigationItem()->setRightBarButtonItem(nullptr);
    }
    setTitle(map_->localName());
    buildViews();

    loadMapInfo();
    auto wikiTitle = downloadWikipediaButton_->titleLabel();
    wikiTitle->setAdjustsFontSizeToFitWidth(true);
    wikiTitle->setMinimumScaleFactor(0.75);
    downloadWikipediaButton_->setTitleEdgeInsets(UIEdgeInsetsMake(0, 7.0, 0, 7.0));
    updateDownloadButtons();
    loadCover();
    headerContainerView_->layer()->setShadowColor(UIColor::blackColor().CGColor());
    headerContainerView_->layer()->setShadowOffset(CGSizeMake(0, 1.0));
    headerContainerView_->layer()->setShadowOpacity(0.75);
    headerContainerView_->layer()->setShadowRadius(2.0);
    setShadowPathToBoundsWithEdgeCurlEffect(headerContainerView_, kHeaderCurl);
    if (auto installed = installedMap())
        userMapStoreEngine_->copyCoverToDocumentsForMap(installed);
    buildPreviewMap();
}

void CBMapStoreDetailVC::loadMapInfo() {
    errorUpdatingInfo_ = false;
    auto country = map_->country();
    auto region = map_->region();
    mapInfo_ = engine_->infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
        map_->identifier().value_or(""),
        country ? country->countryCode().value_or("") : std::string(),
        region ? region->regionCode() : std::nullopt,
        [weak = weak_from_this()](const std::shared_ptr<CBMapStoreInfoMap>& info) {
            auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock());
            if (!self)
                return;
            // A failed fetch leaves the record on show as it was.
            if (info)
                self->mapInfo_ = info;
            self->errorUpdatingInfo_ = !self->mapInfoIsValid();
            self->updateDownloadButtons();
        });
    if (mapInfo_ && !mapInfoIsValid())
        errorUpdatingInfo_ = true;
}

void CBMapStoreDetailVC::retryLoadingMapInfo() {
    retryInfoButton_->setHidden(true);
    updatingLabel_->setText(NSLocalizedString("UpdatingMapInfo"));
    updatingLabel_->setFrame(kUpdatingLabelFrame);
    updatingActivity_->startAnimating();
    loadMapInfo();
    updateDownloadButtons();
}

void CBMapStoreDetailVC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    updateDownloadButtons();
}

unsigned long CBMapStoreDetailVC::supportedInterfaceOrientations() const {
    return CBScreenRotation::supportedOrientations(CBScreenRotation::Rule::Portrait);
}

bool CBMapStoreDetailVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::Portrait, orientation);
}

void CBMapStoreDetailVC::done() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBMapStoreDetailVC::viewDidLayoutSubviews() {
    // The containers lay the view out between their bars already.
    contentView_->setFrame(view()->bounds());
    UIScrollViewFitContentHeightToSubviews(*contentView_);
    auto header = headerContainerView_->bounds();
    // The cover's own picture carries the photo's or the map's credit at its
    // foot: "Edit" goes under it, not over it.
    const CGFloat editHeight = editCoverLabel_->isHidden() ? 0 : kEditCoverHeight;
    const CGFloat coverHeight = header.size.height - editHeight;
    const CGRect cover = CGRectMake(0, 0, std::round(coverHeight * kCoverAspect), coverHeight);
    mapCoverView_->setFrame(cover);
    mapCoverLoadingIndicator_->setCenter(CGPointMake(CGRectGetMidX(cover), CGRectGetMidY(cover)));
    editCoverLabel_->setFrame(CGRectMake(0, coverHeight, cover.size.width, kEditCoverHeight));
    mapViewContainer_->setFrame(
        CGRectMake(cover.size.width, 0, header.size.width - cover.size.width, header.size.height));
    // Only a new header size needs a new shadow and zoom: both mark the
    // screen for another layout pass.
    if (header.size == laidOutHeaderSize_)
        return;
    laidOutHeaderSize_ = header.size;
    setShadowPathToBoundsWithEdgeCurlEffect(headerContainerView_, kHeaderCurl);
    zoomPreviewMap();
}

void CBMapStoreDetailVC::checkDownloadState() {
    mapDownload_ = downloadManager_->downloadForIdentifierOfType(map_->identifier(), "map");
    wikipediaDownload_ =
        downloadManager_->downloadForIdentifierOfType(map_->identifier(), "wikipedia");
    mapStatus_ = userMapStoreEngine_
                     ? userMapStoreEngine_->downloadStatusForMapIdentifier(map_->identifier())
                     : ZELDownloadStatus{};
    wikipediaStatus_ = wikipediaManager_ && map_->identifier()
                           ? wikipediaManager_->downloadStatusForMapIdentifier(*map_->identifier())
                           : ZELDownloadStatus{};
    mapProgress_->setProgress(mapStatus_.isQueued() ? float(mapStatus_.progress) : 0.0f);
    wikiProgress_->setProgress(wikipediaStatus_.isQueued() ? float(wikipediaStatus_.progress)
                                                           : 0.0f);
}

bool CBMapStoreDetailVC::mapInfoIsValid() const {
    return CBMapDetailStatistics::isValid(mapInfo_.get());
}

void CBMapStoreDetailVC::updateMapStats() {
    if (!mapInfo_)
        return;
    generalMapStats_->setText(CBMapDetailStatistics::generalLine(*mapInfo_));
    statsBar_->setTexts({std::to_string(mapInfo_->numberOfShops().value_or(0)),
                         std::to_string(mapInfo_->numberOfRestaurants().value_or(0)),
                         std::to_string(mapInfo_->numberOfPubs().value_or(0))});
    statsBar_->setImages({UIImage::imageNamed("mapstore-stats-shops"),
                          UIImage::imageNamed("mapstore-stats-restaurant"),
                          UIImage::imageNamed("mapstore-stats-pubs")});
    wikipediaStats_->setText(CBMapDetailStatistics::wikipediaLine(*mapInfo_, userHasWikipedia()));
    if (mapInfo_->wikiInfos().empty())
        wikipediaStats_->setAlpha(0.66);
}

void CBMapStoreDetailVC::updateDownloadButtons() {
    if (!isViewLoaded())
        return;
    checkDownloadState();
    updateMapStats();
    // What shows decides how far the content reaches, and the cover makes
    // room for the line under it.
    view()->setNeedsLayout();
    if (!mapInfoIsValid()) {
        if (updatingView_->isHidden()) {
            updatingView_->setHidden(false);
            if (!errorUpdatingInfo_)
                updatingActivity_->startAnimating();
            UIView::animateWithDurationAnimations(0.4,
                                                  [view = updatingView_] { view->setAlpha(1.0); });
        }
        if (errorUpdatingInfo_) {
            // What could not be loaded, and a way to ask again.
            updatingActivity_->stopAnimating();
            updatingLabel_->setText(NSLocalizedString(CBMapStoreURLManager::baseURL()
                                                          ? "ErrorWhileUpdatingMapInfo"
                                                          : "MapStoreNoAddress"));
            updatingLabel_->setFrame(CGRectMake(10, 6, 220, 48));
            retryInfoButton_->setHidden(false);
        }
        for (const auto& hidden : std::initializer_list<std::shared_ptr<UIView>>{
                 downloadMapButton_, downloadWikipediaButton_, generalMapStats_, wikipediaStats_})
            hidden->setHidden(true);
        return;
    }
    if (!updatingView_->isHidden()) {
        // A spinner left turning in the hidden view would keep the screen
        // drawing frames.
        UIView::animateWithDurationAnimationsCompletion(
            0.4, [view = updatingView_] { view->setAlpha(0.0); },
            [view = updatingView_, spinner = updatingActivity_](bool) {
                view->setHidden(true);
                spinner->stopAnimating();
            });
    }
    for (const auto& shown : std::initializer_list<std::shared_ptr<UIView>>{
             downloadMapButton_, downloadWikipediaButton_, generalMapStats_, wikipediaStats_})
        shown->setHidden(false);
    const bool installed = installedMap() != nullptr;
    mapProgress_->setHidden(true);
    downloadWikipediaButton_->setGradientButtonStyle(2);
    updateMapButton();
    // The version line stays while the map loads: the progress bar has a
    // place of its own.
    editCoverLabel_->setHidden(!installed);
    updateWikipediaButton(installed);
    wikipediaStats_->setHidden(!wikiProgress_->isHidden() || !wikiStatusLabel_->isHidden());
}

void CBMapStoreDetailVC::updateMapButton() {
    const char* title = nullptr;
    bool enabled = false;
    const auto state = buttonForDownloadStatus(mapStatus_);
    showStatusLine(*mapStatusLabel_, mapStatus_, mapStatus_.isQueued() && state.showsStatus);
    if (mapStatus_.isQueued()) {
        title = state.map;
        enabled = state.enabled;
        mapProgress_->setHidden(!state.showsProgress);
        if (rightButtonAfterDownload_ && originalBarButtonItem_) {
            navigationItem()->setRightBarButtonItem(originalBarButtonItem_);
            originalBarButtonItem_.reset();
        }
    } else if (auto installed = installedMap()) {
        auto added = installed->dateAdded();
        auto available = mapInfo_->availableVersion();
        // An update is offered for a catalogue version dated at or after the
        // installation.
        bool update = added && available && !(*available < *added);
        title = update ? "DownloadUpdatedMap" : "MapDownloaded";
        enabled = update;
    } else {
        title = "Download map";
        enabled = true;
    }
    downloadMapButton_->setTitleForState(NSLocalizedString(title), UIControlStateNormal);
    downloadMapButton_->setEnabled(enabled);
}

void CBMapStoreDetailVC::updateWikipediaButton(bool installed) {
    auto& button = *downloadWikipediaButton_;
    button.setAlpha(1.0);
    wikiProgress_->setHidden(true);
    wikiStatusLabel_->setHidden(true);
    auto dimmed = [&button] {
        button.setEnabled(false);
        button.setAlpha(0.25);
    };
    const char* title = nullptr;
    if (!wikipediaManager_) {
        // Nothing here can load articles: no button that does nothing.
        button.setHidden(true);
        return;
    }
    if (!installed) {
        dimmed();
        title = "Download Wikipedia articles";
    } else if (wikipediaStatus_.isQueued()) {
        const auto state = buttonForDownloadStatus(wikipediaStatus_);
        button.setEnabled(state.enabled);
        title = state.wikipedia;
        wikiProgress_->setHidden(!state.showsProgress);
        showStatusLine(*wikiStatusLabel_, wikipediaStatus_, state.showsStatus);
    } else if (userHasWikipedia()) {
        title = "DeleteWikipedia";
        button.setEnabled(true);
        button.setGradientButtonStyle(3);
    } else if (mapInfo_->wikiInfos().empty()) {
        dimmed();
    } else {
        button.setEnabled(true);
        title = "Download Wikipedia articles";
    }
    if (title)
        button.setTitleForState(NSLocalizedString(title), UIControlStateNormal);
}

void CBMapStoreDetailVC::downloadMap() {
    // The statistics on show may be fresher than the stored ones.
    const auto shownSize = mapInfo_ ? mapInfo_->fileSize() : std::nullopt;
    if (!userMapStoreEngine_->downloadOrRetryMap(map_, shownSize)) {
        // No address of the map's package: say so rather than do nothing.
        CBRetryAlert::show(
            NSLocalizedString("MapStoreUnavailableTitle"), NSLocalizedString("MapStoreNoAddress"),
            [weak = weak_from_this()] {
                if (auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock()))
                    self->downloadMap();
            });
    }
}

bool CBMapStoreDetailVC::concernsThisMap(const std::string& identifier,
                                         const std::string& type) const {
    return (type == "map" || type == "wikipedia") && isThisMap(identifier);
}

bool CBMapStoreDetailVC::isThisMap(const std::string& identifier) const {
    return identifier == map_->identifier();
}

void CBMapStoreDetailVC::downloadStatusChanged(const ZELDownloadStatus& status) {
    if (status.phase == ZELDownloadPhase::Failed)
        showDownloadFailure(status);
    else
        updateDownloadButtons();
}

void CBMapStoreDetailVC::showDownloadFailure(const ZELDownloadStatus& status) {
    if (!displayedDownloadError_) {
        CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(status);
        displayedDownloadError_ = true;
    }
    updateDownloadButtons();
}

void CBMapStoreDetailVC::userMapStoreDownloadStatusChangedToForMapWithIdentifier(
    CBUserMapStoreEngine&, const ZELDownloadStatus& status, const std::string& identifier) {
    if (isThisMap(identifier))
        downloadStatusChanged(status);
}

void CBMapStoreDetailVC::wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
    CBWikipediaManager&, const ZELDownloadStatus& status, const std::string& identifier) {
    if (isThisMap(identifier))
        downloadStatusChanged(status);
}

void CBMapStoreDetailVC::userMapStoreDownloadProgressChangedToForMapWithIdentifier(
    CBUserMapStoreEngine&, const ZELDownloadStatus& status, const std::string& identifier) {
    mapProgressChanged(status, identifier);
}

void CBMapStoreDetailVC::mapProgressChanged(const ZELDownloadStatus& status,
                                            const std::string& identifier) {
    if (!isViewLoaded() || !isThisMap(identifier))
        return;
    if (status.isInstalling())
        downloadMapButton_->setTitleForState(CBDownloadStatusText::extractingText(status),
                                             UIControlStateNormal);
    mapProgress_->setProgress(float(status.progress));
}

void CBMapStoreDetailVC::wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
    CBWikipediaManager&, const ZELDownloadStatus& status, const std::string& identifier) {
    wikipediaProgressChanged(status, identifier);
}

void CBMapStoreDetailVC::wikipediaProgressChanged(const ZELDownloadStatus& status,
                                                  const std::string& identifier) {
    if (isViewLoaded() && isThisMap(identifier))
        wikiProgress_->setProgress(float(status.progress));
}

void CBMapStoreDetailVC::downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine& engine,
                                                             const Download& d) {
    if (d && concernsThisMap(d->identifier(), d->type()))
        showDownloadFailure(engine.statusForDownload(d));
}

void CBMapStoreDetailVC::downloadOfEngineChanged(const Download& download) {
    if (download && concernsThisMap(download->identifier(), download->type()))
        updateDownloadButtons();
}

void CBMapStoreDetailVC::downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& d) {
    downloadOfEngineChanged(d);
}

void CBMapStoreDetailVC::downloadManagerWillStartLoading(ZELDownloadManagerEngine&,
                                                         const Download& d) {
    downloadOfEngineChanged(d);
}

void CBMapStoreDetailVC::downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                                          const Download& d) {
    downloadOfEngineChanged(d);
}

void CBMapStoreDetailVC::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string& type) {
    if (concernsThisMap(identifier, type))
        updateDownloadButtons();
}

void CBMapStoreDetailVC::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double progress, const Download& d) {
    if (!d)
        return;
    auto status = engine.statusForDownload(d);
    status.progress = progress;
    if (d->type() == "map")
        mapProgressChanged(status, d->identifier());
    else if (d->type() == "wikipedia")
        wikipediaProgressChanged(status, d->identifier());
}
