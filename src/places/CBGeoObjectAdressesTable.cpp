#include "places/CBGeoObjectAdressesTable.h"

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "UIKit/UINavigationController.h"
#include "model/CBPlaceTexts.h"
#include "places/CBPlaceScreens.h"
#include "places/CBPlacesHost.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

}  // namespace

CBGeoObjectAdressesTable::CBGeoObjectAdressesTable(std::weak_ptr<CBPlacesHost> host,
                                                   UITableViewStyle style)
    : UITableViewController(style), host_(std::move(host)) {}

void CBGeoObjectAdressesTable::viewDidLoad() {
    UITableViewController::viewDidLoad();
    if (!object_)
        return;
    setTitle(CBTextForDisplay(object_->name().value_or("")));
    addresses_ = object_->sortedAddresses().value_or(std::vector<std::shared_ptr<CBGeoAddress>>{});
}

void CBGeoObjectAdressesTable::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    CBPlaceScreenHideToolbar(*this, animated);
}

bool CBGeoObjectAdressesTable::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBPlaceScreenShouldAutorotateToInterfaceOrientation(orientation);
}

long CBGeoObjectAdressesTable::tableViewNumberOfRowsInSection(UITableView&, long) {
    return long(addresses_.size());
}

std::shared_ptr<UITableViewCell> CBGeoObjectAdressesTable::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleValue1, kCellIdentifier);
    if (size_t(indexPath.row) < addresses_.size()) {
        auto& address = *addresses_[size_t(indexPath.row)];
        cell->textLabel()->setText(CBTextForDisplay(address.houseNumber().value_or("")));
        cell->detailTextLabel()->setText(CBTextForDisplay(address.zipCode().value_or("")));
    }
    return cell;
}

void CBGeoObjectAdressesTable::tableViewDidSelectRowAtIndexPath(UITableView&,
                                                                const NSIndexPath& indexPath) {
    auto host = host_.lock();
    if (!host || !object_ || size_t(indexPath.row) >= addresses_.size())
        return;
    host->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        object_->objectID(), addresses_[size_t(indexPath.row)]->objectID(), false);
}
