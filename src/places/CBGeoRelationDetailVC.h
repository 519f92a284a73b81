#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UIViewController.h"

class CBGeoDataManager;
class CBGeoObject;
class CBGeoRelation;
class CBGeoTag;
class CBMapScrollView;
class CBCurrentMap;
class CBPlacesHost;
class UITableView;

// A relation of the map (above all a bus, tram, train or ferry line): a
// small map of the current map with the line highlighted and a margin
// around it, the line's tags, and its stops by name, each opening its own
// place screen.
class CBGeoRelationDetailVC : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
  public:
    enum SectionType : int { kSectionTags = 1, kSectionStops = 2 };
    // The header map shows the relation's box grown by this factor.
    static constexpr double kMapMarginFactor = 1.5;
    static constexpr const char* kNibName = "CBGeoRelationDetailVC";

    static std::shared_ptr<CBGeoRelationDetailVC> initWithDefaultNib(
        std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap);
    CBGeoRelationDetailVC(std::weak_ptr<CBPlacesHost> host,
                          std::shared_ptr<CBCurrentMap> currentMap);
    ~CBGeoRelationDetailVC() override;

    const std::shared_ptr<CBGeoRelation>& relation() const { return relation_; }
    void setRelation(std::shared_ptr<CBGeoRelation> relation) { relation_ = std::move(relation); }
    bool isOnMap() const { return isOnMap_; }
    void setIsOnMap(bool flag) { isOnMap_ = flag; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }

    const std::shared_ptr<UITableView>& tableView() const { return tableView_; }
    const std::shared_ptr<UIView>& headerView() const { return headerView_; }
    const std::shared_ptr<CBMapScrollView>& headerMapView() const { return headerMapView_; }
    const std::vector<int>& sectionTypes() const { return sectionTypes_; }
    const std::vector<std::shared_ptr<CBGeoObject>>& stops() const { return stops_; }
    const std::vector<std::shared_ptr<CBGeoTag>>& sortedTags() const { return sortedTags_; }

    // -1 for a section beyond the model.
    int typeForSection(long section) const;
    void setupMapHeader();
    void openDetailForObject(const std::shared_ptr<CBGeoObject>& object);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&,
                                                                long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

  private:
    // Puts the relation (or, without one to show, the whole map) in view.
    void zoomToRelation();

    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::shared_ptr<CBGeoRelation> relation_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    bool isOnMap_ = false;

    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<CBMapScrollView> headerMapView_;
    // The header map's size when it was last zoomed to the relation.
    CGSize zoomedMapSize_{};
    std::vector<int> sectionTypes_;
    std::vector<std::shared_ptr<CBGeoObject>> stops_;
    std::vector<std::shared_ptr<CBGeoTag>> sortedTags_;
    // The readable texts of tags, from the data manager.
    Value translations_;
};
