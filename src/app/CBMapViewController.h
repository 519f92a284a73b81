#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UIViewController.h"
#include "mapkit/CBAnnotation.h"
#include "packages/CBUserMapStoreEngineDelegate.h"

class CBClearSearchBar;
class CBGeoSearchResult;
class CBMapScrollView;
class CBUserMapStoreEngine;
class UIAlertView;
struct CBKelvaraLink;

// The map screen: the current map, a search bar with type-ahead search over
// places and addresses, and the buttons to follow the user and open the
// settings. It follows the registry's current map.
class CBMapViewController : public UIViewController,
                            public CBUserMapStoreEngineDelegate,
                            public UISearchDisplayDelegate,
                            public UITableViewDataSource,
                            public UITableViewDelegate {
  public:
    // `fallbackStorePath`: the map shown when the registry has no current map.
    CBMapViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                        std::string fallbackStorePath);
    ~CBMapViewController() override;

    const std::shared_ptr<CBMapScrollView>& mapView() const { return mapView_; }
    const std::shared_ptr<CBClearSearchBar>& searchBar() const { return searchBar_; }
    // Whether a map is open.
    bool hasMap() const;

    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations, bool centered);
    std::vector<std::string> objectAnnotationIdentifiers() const;
    std::string basePathForTTImages() const;
    void dismissPopoverAnimated(bool animated);

    // Opens the installed map holding the link's point at its zoom with a pin;
    // false with a message shown when no installed map holds it.
    bool openLink(const CBKelvaraLink& link);

    // The search results shown (tests and benchmarks).
    const std::vector<std::shared_ptr<CBGeoSearchResult>>& searchResults() const {
        return results_;
    }
    // The second line of a hit's row: kind, locality and distance.
    std::string detailTextForResult(CBGeoSearchResult& result) const;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;

    void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreAddedMap(CBUserMapStoreEngine& registry, const Map& map) override;
    void userMapStoreUpdatedMap(CBUserMapStoreEngine& registry, const Map& map) override;
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

    void applicationDidMoveToBackground();
    // Offers a button back to the shelf that runs `action`; set before the view loads.
    void setShelfAction(std::function<void()> action) { shelfAction_ = std::move(action); }

  private:
    bool openMapWithStorePath(const std::string& path, bool firstOpening);
    void openCurrentMap();
    void showCoordinateAtZoomLevel(CLLocationCoordinate2D coordinate, int level);
    void selectWhenShown(const CBAnnotationRef& annotation);
    void showSettings();
    void showMessage(const std::string& title, const std::string& message);

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::string fallbackStorePath_;
    std::shared_ptr<CBMapScrollView> mapView_;
    std::shared_ptr<CBClearSearchBar> searchBar_;
    std::shared_ptr<UISearchDisplayController> searchDisplay_;
    std::vector<std::shared_ptr<CBGeoSearchResult>> results_;
    std::shared_ptr<UIAlertView> alert_;
    std::string mainCity_;
    // The geo store on show.
    std::string openedStorePath_;
    std::function<void()> shelfAction_;
};
