#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationManager.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UIViewController.h"
#include "location/CBLocationManagerDelegate.h"
#include "mapkit/CBAnnotation.h"

class CBAnnotationsPresenter;
class NSFetchedResultsController;
class NSManagedObject;
class UIButton;
class UILabel;
class UITableView;
enum UITableViewStyle : long;

// The base of the lists of places (or articles) of the map shown, fetched
// from its store: the table's sections and index, a search bar with its
// results table, a title that switches between name order and distance
// order, and a header button that shows the listed places on the map.
// Subclasses make the fetch (newFetchedResultsController), perform it, and
// hand out the cells; they set the table before the view loads.
class CBViewControllerWithMapSortBar : public UIViewController,
                                       public CLLocationManagerDelegate,
                                       public CBLocationManagerDelegate,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate,
                                       public UISearchDisplayDelegate,
                                       public UISearchBarDelegate {
  public:
    // What the show-on-map button does.
    enum OpenMapMode : unsigned { kOpenMapNone = 0, kOpenMapAll = 1, kOpenMapNearest = 2 };
    // Lists longer than this show their nearest places only.
    static constexpr size_t kMaximumObjectsOnMap = 25;
    static constexpr long kSectionIndexMinimumDisplayRowCount = 15;

    explicit CBViewControllerWithMapSortBar(std::weak_ptr<CBAnnotationsPresenter> presenter);
    ~CBViewControllerWithMapSortBar() override;

    // The list's fetch, new on each call; the base logs and answers nullptr.
    virtual std::shared_ptr<NSFetchedResultsController> newFetchedResultsController();
    // Made on first use, each from newFetchedResultsController.
    const std::shared_ptr<NSFetchedResultsController>& fetchedResultsController();
    const std::shared_ptr<NSFetchedResultsController>& searchResultsController();
    // The list's controller for the list table, the search's for the results.
    virtual NSFetchedResultsController* resultsControllerForTableView(const UITableView& table);

    // Set before the view loads: YES gives the header its show-on-map button.
    bool showPinButton() const { return showPinButton_; }
    void setShowPinButton(bool flag) { showPinButton_ = flag; }
    bool sortByDistance() const { return sortByDistance_; }
    bool sortTitleViewToggleStateDistance() const { return sortTitleViewToggleStateDistance_; }
    bool showOnMapAfterNextLocationUpdate() const { return showOnMapAfterNextLocationUpdate_; }
    // The fetched objects nearest first; nullopt until first sorted.
    const std::optional<std::vector<std::shared_ptr<NSManagedObject>>>& objectsSortedByDistance()
        const {
        return objectsSortedByDistance_;
    }

    const std::shared_ptr<UITableView>& tableView() const { return tableView_; }
    void setTableView(std::shared_ptr<UITableView> table) { tableView_ = std::move(table); }
    const std::shared_ptr<UISearchBar>& searchBar() const { return searchBar_; }
    const std::shared_ptr<UISearchDisplayController>& searchDisplayController() const {
        return searchDisplayController_;
    }
    const std::shared_ptr<UIView>& tableHeaderView() const { return tableHeaderView_; }
    const std::shared_ptr<UIButton>& showOnMapButton() const { return showOnMapButton_; }
    const std::shared_ptr<UIButton>& sortTitleViewButton() const { return sortTitleViewButton_; }
    const std::shared_ptr<UILabel>& sortTitleViewSubtitleLabel() const {
        return sortTitleViewSubtitleLabel_;
    }
    // The screen's own platform location manager, made when the screen
    // appears, that reports changes of the authorisation.
    const std::shared_ptr<CLLocationManager>& locationManager() const { return locationManager_; }

    void sortObjectsByDistance();
    void sortTableByDistance();
    void toggleSorting();
    void getUserLocation();
    // The title that switches the order, while locations may be used and
    // one is known; the plain title otherwise.
    virtual void setupTitleView();
    void sizeTitleViewToFit();
    void setSortTitleViewSubtitleTextForCurrentState();
    void layoutTableHeaderView();
    OpenMapMode openMapMode();
    void configureOpenMapButtonTitle();
    // Hands the listed places (all, or the nearest) to the map screen.
    void showOnMap();

    // The object of a row: the row-th nearest of the list in distance
    // order, else the table's results controller's.
    std::shared_ptr<NSManagedObject> objectAtIndexPathOfTable(UITableView& table,
                                                              const NSIndexPath& indexPath);

    // How far an object is from the location service's last fix, and the
    // pin it makes on the map; geo objects answer by default.
    virtual std::optional<double> distanceOfObject(NSManagedObject& object);
    virtual CBAnnotationRef annotationForObject(const std::shared_ptr<NSManagedObject>& object);

    void setTitle(const std::string& title) override;
    void setEditingAnimated(bool editing, bool animated) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    // The table data of both the list and the search results.
    long numberOfSectionsInTableView(UITableView& table) override;
    long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
    // The base logs and answers nullptr.
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override;
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView& table) override;
    std::optional<long> tableViewSectionForSectionIndexTitleAtIndex(UITableView& table,
                                                                    const std::string& title,
                                                                    long index) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView& table,
                                                                long section) override;

    void searchDisplayControllerWillBeginSearch(UISearchDisplayController&) override;
    void searchDisplayControllerDidEndSearch(UISearchDisplayController&) override;

    void locationManagerDidUpdateToLocationFromLocation(CBLocationManager&,
                                                        std::shared_ptr<CLLocation>,
                                                        std::shared_ptr<CLLocation>) override;
    void locationManagerDidUpdateHeading(CBLocationManager&, std::shared_ptr<CLHeading>) override {}
    void locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                     CLAuthorizationStatus status) override;

  protected:
    // Makes the list's table, of the screen's size and answered by the list,
    // the screen's view.
    void loadTableViewAsView(UITableViewStyle style);
    // Fetches the search's results with the predicate set, logging a
    // failure, and shows them.
    void performSearchFetchAndReload();
    // Whether the table is the list (not the search results) in distance order.
    bool showsDistanceOrder(const UITableView& table) const;
    std::shared_ptr<CBAnnotationsPresenter> presenter() const { return presenter_.lock(); }
    // The last fix of the location service.
    static std::shared_ptr<CLLocation> currentLocation();

  private:
    std::weak_ptr<CBAnnotationsPresenter> presenter_;
    bool showPinButton_ = false;
    bool sortByDistance_ = false;
    bool showOnMapAfterNextLocationUpdate_ = false;
    std::shared_ptr<UITableView> tableView_;
    std::optional<std::vector<std::shared_ptr<NSManagedObject>>> objectsSortedByDistance_;
    std::shared_ptr<NSFetchedResultsController> fetchedResultsController_;
    std::shared_ptr<NSFetchedResultsController> searchResultsController_;
    std::shared_ptr<UISearchDisplayController> searchDisplayController_;
    bool sortTitleViewToggleStateDistance_ = false;
    std::shared_ptr<UIButton> showOnMapButton_;
    std::shared_ptr<UISearchBar> searchBar_;
    std::shared_ptr<UIButton> sortTitleViewButton_;
    std::shared_ptr<UILabel> sortTitleViewSubtitleLabel_;
    std::shared_ptr<UIView> tableHeaderView_;
    std::shared_ptr<CLLocationManager> locationManager_;
    // Whether the list follows the location service for one fix: asked for
    // (an order or a show-on-map request), or to show distances at all.
    bool waitsForFix_ = false;
    bool awaitsFirstFix_ = false;
    // The list started the location service, which nothing ran before.
    bool startedLocationUpdates_ = false;
    void awaitFirstFix();
};
