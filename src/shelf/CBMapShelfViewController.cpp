#include "shelf/CBMapShelfViewController.h"

#include <algorithm>

#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UIToolbar.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfImages.h"
#include "store/CBDownloadStatusText.h"
#include "uiadditions/UIImage+ImageEffects.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"
#include "widgets/NSIndexPath+ZELGridScrollView.h"
#include "widgets/UIImage+ZELResize.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELPatternedCollectionViewBackground.h"
#include "widgets/ZELToolTip.h"

namespace {
constexpr double kToolbarFadeDuration = 0.2;
constexpr double kFreshLocationAge = 2.0;

// The header holds the search bar over its whole width, whatever size the
// layout gives it.
class SearchBarHeader : public UICollectionReusableView {
  public:
    void layoutSubviews() override {
        UICollectionReusableView::layoutSubviews();
        for (const auto& subview : subviews())
            subview->setFrame(bounds());
    }
};

// Letters folded for the search: case and accents do not count.
std::string folded(const std::string& text) {
    return NSStringFold(text, kPredicateCaseInsensitive | kPredicateDiacriticInsensitive);
}

// The name starts with the text, or a later word of it does.
bool nameMatchesSearch(const std::string& name, const std::string& search) {
    const std::string haystack = folded(name), needle = folded(search);
    return haystack.rfind(needle, 0) == 0 || haystack.find(" " + needle) != std::string::npos;
}

// Paused or failed: the download waits to be told to go on.
bool isStopped(const ZELDownloadStatus& status) {
    return status.phase == ZELDownloadPhase::Paused || status.phase == ZELDownloadPhase::Failed;
}

// A stopped download keeps its ring only to show what it has loaded to go
// on from.
bool showsRing(const ZELDownloadStatus& status) {
    return !isStopped(status) || status.progress > 0;
}
}  // namespace

std::shared_ptr<CBMapShelfViewController> CBMapShelfViewController::create(
    std::shared_ptr<CBUserMapStoreEngine> registry, std::weak_ptr<CBMapShelfHost> host,
    CBWikipediaServices wikipedia) {
    auto shelf = std::make_shared<CBMapShelfViewController>(std::move(registry), std::move(host),
                                                            std::move(wikipedia));
    shelf->locationManager_->setDelegate(shelf);
    return shelf;
}

CBMapShelfViewController::CBMapShelfViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                                                   std::weak_ptr<CBMapShelfHost> host,
                                                   CBWikipediaServices wikipedia)
    : registry_(std::move(registry)),
      downloadManager_(registry_->downloadManager()),
      host_(std::move(host)),
      wikipedia_(std::move(wikipedia)),
      locationManager_(std::make_shared<CLLocationManager>()) {
    setTitle(NSLocalizedString("MapShelfVCtitle"));
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->objectForKey(kSortingDefaultsKey))
        shelfSortType_ = SortType(uint32_t(defaults->integerForKey(kSortingDefaultsKey)));
}

CBMapShelfViewController::~CBMapShelfViewController() = default;

std::shared_ptr<CBMapShelfViewController> CBMapShelfViewController::self() {
    return std::static_pointer_cast<CBMapShelfViewController>(shared_from_this());
}

CBMapShelfLayoutMetrics CBMapShelfViewController::layoutMetrics() {
    const CGRect screen = UIScreen::mainScreen()->bounds();
    return CBMapShelfLayoutMetrics::forDevice(UI_USER_INTERFACE_IDIOM(),
                                              std::max(screen.size.width, screen.size.height));
}

std::shared_ptr<CBMapShelfFlowLayout> CBMapShelfViewController::layout() {
    const auto metrics = layoutMetrics();
    auto layout = std::make_shared<CBMapShelfFlowLayout>();
    layout->setItemSize(metrics.itemSize);
    layout->setMinimumLineSpacing(metrics.lineSpacing);
    layout->setMinimumInteritemSpacing(metrics.interitemSpacing);
    layout->setSectionInset(metrics.sectionInset);
    return layout;
}

unsigned long CBMapShelfViewController::supportedInterfaceOrientations() const {
    return CBScreenRotation::supportedOrientations(CBScreenRotation::Rule::AllButUpsideDown);
}

// MARK: life cycle

void CBMapShelfViewController::loadView() {
    metrics_ = layoutMetrics();
    collectionView_ =
        ZELPatternedCollectionView::create(UIScreen::mainScreen()->bounds(), layout());
    collectionView_->setDataSource(self());
    collectionView_->setDelegate(self());
    setView(collectionView_);
}

void CBMapShelfViewController::viewDidLoad() {
    const UIColor background = UIColor::colorWithWhiteAlpha(0.95, 1.0);
    collectionView_->setBackgroundColor(background);
    collectionView_->setTopPatternOffset(kCBMapShelfHeaderHeight);
    // The collection view's own background scrolls with the covers.
    const auto& pattern = collectionView_->pattern();
    pattern->setBackgroundColor(background);
    pattern->setRowHeight(metrics_.rowHeight());
    const UIColor tint = collectionView_->tintColor();
    pattern->setAlternateColor(tint.colorWithAlphaComponent(0.05));
    pattern->setSeparatorColor(tint.colorWithAlphaComponent(0.25));
    collectionView_->setAlwaysBounceVertical(true);
    collectionView_->registerCellClass<CBMapShelfCell>(kCellIdentifier);
    collectionView_->registerSupplementaryViewClass<SearchBarHeader>(
        UICollectionElementKindSectionHeader, kHeaderIdentifier);

    auto defaults = NSUserDefaults::standardUserDefaults();
    if (!defaults->boolForKey(kCoversCheckedDefaultsKey)) {
        defaults->setBoolForKey(true, kCoversCheckedDefaultsKey);
        defaults->synchronize();
        registry_->checkIntegrityOfMapCovers();
    }
    registry_->addDelegate(self());
    isAnimating_ = false;
    setupBarButtons();
    setupToolBarButtons();
    CBScreenToolbar::setHidden(*this, false, false);
    loadLocalMapShelfIfNeeded();
}

void CBMapShelfViewController::viewWillAppear(bool animated) {
    isVisible_ = true;
    setEditingAnimated(false, false);
    CBScreenToolbar::setHidden(*this, false, animated);
    changeSorting();
    loadLocalMapShelfIfNeeded();
    if (!firstAppearance_)
        collectionView_->reloadData();
    collectionView_->layoutIfNeeded();
}

void CBMapShelfViewController::viewDidAppear(bool) {
    isVisible_ = true;
    // The next start of the application shows the shelf again.
    registry_->resetState();
    registry_->setCurrentMap(nullptr);
    isAnimating_ = false;
    if (!firstAppearance_)
        return;
    firstAppearance_ = false;
    fireAutoReviewRequestIfPossible();
    requestServerNotification();
    if (maps_ && maps_->empty())
        ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
            view(), NSLocalizedString("TooltipMapStoreButton"),
            CBMapShelfImages::toolTipArrowImage(), nullptr, std::string("MapStoreButton"),
            2147483647);
}

void CBMapShelfViewController::viewWillDisappear(bool) {
    isVisible_ = false;
}

void CBMapShelfViewController::viewDidDisappear(bool) {
    isVisible_ = false;
}

void CBMapShelfViewController::setEditingAnimated(bool editing, bool animated) {
    UIViewController::setEditingAnimated(editing, animated);
    if (!collectionView_)
        return;
    for (const auto& cell : collectionView_->visibleCells())
        if (auto shelfCell = std::dynamic_pointer_cast<CBMapShelfCell>(cell))
            shelfCell->setAccessoryButtonsHiddenAnimated(!editing, animated);
}

void CBMapShelfViewController::reset() {
    setEditingAnimated(false, false);
    if (searchBar_)
        searchBarCancelButtonClicked(*searchBar_);
}

// MARK: the maps

void CBMapShelfViewController::reloadMapsData() {
    std::vector<Map> maps;
    if (shelfSortType_ == SortByRecent) {
        maps = registry_->mapsSortedByDate();
    } else {
        maps = registry_->mapsSortedByName();
        if (shelfSortType_ == SortByDistance)
            if (auto location = locationManager_->location()) {
                for (const auto& map : maps)
                    map->currentDistance = map->distanceFromCLLocation(*location);
                std::stable_sort(maps.begin(), maps.end(), [](const Map& a, const Map& b) {
                    return a->currentDistance.value_or(0) < b->currentDistance.value_or(0);
                });
            }
    }
    const std::string search = searchBar_ ? searchBar_->text() : std::string();
    if (!search.empty())
        std::erase_if(maps,
                      [&](const Map& map) { return !nameMatchesSearch(map->localName(), search); });
    maps_ = std::move(maps);
}

void CBMapShelfViewController::loadLocalMapShelfIfNeeded() {
    if (!maps_)
        loadLocalMapShelf();
}

void CBMapShelfViewController::loadLocalMapShelf() {
    reloadMapsData();
    configureToolbarForMaps(maps_);
    if (collectionView_)
        collectionView_->reloadData();
}

void CBMapShelfViewController::reloadCollectionViewAnimated(bool) {
    const long before = maps_ ? long(maps_->size()) : 0;
    reloadMapsData();
    const long after = long(maps_->size());
    if (!collectionView_)
        return;
    std::weak_ptr<CBMapShelfViewController> weak = self();
    collectionView_->performBatchUpdatesCompletion(
        [weak, before, after] {
            auto me = weak.lock();
            if (!me)
                return;
            auto& view = *me->collectionView_;
            if (before == after) {
                view.reloadItemsAtIndexPaths(view.indexPathsForVisibleItems());
                return;
            }
            std::vector<NSIndexPath> changed;
            for (long item = std::min(before, after); item < std::max(before, after); ++item)
                changed.push_back(NSIndexPath::indexPathForItemInSection(item, 0));
            if (after > before)
                view.insertItemsAtIndexPaths(changed);
            else
                view.deleteItemsAtIndexPaths(changed);
            std::vector<NSIndexPath> kept;
            for (long item = 0; item < std::min(before, after); ++item)
                kept.push_back(NSIndexPath::indexPathForItemInSection(item, 0));
            if (!kept.empty())
                view.reloadItemsAtIndexPaths(kept);
        },
        [weak](bool) {
            if (auto me = weak.lock())
                me->configureToolbarForMaps(me->maps_);
        });
}

CBMapShelfViewController::Map CBMapShelfViewController::mapAtIndexPath(
    const NSIndexPath& indexPath) const {
    if (!maps_ || indexPath.row < 0 || indexPath.row >= long(maps_->size()))
        return nullptr;
    return (*maps_)[size_t(indexPath.row)];
}

std::optional<NSIndexPath> CBMapShelfViewController::indexPathForMap(const Map& map) const {
    if (!maps_ || !map)
        return std::nullopt;
    auto found = std::find(maps_->begin(), maps_->end(), map);
    if (found == maps_->end())
        return std::nullopt;
    return indexPathForCellIndexInGridSection(long(found - maps_->begin()), 0);
}

CBMapShelfViewController::Map CBMapShelfViewController::mapForIdentifier(
    const std::optional<std::string>& identifier) {
    if (!identifier)
        return nullptr;
    loadLocalMapShelfIfNeeded();
    for (auto map = maps_->rbegin(); map != maps_->rend(); ++map)
        if ((*map)->identifier() == identifier)
            return *map;
    return nullptr;
}

std::shared_ptr<CBMapShelfCell> CBMapShelfViewController::viewForMapWithIdentifier(
    const std::string& identifier) {
    if (!isViewLoaded())
        return nullptr;
    auto path = indexPathForMap(mapForIdentifier(identifier));
    if (!path)
        return nullptr;
    return std::dynamic_pointer_cast<CBMapShelfCell>(
        collectionView_->cellForItemAtIndexPath(*path));
}

std::optional<NSIndexPath> CBMapShelfViewController::mapIndexPathForViewWithTag(long tag) {
    if (tag < kButtonTagOffset)
        return std::nullopt;
    return NSIndexPath::indexPathForItemInSection(tag - kButtonTagOffset, 0);
}

// MARK: sorting and location

void CBMapShelfViewController::changeSorting() {
    stopLocationSpinner();
    auto control = sortSegmentedControl_.lock();
    const long segment = control ? control->selectedSegmentIndex() : UISegmentedControlNoSegment;
    SortType type = SortByRecent;
    if (segment == 1)
        type = SortByName;
    else if (segment == 2 && startLocationUpdatesIfNeeded())
        type = SortByDistance;
    if (type == SortByRecent && control && segment != 0)
        setSelectedIndexForSortTypeOnSegmentedControl(type, *control);
    shelfSortType_ = type;
    NSUserDefaults::standardUserDefaults()->setIntegerForKey(long(type), kSortingDefaultsKey);
    reloadCollectionViewAnimated(true);
}

void CBMapShelfViewController::setSelectedIndexForSortTypeOnSegmentedControl(
    SortType type, UISegmentedControl& control) {
    long segment = 0;
    if (type == SortByName)
        segment = 1;
    else if (type == SortByDistance)
        segment = 2;
    control.setSelectedSegmentIndex(
        segment < control.numberOfSegments() ? segment : UISegmentedControlNoSegment);
}

bool CBMapShelfViewController::startLocationUpdatesIfNeeded() {
    if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        return false;
    if (!locationManager_->location())
        startLocationUpdates();
    return true;
}

void CBMapShelfViewController::startLocationUpdates() {
    locationManager_->startUpdatingLocation();
    if (spinner_)
        spinner_->startAnimating();
}

void CBMapShelfViewController::stopLocationSpinner() {
    if (spinner_)
        spinner_->stopAnimating();
}

void CBMapShelfViewController::locationManagerDidUpdateToLocationFromLocation(
    CLLocationManager& manager, std::shared_ptr<CLLocation> location, std::shared_ptr<CLLocation>) {
    if (!location || location->horizontalAccuracy() <= 0 ||
        location->timestamp().timeIntervalSinceNow() <= -kFreshLocationAge)
        return;
    reloadCollectionViewAnimated(true);
    manager.stopUpdatingLocation();
    stopLocationSpinner();
}

void CBMapShelfViewController::locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                                           CLAuthorizationStatus) {
    if (!isViewLoaded())
        return;
    setupToolBarButtons();
    changeSorting();
}

// MARK: bars

void CBMapShelfViewController::setupBarButtons() {
    navigationItem()->setLeftBarButtonItem(editButtonItem());
    std::weak_ptr<CBMapShelfViewController> weak = self();
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        NSLocalizedString("Store"), UIBarButtonItemStyleDone, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->openStore();
        }));
}

void CBMapShelfViewController::setupToolBarButtons() {
    std::vector<std::string> titles{NSLocalizedString("sortByRecent"),
                                    NSLocalizedString("sortByName")};
    if (ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        titles.push_back(NSLocalizedString("sortByDistance"));
    auto control = std::make_shared<UISegmentedControl>(titles);
    sortSegmentedControl_ = control;
    if (auto navigation = navigationController())
        control->setTintColor(navigation->toolbar()->tintColor());
    setSelectedIndexForSortTypeOnSegmentedControl(shelfSortType_, *control);
    std::weak_ptr<CBMapShelfViewController> weak = self();
    control->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto me = weak.lock())
                me->changeSorting();
        },
        UIControlEventValueChanged);
    auto sortItem = std::make_shared<UIBarButtonItem>(control);
    sortItem->setWidth(std::floor(0.7 * view()->bounds().size.width));

    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    spinner_->sizeToFit();
    spinner_->setHidesWhenStopped(true);
    auto spinnerItem = std::make_shared<UIBarButtonItem>(spinner_);
    spinnerItem->setWidth(spinner_->bounds().size.width);

    auto settings = std::make_shared<UIBarButtonItem>(
        CBMapShelfImages::settingsImage(), UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->openSettings();
        });
    // The gear says what it is to whoever cannot see it.
    settings->setAccessibilityLabel(NSLocalizedString("SettingsButtonTitle"));
    settings->setWidth(30);
    settings->setImageInsets(UIEdgeInsets{0, 0, 0, 10});

    auto fixed = [] { return CBScreenToolbar::fixedSpace(2); };
    auto flexible = &CBScreenToolbar::flexibleSpace;
    setToolbarItems({fixed(), settings, fixed(), flexible(), sortItem, flexible(), fixed(),
                     spinnerItem, fixed()});
    configureToolbarForMaps(maps_);
}

void CBMapShelfViewController::configureToolbarForMaps(
    const std::optional<std::vector<Map>>& maps) {
    auto control = sortSegmentedControl_.lock();
    if (!control)
        return;
    const bool several = maps && maps->size() >= 2;
    control->setEnabled(several);
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kToolbarFadeDuration, 0, UIViewAnimationOptionBeginFromCurrentState,
        [control, several] { control->setAlpha(several ? 1.0 : 0.0); }, nullptr);
}

// MARK: collection view

long CBMapShelfViewController::collectionViewNumberOfItemsInSection(UICollectionView&, long) {
    return (maps_ ? long(maps_->size()) : 0) + 1;
}

std::shared_ptr<UICollectionViewCell>
CBMapShelfViewController::collectionViewCellForItemAtIndexPath(UICollectionView& view,
                                                               const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<CBMapShelfCell>(
        view.dequeueReusableCellWithReuseIdentifierForIndexPath(kCellIdentifier, indexPath));
    if (!cell)
        return view.dequeueReusableCellWithReuseIdentifierForIndexPath(kCellIdentifier, indexPath);
    if (auto navigation = navigationController())
        cell->label()->setTextColor(navigation->navigationBar()->tintColor());
    if (auto map = mapAtIndexPath(indexPath)) {
        configureMapCell(*cell, map);
        cell->buttonDelete()->setTag(viewTagForMapAtIndexPath(indexPath));
        cell->buttonInfo()->setTag(viewTagForMapAtIndexPath(indexPath));
    } else {
        configureAddMapCell(*cell);
    }
    cell->layer()->setShouldRasterize(true);
    cell->layer()->setRasterizationScale(UIScreen::mainScreen()->scale());
    return cell;
}

std::shared_ptr<UIImage> CBMapShelfViewController::blurredBandImage(
    const std::shared_ptr<UIImage>& cover) const {
    auto fitted = resizedImageWithContentModeBoundsInterpolationQuality(
        *cover, UIViewContentModeScaleAspectFill, metrics_.itemSize, kCGInterpolationLow);
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        fitted ? fitted : cover, 7.0, UIColor::colorWithWhiteAlpha(1, 0.65), 2.0, nullptr);
}

void CBMapShelfViewController::configureMapCell(CBMapShelfCell& cell, const Map& map) {
    cell.setMapIdentifier(map->identifier());
    cell.label()->setText(map->localName());
    cell.setCanShowAccessoryButtons(true);
    configureCoverOfCell(cell, map);
    if (map->isDownloading()) {
        const auto status = registry_->downloadStatusForMapIdentifier(map->identifier());
        cell.setProgressViewStopped(isStopped(status));
        if (showsRing(status))
            cell.progressView()->setProgress(status.isQueued() ? float(status.progress) : 0.0f);
        else
            cell.setProgressViewHiddenAnimated(true, false);
        cell.setStatusText(CBDownloadStatusText::coverText(status));
    } else {
        cell.setProgressViewHiddenAnimated(true, false);
        cell.setStatusText(registry_->isMapDamaged(map->identifier())
                               ? std::optional<std::string>(NSLocalizedString("MapDamaged"))
                               : std::nullopt);
    }
    cell.setAccessoryButtonsHiddenAnimated(!isEditing(), false);
    connectButtons(cell);
}

void CBMapShelfViewController::configureCoverOfCell(CBMapShelfCell& cell, const Map& map) {
    auto cover = map->coverImage ? map->coverImage
                                 : registry_->coverImageForMapDownloadCoverIfNeededCompletion(
                                       map, false, nullptr);
    cell.imageView()->setImage(cover);
    if (cover && !map->blurredCoverImage)
        map->blurredCoverImage = blurredBandImage(cover);
    cell.labelBackgroundView()->setImage(map->blurredCoverImage);
}

void CBMapShelfViewController::configureAddMapCell(CBMapShelfCell& cell) {
    cell.setMapIdentifier(std::nullopt);
    cell.setAccessoryButtonsHiddenAnimated(true, false);
    cell.setCanShowAccessoryButtons(false);
    cell.label()->setText(NSLocalizedString("AddMapTitle"));
    auto image = CBMapShelfImages::addMapImage();
    cell.imageView()->setImage(image);
    cell.setProgressViewHiddenAnimated(true, false);
    cell.setStatusText(std::nullopt);
    if (!blurredCoverForAddMapCell_)
        blurredCoverForAddMapCell_ = blurredBandImage(image);
    cell.labelBackgroundView()->setImage(blurredCoverForAddMapCell_);
}

// The buttons find their map by their tag when tapped, so a reused cell
// keeps the actions it was given once.
void CBMapShelfViewController::connectButtons(CBMapShelfCell& cell) {
    if (cell.hasButtonActions())
        return;
    cell.setHasButtonActions(true);
    std::weak_ptr<CBMapShelfViewController> weak = self();
    cell.buttonDelete()->addTargetForControlEvents(
        [weak](UIControl& button) {
            if (auto me = weak.lock())
                me->deleteMapForButton(button);
        },
        UIControlEventTouchUpInside);
    cell.buttonInfo()->addTargetForControlEvents(
        [weak](UIControl& button) {
            if (auto me = weak.lock())
                me->showInfoForButton(button);
        },
        UIControlEventTouchUpInside);
}

std::shared_ptr<UICollectionReusableView>
CBMapShelfViewController::collectionViewViewForSupplementaryElementOfKindAtIndexPath(
    UICollectionView& view, const std::string& kind, const NSIndexPath& indexPath) {
    if (kind != UICollectionElementKindSectionHeader)
        return nullptr;
    auto header = view.dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(
        kind, kHeaderIdentifier, indexPath);
    if (!searchBar_) {
        searchBar_ = std::make_shared<UISearchBar>(
            CGRectMake(0, 0, view.bounds().size.width, kCBMapShelfHeaderHeight));
        searchBar_->setDelegate(self());
    }
    if (searchBar_->superview().get() != header.get()) {
        header->addSubview(searchBar_);
        header->setNeedsLayout();
    }
    return header;
}

std::optional<CGSize> CBMapShelfViewController::collectionViewLayoutReferenceSizeForHeaderInSection(
    UICollectionView&, UICollectionViewLayout&, long) {
    return CGSizeMake(view()->bounds().size.width, kCBMapShelfHeaderHeight);
}

void CBMapShelfViewController::collectionViewDidSelectItemAtIndexPath(
    UICollectionView& view, const NSIndexPath& indexPath) {
    view.deselectItemAtIndexPathAnimated(indexPath, false);
    if (auto map = mapAtIndexPath(indexPath))
        openMapWithFancyAnimation(map, true);
    else
        openStore();
}

// MARK: search

void CBMapShelfViewController::searchBarTextDidBeginEditing(UISearchBar& bar) {
    bar.setShowsCancelButtonAnimated(true, true);
}

void CBMapShelfViewController::searchBarTextDidEndEditing(UISearchBar& bar) {
    if (bar.text().empty())
        bar.setShowsCancelButtonAnimated(false, true);
}

void CBMapShelfViewController::searchBarTextDidChange(UISearchBar& bar, const std::string&) {
    reloadCollectionViewAnimated(true);
    bar.becomeFirstResponder();
}

void CBMapShelfViewController::searchBarSearchButtonClicked(UISearchBar& bar) {
    bar.resignFirstResponder();
}

void CBMapShelfViewController::searchBarCancelButtonClicked(UISearchBar& bar) {
    bar.setText("");
    bar.resignFirstResponder();
    bar.setShowsCancelButtonAnimated(false, true);
    reloadCollectionViewAnimated(true);
}

// MARK: registry and downloads

void CBMapShelfViewController::userMapStoreAddedMap(CBUserMapStoreEngine&, const Map&) {
    loadLocalMapShelf();
}

void CBMapShelfViewController::userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map&) {
    loadLocalMapShelf();
}

// Only the cover changes: the cell keeps its ring and buttons as they are.
void CBMapShelfViewController::userMapStoreStoredCoverForMap(CBUserMapStoreEngine&,
                                                             const Map& map) {
    if (!isViewLoaded() || !maps_ || !map || !map->identifier())
        return;
    auto shown = mapForIdentifier(map->identifier());
    auto cell = mapShelfCellForIdentifier(*map->identifier());
    if (shown && cell)
        configureCoverOfCell(*cell, shown);
}

void CBMapShelfViewController::userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                                      const std::string&) {
    loadLocalMapShelf();
}

std::shared_ptr<CBMapShelfCell> CBMapShelfViewController::mapShelfCellForIdentifier(
    const std::string& identifier) {
    for (const auto& visible : collectionView_->visibleCells()) {
        auto cell = std::dynamic_pointer_cast<CBMapShelfCell>(visible);
        if (!cell)
            return nullptr;
        if (cell->mapIdentifier() == identifier)
            return cell;
    }
    return nullptr;
}

void CBMapShelfViewController::userMapStoreDownloadProgressChangedToForMapWithIdentifier(
    CBUserMapStoreEngine&, const ZELDownloadStatus& status, const std::string& identifier) {
    if (!isViewLoaded() || !isVisible_ || !maps_)
        return;
    auto cell = mapShelfCellForIdentifier(identifier);
    if (!cell)
        return;
    cell->setProgressViewStopped(isStopped(status));
    if (!showsRing(status))
        return;
    if (status.progress != 1.0)
        cell->setProgressViewHiddenAnimated(false, true);
    cell->progressView()->setProgress(float(status.progress));
}

// The ring goes when the package has arrived whole; the install's progress
// brings it back, and it goes for good once the download has left the queue
// (installed, or cancelled). A paused or failed download says so on its
// cover; its ring stands still, or goes when nothing was loaded.
void CBMapShelfViewController::userMapStoreDownloadStatusChangedToForMapWithIdentifier(
    CBUserMapStoreEngine&, const ZELDownloadStatus& status, const std::string& identifier) {
    if (!isViewLoaded())
        return;
    auto cell = mapShelfCellForIdentifier(identifier);
    if (!cell)
        return;
    cell->setStatusText(CBDownloadStatusText::coverText(status));
    cell->setProgressViewStopped(isStopped(status));
    if (!status.isQueued() || !showsRing(status) ||
        (status.phase == ZELDownloadPhase::Installing && status.step == ZELDownloadStep::Unpacking))
        cell->setProgressViewHiddenAnimated(true, true);
}

void CBMapShelfViewController::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double progress, const Download& download) {
    if (!download || download->type() != "map")
        return;
    auto status = engine.statusForDownload(download);
    status.progress = progress;
    userMapStoreDownloadProgressChangedToForMapWithIdentifier(*registry_, status,
                                                              download->identifier());
}

void CBMapShelfViewController::downloadManagerFinishedLoadingDownload(
    ZELDownloadManagerEngine& engine, const Download& download) {
    if (download && download->type() == "map")
        userMapStoreDownloadStatusChangedToForMapWithIdentifier(
            *registry_, engine.statusForDownload(download), download->identifier());
}
