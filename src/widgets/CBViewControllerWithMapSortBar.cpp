#include "widgets/CBViewControllerWithMapSortBar.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSFetchedResultsController.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "uiadditions/UIView+ZELGeometry.h"
#include "widgets/CBAnnotationsPresenter.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenToolbar.h"

namespace {
constexpr CGFloat kHeaderHeight = 44;
constexpr CGFloat kButtonMargin = 11;
// Room on the right of the search bar for the section index.
constexpr CGFloat kIndexRoom = 40;
constexpr CGFloat kPadHeaderWidth = 540;
constexpr CGFloat kSubtitleWidth = 130;
constexpr double kSubtitleFlipDuration = 0.4;
// The table is sorted once the title is back in place.
constexpr double kSortDelayAfterFix = 0.15;
constexpr double kHeaderAnimationDuration = 0.25;
}  // namespace

CBViewControllerWithMapSortBar::CBViewControllerWithMapSortBar(
    std::weak_ptr<CBAnnotationsPresenter> presenter)
    : presenter_(std::move(presenter)) {}

CBViewControllerWithMapSortBar::~CBViewControllerWithMapSortBar() {
    auto service = CBLocationManager::sharedInstance();
    if (waitsForFix_ || awaitsFirstFix_)
        service->cleanUpEmptyDelegateWrappers();
    if (startedLocationUpdates_ && !service->isUpdatingHeading())
        service->stopUpdatingLocation();
}

// A list shown before any fix is known asks for one, so that its distances
// and its order by distance come as soon as it arrives.
void CBViewControllerWithMapSortBar::awaitFirstFix() {
    if (awaitsFirstFix_ || !ZEL_hasWhenInUseOrAlwaysAuthorizationStatus() || currentLocation())
        return;
    auto service = CBLocationManager::sharedInstance();
    awaitsFirstFix_ = true;
    service->addDelegate(std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this())));
    if (!service->isUpdating()) {
        service->startUpdatingLocationAndNotifyDelegatesOfErrors(false);
        startedLocationUpdates_ = true;
    }
}

std::shared_ptr<CLLocation> CBViewControllerWithMapSortBar::currentLocation() {
    return CBLocationManager::sharedInstance()->location();
}

std::shared_ptr<NSFetchedResultsController>
CBViewControllerWithMapSortBar::newFetchedResultsController() {
    NSLog(
        "SUBCLASSES SHOULD IMPLEMENT '- (NSFetchedResultsController *)newFetchedResultsController' "
        "and not call super");
    return nullptr;
}

std::shared_ptr<UITableViewCell> CBViewControllerWithMapSortBar::tableViewCellForRowAtIndexPath(
    UITableView&, const NSIndexPath&) {
    NSLog(
        "SUBCLASSES SHOULD IMPLEMENT '- (UITableViewCell *)tableView:(UITableView *)tableView "
        "cellForRowAtIndexPath:(NSIndexPath *)indexPath ' and not call super");
    return nullptr;
}

const std::shared_ptr<NSFetchedResultsController>&
CBViewControllerWithMapSortBar::fetchedResultsController() {
    if (!fetchedResultsController_)
        fetchedResultsController_ = newFetchedResultsController();
    return fetchedResultsController_;
}

const std::shared_ptr<NSFetchedResultsController>&
CBViewControllerWithMapSortBar::searchResultsController() {
    if (!searchResultsController_)
        searchResultsController_ = newFetchedResultsController();
    return searchResultsController_;
}

NSFetchedResultsController* CBViewControllerWithMapSortBar::resultsControllerForTableView(
    const UITableView& table) {
    return &table == tableView_.get() ? fetchedResultsController().get()
                                      : searchResultsController().get();
}

bool CBViewControllerWithMapSortBar::showsDistanceOrder(const UITableView& table) const {
    return sortByDistance_ && &table == tableView_.get();
}

void CBViewControllerWithMapSortBar::loadTableViewAsView(UITableViewStyle style) {
    auto table = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), style);
    auto self = std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
    table->setDelegate(self);
    table->setDataSource(self);
    setTableView(table);
    setView(table);
}

void CBViewControllerWithMapSortBar::performSearchFetchAndReload() {
    auto controller = searchResultsController();
    NSError error;
    if (controller && !controller->performFetch(&error))
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
    if (searchDisplayController_)
        searchDisplayController_->searchResultsTableView()->reloadData();
}

std::shared_ptr<NSManagedObject> CBViewControllerWithMapSortBar::objectAtIndexPathOfTable(
    UITableView& table, const NSIndexPath& indexPath) {
    if (showsDistanceOrder(table)) {
        if (!objectsSortedByDistance_ || indexPath.row < 0 ||
            size_t(indexPath.row) >= objectsSortedByDistance_->size())
            return nullptr;
        return (*objectsSortedByDistance_)[size_t(indexPath.row)];
    }
    auto* controller = resultsControllerForTableView(table);
    return controller ? controller->objectAtIndexPath(indexPath) : nullptr;
}

std::optional<double> CBViewControllerWithMapSortBar::distanceOfObject(NSManagedObject& object) {
    auto* geo = dynamic_cast<CBGeoObject*>(&object);
    return geo ? geo->distanceFromLastLocation() : std::nullopt;
}

CBAnnotationRef CBViewControllerWithMapSortBar::annotationForObject(
    const std::shared_ptr<NSManagedObject>& object) {
    auto geo = std::dynamic_pointer_cast<CBGeoObject>(object);
    return geo ? std::make_shared<CBGeoObjectAnnotation>(geo) : nullptr;
}

// Places without a known distance come last.
void CBViewControllerWithMapSortBar::sortObjectsByDistance() {
    auto controller = fetchedResultsController();
    std::vector<std::pair<std::optional<double>, std::shared_ptr<NSManagedObject>>> measured;
    if (controller) {
        for (const auto& object : controller->fetchedObjects())
            measured.emplace_back(distanceOfObject(*object), object);
    }
    std::stable_sort(measured.begin(), measured.end(), [](const auto& a, const auto& b) {
        if (!a.first || !b.first)
            return a.first.has_value() && !b.first.has_value();
        return *a.first < *b.first;
    });
    std::vector<std::shared_ptr<NSManagedObject>> sorted;
    sorted.reserve(measured.size());
    for (auto& [distance, object] : measured)
        sorted.push_back(std::move(object));
    objectsSortedByDistance_ = std::move(sorted);
}

void CBViewControllerWithMapSortBar::sortTableByDistance() {
    sortByDistance_ = true;
    if (!objectsSortedByDistance_)
        sortObjectsByDistance();
    if (tableView_)
        tableView_->reloadData();
}

void CBViewControllerWithMapSortBar::toggleSorting() {
    showOnMapAfterNextLocationUpdate_ = false;
    sortTitleViewToggleStateDistance_ = !sortTitleViewToggleStateDistance_;
    setSortTitleViewSubtitleTextForCurrentState();
    if (!sortTitleViewToggleStateDistance_) {
        sortByDistance_ = false;
        if (tableView_)
            tableView_->reloadData();
        return;
    }
    if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        return;
    if (CBLocationManager::sharedInstance()->manager()->location())
        sortTableByDistance();
    else
        getUserLocation();
}

void CBViewControllerWithMapSortBar::getUserLocation() {
    if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        return;
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    spinner->sizeToFit();
    spinner->startAnimating();
    navigationItem()->setTitleView(spinner);
    auto service = CBLocationManager::sharedInstance();
    waitsForFix_ = true;
    service->addDelegate(std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this())));
    service->startUpdatingLocation();
}

void CBViewControllerWithMapSortBar::locationManagerDidUpdateToLocationFromLocation(
    CBLocationManager& service, std::shared_ptr<CLLocation>, std::shared_ptr<CLLocation>) {
    auto self = std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
    // One fix is all the list needs.
    service.removeDelegate(self);
    const bool asked = std::exchange(waitsForFix_, false);
    if (std::exchange(awaitsFirstFix_, false) && !asked) {
        setupTitleView();
        configureOpenMapButtonTitle();
        if (tableView_)
            tableView_->reloadData();
        return;
    }
    if (showOnMapAfterNextLocationUpdate_) {
        sortObjectsByDistance();
        showOnMap();
        return;
    }
    navigationItem()->setTitleView(sortTitleViewButton_);
    std::weak_ptr<CBViewControllerWithMapSortBar> weak = self;
    DispatchQueue::main()->after(kSortDelayAfterFix, [weak] {
        if (auto me = weak.lock())
            me->sortTableByDistance();
    });
}

void CBViewControllerWithMapSortBar::locationManagerDidChangeAuthorizationStatus(
    CLLocationManager&, CLAuthorizationStatus status) {
    if (!ZEL_isWhenInUseOrAlwaysAuthorizationStatus(status)) {
        sortTitleViewToggleStateDistance_ = false;
        sortByDistance_ = false;
        objectsSortedByDistance_.reset();
    }
    setupTitleView();
    configureOpenMapButtonTitle();
    if (tableView_)
        tableView_->reloadData();
}

void CBViewControllerWithMapSortBar::setupTitleView() {
    if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus() || !currentLocation()) {
        navigationItem()->setTitleView(nullptr);
        return;
    }
    auto navigation = navigationController();
    const CGFloat barHeight =
        navigation ? navigation->navigationBar()->frame().size.height : UINavigationBar::kHeight;
    auto button = std::make_shared<UIButton>(
        CGRectMake(0, 2, view()->frame().size.width, barHeight - 4), UIButtonTypeCustom);
    button->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    // The title keeps the upper part of the bar; the order goes below it.
    button->setContentEdgeInsets({0, 0, 16, 0});
    button->setTitleForState(title(), UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::fontWithNameSize("HelveticaNeue-Medium", 16));
    button->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    button->titleLabel()->setMinimumScaleFactor(0.8);
    button->setTitleColorForState(UIColor::blackColor(), UIControlStateNormal);
    button->setTitleColorForState(UIColor::blackColor(), UIControlStateHighlighted);
    button->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
    button->setShowsTouchWhenHighlighted(true);
    std::weak_ptr<CBViewControllerWithMapSortBar> weak =
        std::static_pointer_cast<CBViewControllerWithMapSortBar>(
            std::static_pointer_cast<UIViewController>(shared_from_this()));
    button->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto me = weak.lock())
                me->toggleSorting();
        },
        UIControlEventTouchUpInside);
    const CGRect frame = button->frame();
    const CGFloat height = button->bounds().size.height;
    auto subtitle = std::make_shared<UILabel>(
        CGRectMake(std::round((frame.size.width - kSubtitleWidth) / 2), std::ceil(height / 2) + 1,
                   kSubtitleWidth, std::floor(height / 2) - 2));
    subtitle->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                  UIViewAutoresizingFlexibleRightMargin |
                                  UIViewAutoresizingFlexibleTopMargin);
    subtitle->setFont(UIFont::fontWithNameSize("HelveticaNeue-Light", 13));
    subtitle->setTextColor(view()->tintColor());
    subtitle->setTextAlignment(NSTextAlignmentCenter);
    button->addSubview(subtitle);
    navigationItem()->setTitleView(button);
    sortTitleViewButton_ = button;
    sortTitleViewSubtitleLabel_ = subtitle;
    setSortTitleViewSubtitleTextForCurrentState();
    sizeTitleViewToFit();
}

void CBViewControllerWithMapSortBar::sizeTitleViewToFit() {
    if (!sortTitleViewButton_ || !sortTitleViewSubtitleLabel_)
        return;
    auto navigation = navigationController();
    const CGSize barSize = navigation ? navigation->navigationBar()->frame().size
                                      : CGSizeMake(view()->frame().size.width, 44);
    const CGFloat fitting = sortTitleViewButton_->sizeThatFits(barSize).width;
    const CGFloat subtitle = sortTitleViewSubtitleLabel_->bounds().size.width + 10;
    sortTitleViewButton_->setFrame(
        CGRectMake(0, 0, std::max(fitting, subtitle), sortTitleViewButton_->frame().size.height));
}

void CBViewControllerWithMapSortBar::setSortTitleViewSubtitleTextForCurrentState() {
    if (!sortTitleViewSubtitleLabel_)
        return;
    const std::string text =
        NSLocalizedString(sortTitleViewToggleStateDistance_ ? "SortTitleViewSubtitleSortingDistance"
                                                            : "SortTitleViewSubtitleSortingName");
    auto label = sortTitleViewSubtitleLabel_;
    auto change = [label, text] {
        const CGPoint centre = label->center();
        label->setText(text);
        label->sizeToFit();
        label->setBounds(CGRectInset(label->bounds(), -15, 0));
        setSharpCenter_zel(label, centre);
    };
    if (label->text().empty() || !sortTitleViewButton_) {
        change();
        return;
    }
    UIView::transitionWithViewDurationOptionsAnimationsCompletion(
        sortTitleViewButton_, kSubtitleFlipDuration,
        UIViewAnimationOptionTransitionFlipFromTop | UIViewAnimationOptionBeginFromCurrentState,
        change, nullptr);
}

void CBViewControllerWithMapSortBar::layoutTableHeaderView() {
    if (!tableHeaderView_)
        return;
    const CGFloat margin = showOnMapButton_ ? kButtonMargin : 0;
    const CGFloat button =
        showOnMapButton_
            ? margin + showOnMapButton_->sizeThatFits(tableHeaderView_->bounds().size).width
            : 0;
    const CGFloat width = UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad
                              ? kPadHeaderWidth
                              : view()->frame().size.width;
    tableHeaderView_->setFrame(CGRectMake(0, 0, width, kHeaderHeight));
    searchBar_->setFrame(
        CGRectMake(margin + button, 0, width - kIndexRoom - button, kHeaderHeight));
    if (showOnMapButton_)
        showOnMapButton_->setFrame(CGRectMake(margin, 0, button, kHeaderHeight));
}

CBViewControllerWithMapSortBar::OpenMapMode CBViewControllerWithMapSortBar::openMapMode() {
    if (!tableView_)
        return kOpenMapNone;
    long rows = 0;
    const long sections = numberOfSectionsInTableView(*tableView_);
    for (long section = 0; section < sections; ++section)
        rows += tableViewNumberOfRowsInSection(*tableView_, section);
    if (rows == 0)
        return kOpenMapNone;
    if (rows < long(kMaximumObjectsOnMap))
        return kOpenMapAll;
    return ZEL_hasWhenInUseOrAlwaysAuthorizationStatus() ? kOpenMapNearest : kOpenMapNone;
}

void CBViewControllerWithMapSortBar::configureOpenMapButtonTitle() {
    // A search shown again (a screen over it popped) keeps the whole bar;
    // its end sets the button up.
    if (!showOnMapButton_ || (searchDisplayController_ && searchDisplayController_->isActive()))
        return;
    const OpenMapMode mode = openMapMode();
    if (mode == kOpenMapNearest)
        showOnMapButton_->setTitleForState(NSLocalizedString("CategoryNearbyButton"),
                                           UIControlStateNormal);
    else if (mode == kOpenMapAll)
        showOnMapButton_->setTitleForState(NSLocalizedString("CategoryShowAllButton"),
                                           UIControlStateNormal);
    else
        showOnMapButton_->setTitleForState(std::nullopt, UIControlStateNormal);
    showOnMapButton_->setHidden(mode == kOpenMapNone);
    showOnMapButton_->setTitleColorForState(view()->tintColor(), UIControlStateNormal);
    layoutTableHeaderView();
}

void CBViewControllerWithMapSortBar::showOnMap() {
    std::vector<std::shared_ptr<NSManagedObject>> objects;
    switch (openMapMode()) {
        case kOpenMapAll:
            if (auto controller = fetchedResultsController())
                objects = controller->fetchedObjects();
            break;
        case kOpenMapNearest:
            if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
                return;
            if (!objectsSortedByDistance_ &&
                !CBLocationManager::sharedInstance()->manager()->location()) {
                // The first fix finishes the request.
                showOnMapAfterNextLocationUpdate_ = true;
                getUserLocation();
                return;
            }
            sortObjectsByDistance();
            objects.assign(
                objectsSortedByDistance_->begin(),
                objectsSortedByDistance_->begin() +
                    long(std::min(objectsSortedByDistance_->size(), kMaximumObjectsOnMap)));
            break;
        case kOpenMapNone:
            break;
    }
    std::vector<CBAnnotationRef> annotations;
    for (const auto& object : objects)
        if (auto annotation = annotationForObject(object))
            annotations.push_back(std::move(annotation));
    if (auto map = presenter())
        map->presentAnnotationsCentered(annotations, true);
}

void CBViewControllerWithMapSortBar::setTitle(const std::string& title) {
    UIViewController::setTitle(title);
    if (sortTitleViewButton_)
        sortTitleViewButton_->setTitleForState(title, UIControlStateNormal);
    sizeTitleViewToFit();
}

void CBViewControllerWithMapSortBar::setEditingAnimated(bool editing, bool animated) {
    UIViewController::setEditingAnimated(editing, animated);
    if (tableView_)
        tableView_->setEditingAnimated(editing, animated);
}

void CBViewControllerWithMapSortBar::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto self = std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
    std::weak_ptr<CBViewControllerWithMapSortBar> weak = self;
    if (tableView_)
        tableView_->setSectionIndexMinimumDisplayRowCount(kSectionIndexMinimumDisplayRowCount);
    setupTitleView();
    if (showPinButton_) {
        auto button = std::make_shared<UIButton>(CGRectZero, UIButtonTypeCustom);
        button->addTargetForControlEvents(
            [weak](UIControl&) {
                if (auto me = weak.lock())
                    me->showOnMap();
            },
            UIControlEventTouchUpInside);
        button->setAutoresizingMask(UIViewAutoresizingFlexibleRightMargin);
        button->setAdjustsImageWhenHighlighted(false);
        button->titleLabel()->setNumberOfLines(2);
        button->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
        button->titleLabel()->setFont(UIFont::fontWithNameSize("HelveticaNeue-Light", 14));
        showOnMapButton_ = button;
    }
    auto bar = std::make_shared<UISearchBar>(CGRectZero);
    bar->setShowsCancelButton(false);
    bar->setDelegate(self);
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    bar->setSearchBarStyle(UISearchBarStyleMinimal);
    auto search = UISearchDisplayController::create(bar, self);
    search->setSearchResultsDataSource(self);
    search->setSearchResultsDelegate(self);
    search->setDelegate(self);
    auto header = std::make_shared<UIView>(CGRectZero);
    header->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.946, 1));
    header->addSubview(bar);
    if (showOnMapButton_)
        header->addSubview(showOnMapButton_);
    tableHeaderView_ = header;
    searchBar_ = bar;
    searchDisplayController_ = search;
    layoutTableHeaderView();
    if (tableView_)
        tableView_->setTableHeaderView(header);
}

void CBViewControllerWithMapSortBar::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    configureOpenMapButtonTitle();
    awaitFirstFix();
}

void CBViewControllerWithMapSortBar::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenToolbar::setHidden(*this, true, animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    locationManager_ = std::make_shared<CLLocationManager>();
    locationManager_->setDelegate(std::static_pointer_cast<CBViewControllerWithMapSortBar>(
        std::static_pointer_cast<UIViewController>(shared_from_this())));
}

long CBViewControllerWithMapSortBar::numberOfSectionsInTableView(UITableView& table) {
    if (showsDistanceOrder(table))
        return 1;
    auto* controller = resultsControllerForTableView(table);
    return controller ? long(controller->sections().size()) : 0;
}

long CBViewControllerWithMapSortBar::tableViewNumberOfRowsInSection(UITableView& table,
                                                                    long section) {
    if (showsDistanceOrder(table))
        return objectsSortedByDistance_ ? long(objectsSortedByDistance_->size()) : 0;
    auto* controller = resultsControllerForTableView(table);
    if (!controller || section < 0 || size_t(section) >= controller->sections().size())
        return 0;
    return long(controller->sections()[size_t(section)].numberOfObjects());
}

std::vector<std::string> CBViewControllerWithMapSortBar::sectionIndexTitlesForTableView(
    UITableView& table) {
    if (showsDistanceOrder(table))
        return {};
    auto* controller = resultsControllerForTableView(table);
    std::vector<std::string> titles;
    if (&table == tableView_.get())
        titles.push_back(UITableViewIndexSearch);
    if (controller)
        titles.insert(titles.end(), controller->sectionIndexTitles().begin(),
                      controller->sectionIndexTitles().end());
    return titles;
}

// A title leads to the first section that carries it: sections of the same
// title ("B" and "b") would otherwise shift every later entry by one.
std::optional<long> CBViewControllerWithMapSortBar::tableViewSectionForSectionIndexTitleAtIndex(
    UITableView& table, const std::string& title, long index) {
    if (showsDistanceOrder(table))
        return std::nullopt;
    const bool list = &table == tableView_.get();
    if (list && index == 0) {
        table.setContentOffsetAnimated(CGPointZero, false);
        return std::nullopt;
    }
    auto* controller = resultsControllerForTableView(table);
    if (!controller)
        return std::nullopt;
    const long section =
        controller->sectionForSectionIndexTitleAtIndex(title, list ? index - 1 : index);
    return section < 0 ? std::nullopt : std::optional<long>(section);
}

// Each section is titled from its own name, not by its position among the
// index titles, which hold each title once.
std::optional<std::string> CBViewControllerWithMapSortBar::tableViewTitleForHeaderInSection(
    UITableView& table, long section) {
    if (showsDistanceOrder(table))
        return std::nullopt;
    auto* controller = resultsControllerForTableView(table);
    if (!controller || section < 0 || size_t(section) >= controller->sections().size())
        return std::string("-");
    return controller->sections()[size_t(section)].indexTitle;
}

void CBViewControllerWithMapSortBar::searchDisplayControllerWillBeginSearch(
    UISearchDisplayController&) {
    // While searching, the field and its Cancel button take the whole bar:
    // beside the map button a typed word would not fit.
    if (!tableHeaderView_)
        return;
    if (showOnMapButton_)
        showOnMapButton_->setHidden(true);
    searchBar_->setFrame(CGRectMake(0, 0, tableHeaderView_->bounds().size.width, kHeaderHeight));
}

void CBViewControllerWithMapSortBar::searchDisplayControllerDidEndSearch(
    UISearchDisplayController&) {
    configureOpenMapButtonTitle();
    std::weak_ptr<CBViewControllerWithMapSortBar> weak =
        std::static_pointer_cast<CBViewControllerWithMapSortBar>(
            std::static_pointer_cast<UIViewController>(shared_from_this()));
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kHeaderAnimationDuration, 0, UIViewAnimationOptionAllowUserInteraction,
        [weak] {
            if (auto me = weak.lock())
                me->layoutTableHeaderView();
        },
        nullptr);
}
