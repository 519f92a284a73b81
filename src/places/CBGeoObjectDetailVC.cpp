// The place screen: its section model, its life cycle and the hand-over to
// the map screen.
#include "places/CBGeoObjectDetailVC.h"

#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+GuideAdditions.h"
#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapScrollView.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "places/CBPlacesHost.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"

namespace {

// A street lists its addresses from this many on, numbered or not.
constexpr size_t kManyAddresses = 11;

bool hasText(const std::optional<std::string>& text) {
    return text && !text->empty();
}

using Relations = std::vector<std::shared_ptr<CBGeoRelation>>;

Relations sortedByName(const std::optional<Relations>& relations) {
    Relations sorted = relations.value_or(Relations{});
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a->name().value_or("") < b->name().value_or("");
    });
    return sorted;
}

std::vector<std::shared_ptr<CBGeoObject>> sortedByDisplayName(
    std::vector<std::shared_ptr<CBGeoObject>> objects) {
    std::stable_sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) {
        return a->displayName().value_or("") < b->displayName().value_or("");
    });
    return objects;
}

}  // namespace

std::shared_ptr<CBGeoObjectDetailVC> CBGeoObjectDetailVC::initWithDefaultNib(
    std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap) {
    auto screen = std::make_shared<CBGeoObjectDetailVC>(std::move(host), std::move(currentMap));
    auto location = CBLocationManager::sharedInstance();
    screen->locationManagerWasUpdatingHeading_ = location->isUpdatingHeading();
    screen->locationManagerWasUpdating_ = location->isUpdating();
    location->addDelegate(screen);
    return screen;
}

CBGeoObjectDetailVC::CBGeoObjectDetailVC(std::weak_ptr<CBPlacesHost> host,
                                         std::shared_ptr<CBCurrentMap> currentMap)
    : host_(std::move(host)),
      currentMap_(std::move(currentMap)),
      isiPad_(UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad) {
    setHidesBottomBarWhenPushed(true);
}

CBGeoObjectDetailVC::~CBGeoObjectDetailVC() {
    auto location = CBLocationManager::sharedInstance();
    location->cleanUpEmptyDelegateWrappers();
    if (startedHeadingUpdates_ && !locationManagerWasUpdatingHeading_)
        location->stopUpdatingHeading();
    if (startedLocationUpdates_ && !locationManagerWasUpdating_ && !location->isUpdatingHeading())
        location->stopUpdatingLocation();
    if (headerMapScrollView_)
        headerMapScrollView_->setMapDelegate(std::weak_ptr<CBMapScrollViewDelegate>());
}

std::shared_ptr<CBGeoObjectDetailVC> CBGeoObjectDetailVC::self() {
    return std::static_pointer_cast<CBGeoObjectDetailVC>(shared_from_this());
}

bool CBGeoObjectDetailVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

void CBGeoObjectDetailVC::viewDidLoad() {
    if (!dataManager_)
        NSLog("%s: DATAMANAGER NOT SET!", kNibName);
    auto application = UIApplication::sharedApplication();
    if (application) {
        application->setStatusBarStyle(UIStatusBarStyleDefault);
        application->setStatusBarHidden(false);
    }
    tableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStyleGrouped);
    tableView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    tableView_->setDataSource(self());
    tableView_->setDelegate(self());
    view()->insertSubviewAtIndex(tableView_, 0);
    if (currentMap_)
        bookmarkManager_ = currentMap_->bookmarks();
    setupToolbar();
    configureSectionsForObject();
    setupHeaderView();
    distanceLabel_->setTransform(CGAffineTransformMakeRotation(M_PI / 4));
    // The distance needs a position: the screen asks for one while it lives
    // when nothing else does (the map follows the user only when asked).
    if (auto location = CBLocationManager::sharedInstance();
        displayObject_ && !location->isUpdating()) {
        location->startUpdatingLocationAndNotifyDelegatesOfErrors(false);
        startedLocationUpdates_ = true;
    }
    updateDistanceViewDisplayedObject();
    setTitle(NSLocalizedString("LocationDetailTitle"));
    // Screens pushed above go back to the place by its name.
    if (displayObject_)
        navigationItem()->setBackBarButtonItem(std::make_shared<UIBarButtonItem>(
            displayObject_->name().value_or(NSLocalizedString("LocationDetailTitle")),
            UIBarButtonItemStylePlain, nullptr));
}

void CBGeoObjectDetailVC::configureSectionsForObject() {
    sectionTypes_.clear();
    sortedTags_.clear();
    nearbyStops_.clear();
    POIsAtAddress_.clear();
    for (auto* routes : {&busRoutes_, &tramRoutes_, &trainRoutes_, &ferryRoutes_})
        routes->clear();
    sortedTopTableTags_.clear();
    sortedTopTableChecklist_.clear();
    sortedTopTableRating_.clear();
    // A restaurant of the map's guide shows the guide's entry. The result
    // the opener handed over stays as it was (the map's pin holds it).
    if (object_ && object_->object())
        if (auto venue = relatedTopTableObjectFromDataManager(*object_->object(), dataManager_))
            object_ =
                CBGeoSearchResult::geoSearchResultWithObjectAndAddress(venue, object_->address());
    findBookmarkOfPlace();
    updateBookmarkStatus();
    // A bookmark shows the map's own object and the map's data; a bookmark
    // of a place the map no longer has shows itself. A place of the map is
    // shown as it was handed over.
    const auto mapContext = dataManager_ ? dataManager_->managedObjectContext() : nullptr;
    const bool placeOfMap =
        object_ && object_->object() && object_->object()->managedObjectContext() == mapContext;
    if (bookmark_ && dataManager_ && !placeOfMap) {
        auto onMap = dataManager_->findSimilarObjectToObjectFromOtherContext(bookmark_);
        object_ = onMap ? onMap : bookmark_;
    }
    displayObject_ = object_ ? object_->object() : nullptr;
    if (displayObject_) {
        sectionTypes_.push_back(kSectionName);
        if (isTopTableObject(*displayObject_))
            configureSectionsForTopTableVenue(*displayObject_);
        if (displayObject_->isHighway())
            configureSectionsForStreet(*displayObject_);
        else
            configureSectionsForPlace(*displayObject_);
        setupNavigationButtons();
        if (auto tags = tagsForDisplay(*displayObject_)) {
            sortedTags_ = std::move(*tags);
            std::stable_sort(sortedTags_.begin(), sortedTags_.end(),
                             [](const auto& a, const auto& b) { return a->key() < b->key(); });
        }
    } else if (annotationForNewBookmark_) {
        sectionTypes_.push_back(kSectionName);
        std::weak_ptr<CBGeoObjectDetailVC> weak = self();
        navigationItem()->setRightBarButtonItem(
            std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemSave, [weak](UIBarButtonItem&) {
                if (auto me = weak.lock())
                    me->saveNewBookmark();
            }));
        navigationItem()->setLeftBarButtonItem(std::make_shared<UIBarButtonItem>(
            UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
                if (auto me = weak.lock())
                    me->cancel();
            }));
    }
    if (tableView_)
        tableView_->reloadData();
}

void CBGeoObjectDetailVC::configureSectionsForTopTableVenue(CBGeoObject& venue) {
    if (hasTopTableRatings(venue)) {
        sortedTopTableRating_ = topTableDetailedRatings(venue);
        sectionTypes_.push_back(kSectionTopTableRatings);
    }
    sortedTopTableTags_ = topTableTags(venue);
    sectionTypes_.push_back(kSectionTopTableTags);
    if (hasTopTableMenus(venue))
        sectionTypes_.push_back(kSectionTopTableMenus);
    if (venue.getTagForKey("TTChecklist")) {
        sortedTopTableChecklist_ = topTableChecklist(venue);
        showsChecklist_ = false;
        sectionTypes_.push_back(kSectionTopTableChecklist);
    }
}

// A street found at an address shows the places there; otherwise it leads
// to the list of its house numbers and to the named places along it.
void CBGeoObjectDetailVC::configureSectionsForStreet(CBGeoObject& street) {
    const auto& address = object_->address();
    if (!address) {
        const auto addresses = street.addresses();
        const auto numbered = street.sortedAddresses();
        if (addresses.size() >= kManyAddresses || (numbered && !numbered->empty()))
            sectionTypes_.push_back(kSectionStreetAddresses);
        const bool hasPlaces =
            std::any_of(addresses.begin(), addresses.end(), [](const auto& candidate) {
                const auto objects = candidate->objects();
                return std::any_of(objects.begin(), objects.end(), [](const auto& place) {
                    return !place->isHighway() && place->name();
                });
            });
        if (hasPlaces)
            sectionTypes_.push_back(kSectionPlacesAlongStreet);
        return;
    }
    sectionTypes_.push_back(kSectionAddress);
    std::vector<std::shared_ptr<CBGeoObject>> places;
    for (const auto& candidate : address->objects())
        // Unnamed buildings at the address would be blank rows.
        if (candidate.get() != &street && !candidate->isHighway() &&
            hasText(candidate->displayName()))
            places.push_back(candidate);
    if (places.empty())
        return;
    POIsAtAddress_ = sortedByDisplayName(std::move(places));
    sectionTypes_.push_back(kSectionPlacesAtAddress);
}

void CBGeoObjectDetailVC::configureSectionsForPlace(CBGeoObject& place) {
    if (place.getAttributeOfTagForKey("phone"))
        sectionTypes_.push_back(kSectionPhone);
    if (!place.addresses().empty())
        sectionTypes_.push_back(kSectionAddress);
    if (place.getAttributeOfTagForKey("email"))
        sectionTypes_.push_back(kSectionEmail);
    if (place.getAttributeOfTagForKey("url"))
        sectionTypes_.push_back(kSectionWeb);
    if (!place.tags().empty())
        sectionTypes_.push_back(kSectionTags);
    if (!place.isTransportRelated())
        return;
    busRoutes_ = sortedByName(place.allBusLikeRelations());
    tramRoutes_ = sortedByName(place.allTramLikeRelations());
    trainRoutes_ = sortedByName(place.allTrainLikeRelations());
    ferryRoutes_ = sortedByName(place.allFerryLikeRelations());
    for (int type :
         {kSectionBusRoutes, kSectionTramRoutes, kSectionTrainRoutes, kSectionFerryRoutes})
        if (!routesForSection(type)->empty())
            sectionTypes_.push_back(type);
    if (auto stops = place.relatedStops(); stops && !stops->empty()) {
        nearbyStops_ = *stops;
        sectionTypes_.push_back(kSectionNearbyStops);
    }
}

const std::vector<std::shared_ptr<CBGeoRelation>>* CBGeoObjectDetailVC::routesForSection(
    int type) const {
    switch (type) {
        case kSectionBusRoutes:
            return &busRoutes_;
        case kSectionTramRoutes:
            return &tramRoutes_;
        case kSectionTrainRoutes:
            return &trainRoutes_;
        case kSectionFerryRoutes:
            return &ferryRoutes_;
        default:
            return nullptr;
    }
}

void CBGeoObjectDetailVC::setupNavigationButtons() {
    navigationItem()->setLeftBarButtonItem(nullptr);
    // Opened from the map as the first screen over it, the map is one step
    // back; deeper down a button leads straight to it.
    auto navigation = navigationController();
    const size_t depth = navigation ? navigation->viewControllers().size() : 0;
    if (isOnMap_ && depth == (isiPad_ ? 1u : 2u)) {
        navigationItem()->setRightBarButtonItem(nullptr);
        return;
    }
    std::weak_ptr<CBGeoObjectDetailVC> weak = self();
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        NSLocalizedString("showOnMap"), UIBarButtonItemStyleDone, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->showOnMap();
        }));
}

int CBGeoObjectDetailVC::typeForSection(long section) const {
    if (section < 0 || size_t(section) >= sectionTypes_.size())
        return -1;
    return sectionTypes_[size_t(section)];
}

std::optional<long> CBGeoObjectDetailVC::indexForSectionType(int type) const {
    auto found = std::find(sectionTypes_.begin(), sectionTypes_.end(), type);
    if (found == sectionTypes_.end())
        return std::nullopt;
    return long(found - sectionTypes_.begin());
}

// The one list every use of the name section reads.
std::vector<CBGeoObjectDetailVC::NameRow> CBGeoObjectDetailVC::nameRows() {
    std::vector<NameRow> rows;
    if ((displayObject_ && hasText(displayObject_->displayName())) || annotationForNewBookmark_)
        rows.push_back(NameRow::Title);
    if (bookmark_ || annotationForNewBookmark_)
        rows.push_back(NameRow::Description);
    if (displayObject_)
        if (auto names = displayObject_->internationalNames())
            rows.insert(rows.end(), names->size(), NameRow::InternationalName);
    return rows;
}

void CBGeoObjectDetailVC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto application = UIApplication::sharedApplication())
        application->setStatusBarStyle(UIStatusBarStyleDefault);
    recenterMap();
    if (firstAppearance_)
        firstAppearance_ = false;
    else
        tableView_->reloadData();
    if (auto navigation = navigationController()) {
        navigation->setToolbarHiddenAnimated(annotationForNewBookmark_ != nullptr, animated);
        navigation->toolbar()->setTintColor(std::nullopt);
    }
}

void CBGeoObjectDetailVC::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    updateAnnotationColor();
}

void CBGeoObjectDetailVC::showOnMap() {
    auto shown = mapViewController();
    if (!shown)
        return;
    const bool isBookmark =
        bookmark_ && bookmark_->object() && bookmarkManager_ &&
        bookmark_->object()->managedObjectContext() == bookmarkManager_->managedObjectContext();
    const auto& result = isBookmark ? bookmark_ : object_;
    if (!result || !result->object())
        return;
    std::optional<NSManagedObjectID> address;
    if (result->address())
        address = result->address()->objectID();
    shown->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        result->object()->objectID(), address, isBookmark);
}

void CBGeoObjectDetailVC::close() {
    auto navigation = navigationController();
    if (navigation && navigation->viewControllers().size() > 1) {
        navigation->popViewControllerAnimated(true);
        return;
    }
    if (auto shown = mapViewController())
        shown->dismissPopoverAnimated(true);
}

long CBGeoObjectDetailVC::numberOfSectionsInTableView(UITableView&) {
    return long(sectionTypes_.size());
}

long CBGeoObjectDetailVC::tableViewNumberOfRowsInSection(UITableView&, long section) {
    const int type = typeForSection(section);
    if (const auto* routes = routesForSection(type))
        return long(routes->size());
    switch (type) {
        case kSectionTags:
            return long(sortedTags_.size());
        case kSectionTopTableTags:
            return long(sortedTopTableTags_.size());
        case kSectionTopTableChecklist:
            return 1 + (showsChecklist_ ? long(sortedTopTableChecklist_.size()) : 0);
        case kSectionTopTableRatings:
            return 1 + (showsRatings_ ? long(sortedTopTableRating_.size()) : 0);
        case kSectionName:
            return long(nameRows().size());
        case kSectionNearbyStops:
            return long(nearbyStops_.size());
        case kSectionPlacesAtAddress:
            return long(POIsAtAddress_.size());
        case -1:
            return 0;
        default:
            return 1;
    }
}

std::optional<std::string> CBGeoObjectDetailVC::tableViewTitleForHeaderInSection(UITableView&,
                                                                                 long section) {
    switch (typeForSection(section)) {
        case kSectionTramRoutes:
            return NSLocalizedString("Tram connections");
        case kSectionTrainRoutes:
            return NSLocalizedString("Train connections");
        case kSectionBusRoutes:
            return NSLocalizedString("Bus connections");
        case kSectionFerryRoutes:
            return NSLocalizedString("Ferry connections");
        case kSectionNearbyStops:
            return NSLocalizedString("Nearby stops and connections");
        case kSectionPlacesAtAddress:
            if (!POIsAtAddress_.empty())
                return NSLocalizedString("Points of interest");
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<std::string> CBGeoObjectDetailVC::tableViewTitleForFooterInSection(UITableView&,
                                                                                 long section) {
    if (typeForSection(section) == kSectionName && displayObject_ &&
        isTopTableObject(*displayObject_))
        return NSLocalizedString("PoweredByToptable");
    return std::nullopt;
}
