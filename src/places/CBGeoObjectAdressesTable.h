#pragma once

#include <memory>
#include <vector>

#include "UIKit/UITableViewController.h"

class CBGeoAddress;
class CBGeoObject;
class CBPlacesHost;

// The house numbers of a street, in the order of their numbers ("8" before
// "11"), each with its post code; a tap shows the street at that number on
// the map.
class CBGeoObjectAdressesTable : public UITableViewController {
  public:
    // initWithStyle:
    explicit CBGeoObjectAdressesTable(std::weak_ptr<CBPlacesHost> host,
                                      UITableViewStyle style = UITableViewStylePlain);

    const std::shared_ptr<CBGeoObject>& object() const { return object_; }
    void setObject(std::shared_ptr<CBGeoObject> street) { object_ = std::move(street); }
    bool isOnMap() const { return isOnMap_; }
    void setIsOnMap(bool flag) { isOnMap_ = flag; }
    const std::vector<std::shared_ptr<CBGeoAddress>>& addresses() const { return addresses_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

  private:
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBGeoObject> object_;
    std::vector<std::shared_ptr<CBGeoAddress>> addresses_;
    bool isOnMap_ = false;
};
