#include "places/CBGeoRelationDetailVC.h"

#include <algorithm>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UITableView.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "model/CBCurrentMap.h"
#include "model/CBPlaceTexts.h"
#include "model/CBStopsEachOnce.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlaceIcons.h"
#include "places/CBPlacesHost.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"

namespace {

constexpr CGFloat kPhoneHeaderHeight = 180;
constexpr CGFloat kPadHeaderHeight = 260;
constexpr CGFloat kShrinkScale = 0.7;

bool isEmptyBox(const CBBoundingBox& box) {
    return box.NE().latitude < box.SW().latitude || box.NE().longitude < box.SW().longitude;
}

}  // namespace

std::shared_ptr<CBGeoRelationDetailVC> CBGeoRelationDetailVC::initWithDefaultNib(
    std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap) {
    return std::make_shared<CBGeoRelationDetailVC>(std::move(host), std::move(currentMap));
}

CBGeoRelationDetailVC::CBGeoRelationDetailVC(std::weak_ptr<CBPlacesHost> host,
                                             std::shared_ptr<CBCurrentMap> currentMap)
    : host_(std::move(host)), currentMap_(std::move(currentMap)) {}

CBGeoRelationDetailVC::~CBGeoRelationDetailVC() = default;

void CBGeoRelationDetailVC::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 460));
    root->setBackgroundColor(UIColor::whiteColor());
    tableView_ = std::make_shared<UITableView>(root->bounds(), UITableViewStylePlain);
    tableView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    std::weak_ptr<CBGeoRelationDetailVC> weak =
        std::static_pointer_cast<CBGeoRelationDetailVC>(shared_from_this());
    tableView_->setDataSource(weak);
    tableView_->setDelegate(weak);
    root->addSubview(tableView_);
    const bool pad = UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
    headerView_ = std::make_shared<UIView>(
        CGRectMake(0, 0, 320, pad ? kPadHeaderHeight : kPhoneHeaderHeight));
    headerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    headerView_->setClipsToBounds(true);
    headerView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));
    headerMapView_ = CBMapScrollView::create(headerView_->bounds());
    headerMapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                        UIViewAutoresizingFlexibleHeight);
    headerView_->addSubview(headerMapView_);
    setView(root);
}

void CBGeoRelationDetailVC::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (relation_)
        setTitle(CBTextForDisplay(relation_->name().value_or("")));
    sectionTypes_ = {kSectionTags, kSectionStops};
    if (dataManager_)
        translations_ = Value(dataManager_->tagTranslationDictionary());
    tableView_->setTableHeaderView(headerView_);
    if (relation_) {
        stops_ = CBStopsEachOnce(
            relation_->sortedStops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{}));
        sortedTags_ = relation_->displayTags();
        std::stable_sort(sortedTags_.begin(), sortedTags_.end(),
                         [](const auto& a, const auto& b) { return a->key() < b->key(); });
    }
    setupMapHeader();
}

void CBGeoRelationDetailVC::setupMapHeader() {
    // The small map draws the current map as it is open (its stores and
    // the style the map screen draws with), and leaves the map screen's
    // remembered position alone.
    if (currentMap_)
        headerMapView_->setOpenMap(currentMap_->openMap());
    headerMapView_->setUserInteractionEnabled(false);
    headerMapView_->visibleArea()->setSavesState(false);
    zoomToRelation();
    if (relation_)
        headerMapView_->overlays()->highlightRelationWithStyle(relation_, nullptr);
}

void CBGeoRelationDetailVC::zoomToRelation() {
    zoomedMapSize_ = headerMapView_->bounds().size;
    auto box = relation_ ? relation_->bbox() : nullptr;
    if (box && !isEmptyBox(*box) &&
        headerMapView_->zoomToBoundingBoxAnimated(
            box->boundingBoxMultipliedByFactor(kMapMarginFactor), false))
        return;
    // Nothing of the relation to show: the whole map.
    if (auto whole = headerMapView_->layout()->mapBoundingBox())
        headerMapView_->zoomToBoundingBoxAnimated(whole, false);
}

void CBGeoRelationDetailVC::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    // A turn or a popover gives the header another size: the line stays in view.
    headerView_->layoutIfNeeded();
    const CGSize size = headerMapView_->bounds().size;
    if (size.width != zoomedMapSize_.width || size.height != zoomedMapSize_.height)
        zoomToRelation();
}

void CBGeoRelationDetailVC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, true, animated);
}

void CBGeoRelationDetailVC::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

bool CBGeoRelationDetailVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

int CBGeoRelationDetailVC::typeForSection(long section) const {
    if (section < 0 || size_t(section) >= sectionTypes_.size())
        return -1;
    return sectionTypes_[size_t(section)];
}

long CBGeoRelationDetailVC::numberOfSectionsInTableView(UITableView&) {
    return long(sectionTypes_.size());
}

long CBGeoRelationDetailVC::tableViewNumberOfRowsInSection(UITableView&, long section) {
    switch (typeForSection(section)) {
        case kSectionTags:
            return long(sortedTags_.size());
        case kSectionStops:
            return long(stops_.size());
        default:
            return 0;
    }
}

std::optional<std::string> CBGeoRelationDetailVC::tableViewTitleForHeaderInSection(UITableView&,
                                                                                   long section) {
    if (typeForSection(section) == kSectionStops)
        return NSLocalizedString("Stops (alphabetically)");
    return std::nullopt;
}

std::shared_ptr<UITableViewCell> CBGeoRelationDetailVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    const int type = typeForSection(indexPath.section);
    const std::string identifier = "Cell-" + std::to_string(indexPath.section);
    auto cell = table.dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(
            type == kSectionTags ? UITableViewCellStyleSubtitle : UITableViewCellStyleDefault,
            identifier);
    cell->textLabel()->setAdjustsFontSizeToFitWidth(true);
    cell->textLabel()->setMinimumScaleFactor(kShrinkScale);
    const size_t row = size_t(indexPath.row);
    if (type == kSectionTags && row < sortedTags_.size()) {
        auto& tag = sortedTags_[row];
        cell->textLabel()->setText(
            CBTextForDisplay(tag->translatedAttributeFromDictionary(&translations_).value_or("")));
        cell->detailTextLabel()->setText(
            CBTextForDisplay(tag->translatedKeyFromDictionary(&translations_).value_or("")));
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        CBSetMaskedIconOfCell(*cell, CBIconForTag(tag), view()->tintColor());
    } else if (type == kSectionStops && row < stops_.size()) {
        auto& stop = *stops_[row];
        const std::string name = CBTextForDisplay(stop.title().value_or(""));
        // A stop without a name is told by what it is.
        if (name.empty()) {
            auto type = stop.displayTypeTag();
            cell->textLabel()->setText(
                type ? CBTextForDisplay(
                           type->translatedAttributeFromDictionary(&translations_).value_or(""))
                     : "");
            cell->textLabel()->setTextColor(UIColor::grayColor());
        } else {
            cell->textLabel()->setText(name);
            cell->textLabel()->setTextColor(UIColor::blackColor());
        }
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        CBSetMaskedIconOfCell(*cell, CBIconForObject(stop), view()->tintColor());
    }
    return cell;
}

void CBGeoRelationDetailVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                             const NSIndexPath& indexPath) {
    table.deselectRowAtIndexPathAnimated(indexPath, true);
    if (typeForSection(indexPath.section) == kSectionStops && size_t(indexPath.row) < stops_.size())
        openDetailForObject(stops_[size_t(indexPath.row)]);
}

void CBGeoRelationDetailVC::openDetailForObject(const std::shared_ptr<CBGeoObject>& object) {
    auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_, currentMap_);
    screen->setObject(CBGeoSearchResult::geoSearchResultWithObject(object));
    screen->setIsOnMap(isOnMap_);
    screen->setDataManager(dataManager_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(screen, true);
}
