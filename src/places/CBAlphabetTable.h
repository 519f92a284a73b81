#pragma once

#include <memory>
#include <vector>

#include "UIKit/UITableViewController.h"
#include "model/CBCityGuide.h"

class CBAnnotationsPresenter;
class CBCityCategoryGuide;
class CBGeoDataManager;
class CBGeoTag;
class CBCurrentMap;
class CBPlacesHost;

// The first letters under which the places of the map shown are filed;
// a letter opens the list of the named places that begin with it, in
// sections of their first two letters. A map without letter tags (an older
// package) shows an empty list.
class CBAlphabetTable : public UITableViewController {
  public:
    static constexpr const char* kFirstLetterTagKey = "firstLetter";

    CBAlphabetTable(UITableViewStyle style, std::weak_ptr<CBPlacesHost> host,
                    std::shared_ptr<CBCurrentMap> currentMap,
                    std::weak_ptr<CBAnnotationsPresenter> presenter);

    const std::vector<std::shared_ptr<CBGeoTag>>& alphabet() const { return alphabet_; }
    // Handed on to the place lists; the dial leaves it empty.
    const CBGuideTagFilter& tagFilter() const { return tagFilter_; }
    void setTagFilter(CBGuideTagFilter filter) { tagFilter_ = std::move(filter); }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }

    void reloadData();
    std::shared_ptr<CBCityCategoryGuide> openLetterAtIndex(long row, bool animated);
    void dismiss();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override {
        return long(alphabet_.size());
    }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

  private:
    std::vector<std::shared_ptr<CBGeoTag>> alphabet_;
    CBGuideTagFilter tagFilter_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::weak_ptr<CBAnnotationsPresenter> presenter_;
};
