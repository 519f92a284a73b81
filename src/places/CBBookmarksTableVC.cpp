#include "places/CBBookmarksTableVC.h"

#include <algorithm>
#include <limits>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/VADMaskedIconView.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "model/CBPlaceName.h"
#include "places/CBGeoObjectDetailVC.h"
#include "widgets/CBAnnotationsPresenter.h"
#include "widgets/CBFetchedResultsController.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"

namespace {
constexpr const char* kCellIdentifier = "Cell";
constexpr const char* kSearchCellIdentifier = "SearchCell";
constexpr size_t kFetchBatchSize = 20;
constexpr CGFloat kAccessoryWidth = 50;
constexpr CGFloat kAccessoryHeight = 44;
constexpr CGFloat kInstructionsMargin = 20;
constexpr CGFloat kInstructionsGap = 10;
}  // namespace

CBBookmarksTableVC::CBBookmarksTableVC(std::shared_ptr<CBCurrentMap> currentMap,
                                       std::weak_ptr<CBPlacesHost> host,
                                       std::weak_ptr<CBAnnotationsPresenter> presenter)
    : CBViewControllerWithMapSortBar(std::move(presenter)),
      manager_(currentMap ? currentMap->bookmarks() : nullptr),
      host_(std::move(host)),
      currentMap_(std::move(currentMap)) {
    setTitle(NSLocalizedString("Bookmarks"));
    setTabBarItem(std::make_shared<UITabBarItem>(UITabBarSystemItemBookmarks, kTabBarItemTag));
    if (manager_)
        translations_ = Value(manager_->tagTranslationDictionary());
}

std::shared_ptr<CBBookmarksTableVC> CBBookmarksTableVC::self() {
    return std::static_pointer_cast<CBBookmarksTableVC>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

std::string CBBookmarksTableVC::identifierOf(NSManagedObject& object) {
    return object.objectID().URIRepresentation();
}

bool CBBookmarksTableVC::isSearching() const {
    const auto& display = searchDisplayController();
    return display && display->isActive() && !endingSearch_;
}

bool CBBookmarksTableVC::tableFollowsChanges() const {
    return !sortByDistance() && !isSearching() && tableView();
}

std::shared_ptr<NSFetchedResultsController> CBBookmarksTableVC::newFetchedResultsController() {
    auto context = manager_ ? manager_->managedObjectContext() : nullptr;
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    if (!coordinator || !coordinator->managedObjectModel() ||
        coordinator->persistentStores().empty())
        return nullptr;
    auto request = NSFetchRequest::fetchRequestWithEntityName("object");
    request->fetchBatchSize = kFetchBatchSize;
    request->sortDescriptors = {
        NSSortDescriptor::sortDescriptorWithKey(
            "firstLetterOfName", true, NSSortDescriptor::Comparison::LocalizedCaseInsensitive),
        NSSortDescriptor::sortDescriptorWithKey("name", true)};
    auto controller = std::make_shared<CBFetchedResultsController>(
        request, context, "firstLetterOfName", std::string());
    controller->setDelegate(self());
    return controller;
}

NSFetchedResultsController* CBBookmarksTableVC::resultsControllerForTableView(const UITableView&) {
    return fetchedResultsController().get();
}

void CBBookmarksTableVC::loadView() {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    view->setBackgroundColor(UIColor::whiteColor());
    auto table = std::make_shared<UITableView>(view->bounds(), UITableViewStylePlain);
    table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    table->setDataSource(self());
    table->setDelegate(self());
    view->addSubview(table);
    setTableView(table);
    // What the screen shows while there are no bookmarks.
    auto instructions = std::make_shared<UIView>(view->bounds());
    instructions->setBackgroundColor(UIColor::whiteColor());
    auto top = std::make_shared<UILabel>(
        CGRectMake(kInstructionsMargin, 120, 320 - 2 * kInstructionsMargin, 60));
    top->setFont(UIFont::boldSystemFontOfSize(20));
    top->setTextAlignment(NSTextAlignmentCenter);
    top->setNumberOfLines(0);
    top->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto bottom = std::make_shared<UILabel>(
        CGRectMake(kInstructionsMargin, 190, 320 - 2 * kInstructionsMargin, 120));
    bottom->setFont(UIFont::systemFontOfSize(16));
    bottom->setTextColor(UIColor::darkGrayColor());
    bottom->setTextAlignment(NSTextAlignmentCenter);
    bottom->setNumberOfLines(0);
    bottom->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    instructions->addSubview(top);
    instructions->addSubview(bottom);
    noBookmarksInstructionsView_ = instructions;
    noBookmarkInstructionsLabelTop_ = top;
    noBookmarkInstructionsLabelBottom_ = bottom;
    setView(view);
}

void CBBookmarksTableVC::viewDidLoad() {
    setShowPinButton(true);
    CBViewControllerWithMapSortBar::viewDidLoad();
    // The bookmarks pinned on the map now are the first choice.
    auto coordinator = manager_ && manager_->managedObjectContext()
                           ? manager_->managedObjectContext()->persistentStoreCoordinator()
                           : nullptr;
    if (auto map = mapViewController(); map && coordinator) {
        for (const auto& identifier : map->objectAnnotationIdentifiers())
            if (!coordinator->managedObjectIDForURIRepresentation(identifier).isNull())
                selectedBookmarks_.insert(identifier);
    }
    selectionOccured_ = !selectedBookmarks_.empty();
    updateSelectionButtons();
    tableView()->setSectionIndexMinimumDisplayRowCount(kSectionIndexMinimumDisplayRowCount);
    if (auto controller = fetchedResultsController())
        controller->performFetch();
    tableView()->reloadData();
    updateDisplayOfInstructions();
}

void CBBookmarksTableVC::viewWillAppear(bool animated) {
    CBViewControllerWithMapSortBar::viewWillAppear(animated);
    tableView()->reloadData();
    setEditingAnimated(false, false);
    CBScreenToolbar::setHidden(*this, true, animated);
}

void CBBookmarksTableVC::viewWillDisappear(bool animated) {
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
        searchBar()->resignFirstResponder();
    CBViewControllerWithMapSortBar::viewWillDisappear(animated);
    if (auto display = searchDisplayController())
        display->setActiveAnimated(false, animated);
}

bool CBBookmarksTableVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

void CBBookmarksTableVC::viewDidLayoutSubviews() {
    CBViewControllerWithMapSortBar::viewDidLayoutSubviews();
    if (!showsInstructions())
        return;
    const CGRect bounds = noBookmarksInstructionsView_->bounds();
    const CGFloat width = bounds.size.width - 2 * kInstructionsMargin;
    const CGFloat top =
        noBookmarkInstructionsLabelTop_->sizeThatFits({width, std::numeric_limits<CGFloat>::max()})
            .height;
    const CGFloat bottom = noBookmarkInstructionsLabelBottom_
                               ->sizeThatFits({width, std::numeric_limits<CGFloat>::max()})
                               .height;
    // A third of the free room above the text, two thirds below.
    const CGFloat free = bounds.size.height - top - kInstructionsGap - bottom;
    const CGFloat y = std::max(kInstructionsMargin, free / 3);
    noBookmarkInstructionsLabelTop_->setFrame(CGRectMake(kInstructionsMargin, y, width, top));
    noBookmarkInstructionsLabelBottom_->setFrame(
        CGRectMake(kInstructionsMargin, y + top + kInstructionsGap, width, bottom));
}

bool CBBookmarksTableVC::showsInstructions() const {
    return noBookmarksInstructionsView_ && noBookmarksInstructionsView_->superview() != nullptr;
}

void CBBookmarksTableVC::updateDisplayOfInstructions() {
    auto controller = fetchedResultsController();
    const bool empty = !controller || controller->fetchedObjects().empty();
    if (empty && !showsInstructions()) {
        noBookmarkInstructionsLabelTop_->setText(NSLocalizedString("NoBookmarksTextTop"));
        noBookmarkInstructionsLabelBottom_->setText(NSLocalizedString("NoBookmarksTextBottom"));
        noBookmarksInstructionsView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                                          UIViewAutoresizingFlexibleHeight);
        noBookmarksInstructionsView_->setFrame(view()->bounds());
        view()->addSubview(noBookmarksInstructionsView_);
    } else if (!empty && showsInstructions()) {
        noBookmarksInstructionsView_->removeFromSuperview();
    }
    // Nothing is left to edit: the list leaves editing, and its right button returns.
    if (empty && isEditing())
        setEditingAnimated(false, true);
    navigationItem()->setLeftBarButtonItem(empty ? nullptr : editButtonItem());
    setupTitleView();
}

// An empty list has nothing to order.
void CBBookmarksTableVC::setupTitleView() {
    auto controller = fetchedResultsController();
    if (!controller || controller->fetchedObjects().empty()) {
        navigationItem()->setTitleView(nullptr);
        return;
    }
    CBViewControllerWithMapSortBar::setupTitleView();
}

void CBBookmarksTableVC::setEditingAnimated(bool editing, bool animated) {
    CBViewControllerWithMapSortBar::setEditingAnimated(editing, animated);
    if (editing)
        navigationItem()->setRightBarButtonItem(nullptr);
    else
        updateSelectionButtons();
}

std::vector<std::string> CBBookmarksTableVC::sectionIndexTitlesForTableView(UITableView& table) {
    if (showsDistanceOrder(table))
        return {};
    auto controller = fetchedResultsController();
    return controller ? controller->sectionIndexTitles() : std::vector<std::string>{};
}

// A title leads to the first section that carries it ("B" before "b").
std::optional<long> CBBookmarksTableVC::tableViewSectionForSectionIndexTitleAtIndex(
    UITableView& table, const std::string& title, long index) {
    auto controller = fetchedResultsController();
    if (showsDistanceOrder(table) || !controller)
        return std::nullopt;
    const long section = controller->sectionForSectionIndexTitleAtIndex(title, index);
    return section < 0 ? std::nullopt : std::optional<long>(section);
}

std::optional<std::string> CBBookmarksTableVC::tableViewTitleForHeaderInSection(UITableView& table,
                                                                                long section) {
    auto controller = fetchedResultsController();
    if (showsDistanceOrder(table) || !controller || section < 0 ||
        size_t(section) >= controller->sections().size())
        return std::nullopt;
    return controller->sections()[size_t(section)].name;
}

std::shared_ptr<CBGeoObject> CBBookmarksTableVC::objectForTableAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    return std::dynamic_pointer_cast<CBGeoObject>(objectAtIndexPathOfTable(table, indexPath));
}

std::shared_ptr<UITableViewCell> CBBookmarksTableVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    const std::string identifier =
        &table == tableView().get() ? kCellIdentifier : kSearchCellIdentifier;
    auto cell = table.dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, identifier);
        auto accessory = std::make_shared<CBCellAccessoryView>(
            CGRectMake(0, 0, kAccessoryWidth, kAccessoryHeight), UIButtonTypeCustom);
        std::weak_ptr<CBBookmarksTableVC> weak = self();
        auto longPress =
            std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& gesture) {
                if (auto me = weak.lock())
                    me->toggleSelectionOfAllBookmarks(gesture);
            });
        auto tap = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer& gesture) {
            if (auto me = weak.lock())
                me->toggleSelectionOfBookmarkWithGesture(gesture);
        });
        tap->requireGestureRecognizerToFail(longPress);
        accessory->addGestureRecognizer(longPress);
        accessory->addGestureRecognizer(tap);
        cell->setAccessoryView(accessory);
    }
    if (auto accessory = std::dynamic_pointer_cast<CBCellAccessoryView>(cell->accessoryView())) {
        accessory->setTableView(std::static_pointer_cast<UITableView>(table.shared_from_this()));
        accessory->setTableCell(cell);
    }
    configureCellOfTableAtIndexPath(*cell, table, indexPath);
    return cell;
}

void CBBookmarksTableVC::configureCellOfTableAtIndexPath(UITableViewCell& cell, UITableView& table,
                                                         const NSIndexPath& indexPath) {
    auto bookmark = objectForTableAtIndexPath(table, indexPath);
    if (!bookmark)
        return;
    const std::string name = CBPlaceNameForList(*bookmark, translations_);
    cell.textLabel()->setText(name);
    std::optional<std::string> base;
    if (const auto addresses = bookmark->addresses(); addresses.size() == 1)
        base = addresses.front()->shortFormattedString();
    else
        base = bookmarkDescription(*bookmark);
    if (base && base->empty())
        base.reset();
    std::optional<std::string> detail = base;
    if (ZEL_hasWhenInUseOrAlwaysAuthorizationStatus()) {
        auto subtitle = bookmark->subtitle();
        if (subtitle && subtitle->empty())
            subtitle.reset();
        if (subtitle && base)
            detail = *subtitle + " - " + *base;
        else if (subtitle)
            detail = subtitle;
    }
    cell.detailTextLabel()->setText(detail.value_or(""));
    const auto iconName = bookmark->iconImageName();
    if (auto icon = iconName ? UIImage::imageNamed("Quillmere.bundle/" + *iconName) : nullptr) {
        auto masked = VADMaskedIconView::iconWithImage(icon);
        masked->setTrait(*VADStyleTrait::iconTraitWithColor(view()->tintColor()));
        cell.imageView()->setImage(masked->renderImage());
        cell.imageView()->setHighlightedImage(masked->renderHighlightedImage());
    } else {
        cell.imageView()->setImage(nullptr);
        cell.imageView()->setHighlightedImage(nullptr);
    }
    auto accessory = std::dynamic_pointer_cast<CBCellAccessoryView>(cell.accessoryView());
    if (!accessory)
        return;
    const bool shown = selectedBookmarks_.count(identifierOf(*bookmark)) > 0;
    auto image = UIImage::imageNamed(shown ? "bookmark-show" : "bookmark-hide");
    accessory->setImageForState(
        image ? image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate) : nullptr,
        UIControlStateNormal);
    accessory->setAccessibilityLabel(name + (shown ? " on the map" : " not on the map"));
}

void CBBookmarksTableVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                          const NSIndexPath& indexPath) {
    auto bookmark = objectForTableAtIndexPath(table, indexPath);
    if (!bookmark)
        return;
    auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_, currentMap_);
    screen->setBookmark(manager_->searchResultObjectForGeoObject(bookmark));
    screen->setOpenedFromBookmarksTable(true);
    screen->setIsOnMap(false);
    screen->setDataManager(mapDataManager_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(screen, true);
}

void CBBookmarksTableVC::tableViewCommitEditingStyleForRowAtIndexPath(
    UITableView& table, UITableViewCellEditingStyle style, const NSIndexPath& indexPath) {
    if (style != UITableViewCellEditingStyleDelete)
        return;
    if (auto bookmark = objectForTableAtIndexPath(table, indexPath))
        manager_->deleteBookmarkForSearchResult(manager_->searchResultObjectForGeoObject(bookmark));
}

// The text is an argument of the predicate, so every character of it is
// matched as it is.
void CBBookmarksTableVC::updateFetchPredicate() {
    auto controller = fetchedResultsController();
    if (!controller)
        return;
    const auto& display = searchDisplayController();
    if (isSearching() && display)
        controller->fetchRequest()->predicate = NSPredicate::predicateWithFormat(
            "canonicalName CONTAINS %@",
            {CBGeoObject::canonicalNameForString(display->searchBar()->text())});
    else
        controller->fetchRequest()->predicate = nullptr;
    NSError error;
    if (!controller->performFetch(&error))
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
}

void CBBookmarksTableVC::searchDisplayControllerDidLoadSearchResultsTableView(
    UISearchDisplayController&, UITableView& table) {
    table.setSectionIndexMinimumDisplayRowCount(tableView()->sectionIndexMinimumDisplayRowCount());
}

bool CBBookmarksTableVC::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController& display, const std::string&) {
    updateFetchPredicate();
    return display.isActive() && !display.searchBar()->text().empty();
}

void CBBookmarksTableVC::searchDisplayControllerWillEndSearch(UISearchDisplayController& display) {
    CBViewControllerWithMapSortBar::searchDisplayControllerWillEndSearch(display);
    endingSearch_ = true;
    updateFetchPredicate();
    endingSearch_ = false;
    tableView()->reloadData();
}

void CBBookmarksTableVC::updateSelectionButtons() {
    if (isEditing())
        return;
    std::weak_ptr<CBBookmarksTableVC> weak = self();
    auto item = navigationItem();
    if (!selectionOccured_) {
        item->setRightBarButtonItem(
            std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
                if (auto me = weak.lock())
                    me->dismiss();
            }));
        return;
    }
    auto show = [weak](UIBarButtonItem&) {
        if (auto me = weak.lock())
            me->showSelectedOnMap();
    };
    if (selectedBookmarks_.empty()) {
        item->setRightBarButtonItem(
            std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, show));
        return;
    }
    const std::string title = NSLocalizedString("Show");
    if (auto current = item->rightBarButtonItem(); current && current->title() == title)
        return;
    item->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(title, UIBarButtonItemStyleDone, show));
}

void CBBookmarksTableVC::toggleSelectionOfBookmarkWithGesture(UIGestureRecognizer& gesture) {
    if (gesture.state() != UIGestureRecognizerStateEnded)
        return;
    auto accessory = std::dynamic_pointer_cast<CBCellAccessoryView>(gesture.view());
    auto table = accessory ? accessory->tableView() : nullptr;
    auto cell = accessory ? accessory->tableCell() : nullptr;
    auto path = table && cell ? table->indexPathForCell(*cell) : std::nullopt;
    if (!path)
        return;
    toggleSelectionOfBookmark(objectForTableAtIndexPath(*table, *path));
    configureCellOfTableAtIndexPath(*cell, *table, *path);
}

void CBBookmarksTableVC::toggleSelectionOfBookmark(const std::shared_ptr<CBGeoObject>& bookmark) {
    if (!bookmark)
        return;
    const std::string identifier = identifierOf(*bookmark);
    if (!selectedBookmarks_.erase(identifier))
        selectedBookmarks_.insert(identifier);
    selectionOccured_ = true;
    updateSelectionButtons();
}

// Chooses none only when every bookmark listed is chosen: under a search the
// choice may hold as many bookmarks outside the matches.
void CBBookmarksTableVC::toggleSelectionOfAllBookmarks(UIGestureRecognizer& gesture) {
    if (gesture.state() != UIGestureRecognizerStateBegan)
        return;
    auto controller = fetchedResultsController();
    bool all = controller != nullptr;
    if (controller)
        for (const auto& object : controller->fetchedObjects())
            all = all && selectedBookmarks_.count(identifierOf(*object)) > 0;
    if (all)
        deselectAllBookmarks();
    else
        selectAllBookmarks();
}

void CBBookmarksTableVC::selectAllBookmarks() {
    if (auto controller = fetchedResultsController())
        for (const auto& object : controller->fetchedObjects())
            if (!object->objectID().isTemporaryID())
                selectedBookmarks_.insert(identifierOf(*object));
    selectionOccured_ = true;
    tableView()->reloadData();
    if (isSearching())
        searchDisplayController()->searchResultsTableView()->reloadData();
    updateSelectionButtons();
}

void CBBookmarksTableVC::deselectAllBookmarks() {
    if (auto controller = fetchedResultsController())
        for (const auto& object : controller->fetchedObjects())
            selectedBookmarks_.erase(identifierOf(*object));
    tableView()->reloadData();
    if (isSearching())
        searchDisplayController()->searchResultsTableView()->reloadData();
    updateSelectionButtons();
}

// The chosen bookmarks replace the places on the map; none clears them.
void CBBookmarksTableVC::showSelectedOnMap() {
    std::vector<CBAnnotationRef> annotations;
    auto context = manager_ ? manager_->managedObjectContext() : nullptr;
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    for (const auto& identifier : selectedBookmarks_) {
        if (!coordinator)
            break;
        const auto objectID = coordinator->managedObjectIDForURIRepresentation(identifier);
        auto bookmark =
            objectID.isNull()
                ? nullptr
                : std::dynamic_pointer_cast<CBGeoObject>(context->existingObjectWithID(objectID));
        if (bookmark)
            annotations.push_back(std::make_shared<CBGeoObjectAnnotation>(bookmark));
    }
    if (auto map = mapViewController())
        map->presentAnnotationsCentered(annotations, true);
}

void CBBookmarksTableVC::dismiss() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBBookmarksTableVC::controllerWillChangeContent(NSFetchedResultsController&) {
    if (tableFollowsChanges())
        tableView()->beginUpdates();
}

void CBBookmarksTableVC::controllerDidChangeSectionAtIndexForChangeType(
    NSFetchedResultsController&, const NSFetchedResultsSectionInfo&, size_t sectionIndex,
    NSFetchedResultsChangeType type) {
    if (!tableFollowsChanges())
        return;
    if (type == NSFetchedResultsChangeType::Insert)
        tableView()->insertSectionsWithRowAnimation({long(sectionIndex)},
                                                    UITableViewRowAnimationFade);
    else if (type == NSFetchedResultsChangeType::Delete)
        tableView()->deleteSectionsWithRowAnimation({long(sectionIndex)},
                                                    UITableViewRowAnimationFade);
}

void CBBookmarksTableVC::controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
    NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>& object,
    std::optional<NSIndexPath> indexPath, NSFetchedResultsChangeType type,
    std::optional<NSIndexPath> newIndexPath) {
    if (type == NSFetchedResultsChangeType::Delete && object)
        selectedBookmarks_.erase(identifierOf(*object));
    updateSelectionButtons();
    if (!tableFollowsChanges())
        return;
    auto table = tableView();
    switch (type) {
        case NSFetchedResultsChangeType::Insert:
            if (newIndexPath)
                table->insertRowsAtIndexPathsWithRowAnimation({*newIndexPath},
                                                              UITableViewRowAnimationFade);
            break;
        case NSFetchedResultsChangeType::Delete:
            if (indexPath)
                table->deleteRowsAtIndexPathsWithRowAnimation({*indexPath},
                                                              UITableViewRowAnimationFade);
            break;
        case NSFetchedResultsChangeType::Move:
            if (indexPath)
                table->deleteRowsAtIndexPathsWithRowAnimation({*indexPath},
                                                              UITableViewRowAnimationFade);
            if (newIndexPath)
                table->insertRowsAtIndexPathsWithRowAnimation({*newIndexPath},
                                                              UITableViewRowAnimationFade);
            break;
        case NSFetchedResultsChangeType::Update:
            if (indexPath)
                if (auto cell = table->cellForRowAtIndexPath(*indexPath))
                    configureCellOfTableAtIndexPath(*cell, *table, *indexPath);
            break;
    }
}

void CBBookmarksTableVC::controllerDidChangeContent(NSFetchedResultsController&) {
    updateDisplayOfInstructions();
    if (isSearching()) {
        updateFetchPredicate();
        searchDisplayController()->searchResultsTableView()->reloadData();
    } else if (sortByDistance()) {
        sortObjectsByDistance();
        tableView()->reloadData();
    } else if (tableView()) {
        tableView()->endUpdates();
    }
}
