#include "store/CBMapStoreDetailVC.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
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
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapDetailStatistics.h"
#include "store/CBMapStoreDownloadViewController.h"

namespace {

constexpr double kReservedForPostProcessing = 0.4;

std::shared_ptr<UILabel> makeLabel(CGFloat size) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::systemFontOfSize(size));
    label->setNumberOfLines(0);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    return label;
}

}  // namespace

std::shared_ptr<CBMapStoreDetailVC> CBMapStoreDetailVC::create(
    std::shared_ptr<CBMapStoreMap> map, std::shared_ptr<ZELDownloadManagerEngine> manager,
    std::shared_ptr<CBMapStoreEngine> engine,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine) {
    auto screen = std::make_shared<CBMapStoreDetailVC>(
        std::move(map), std::move(manager), std::move(engine), std::move(userMapStoreEngine));
    screen->downloadManager_->addDelegate(screen);
    return screen;
}

CBMapStoreDetailVC::CBMapStoreDetailVC(std::shared_ptr<CBMapStoreMap> map,
                                       std::shared_ptr<ZELDownloadManagerEngine> manager,
                                       std::shared_ptr<CBMapStoreEngine> engine,
                                       std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine)
    : map_(std::move(map)),
      downloadManager_(std::move(manager)),
      engine_(std::move(engine)),
      userMapStoreEngine_(std::move(userMapStoreEngine)) {}

CBMapStoreDetailVC::~CBMapStoreDetailVC() = default;

std::shared_ptr<CBMapStoreMap> CBMapStoreDetailVC::installedMap() const {
    return userMapStoreEngine_ ? userMapStoreEngine_->mapForIdentifier(map_->identifier())
                               : nullptr;
}

void CBMapStoreDetailVC::buildViews() {
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    contentView_ = std::make_shared<UIView>(root->bounds());
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
    editCoverLabel_->setFrame(CGRectMake(0, 140, 106, 20));
    editCoverLabel_->setTextAlignment(NSTextAlignmentCenter);
    headerContainerView_->addSubview(editCoverLabel_);

    generalMapStats_ = makeLabel(14);
    generalMapStats_->setFrame(CGRectMake(10, 170, 300, 40));
    contentView_->addSubview(generalMapStats_);
    for (int i = 0; i < 3; ++i) {
        auto icon = std::make_shared<UIImageView>(CGRectMake(10 + 100 * i, 215, 24, 24));
        auto label = makeLabel(14);
        label->setAutoresizingMask(0);
        label->setFrame(CGRectMake(38 + 100 * i, 215, 66, 24));
        contentView_->addSubview(icon);
        contentView_->addSubview(label);
        statsIcons_.push_back(icon);
        statsLabels_.push_back(label);
    }
    downloadMapButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    downloadMapButton_->setFrame(CGRectMake(20, 250, 280, 44));
    downloadMapButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    downloadMapButton_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    downloadMapButton_->addTargetForControlEvents(
        [weak = weak_from_this()](UIControl&) {
            if (auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock()))
                self->downloadMap();
        },
        UIControlEventTouchUpInside);
    contentView_->addSubview(downloadMapButton_);
    mapProgress_ = std::make_shared<UIProgressView>(CGRectMake(20, 300, 280, 4));
    mapProgress_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    contentView_->addSubview(mapProgress_);
    wikipediaStats_ = makeLabel(13);
    wikipediaStats_->setFrame(CGRectMake(10, 315, 300, 60));
    contentView_->addSubview(wikipediaStats_);

    updatingView_ = std::make_shared<UIView>(CGRectMake(40, 230, 240, 90));
    updatingView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.6));
    updatingView_->layer()->setCornerRadius(12.0);
    updatingView_->setHidden(true);
    updatingActivity_ =
        std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    updatingActivity_->setCenter(CGPointMake(120, 30));
    updatingActivity_->startAnimating();
    updatingView_->addSubview(updatingActivity_);
    updatingLabel_ = makeLabel(14);
    updatingLabel_->setFrame(CGRectMake(0, 50, 240, 30));
    updatingLabel_->setTextColor(UIColor::whiteColor());
    updatingLabel_->setTextAlignment(NSTextAlignmentCenter);
    updatingLabel_->setText(NSLocalizedString("UpdatingMapInfo"));
    updatingView_->addSubview(updatingLabel_);
    contentView_->addSubview(updatingView_);
}

void CBMapStoreDetailVC::viewDidLoad() {
    if (rightButtonAfterDownload_) {
        originalBarButtonItem_ = navigationItem()->rightBarButtonItem();
        navigationItem()->setRightBarButtonItem(nullptr);
    }
    setTitle(map_->localName());
    buildViews();

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
            self->mapInfo_ = info;
            self->errorUpdatingInfo_ = !self->mapInfoIsValid();
            self->updateDownloadButtons();
        });
    if (mapInfo_ && !mapInfoIsValid())
        errorUpdatingInfo_ = true;
    updateDownloadButtons();
    loadCover();
}

void CBMapStoreDetailVC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    updateDownloadButtons();
}

void CBMapStoreDetailVC::viewDidLayoutSubviews() {
    auto bounds = view()->bounds();
    bounds.origin.y += topLayoutGuideLength();
    bounds.size.height -= topLayoutGuideLength() + bottomLayoutGuideLength();
    contentView_->setFrame(bounds);
    auto cover = mapCoverView_->frame();
    cover.size.width = std::round(cover.size.height * 0.66);
    mapCoverView_->setFrame(cover);
    auto edit = editCoverLabel_->frame();
    edit.size.width = cover.size.width;
    editCoverLabel_->setFrame(edit);
}

void CBMapStoreDetailVC::checkDownloadState() {
    mapDownload_ = downloadManager_->downloadForIdentifierOfType(map_->identifier(), "map");
    mapProgress_->setProgress(mapDownload_ ? float(mapDownload_->progress()) : 0.0f);
}

bool CBMapStoreDetailVC::mapInfoIsValid() const {
    return CBMapDetailStatistics::isValid(mapInfo_.get());
}

void CBMapStoreDetailVC::updateMapStats() {
    if (!mapInfo_)
        return;
    generalMapStats_->setText(CBMapDetailStatistics::generalLine(*mapInfo_));
    const std::optional<int64_t> counts[] = {
        mapInfo_->numberOfShops(), mapInfo_->numberOfRestaurants(), mapInfo_->numberOfPubs()};
    const char* icons[] = {"mapstore-stats-shops", "mapstore-stats-restaurant",
                           "mapstore-stats-pubs"};
    for (size_t i = 0; i < 3; ++i) {
        statsLabels_[i]->setText(std::to_string(counts[i].value_or(0)));
        statsIcons_[i]->setImage(UIImage::imageNamed(icons[i]));
    }
    // The Wikipedia package itself is offered by the Wikipedia screens; this
    // line tells what the catalogue has of it.
    auto languages = mapInfo_->wikiInfos();
    wikipediaStats_->setText(CBMapDetailStatistics::wikipediaLine(*mapInfo_, false));
    if (languages.empty())
        wikipediaStats_->setAlpha(0.66);
}

void CBMapStoreDetailVC::updateDownloadButtons() {
    if (!isViewLoaded())
        return;
    checkDownloadState();
    updateMapStats();
    if (!mapInfoIsValid()) {
        if (updatingView_->isHidden()) {
            updatingView_->setHidden(false);
            UIView::animateWithDurationAnimations(0.4,
                                                  [view = updatingView_] { view->setAlpha(1.0); });
        }
        if (errorUpdatingInfo_) {
            updatingActivity_->stopAnimating();
            updatingLabel_->setText(NSLocalizedString("ErrorWhileUpdatingMapInfo"));
            updatingLabel_->setFrame(updatingView_->bounds());
        }
        for (const auto& hidden : std::initializer_list<std::shared_ptr<UIView>>{
                 downloadMapButton_, generalMapStats_, wikipediaStats_})
            hidden->setHidden(true);
        return;
    }
    if (!updatingView_->isHidden()) {
        UIView::animateWithDurationAnimationsCompletion(
            0.4, [view = updatingView_] { view->setAlpha(0.0); },
            [view = updatingView_](bool) { view->setHidden(true); });
    }
    for (const auto& shown : std::initializer_list<std::shared_ptr<UIView>>{
             downloadMapButton_, generalMapStats_, wikipediaStats_})
        shown->setHidden(false);
    mapProgress_->setHidden(true);
    updateMapButton();
    editCoverLabel_->setHidden(installedMap() == nullptr);
    generalMapStats_->setHidden(!mapProgress_->isHidden());
}

void CBMapStoreDetailVC::updateMapButton() {
    const char* title = nullptr;
    bool enabled = false;
    if (mapDownload_) {
        switch (mapDownload_->downloadState()) {
            case 2:
            case 3:
                title = "downloadExtracting";
                mapProgress_->setHidden(false);
                break;
            case 0:
                title = "DownloadPendingMap";
                break;
            case 6:
                title = "DownloadErrorMap";
                break;
            default:
                title = "Downloading map";
                mapProgress_->setHidden(false);
        }
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

void CBMapStoreDetailVC::downloadMap() {
    auto url = engine_->urlForMap(map_);
    if (!url || !map_->identifier())
        return;
    downloadManager_
        ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
            *url, engine_->basePathForMaps(), *map_->identifier(), map_->localName(),
            map_->places(), std::nullopt, "map", 0, map_->identifier(), kReservedForPostProcessing);
    downloadManager_->resumeDownloads();
}

bool CBMapStoreDetailVC::concernsThisMap(const std::string& identifier,
                                         const std::string& type) const {
    return (type == "map" || type == "wikipedia") && identifier == map_->identifier();
}

void CBMapStoreDetailVC::downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& d) {
    if (concernsThisMap(d->identifier(), d->type()))
        updateDownloadButtons();
}

void CBMapStoreDetailVC::downloadManagerWillStartLoading(ZELDownloadManagerEngine&,
                                                         const Download& d) {
    if (concernsThisMap(d->identifier(), d->type()))
        updateDownloadButtons();
}

std::optional<bool> CBMapStoreDetailVC::downloadManagerDidStartPostProcessingForDownload(
    ZELDownloadManagerEngine&, const Download& d) {
    if (concernsThisMap(d->identifier(), d->type()))
        updateDownloadButtons();
    return std::nullopt;
}

void CBMapStoreDetailVC::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string& type) {
    if (concernsThisMap(identifier, type))
        updateDownloadButtons();
}

void CBMapStoreDetailVC::downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&,
                                                                     double progress,
                                                                     const Download& d) {
    if (!isViewLoaded() || d->type() != "map" || !concernsThisMap(d->identifier(), d->type()))
        return;
    if (d->downloadState() == 3)
        downloadMapButton_->setTitleForState(
            NSStringWithFormat("%@ (%.1f %@)",
                               {{NSLocalizedString("downloadExtracting"),
                                 d->postProcessingProgress().value_or(0) * 100.0, "%"}})
                .value_or(""),
            UIControlStateNormal);
    mapProgress_->setProgress(float(progress));
}

void CBMapStoreDetailVC::downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&,
                                                             const Download& d) {
    if (!concernsThisMap(d->identifier(), d->type()) || displayedDownloadError_)
        return;
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload();
    displayedDownloadError_ = true;
    updateDownloadButtons();
}
