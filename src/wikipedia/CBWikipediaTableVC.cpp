#include "wikipedia/CBWikipediaTableVC.h"

#include "CBGeoData/CBGeoSearchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "model/CBWikipediaManager.h"
#include "widgets/CBFetchedResultsController.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"
#include "wikiguide/CBWikipediaArticle.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaViewer.h"

namespace {
constexpr const char* kCellIdentifier = "CellWiki";
constexpr size_t kFetchBatchSize = 20;

// An article is placed only when the store gave it both numbers.
bool hasPosition(CBWikipediaArticle& article) {
    return article.doubleForKey("latitude") && article.doubleForKey("longitude");
}
}  // namespace

CBWikipediaTableVC::CBWikipediaTableVC(CBWikipediaServices services)
    : CBViewControllerWithMapSortBar(services.host), services_(std::move(services)) {
    setTitle("Wikipedia");
}

std::shared_ptr<NSFetchedResultsController> CBWikipediaTableVC::newFetchedResultsController() {
    auto context = manager() ? manager()->managedObjectContext() : nullptr;
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    if (!coordinator || !coordinator->managedObjectModel() ||
        coordinator->persistentStores().empty())
        return nullptr;
    auto request = NSFetchRequest::fetchRequestWithEntityName(CBWikipediaArticle::kEntityName);
    request->fetchBatchSize = kFetchBatchSize;
    request->sortDescriptors = {
        NSSortDescriptor::sortDescriptorWithKey(
            "firstLetter", true, NSSortDescriptor::Comparison::LocalizedCaseInsensitive),
        NSSortDescriptor::sortDescriptorWithKey("title", true)};
    return std::make_shared<CBFetchedResultsController>(request, context, "firstLetter",
                                                        std::string());
}

std::optional<double> CBWikipediaTableVC::distanceOfObject(NSManagedObject& object) {
    auto* article = dynamic_cast<CBWikipediaArticle*>(&object);
    if (!article || !hasPosition(*article))
        return std::nullopt;
    return article->distanceFromLastLocation();
}

CBAnnotationRef CBWikipediaTableVC::annotationForObject(
    const std::shared_ptr<NSManagedObject>& object) {
    auto article = std::dynamic_pointer_cast<CBWikipediaArticle>(object);
    return article && hasPosition(*article)
               ? std::make_shared<CBWikipediaArticleAnnotation>(*article)
               : nullptr;
}

std::shared_ptr<CBWikipediaArticle> CBWikipediaTableVC::articleForTableIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    return std::dynamic_pointer_cast<CBWikipediaArticle>(
        objectAtIndexPathOfTable(table, indexPath));
}

// The search text is an argument of the per-word predicates, never part of
// their format.
void CBWikipediaTableVC::updateFetchPredicate() {
    auto controller = searchResultsController();
    if (!controller)
        return;
    std::shared_ptr<NSPredicate> predicate;
    if (auto display = searchDisplayController(); display && display->isActive() && manager())
        if (auto request = manager()->geoSearchRequestFromSearchText(
                manager()->canonicalStringFromString(searchBar()->text())))
            predicate = request->searchPredicate;
    controller->fetchRequest()->predicate = predicate;
    performSearchFetchAndReload();
}

void CBWikipediaTableVC::loadView() {
    loadTableViewAsView(UITableViewStylePlain);
}

void CBWikipediaTableVC::viewDidLoad() {
    setShowPinButton(true);
    CBViewControllerWithMapSortBar::viewDidLoad();
    tableView()->setSectionIndexMinimumDisplayRowCount(kSectionIndexMinimumDisplayRowCount);
    if (auto controller = fetchedResultsController())
        controller->performFetch();
    tableView()->reloadData();
}

void CBWikipediaTableVC::viewWillAppear(bool animated) {
    CBViewControllerWithMapSortBar::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, true, true);
}

void CBWikipediaTableVC::viewDidAppear(bool animated) {
    CBViewControllerWithMapSortBar::viewDidAppear(animated);
    CBScreenToolbar::setHidden(*this, true, true);
}

bool CBWikipediaTableVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

std::shared_ptr<UITableViewCell> CBWikipediaTableVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleValue1, kCellIdentifier);
        if (auto detail = cell->detailTextLabel())
            detail->setFont(UIFont::systemFontOfSize(12));
    }
    auto article = articleForTableIndexPath(table, indexPath);
    cell->textLabel()->setText(article ? article->title().value_or("") : "");
    const auto distance = article ? distanceOfObject(*article) : std::nullopt;
    if (auto detail = cell->detailTextLabel())
        detail->setText(distance ? stringWithDistanceFromFloat(float(*distance)) : "");
    return cell;
}

void CBWikipediaTableVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                          const NSIndexPath& indexPath) {
    table.deselectRowAtIndexPathAnimated(indexPath, true);
    auto article = articleForTableIndexPath(table, indexPath);
    auto navigation = navigationController();
    if (!article || !navigation)
        return;
    auto viewer = std::make_shared<CBWikipediaViewer>(services_);
    viewer->setArticle(article);
    if (manager())
        viewer->setBasePath(manager()->currentImgPath());
    viewer->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    navigation->pushViewControllerAnimated(viewer, true);
}

void CBWikipediaTableVC::searchDisplayControllerDidBeginSearch(UISearchDisplayController&) {
    CBScreenToolbar::setHidden(*this, true, true);
}

void CBWikipediaTableVC::searchDisplayControllerDidLoadSearchResultsTableView(
    UISearchDisplayController&, UITableView& table) {
    updateFetchPredicate();
    table.setSectionIndexMinimumDisplayRowCount(tableView()->sectionIndexMinimumDisplayRowCount());
}

// The results are reloaded here already.
bool CBWikipediaTableVC::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController&, const std::string&) {
    updateFetchPredicate();
    return false;
}

void CBWikipediaTableVC::searchDisplayControllerWillEndSearch(UISearchDisplayController&) {
    updateFetchPredicate();
    tableView()->reloadData();
}
