#pragma once

#include <memory>
#include <vector>

#include "Foundation/Value.h"
#include "UIKit/UITableView.h"
#include "model/CBCityGuide.h"
#include "widgets/CBViewControllerWithMapSortBar.h"

class CBGeoDataManager;
class CBGeoObject;
class CBCurrentMap;
class CBPlacesHost;

// The places of the map shown that carry a tag of a filter: a category of
// the city guide, or one first letter, by name in letter sections (or by
// distance), searchable, shown on the map from the header button; a place
// opens its detail screen. Reopened, the guide scrolls the list back to
// where it was left.
class CBCityCategoryGuide : public CBViewControllerWithMapSortBar {
  public:
    static constexpr long kSectionIndexMinimumDisplayRowCount = 10;

    CBCityCategoryGuide(UITableViewStyle style, CBGuideTagFilter tagFilter,
                        std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap,
                        std::weak_ptr<CBAnnotationsPresenter> presenter);

    const CBGuideTagFilter& tagFilter() const { return tagFilter_; }
    void setTagFilter(CBGuideTagFilter filter);
    const std::vector<std::shared_ptr<CBGeoTag>>& tagsForFilter() const { return tagsForFilter_; }
    bool showUnnamedObjects() const { return showUnnamedObjects_; }
    void setShowUnnamedObjects(bool flag) { showUnnamedObjects_ = flag; }
    // Sections of the first two letters of the names, and no pin button.
    bool twoLetterIndex() const { return twoLetterIndex_; }
    void setTwoLetterIndex(bool flag) { twoLetterIndex_ = flag; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager);

    // The place of a row of the list or of the search results.
    std::shared_ptr<CBGeoObject> objectForTableViewAtIndexPath(UITableView& table,
                                                               const NSIndexPath& indexPath);
    void updateTagsForFilter();
    void updateFetchPredicate();
    void rememberScrollPosition();
    void dismiss();

    std::shared_ptr<NSFetchedResultsController> newFetchedResultsController() override;
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    void searchDisplayControllerWillEndSearch(UISearchDisplayController&) override;
    void searchDisplayControllerDidLoadSearchResultsTableView(UISearchDisplayController&,
                                                              UITableView& table) override;

  private:
    UITableViewStyle tableViewStyle_;
    CBGuideTagFilter tagFilter_;
    std::vector<std::shared_ptr<CBGeoTag>> tagsForFilter_;
    bool showUnnamedObjects_ = false;
    bool twoLetterIndex_ = false;
    bool firstAppearance_ = true;
    bool hideToolbarOnDisappear_ = false;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    // The map's tag translations, read once for the rows.
    Value translations_;
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
};
