#include "places/CBGeoObjectNearbyPOITable.h"

#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "UIKit/UINavigationController.h"
#include "model/CBPlaceTexts.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlaceIcons.h"
#include "places/CBPlacesHost.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

}  // namespace

CBGeoObjectNearbyPOITable::CBGeoObjectNearbyPOITable(std::weak_ptr<CBPlacesHost> host,
                                                     std::shared_ptr<CBCurrentMap> currentMap,
                                                     UITableViewStyle style)
    : UITableViewController(style), host_(std::move(host)), currentMap_(std::move(currentMap)) {}

void CBGeoObjectNearbyPOITable::viewDidLoad() {
    UITableViewController::viewDidLoad();
    if (!object_)
        return;
    setTitle(CBTextForDisplay(object_->displayName().value_or("")));
    nearbyObjects_.clear();
    // Only addresses the street shares name places: one that only the
    // street has adds nothing. A place at two of them is listed twice.
    for (const auto& address : object_->addresses()) {
        const auto objects = address->objects();
        if (objects.size() < 2)
            continue;
        for (const auto& place : objects)
            if (!place->isHighway() && place->name())
                nearbyObjects_.push_back(place);
    }
    std::stable_sort(nearbyObjects_.begin(), nearbyObjects_.end(),
                     [](const auto& a, const auto& b) { return *a->name() < *b->name(); });
}

void CBGeoObjectNearbyPOITable::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, true, animated);
}

bool CBGeoObjectNearbyPOITable::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

long CBGeoObjectNearbyPOITable::tableViewNumberOfRowsInSection(UITableView&, long) {
    return long(nearbyObjects_.size());
}

std::shared_ptr<UITableViewCell> CBGeoObjectNearbyPOITable::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
        cell->setAccessoryType(UITableViewCellAccessoryDetailDisclosureButton);
    }
    if (size_t(indexPath.row) < nearbyObjects_.size()) {
        auto& place = *nearbyObjects_[size_t(indexPath.row)];
        cell->textLabel()->setText(CBTextForDisplay(place.displayName().value_or("")));
        CBSetMaskedIconOfCell(*cell, CBIconForObject(place), view()->tintColor());
    }
    return cell;
}

void CBGeoObjectNearbyPOITable::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                                 const NSIndexPath& indexPath) {
    table.deselectRowAtIndexPathAnimated(indexPath, true);
    auto host = host_.lock();
    if (!host || size_t(indexPath.row) >= nearbyObjects_.size())
        return;
    host->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        nearbyObjects_[size_t(indexPath.row)]->objectID(), std::nullopt, false);
}

void CBGeoObjectNearbyPOITable::tableViewAccessoryButtonTappedForRowWithIndexPath(
    UITableView&, const NSIndexPath& indexPath) {
    if (size_t(indexPath.row) >= nearbyObjects_.size())
        return;
    auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_, currentMap_);
    screen->setObject(
        CBGeoSearchResult::geoSearchResultWithObject(nearbyObjects_[size_t(indexPath.row)]));
    screen->setIsOnMap(isOnMap_);
    screen->setDataManager(dataManager_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(screen, true);
}
