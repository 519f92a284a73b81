#pragma once

#include <memory>
#include <vector>

#include "UIKit/UITableViewController.h"

class CBGeoDataManager;
class CBGeoObject;
class CBCurrentMap;
class CBPlacesHost;

// The named places that share an address with a street, by name: a tap
// shows the place on the map, its detail button opens its own screen.
class CBGeoObjectNearbyPOITable : public UITableViewController {
  public:
    // initWithStyle:
    CBGeoObjectNearbyPOITable(std::weak_ptr<CBPlacesHost> host,
                              std::shared_ptr<CBCurrentMap> currentMap,
                              UITableViewStyle style = UITableViewStylePlain);

    const std::shared_ptr<CBGeoObject>& object() const { return object_; }
    void setObject(std::shared_ptr<CBGeoObject> street) { object_ = std::move(street); }
    bool isOnMap() const { return isOnMap_; }
    void setIsOnMap(bool flag) { isOnMap_ = flag; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }
    const std::vector<std::shared_ptr<CBGeoObject>>& nearbyObjects() const {
        return nearbyObjects_;
    }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;
    void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView& table,
                                                           const NSIndexPath&) override;

  private:
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::shared_ptr<CBGeoObject> object_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::vector<std::shared_ptr<CBGeoObject>> nearbyObjects_;
    bool isOnMap_ = false;
};
