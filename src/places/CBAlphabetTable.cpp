#include "places/CBAlphabetTable.h"

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPredicate.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "model/CBCityGuideState.h"
#include "places/CBCityCategoryGuide.h"
#include "widgets/CBScreenRotation.h"

namespace {
constexpr const char* kCellIdentifier = "Cell";
}  // namespace

CBAlphabetTable::CBAlphabetTable(UITableViewStyle style, std::weak_ptr<CBPlacesHost> host,
                                 std::shared_ptr<CBCurrentMap> currentMap,
                                 std::weak_ptr<CBAnnotationsPresenter> presenter)
    : UITableViewController(style),
      host_(std::move(host)),
      currentMap_(std::move(currentMap)),
      presenter_(std::move(presenter)) {}

void CBAlphabetTable::reloadData() {
    alphabet_.clear();
    auto context = dataManager_ ? dataManager_->managedObjectContext() : nullptr;
    if (!context)
        return;
    NSFetchRequest request(CBGeoTag::kEntityName);
    request.predicate = NSPredicate::predicateWithFormat("key = %@", {kFirstLetterTagKey});
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("attribute", true)};
    auto found = context->executeFetchRequest(request);
    if (!found)
        return;
    for (const auto& object : *found)
        if (auto tag = std::dynamic_pointer_cast<CBGeoTag>(object))
            alphabet_.push_back(std::move(tag));
}

void CBAlphabetTable::viewDidLoad() {
    UITableViewController::viewDidLoad();
    reloadData();
}

std::shared_ptr<UITableViewCell> CBAlphabetTable::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
    const auto& tag = alphabet_.at(size_t(indexPath.row));
    cell->textLabel()->setText(tag->attribute() + "...");
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    return cell;
}

void CBAlphabetTable::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) {
    openLetterAtIndex(indexPath.row, true);
}

std::shared_ptr<CBCityCategoryGuide> CBAlphabetTable::openLetterAtIndex(long row, bool animated) {
    if (row < 0 || size_t(row) >= alphabet_.size())
        return nullptr;
    const auto& tag = alphabet_[size_t(row)];
    auto list = std::make_shared<CBCityCategoryGuide>(UITableViewStylePlain, tagFilter_, host_,
                                                      currentMap_, presenter_);
    list->setTitle(title() + ": " + tag->attribute() + "...");
    list->setTagFilter({{tag->key(), tag->attribute()}});
    list->setTwoLetterIndex(true);
    list->setDataManager(dataManager_);
    CBCityGuideState::setLastPlaceList({list->title(), list->tagFilter(), false}, false);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(list, animated);
    return list;
}

void CBAlphabetTable::dismiss() {
    if (auto navigation = navigationController())
        navigation->dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBAlphabetTable::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    if (auto navigation = navigationController()) {
        navigation->navigationBar()->setBarStyle(UIBarStyleDefault);
        navigation->setToolbarHiddenAnimated(true, false);
    }
}

void CBAlphabetTable::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    CBCityGuideState::forgetLastPlaceList();
}

bool CBAlphabetTable::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}
