#pragma once

#include <memory>
#include <set>
#include <string>

#include "CoreData/NSFetchedResultsController.h"
#include "Foundation/Value.h"
#include "UIKit/UIButton.h"
#include "widgets/CBViewControllerWithMapSortBar.h"

class CBBookmarksManager;
class CBGeoDataManager;
class CBGeoObject;
class CBCurrentMap;
class CBPlacesHost;
class UIGestureRecognizer;

// The button at the end of a bookmark's row that shows, and toggles,
// whether the bookmark is pinned on the map; it knows the row it is in.
class CBCellAccessoryView : public UIButton {
  public:
    using UIButton::UIButton;
    std::shared_ptr<UITableView> tableView() const { return tableView_.lock(); }
    void setTableView(std::weak_ptr<UITableView> table) { tableView_ = std::move(table); }
    std::shared_ptr<UITableViewCell> tableCell() const { return tableCell_.lock(); }
    void setTableCell(std::weak_ptr<UITableViewCell> cell) { tableCell_ = std::move(cell); }

  private:
    std::weak_ptr<UITableView> tableView_;
    std::weak_ptr<UITableViewCell> tableCell_;
};

// The bookmarks of the map shown, by name in letter sections (or by
// distance), searchable; deleted with Edit or a swipe; a bookmark opens its
// place screen. The button of each row chooses whether it is pinned: the
// choice starts from the map's pins, a long press chooses all or none, and
// "Show" puts the chosen ones on the map.
class CBBookmarksTableVC : public CBViewControllerWithMapSortBar,
                           public NSFetchedResultsControllerDelegate {
  public:
    static constexpr long kSectionIndexMinimumDisplayRowCount = 10;
    static constexpr long kTabBarItemTag = 2;

    // The bookmarks of the current map, their store possibly closed (no map).
    CBBookmarksTableVC(std::shared_ptr<CBCurrentMap> currentMap, std::weak_ptr<CBPlacesHost> host,
                       std::weak_ptr<CBAnnotationsPresenter> presenter);

    const std::shared_ptr<CBBookmarksManager>& manager() const { return manager_; }
    // The geo store of the map, for the place screens.
    void setMapDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        mapDataManager_ = std::move(manager);
    }
    // The identifiers (object ID URIs) of the bookmarks chosen for the map.
    const std::set<std::string>& selectedBookmarks() const { return selectedBookmarks_; }
    bool selectionOccured() const { return selectionOccured_; }
    const std::shared_ptr<UIView>& noBookmarksInstructionsView() const {
        return noBookmarksInstructionsView_;
    }
    const std::shared_ptr<UILabel>& noBookmarkInstructionsLabelTop() const {
        return noBookmarkInstructionsLabelTop_;
    }
    const std::shared_ptr<UILabel>& noBookmarkInstructionsLabelBottom() const {
        return noBookmarkInstructionsLabelBottom_;
    }
    // The map screen, which pins the bookmarks.
    std::shared_ptr<CBAnnotationsPresenter> mapViewController() const { return presenter(); }
    bool showsInstructions() const;

    void updateDisplayOfInstructions();
    std::shared_ptr<CBGeoObject> objectForTableAtIndexPath(UITableView& table,
                                                           const NSIndexPath& indexPath);
    void configureCellOfTableAtIndexPath(UITableViewCell& cell, UITableView& table,
                                         const NSIndexPath& indexPath);
    void updateFetchPredicate();
    void updateSelectionButtons();
    // A tap on a row's button, and a long press on any of them.
    void toggleSelectionOfBookmarkWithGesture(UIGestureRecognizer& gesture);
    void toggleSelectionOfAllBookmarks(UIGestureRecognizer& gesture);
    void toggleSelectionOfBookmark(const std::shared_ptr<CBGeoObject>& bookmark);
    // Chooses the bookmarks listed now (the matches of a search), or lets
    // them go.
    void selectAllBookmarks();
    void deselectAllBookmarks();
    void showSelectedOnMap();
    void dismiss();

    std::shared_ptr<NSFetchedResultsController> newFetchedResultsController() override;
    // One controller serves the list and the search: a search narrows it.
    NSFetchedResultsController* resultsControllerForTableView(const UITableView&) override;
    void setupTitleView() override;
    void setEditingAnimated(bool editing, bool animated) override;
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // The help text stands in the room the screen has, upright or turned.
    void viewDidLayoutSubviews() override;
    void viewWillDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    std::vector<std::string> sectionIndexTitlesForTableView(UITableView& table) override;
    std::optional<long> tableViewSectionForSectionIndexTitleAtIndex(UITableView& table,
                                                                    const std::string& title,
                                                                    long index) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView& table,
                                                                long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView&, UITableViewCellEditingStyle,
                                                      const NSIndexPath&) override;
    bool tableViewAllowsSwipeToDelete(UITableView&) override { return true; }
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

    void searchDisplayControllerDidLoadSearchResultsTableView(UISearchDisplayController&,
                                                              UITableView& table) override;
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    void searchDisplayControllerWillEndSearch(UISearchDisplayController&) override;

    void controllerWillChangeContent(NSFetchedResultsController&) override;
    void controllerDidChangeSectionAtIndexForChangeType(NSFetchedResultsController&,
                                                        const NSFetchedResultsSectionInfo&,
                                                        size_t sectionIndex,
                                                        NSFetchedResultsChangeType) override;
    void controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
        NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>& object,
        std::optional<NSIndexPath> indexPath, NSFetchedResultsChangeType type,
        std::optional<NSIndexPath> newIndexPath) override;
    void controllerDidChangeContent(NSFetchedResultsController&) override;

  private:
    std::shared_ptr<CBBookmarksTableVC> self();
    bool isSearching() const;
    // Whether the list table follows the controller's changes row by row.
    bool tableFollowsChanges() const;
    static std::string identifierOf(NSManagedObject& object);

    std::shared_ptr<CBBookmarksManager> manager_;
    std::shared_ptr<CBGeoDataManager> mapDataManager_;
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::set<std::string> selectedBookmarks_;
    bool selectionOccured_ = false;
    std::shared_ptr<UIView> noBookmarksInstructionsView_;
    std::shared_ptr<UILabel> noBookmarkInstructionsLabelTop_;
    std::shared_ptr<UILabel> noBookmarkInstructionsLabelBottom_;
    // The search is closing: the list shows every bookmark again.
    bool endingSearch_ = false;
    Value translations_;
};
