#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIImage.h"
#include "UIKit/UITableViewController.h"
#include "model/CBCityGuide.h"

class CBAnnotationsPresenter;
class CBCityCategoryGuide;
class CBGeoDataManager;
class CBCurrentMap;
class CBPlacesHost;

// The categories of one section of the city guide, each with its icon and
// the number of places of the map shown under it; categories without
// places are left out. A category opens its place list.
class CBCityCategoriesVC : public UITableViewController {
  public:
    CBCityCategoriesVC(UITableViewStyle style, long categoryIndex,
                       std::vector<CBCityGuideSection> content, std::weak_ptr<CBPlacesHost> host,
                       std::shared_ptr<CBCurrentMap> currentMap,
                       std::weak_ptr<CBAnnotationsPresenter> presenter);

    long categoryIndex() const { return categoryIndex_; }
    // The counts of the rows counted so far, by table section.
    const std::map<long, long>& counterDict() const { return counterDict_; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }

    // The row shown as table section `section`; nullptr beyond the rows.
    const CBCityGuideRow* contentForRowAtIndexPath(long section) const;
    // Counted once while the view is loaded.
    long counterForRowAtIndexpath(long section);
    // Opens the place list remembered when the guide was last closed.
    void makePersistent();
    std::shared_ptr<CBCityCategoryGuide>
    openCityCategoryGuideWithTitleAndTagsAndShowUnnamedAnimated(const std::string& title,
                                                                const CBGuideTagFilter& tags,
                                                                bool showUnnamed, bool animated);
    // Forgets the remembered place list, and the section too when asked.
    static void resetGuidePersistenceIncludingTopPosition(bool topPosition);
    void dismiss();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

  private:
    struct RowIcon {
        UIImageRef image;
        UIImageRef highlighted;
    };
    // The row's icon; a row without one gets a clear one of the same size,
    // so every name starts where the others do.
    RowIcon iconOfRow(const CBCityGuideRow* row);
    RowIcon drawnIcon(const std::string& name);

    long categoryIndex_;
    std::vector<CBCityGuideSection> content_;
    std::map<long, long> counterDict_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::weak_ptr<CBAnnotationsPresenter> presenter_;
    std::optional<CGSize> iconSize_;
};
