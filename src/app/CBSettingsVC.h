#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UITableViewController.h"

class CBDiskTileCache;
class UINavigationController;

// The settings: the distance unit (kilometres or miles), which the map's
// scale bar follows, the compass calibration warning, clearing the tile
// cache and the map data attribution with the map engine's version.
class CBSettingsVC : public UITableViewController {
  public:
    // The settings screen in a navigation controller with a Done button;
    // the attribution row opens the map's licence file when there is one.
    static std::shared_ptr<UINavigationController> settingsController(
        const std::optional<std::string>& licencePath = std::nullopt);
    CBSettingsVC();

    // The cache the clearing row empties: the one set, else the map screen's,
    // else one of its own over the same folder.
    std::shared_ptr<CBDiskTileCache> tileCache() const;
    void setTileCache(std::shared_ptr<CBDiskTileCache> cache) { tileCache_ = std::move(cache); }

    void viewDidLoad() override;
    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  private:
    std::optional<std::string> licenceText_;
    mutable std::shared_ptr<CBDiskTileCache> tileCache_;
};

// Posted when the distance unit changed ("km" in the user defaults).
inline constexpr const char* CBUnitsDidChangeNotification = "CBUnitsDidChangeNotification";
