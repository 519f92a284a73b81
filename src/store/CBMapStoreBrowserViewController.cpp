#include "store/CBMapStoreBrowserViewController.h"

#include <algorithm>

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UITableViewIndex.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "store/CBMapMissingRequest.h"
#include "store/CBMapStarsImage.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/CBClearSearchBar.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/ZELToolTip.h"

namespace {

constexpr long kIndexMinimumRows = 10;

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

}  // namespace

CBMapStoreBrowserViewController::CBMapStoreBrowserViewController(
    std::shared_ptr<CBMapStoreEngine> engine,
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine)
    : engine_(std::move(engine)),
      downloadManager_(std::move(downloadManager)),
      userMapStoreEngine_(std::move(userMapStoreEngine)) {
    setTitle(NSLocalizedString("MapStoreBrowseTitle"));
    auto item = std::make_shared<UITabBarItem>(NSLocalizedString("MapStoreBrowseTitleShort"),
                                               UIImage::imageNamed("mapstore-tabs-browse"), 1);
    item->setSelectedImage(UIImage::imageNamed("mapstore-tabs-browse-selected"));
    setTabBarItem(item);
}

CBMapStoreBrowserViewController::~CBMapStoreBrowserViewController() = default;

void CBMapStoreBrowserViewController::viewDidLoad() {
    if (!group_ && !country_ && !region_)
        navigationItem()->setBackBarButtonItem(std::make_shared<UIBarButtonItem>(
            NSLocalizedString("WorldTitle"), UIBarButtonItemStyleBordered, nullptr));
    resetMaps();
}

void CBMapStoreBrowserViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    if (maps_.empty())
        return;
    // Over the bars too, but this level's own: it goes when the level does.
    auto host = view()->superview() ? view()->superview()->superview() : nullptr;
    if (host)
        ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
            host, NSLocalizedString("TooltipMapStarRating"), UIImage::imageNamed("tooltip_info"),
            nullptr, std::string("MapStars"), 3, view());
}

void CBMapStoreBrowserViewController::resetMaps() {
    if (!group_ && !country_ && !region_)
        groups_ = engine_->sortedGroups().value_or(decltype(groups_){});
    if (!searchController_) {
        searchBar_ = CBClearSearchBar::initWithBackground();
        if (!group_ && !country_ && !region_)
            searchBar_->setPlaceholder(NSLocalizedString("MapStoreSearchMapsWorldWide"));
        else if (!title().empty())
            searchBar_->setPlaceholder(NSLocalizedFormat("MapStoreSearchInFormat", {title()}));
        searchBar_->sizeToFit();
        tableView()->setTableHeaderView(searchBar_);
        tableView()->setSectionIndexMinimumDisplayRowCount(kIndexMinimumRows);
        auto self = std::static_pointer_cast<CBMapStoreBrowserViewController>(shared_from_this());
        searchController_ = UISearchDisplayController::create(searchBar_, self);
        searchController_->setDelegate(self);
        searchController_->setSearchResultsDataSource(self);
        searchController_->setSearchResultsDelegate(self);
    }
    searchBar_->setLoading(false);
    std::vector<Map> levelMaps;
    if (region_)
        levelMaps = region_->maps();
    else if (country_)
        levelMaps = country_->maps();
    showsLetterIndexOnRight_ = long(levelMaps.size()) > kIndexMinimumRows;
    std::sort(levelMaps.begin(), levelMaps.end(),
              [](const Map& a, const Map& b) { return a->compare(*b) < 0; });
    letterIndex_.clear();
    maps_.clear();
    for (const auto& map : levelMaps) {
        const auto& letter = map->firstLetter();
        if (std::find(letterIndex_.begin(), letterIndex_.end(), letter) == letterIndex_.end())
            letterIndex_.push_back(letter);
    }
    maps_.resize(letterIndex_.size());
    std::sort(letterIndex_.begin(), letterIndex_.end());
    for (const auto& map : levelMaps) {
        auto at = std::find(letterIndex_.begin(), letterIndex_.end(), map->firstLetter());
        maps_[size_t(at - letterIndex_.begin())].push_back(map);
    }
    if (country_) {
        auto region = region_ ? region_->regionCode() : std::nullopt;
        countryInfo_ = engine_->infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
            country_->countryCode().value_or(""), region,
            [weak = weak_from_this()](const std::shared_ptr<CBMapStoreInfoCountry>& info) {
                auto self = std::static_pointer_cast<CBMapStoreBrowserViewController>(weak.lock());
                if (!self)
                    return;
                self->countryInfo_ = info;
                self->tableView()->reloadData();
            });
    }
    tableView()->reloadData();
}

std::shared_ptr<CBMapStoreBrowserViewController>
CBMapStoreBrowserViewController::openBrowserWithGroupOrCountryOrRegionWithTitleAnimated(
    std::shared_ptr<CBMapStoreGroup> group, std::shared_ptr<CBMapStoreCountry> country,
    std::shared_ptr<CBMapStoreFederalRegion> region, const std::string& title, bool animated) {
    auto browser = std::make_shared<CBMapStoreBrowserViewController>(engine_, downloadManager_,
                                                                     userMapStoreEngine_);
    browser->setTitle(title);
    browser->setWikipediaManager(wikipediaManager_);
    browser->setGroup(std::move(group));
    browser->setCountry(std::move(country));
    browser->setRegion(std::move(region));
    browser->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(browser, animated);
    return browser;
}

void CBMapStoreBrowserViewController::openDetailForMapAnimated(const Map& map, bool animated) {
    // The detail screen's back button shows the country's flag.
    navigationItem()->setBackBarButtonItem(
        country_
            ? std::make_shared<UIBarButtonItem>(flagImageForCountryCode(country_->countryCode()),
                                                UIBarButtonItemStylePlain, nullptr)
            : nullptr);
    auto detail = CBMapStoreDetailVC::create(map, downloadManager_, engine_, userMapStoreEngine_,
                                             wikipediaManager_);
    detail->setShowRightBarButtonItemAfterDownloadOnly(true);
    detail->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(detail, animated);
}

std::shared_ptr<UIImage> CBMapStoreBrowserViewController::flagImageForCountryCode(
    const std::optional<std::string>& code) {
    return code ? UIImage::imageNamed("flags/" + lowercased(*code)) : nullptr;
}

bool CBMapStoreBrowserViewController::isSearchTable(const UITableView& table) const {
    return searchController_ && &table == searchController_->searchResultsTableView().get();
}

CBMapStoreBrowserViewController::Map CBMapStoreBrowserViewController::mapInTableViewAtIndexPath(
    UITableView& table, const NSIndexPath& path) const {
    if (isSearchTable(table)) {
        if (!searchResults_ || path.row >= long(searchResults_->size()))
            return nullptr;
        return (*searchResults_)[size_t(path.row)];
    }
    if (path.section >= long(maps_.size()) || path.row >= long(maps_[size_t(path.section)].size()))
        return nullptr;
    return maps_[size_t(path.section)][size_t(path.row)];
}

bool CBMapStoreBrowserViewController::showButtonToRequestMaps() const {
    auto text = searchController_ ? searchController_->searchBar()->text() : std::string();
    return text.size() >= 3 && (!searchResults_ || searchResults_->empty());
}

void CBMapStoreBrowserViewController::startMapMissingRequest() {
    CBMapMissingRequest request;
    if (group_)
        request.group = group_->localName();
    if (country_) {
        request.countryCode = country_->countryCode();
        request.countryName = country_->localName();
    }
    if (region_) {
        request.regionCode = region_->regionCode();
        request.regionName = region_->localName();
    }
    request.searchTerm = searchController_->searchBar()->text();
    request.startRequestInViewController(
        *this, std::static_pointer_cast<CBMapStoreBrowserViewController>(shared_from_this()));
}

void CBMapStoreBrowserViewController::mapStoreWillUpdate() {
    if (auto navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
    if (searchController_)
        searchController_->setActiveAnimated(false, true);
}

void CBMapStoreBrowserViewController::mapStoreUpdated() {
    if (!country_ && !region_)
        resetMaps();
}

long CBMapStoreBrowserViewController::numberOfSectionsInTableView(UITableView& table) {
    if (isSearchTable(table))
        return 1;
    if (group_)
        return 2;
    return isRootOrGroup() ? 1 : long(maps_.size());
}

long CBMapStoreBrowserViewController::tableViewNumberOfRowsInSection(UITableView& table,
                                                                     long section) {
    if (isSearchTable(table))
        return showButtonToRequestMaps() ? 1 : searchResults_ ? long(searchResults_->size()) : 0;
    if (group_)
        return section == 0 ? long(group_->sortedCountries().size())
                            : long(group_->sortedRegions().size());
    if (isRootOrGroup())
        return long(groups_.size());
    return section < long(maps_.size()) ? long(maps_[size_t(section)].size()) : 0;
}

std::optional<std::string> CBMapStoreBrowserViewController::tableViewTitleForHeaderInSection(
    UITableView& table, long section) {
    if (isSearchTable(table) || section >= long(letterIndex_.size()))
        return std::nullopt;
    return letterIndex_[size_t(section)];
}

std::vector<std::string> CBMapStoreBrowserViewController::sectionIndexTitlesForTableView(
    UITableView& table) {
    if (isSearchTable(table) || letterIndex_.empty())
        return {};
    std::vector<std::string> titles{UITableViewIndexSearch};
    titles.insert(titles.end(), letterIndex_.begin(), letterIndex_.end());
    return titles;
}

std::optional<long> CBMapStoreBrowserViewController::tableViewSectionForSectionIndexTitleAtIndex(
    UITableView& table, const std::string&, long index) {
    if (index == 0) {
        table.setContentOffset(CGPointZero);
        return std::nullopt;
    }
    return index - 1;
}

std::shared_ptr<UITableViewCell> CBMapStoreBrowserViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    bool search = isSearchTable(table);
    auto cell = table.dequeueReusableCellWithIdentifier("Cell");
    if (!cell)
        cell = std::make_shared<UITableViewCell>(
            !search && isRootOrGroup() ? UITableViewCellStyleDefault : UITableViewCellStyleSubtitle,
            "Cell");
    cell->setAccessoryView(nullptr);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->imageView()->setImage(nullptr);
    if (!search && group_) {
        if (path.section == 0) {
            auto country = group_->sortedCountries()[size_t(path.row)];
            cell->textLabel()->setText(country->localName());
            cell->imageView()->setImage(flagImageForCountryCode(country->countryCode()));
        } else {
            auto region = group_->sortedRegions()[size_t(path.row)];
            auto country = region->country();
            cell->textLabel()->setText(region->localName());
            cell->imageView()->setImage(
                flagImageForCountryCode(country ? country->countryCode() : std::nullopt));
        }
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    } else if (!search && isRootOrGroup()) {
        auto group = groups_[size_t(path.row)];
        cell->textLabel()->setText(group->localName());
        if (auto code = group->groupCode())
            cell->imageView()->setImage(UIImage::imageNamed("continents/cont_" + *code));
    } else {
        configureCellInTableViewAtIndexPath(*cell, table, path);
    }
    return cell;
}

void CBMapStoreBrowserViewController::configureCellInTableViewAtIndexPath(UITableViewCell& cell,
                                                                          UITableView& table,
                                                                          const NSIndexPath& path) {
    bool search = isSearchTable(table);
    if (search && path.row == 0 && showButtonToRequestMaps()) {
        cell.textLabel()->setText(NSLocalizedString("RequestMapTitle"));
        cell.detailTextLabel()->setText(NSLocalizedString("RequestMapSubTitle"));
        return;
    }
    auto map = mapInTableViewAtIndexPath(table, path);
    if (!map)
        return;
    if (search) {
        auto country = map->country();
        cell.imageView()->setImage(
            flagImageForCountryCode(country ? country->countryCode() : std::nullopt));
    }
    cell.textLabel()->setText(country_ || region_ ? map->shortTitle() : map->title());
    cell.detailTextLabel()->setText(map->places().value_or(""));
    if (!countryInfo_)
        return;
    auto record = countryInfo_->mapStoreInfoMapForIdentifier(map->identifier().value_or(""));
    int stars = record ? record->numberOfStars() : 0;
    if (stars >= 1) {
        cell.setAccessoryView(std::make_shared<UIImageView>(CBMapStarsImage(stars)));
        cell.accessoryView()->setAccessibilityLabel(std::to_string(stars) +
                                                    (stars == 1 ? " star" : " stars"));
    } else if (search || !showsLetterIndexOnRight_) {
        cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    }
}

void CBMapStoreBrowserViewController::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                                       const NSIndexPath& path) {
    bool search = isSearchTable(table);
    if (!search && group_) {
        if (path.section == 0) {
            auto country = group_->sortedCountries()[size_t(path.row)];
            openBrowserWithGroupOrCountryOrRegionWithTitleAnimated(nullptr, country, nullptr,
                                                                   country->localName(), true);
        } else {
            auto region = group_->sortedRegions()[size_t(path.row)];
            openBrowserWithGroupOrCountryOrRegionWithTitleAnimated(nullptr, nullptr, region,
                                                                   region->localName(), true);
        }
    } else if (!search && isRootOrGroup()) {
        auto group = groups_[size_t(path.row)];
        openBrowserWithGroupOrCountryOrRegionWithTitleAnimated(group, nullptr, nullptr,
                                                               group->localName(), true);
    } else if (search && path.row == 0 && showButtonToRequestMaps()) {
        startMapMissingRequest();
        table.deselectRowAtIndexPathAnimated(path, true);
    } else if (auto map = mapInTableViewAtIndexPath(table, path)) {
        openDetailForMapAnimated(map, true);
    }
}

bool CBMapStoreBrowserViewController::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController& controller, const std::string& text) {
    if (text.size() < 2) {
        searchResults_.reset();
        return true;
    }
    std::vector<std::shared_ptr<CBMapStoreCountry>> countries;
    std::vector<std::shared_ptr<CBMapStoreFederalRegion>> regions;
    if (country_)
        countries = {country_};
    else if (group_)
        countries = group_->countries();
    if (region_)
        regions = {region_};
    else if (group_)
        regions = group_->regions();
    auto weak = weak_from_this();
    std::weak_ptr<UISearchDisplayController> weakController = controller.shared_from_this();
    // The engine waits a moment for more typing; a text it will not search
    // (too short) keeps the last results and shows no spinner.
    const bool searching = engine_->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
        text, countries, regions, [weak, weakController](const std::vector<Map>& found) {
            auto self = std::static_pointer_cast<CBMapStoreBrowserViewController>(weak.lock());
            auto searchController = weakController.lock();
            if (!self || !searchController)
                return;
            self->searchBar_->setLoading(false);
            self->searchResults_ = found;
            searchController->searchResultsTableView()->reloadData();
        });
    searchBar_->setLoading(searching);
    return false;
}

void CBMapStoreBrowserViewController::searchDisplayControllerWillHideSearchResultsTableView(
    UISearchDisplayController&, UITableView&) {
    engine_->cancelSearch();
    resetMaps();
}

void CBMapStoreBrowserViewController::mailComposeControllerDidFinishWithResultError(
    MFMailComposeViewController&, MFMailComposeResult, const std::optional<NSError>&) {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}
