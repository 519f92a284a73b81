// The map screen with the place screens and the bookmarks of its maps.
#include <gtest/gtest.h>

#include <fstream>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSFileManager+SetAside.h"
#include "MapScreenFixture.h"
#include "TopTableFixture.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UITableView.h"
#include "app/CBKelvaraLink.h"
#include "app/CBPlaceAnnotation.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBBookmarksManager.h"
#include "model/CBTopTableFiles.h"
#include "places/CBGeoObjectDetailVC.h"
#include "widgets/CBClearSearchBar.h"

namespace {

class CBMapViewControllerPlacesTest : public MapScreenWithBookmarksTest {
  protected:
    std::shared_ptr<CBGeoObject> objectNamed(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        request.fetchLimit = 1;
        auto found =
            screen_->mapView()->dataManager()->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                        : nullptr;
    }
    std::shared_ptr<CBPlaceAnnotation> pinned() {
        const auto annotations = screen_->mapView()->annotationsHost()->annotations();
        return annotations.size() == 1
                   ? std::dynamic_pointer_cast<CBPlaceAnnotation>(annotations.front())
                   : nullptr;
    }
    size_t screens() { return screen_->navigationController()->viewControllers().size(); }
};

TEST_F(CBMapViewControllerPlacesTest, APinnedPlaceOpensItsScreenFromItsCallout) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    EXPECT_EQ(screen_->currentMap()->identifier(), "neubrandenburg");
    auto berlin = objectNamed("Berlin");
    ASSERT_TRUE(berlin);
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        berlin->objectID(), std::nullopt, false);
    ASSERT_TRUE(pinned());
    screen_->mapView()->annotationsHost()->selectAnnotationAnimated(pinned(), false);
    play(R"(
idle
expect "Berlin"
tap "Details"
idle
expect "Place"
expect "0395-570 89 70"
)");
    auto place = screen_->placeScreen();
    ASSERT_TRUE(place);
    EXPECT_EQ(place->displayObject(), berlin);
    EXPECT_EQ(screens(), 2u);
    EXPECT_FALSE(screen_->navigationController()->isToolbarHidden());
    // Its map button shows the place on the map: the screen makes way, and
    // its toolbar with it.
    place->showOnMap();
    play("idle");
    EXPECT_EQ(screens(), 1u);
    EXPECT_TRUE(screen_->navigationController()->isToolbarHidden());
    ASSERT_TRUE(pinned());
    EXPECT_EQ(pinned()->object(), berlin);

    // On the pad the screen opens in a popover over the map.
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    EXPECT_TRUE(screen_->openDetailsForAnnotation(pinned()));
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    ASSERT_TRUE(screen_->activePopover());
    EXPECT_TRUE(screen_->activePopover()->isPopoverVisible());
    EXPECT_EQ(screens(), 1u);
    ASSERT_TRUE(screen_->placeScreen());
    EXPECT_EQ(screen_->placeScreen()->displayObject(), berlin);
}

// The place screen's small map is the map the screen shows, as it is open:
// opening the place opens no store of its own.
TEST_F(CBMapViewControllerPlacesTest, APlaceScreenShowsTheOpenMapItWasGivenAndOpensNoStore) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    auto berlin = objectNamed("Berlin");
    ASSERT_TRUE(berlin);
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        berlin->objectID(), std::nullopt, false);
    ASSERT_TRUE(pinned());
    const long opened = CBOpenMap::openCount();
    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinned()));
    play("idle");
    auto place = screen_->placeScreen();
    ASSERT_TRUE(place && place->headerMapScrollView());
    const auto shown = screen_->currentMap()->openMap();
    ASSERT_TRUE(shown);
    EXPECT_EQ(place->headerMapScrollView()->openMap(), shown);
    EXPECT_EQ(screen_->mapView()->openMap(), shown);
    EXPECT_EQ(CBOpenMap::openCount(), opened);
}

TEST_F(CBMapViewControllerPlacesTest, AMapsRestaurantGuideOpensBesideItAndGoesWithIt) {
    auto map = installNeubrandenburg();
    std::string why;
    ASSERT_TRUE(TopTableFixture::writeGuideForMapStore(*map->filePath(), &why)) << why;
    registry_->setCurrentMap(map);
    showWithBookmarks();
    auto manager = screen_->mapView()->dataManager();
    EXPECT_TRUE(manager->hasPersistentStoreForKey(CBGeoDataManager::kTopTableStoreKey));
    EXPECT_EQ(screen_->basePathForTTImages(),
              NSSearchPathForDirectory(NSSearchPathDirectory::Documents) +
                  "/maps/neubrandenburg/toptable/images");
    // The map's restaurant leads to the guide's entry, found once by search.
    auto berlin = objectNamed("Berlin");
    ASSERT_TRUE(berlin);
    EXPECT_FALSE(isTopTableObject(*berlin));
    auto entry = relatedTopTableObjectFromDataManager(*berlin, manager);
    ASSERT_TRUE(entry);
    EXPECT_EQ(ttID(*entry), TopTableFixture::kBerlinVenueID);

    // The next map has no guide: none is left behind.
    registry_->setCurrentMap(installLiechtenstein());
    auto next = screen_->mapView()->dataManager();
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->hasPersistentStoreForKey(CBGeoDataManager::kTopTableStoreKey));
    EXPECT_FALSE(screen_->currentMap()->hasRestaurantGuide());
}

TEST_F(CBMapViewControllerPlacesTest, ABrokenRestaurantGuideIsOneLineAndTheMapStillOpens) {
    auto map = installNeubrandenburg();
    const std::string guide = CBTopTableStorePathForMapStorePath(*map->filePath());
    std::filesystem::create_directories(std::filesystem::path(guide).parent_path());
    std::ofstream(guide) << "an interrupted download, not a store";
    registry_->setCurrentMap(map);
    LogCapture log;
    showWithBookmarks();
    EXPECT_TRUE(screen_->hasMap());
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [&](const std::string& line) { return line.find(guide) != std::string::npos; }),
              1);
    EXPECT_FALSE(screen_->mapView()->dataManager()->hasPersistentStoreForKey(
        CBGeoDataManager::kTopTableStoreKey));
}

TEST_F(CBMapViewControllerPlacesTest, APinDroppedWithTheLoupeIsKeptAsABookmark) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    // Out on the lake, where the loupe finds no place.
    ASSERT_TRUE(screen_->mapView()->moveToCoordinateAnimated({53.52, 13.235}, false));
    play(R"(
idle
long-press 160 300
idle
expect "New place"
tap "Details"
idle
expect "Save"
expect "Tap to add title"
)");
    auto place = screen_->placeScreen();
    ASSERT_TRUE(place && place->annotationForNewBookmark());
    place->annotationForNewBookmark()->setTitle(std::string("Swimming spot"));
    place->saveNewBookmark();
    play("idle");
    // Saved once: the screen went, and the map shows the bookmark.
    EXPECT_EQ(screens(), 1u);
    auto pin = pinned();
    ASSERT_TRUE(pin);
    EXPECT_TRUE(pin->isBookmark());
    EXPECT_EQ(pin->object()->name(), "Swimming spot");
    EXPECT_TRUE(isUserGeneratedBookmark(*pin->object()));
}

// A tapped search hit is the place itself all the way: pinned as the search
// gave it, handed to its screen as it is, and bookmarked once, the screen
// keeping the bookmark it stored.
TEST_F(CBMapViewControllerPlacesTest, ATappedHitTravelsToItsScreenAndItsBookmarkAsItIs) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    auto map = screen_->mapView()->dataManager();
    map->searchDelayShort = 0;
    map->searchDelayLong = 0;
    play("tap \"Search places and addresses\"\ntype \"Berlin\"");
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !screen_->searchBar()->isLoading() && !screen_->searchResults().empty(); },
        30));
    const auto hit = screen_->searchResults().front();
    UITableView table(CGRectMake(0, 0, 320, 400), UITableViewStylePlain);
    screen_->tableViewDidSelectRowAtIndexPath(table, NSIndexPath::indexPathForRowInSection(0, 0));
    ASSERT_TRUE(pinned());
    EXPECT_EQ(pinned()->result(), hit);
    play("idle");
    EXPECT_EQ(screen_->mapView()->annotationsHost()->selectedAnnotation(), pinned());

    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinned()));
    play("idle");
    auto place = screen_->placeScreen();
    ASSERT_TRUE(place);
    EXPECT_EQ(place->object(), hit);
    EXPECT_FALSE(place->bookmark());
    place->toggleBookmark();
    ASSERT_TRUE(place->bookmark());
    EXPECT_EQ(place->bookmark()->object()->managedObjectContext(),
              bookmarks_->managedObjectContext());
    // The screen shows the place it was handed, now as a bookmark.
    EXPECT_EQ(place->object(), hit);
    NSFetchRequest stored("object");
    EXPECT_EQ(bookmarks_->managedObjectContext()->executeFetchRequest(stored)->size(), 1u);
    // Tapped again, the button deletes that bookmark rather than adding one.
    place->deleteBookmark();
    EXPECT_FALSE(place->bookmark());
    EXPECT_TRUE(bookmarks_->managedObjectContext()->executeFetchRequest(stored)->empty());
}

TEST_F(CBMapViewControllerPlacesTest, ADeletedBookmarksPinMakesWayForTheMapsPlace) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    auto berlin = objectNamed("Berlin");
    auto bookmark = bookmarks_->addBookmarkForSearchResult(
        CBGeoSearchResult::geoSearchResultWithObject(berlin));
    ASSERT_TRUE(bookmark);
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        bookmark->objectID(), std::nullopt, true);
    ASSERT_TRUE(pinned());
    EXPECT_TRUE(pinned()->isBookmark());
    EXPECT_EQ(pinned()->object(), bookmark);
    bookmarks_->deleteBookmark(bookmark);
    ASSERT_TRUE(pinned());
    EXPECT_FALSE(pinned()->isBookmark());
    EXPECT_EQ(pinned()->object(), berlin);
}

TEST_F(CBMapViewControllerPlacesTest, EachMapKeepsItsOwnBookmarks) {
    auto neubrandenburg = installNeubrandenburg();
    auto liechtenstein = installLiechtenstein();
    registry_->setCurrentMap(neubrandenburg);
    showWithBookmarks();
    auto berlin = CBGeoSearchResult::geoSearchResultWithObject(objectNamed("Berlin"));
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(berlin));

    registry_->setCurrentMap(liechtenstein);
    EXPECT_EQ(screen_->currentMap()->identifier(), "liechtenstein");
    EXPECT_EQ(bookmarks_->mapIdentifier(), "liechtenstein");
    auto vaduz = objectNamed("Vaduz");
    ASSERT_TRUE(vaduz);
    EXPECT_FALSE(bookmarks_->hasBookmarkForObject(vaduz));
    ASSERT_TRUE(bookmarks_->addBookmarkForObject(vaduz));

    // The first map opens anew: its places are asked of it again.
    registry_->setCurrentMap(neubrandenburg);
    EXPECT_EQ(bookmarks_->mapIdentifier(), "neubrandenburg");
    EXPECT_TRUE(bookmarks_->hasBookmarkForSearchResult(
        CBGeoSearchResult::geoSearchResultWithObject(objectNamed("Berlin"))));
    NSFetchRequest all("object");
    EXPECT_EQ(bookmarks_->managedObjectContext()->executeFetchRequest(all)->size(), 1u);
}

// The map opens before the window is key, as it does at the program's start:
// the message waits for the window and is shown once.
TEST_F(CBMapViewControllerPlacesTest, DamagedBookmarksAreSetAsideSaidOnceAndNewOnesCanBeAdded) {
    auto map = installNeubrandenburg();
    registry_->setCurrentMap(map);
    const std::string store = bookmarks_->bookmarksBasePath() + "/neubrandenburg.sqlite";
    std::ofstream(store) << "scribbled over";
    UIApplication::sharedApplication()->setKeyWindow(nullptr);
    screen_ = std::make_shared<CBMapViewController>(
        registry_, "", CBCurrentMap::create(registry_, bookmarks_, nullptr));
    window_ = std::make_shared<UIWindow>(CGRect{CGPointZero, {320, 568}});
    window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
    window_->makeKeyAndVisible();
    window_->layoutIfNeeded();
    EXPECT_TRUE(screen_->hasMap());
    EXPECT_EQ(bookmarks_->storeState(), CBBookmarksManager::StoreState::Open);
    play(R"(
wait-for "Bookmarks could not be read"
tap "OK"
idle
)");
    const auto copies = NSFileManagerSetAsideCopiesOfFile(store);
    ASSERT_EQ(copies.size(), 1u);
    std::ifstream kept(copies[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "scribbled over");
    EXPECT_TRUE(
        bookmarks_->addBookmarkFromAnnotation(std::make_shared<CBBasicAnnotation>(53.55, 13.26)));
    play(R"(
wait 0.3
expect-not "Bookmarks could not be read"
)");
}

TEST_F(CBMapViewControllerPlacesTest, ALinkClosesThePlaceScreensBeforeTheMapMoves) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    auto berlin = objectNamed("Berlin");
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        berlin->objectID(), std::nullopt, false);
    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinned()));
    play("idle");
    ASSERT_EQ(screens(), 2u);
    CBKelvaraLink link;
    link.coordinate = {53.5575, 13.2610};
    link.zoomLevel = 16;
    ASSERT_TRUE(screen_->openLink(link));
    EXPECT_EQ(screens(), 1u);
    EXPECT_FALSE(screen_->placeScreen());

    // A link that no map holds leaves the screens as they are.
    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinned()));
    play("idle");
    link.coordinate = {10, 10};
    EXPECT_FALSE(screen_->openLink(link));
    EXPECT_EQ(screens(), 2u);
}

}  // namespace
