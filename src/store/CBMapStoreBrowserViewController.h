#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableViewController.h"

class CBClearSearchBar;
class CBMapStoreCountry;
class CBMapStoreEngine;
class CBMapStoreFederalRegion;
class CBMapStoreGroup;
class CBMapStoreInfoCountry;
class CBMapStoreMap;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class UIImage;
class ZELDownloadManagerEngine;

// The store's catalogue walk: groups, then a group's countries and regions,
// then a country's or region's maps by letter, with star ratings, a search
// over the level shown, and a row that asks for a missing map by mail.
class CBMapStoreBrowserViewController : public UITableViewController,
                                        public UISearchDisplayDelegate,
                                        public MFMailComposeViewControllerDelegate {
  public:
    using Map = std::shared_ptr<CBMapStoreMap>;

    CBMapStoreBrowserViewController(std::shared_ptr<CBMapStoreEngine> engine,
                                    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
                                    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    ~CBMapStoreBrowserViewController() override;

    const std::shared_ptr<CBMapStoreEngine>& engine() const { return engine_; }
    void setEngine(std::shared_ptr<CBMapStoreEngine> engine) { engine_ = std::move(engine); }
    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    void setDownloadManager(std::shared_ptr<ZELDownloadManagerEngine> manager) {
        downloadManager_ = std::move(manager);
    }
    // The level shown: none (the root), a group, a country or a region.
    const std::shared_ptr<CBMapStoreGroup>& group() const { return group_; }
    void setGroup(std::shared_ptr<CBMapStoreGroup> group) { group_ = std::move(group); }
    const std::shared_ptr<CBMapStoreCountry>& country() const { return country_; }
    void setCountry(std::shared_ptr<CBMapStoreCountry> country) { country_ = std::move(country); }
    const std::shared_ptr<CBMapStoreFederalRegion>& region() const { return region_; }
    void setRegion(std::shared_ptr<CBMapStoreFederalRegion> region) { region_ = std::move(region); }
    // Handed on to deeper levels and to the detail screens.
    void setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager) {
        wikipediaManager_ = std::move(manager);
    }

    const std::vector<std::vector<Map>>& maps() const { return maps_; }
    const std::vector<std::string>& letterIndex() const { return letterIndex_; }
    const std::optional<std::vector<Map>>& searchResultsMaps() const { return searchResults_; }
    const std::shared_ptr<UISearchDisplayController>& searchController() const {
        return searchController_;
    }
    const std::shared_ptr<CBClearSearchBar>& searchBar() const { return searchBar_; }
    // The statistics of the country shown; nullptr above the country level
    // and until the catalogue has them.
    const std::shared_ptr<CBMapStoreInfoCountry>& countryInfo() const { return countryInfo_; }

    void resetMaps();
    std::shared_ptr<CBMapStoreBrowserViewController>
    openBrowserWithGroupOrCountryOrRegionWithTitleAnimated(
        std::shared_ptr<CBMapStoreGroup> group, std::shared_ptr<CBMapStoreCountry> country,
        std::shared_ptr<CBMapStoreFederalRegion> region, const std::string& title, bool animated);
    void openDetailForMapAnimated(const Map& map, bool animated);
    static std::shared_ptr<UIImage> flagImageForCountryCode(const std::optional<std::string>& code);
    Map mapInTableViewAtIndexPath(UITableView& table, const NSIndexPath& indexPath) const;
    bool showButtonToRequestMaps() const;
    void startMapMissingRequest();

    // The catalogue is being replaced, and has been.
    void mapStoreWillUpdate();
    void mapStoreUpdated();

    void viewDidLoad() override;
    // Leaves the breadcrumb and, on a level of maps, explains the stars.
    void viewDidAppear(bool animated) override;

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long) override;
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) override;
    std::optional<long> tableViewSectionForSectionIndexTitleAtIndex(UITableView&,
                                                                    const std::string&,
                                                                    long index) override;
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    void searchDisplayControllerWillHideSearchResultsTableView(UISearchDisplayController&,
                                                               UITableView&) override;
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                       MFMailComposeResult,
                                                       const std::optional<NSError>&) override;

  private:
    bool isSearchTable(const UITableView& table) const;
    bool isRootOrGroup() const { return !country_ && !region_; }
    void configureCellInTableViewAtIndexPath(UITableViewCell& cell, UITableView& table,
                                             const NSIndexPath& path);

    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::shared_ptr<CBWikipediaManager> wikipediaManager_;
    std::shared_ptr<CBMapStoreGroup> group_;
    std::shared_ptr<CBMapStoreCountry> country_;
    std::shared_ptr<CBMapStoreFederalRegion> region_;
    std::vector<std::shared_ptr<CBMapStoreGroup>> groups_;
    std::vector<std::vector<Map>> maps_;
    std::vector<std::string> letterIndex_;
    std::optional<std::vector<Map>> searchResults_;
    std::shared_ptr<CBMapStoreInfoCountry> countryInfo_;
    std::shared_ptr<UISearchDisplayController> searchController_;
    std::shared_ptr<CBClearSearchBar> searchBar_;
    bool showsLetterIndexOnRight_ = false;
};
