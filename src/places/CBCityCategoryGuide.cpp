#include "places/CBCityCategoryGuide.h"

#include <algorithm>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "model/CBCityGuideState.h"
#include "model/CBPlaceName.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlacesHost.h"
#include "widgets/CBFetchedResultsController.h"
#include "widgets/CBScreenRotation.h"

namespace {
constexpr const char* kCellIdentifier = "Cell";
constexpr size_t kFetchBatchSize = 20;
}  // namespace

CBCityCategoryGuide::CBCityCategoryGuide(UITableViewStyle style, CBGuideTagFilter tagFilter,
                                         std::weak_ptr<CBPlacesHost> host,
                                         std::shared_ptr<CBCurrentMap> currentMap,
                                         std::weak_ptr<CBAnnotationsPresenter> presenter)
    : CBViewControllerWithMapSortBar(std::move(presenter)),
      tableViewStyle_(style),
      host_(std::move(host)),
      currentMap_(std::move(currentMap)) {
    setTagFilter(std::move(tagFilter));
}

void CBCityCategoryGuide::setTagFilter(CBGuideTagFilter filter) {
    tagFilter_ = std::move(filter);
    updateTagsForFilter();
}

void CBCityCategoryGuide::setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
    dataManager_ = std::move(manager);
    translations_ = dataManager_ ? Value(dataManager_->tagTranslationDictionary()) : Value();
    updateTagsForFilter();
}

void CBCityCategoryGuide::updateTagsForFilter() {
    tagsForFilter_.clear();
    if (!tagFilter_.empty() && dataManager_)
        tagsForFilter_ = CBCityGuide::tagsOfFilter(*dataManager_, tagFilter_);
}

std::shared_ptr<NSFetchedResultsController> CBCityCategoryGuide::newFetchedResultsController() {
    auto context = dataManager_ ? dataManager_->managedObjectContext() : nullptr;
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    if (!coordinator || !coordinator->managedObjectModel())
        return nullptr;
    auto request = NSFetchRequest::fetchRequestWithEntityName("object");
    request->predicate = CBCityGuide::objectPredicate(tagsForFilter_, showUnnamedObjects_);
    request->fetchBatchSize = kFetchBatchSize;
    const std::string sectionKey = twoLetterIndex_ ? "firstTwoLettersOfName" : "firstLetterOfName";
    request->sortDescriptors = {
        NSSortDescriptor::sortDescriptorWithKey(
            sectionKey, true, NSSortDescriptor::Comparison::LocalizedCaseInsensitive),
        NSSortDescriptor::sortDescriptorWithKey("name", true)};
    auto controller =
        std::make_shared<CBFetchedResultsController>(request, context, sectionKey, std::string());
    controller->setTwoLetterIndex(twoLetterIndex_);
    return controller;
}

void CBCityCategoryGuide::loadView() {
    loadTableViewAsView(tableViewStyle_);
}

void CBCityCategoryGuide::viewDidLoad() {
    setShowPinButton(!twoLetterIndex_);
    if (auto controller = fetchedResultsController())
        controller->performFetch();
    CBViewControllerWithMapSortBar::viewDidLoad();
    tableView()->setSectionIndexMinimumDisplayRowCount(kSectionIndexMinimumDisplayRowCount);
}

std::shared_ptr<CBGeoObject> CBCityCategoryGuide::objectForTableViewAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    return std::dynamic_pointer_cast<CBGeoObject>(objectAtIndexPathOfTable(table, indexPath));
}

std::shared_ptr<UITableViewCell> CBCityCategoryGuide::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(
            tagFilter_.empty() ? UITableViewCellStyleDefault : UITableViewCellStyleValue1,
            kCellIdentifier);
        if (auto detail = cell->detailTextLabel())
            detail->setFont(UIFont::systemFontOfSize(12));
    }
    auto object = objectForTableViewAtIndexPath(table, indexPath);
    cell->textLabel()->setText(object ? CBPlaceNameForList(*object, translations_) : "");
    std::optional<double> distance;
    if (object && ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        distance = object->distanceFromLastLocation();
    if (auto detail = cell->detailTextLabel())
        detail->setText(distance ? stringWithDistanceFromFloat(float(*distance)) : "");
    cell->setAccessoryType(distance ? UITableViewCellAccessoryNone
                                    : UITableViewCellAccessoryDisclosureIndicator);
    return cell;
}

void CBCityCategoryGuide::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                           const NSIndexPath& indexPath) {
    rememberScrollPosition();
    if (auto object = objectForTableViewAtIndexPath(table, indexPath)) {
        hideToolbarOnDisappear_ = false;
        auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_, currentMap_);
        screen->setObject(CBGeoSearchResult::geoSearchResultWithObject(object));
        screen->setIsOnMap(false);
        screen->setDataManager(dataManager_);
        if (auto navigation = navigationController())
            navigation->pushViewControllerAnimated(screen, true);
    }
    table.deselectRowAtIndexPathAnimated(indexPath, true);
}

// The text is an argument of the predicate, never part of its format, so
// every character of it is matched as it is.
void CBCityCategoryGuide::updateFetchPredicate() {
    auto controller = searchResultsController();
    if (!controller)
        return;
    const std::string text = CBGeoObject::canonicalNameForString(searchBar()->text());
    std::vector<std::shared_ptr<NSManagedObject>> tags(tagsForFilter_.begin(),
                                                       tagsForFilter_.end());
    controller->fetchRequest()->predicate = NSPredicate::predicateWithFormat(
        "canonicalName CONTAINS %@ AND ANY tags IN %@", {text, tags});
    performSearchFetchAndReload();
}

bool CBCityCategoryGuide::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController& display, const std::string&) {
    updateFetchPredicate();
    return display.isActive() && !display.searchBar()->text().empty();
}

void CBCityCategoryGuide::searchDisplayControllerWillEndSearch(UISearchDisplayController& display) {
    CBViewControllerWithMapSortBar::searchDisplayControllerWillEndSearch(display);
    updateFetchPredicate();
    tableView()->reloadData();
}

void CBCityCategoryGuide::searchDisplayControllerDidLoadSearchResultsTableView(
    UISearchDisplayController&, UITableView& table) {
    table.setSectionIndexMinimumDisplayRowCount(kSectionIndexMinimumDisplayRowCount);
}

void CBCityCategoryGuide::rememberScrollPosition() {
    if (!tagFilter_.empty() && tableView())
        CBCityGuideState::setLastTableScrollPosition(tableView()->contentOffset().y);
}

void CBCityCategoryGuide::viewWillAppear(bool animated) {
    CBViewControllerWithMapSortBar::viewWillAppear(animated);
    hideToolbarOnDisappear_ = true;
    if (auto navigation = navigationController()) {
        navigation->setToolbarHiddenAnimated(true, animated);
        navigation->navigationBar()->setBarStyle(UIBarStyleDefault);
    }
}

void CBCityCategoryGuide::viewDidAppear(bool animated) {
    CBViewControllerWithMapSortBar::viewDidAppear(animated);
    if (firstAppearance_ && !tagFilter_.empty()) {
        if (auto offset = CBCityGuideState::lastTableScrollPosition())
            tableView()->setContentOffsetAnimated(CGPointMake(0, *offset), true);
    }
    if (firstAppearance_)
        CBCityGuideState::forgetLastTableScrollPosition();
    firstAppearance_ = false;
    UIApplication::sharedApplication()->setStatusBarStyleAnimated(UIStatusBarStyleDefault, true);
}

// The position is kept whenever the list stays on its stack: the guide
// closes over it, another tab or a place's screen covers it. A list taken
// off its stack leaves nothing to return to.
void CBCityCategoryGuide::viewWillDisappear(bool animated) {
    CBViewControllerWithMapSortBar::viewWillDisappear(animated);
    auto navigation = navigationController();
    if (navigation && hideToolbarOnDisappear_)
        navigation->setToolbarHiddenAnimated(true, animated);
    if (navigation) {
        const auto stack = navigation->viewControllers();
        if (std::find(stack.begin(), stack.end(), shared_from_this()) != stack.end())
            rememberScrollPosition();
    }
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
        searchBar()->resignFirstResponder();
}

void CBCityCategoryGuide::dismiss() {
    rememberScrollPosition();
    if (auto navigation = navigationController())
        navigation->dismissViewControllerAnimatedCompletion(true, nullptr);
}

bool CBCityCategoryGuide::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}
