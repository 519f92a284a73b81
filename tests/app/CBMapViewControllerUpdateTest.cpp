// The map screen while the files of the map it shows are replaced (an
// update, the installed copy of the bundled sample): the pins and the
// screens over the map let go of the old package before it closes, the pins
// are found again in the new one, and what is kept at the end comes from
// values, never from a closed store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CBGeoData/CBGeoSearchResult.h"
#include "Dispatch/NSRunLoop.h"
#include "MapScreenFixture.h"
#include "UIKit/UISearchDisplayController.h"
#include "app/CBMapAnnotationsStore.h"
#include "app/CBPlaceAnnotation.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBOpenMap.h"
#include "places/CBGeoObjectDetailVC.h"

namespace {

namespace fs = std::filesystem;

class CBMapViewControllerUpdateTest : public MapScreenWithBookmarksTest {
  protected:
    std::vector<CBAnnotationRef> pins() {
        return screen_->mapView()->annotationsHost()->annotations();
    }
    std::shared_ptr<CBPlaceAnnotation> pinTitled(const std::string& title) {
        for (const auto& pin : pins())
            if (auto place = std::dynamic_pointer_cast<CBPlaceAnnotation>(pin);
                place && place->title() == title)
                return place;
        return nullptr;
    }
    // Whether the pin's place is one of the map shown now.
    bool isOfShownMap(const std::shared_ptr<CBPlaceAnnotation>& pin) {
        return pin && pin->object() &&
               pin->object()->managedObjectContext() ==
                   screen_->mapView()->dataManager()->managedObjectContext();
    }
    void pinPlace(const std::string& name) {
        auto object = objectNamed(name);
        ASSERT_TRUE(object);
        screen_->showPlace(CBGeoSearchResult::geoSearchResultWithObject(object), false);
    }
    // Types the text into the search bar and waits for its hits.
    void search(const std::string& text) {
        auto map = screen_->mapView()->dataManager();
        map->searchDelayShort = 0;
        map->searchDelayLong = 0;
        play("tap \"Search places and addresses\"\ntype \"" + text + "\"");
        ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] { return !screen_->searchResults().empty(); }, 30));
    }
    // What the registry does as an update of the map installs: it says the
    // map is about to close, closes it and puts the new files in place.
    void closeForUpdate(const std::shared_ptr<CBMapStoreMap>& map) {
        const auto path = *map->filePath();
        screen_->currentMap()->userMapStoreWillUpdateMap(*registry_, map);
        CBOpenMap::invalidateStoreIdentifier(*map->identifier());
        const std::string fresh = path + ".new";
        fs::copy_file(path, fresh);
        fs::rename(fresh, path);
    }
    // ... and then says that the update is installed.
    void finishUpdate(const std::shared_ptr<CBMapStoreMap>& map) {
        screen_->currentMap()->userMapStoreUpdatedMap(*registry_, map);
        screen_->userMapStoreUpdatedMap(*registry_, map);
        waitForOpenMap();
    }
    void waitForOpenMap() {
        ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                auto shown = screen_->mapView()->openMap();
                return shown && !shown->isClosed() && !pins().empty();
            },
            10));
    }
    // The bundled sample, a copy of the map's package outside the maps.
    std::string sample() {
        const std::string path = home_.file("sample/neubrandenburg.sqlite");
        if (!fs::exists(path)) {
            fs::create_directories(fs::path(path).parent_path());
            fs::copy_file(samplePackageStore(), path);
        }
        return path;
    }
    void showWithSample() { showWithBookmarks({320, 568}, sample()); }
    std::vector<CBMapAnnotationsStore::Entry> savedPins() {
        return CBMapAnnotationsStore().entriesForMap("neubrandenburg");
    }
};

// Open screens over the map, a search and pins of all kinds: as the update
// comes the screens and the search go, the pins are kept, and the places
// are found again in the new files.
TEST_F(CBMapViewControllerUpdateTest, PinnedPlacesAreFoundAgainInTheUpdatedMap) {
    auto neubrandenburg = installNeubrandenburg();
    registry_->setCurrentMap(neubrandenburg);
    showWithBookmarks();
    pinPlace("Turmcafe");
    auto bookmark = bookmarks_->addBookmarkForSearchResult(
        CBGeoSearchResult::geoSearchResultWithObject(objectNamed("Berlin")));
    ASSERT_TRUE(bookmark);
    auto bookmarkPin = std::make_shared<CBPlaceAnnotation>(
        CBGeoSearchResult::geoSearchResultWithObject(bookmark), true);
    bookmarkPin->setTitle(std::string("Berlin"));
    auto dropped = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2D{53.56, 13.27});
    dropped->setTitle(std::string("Meeting point"));
    screen_->mapView()->annotationsHost()->addAnnotationsCentered({dropped, bookmarkPin}, false);
    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinTitled("Turmcafe")));
    play("idle");
    ASSERT_TRUE(screen_->placeScreen());
    screen_->navigationController()->popToRootViewControllerAnimated(false);
    search("Turm");
    ASSERT_TRUE(screen_->openDetailsForAnnotation(pinTitled("Turmcafe")));

    closeForUpdate(neubrandenburg);
    // Nothing of the closing package is left to be read.
    EXPECT_FALSE(screen_->placeScreen());
    EXPECT_TRUE(screen_->searchResults().empty());
    EXPECT_TRUE(pins().empty());
    finishUpdate(neubrandenburg);
    play("idle\nexpect-not \"Cancel\"");

    ASSERT_EQ(pins().size(), 3u);
    auto cafe = pinTitled("Turmcafe");
    ASSERT_TRUE(cafe);
    EXPECT_FALSE(cafe->isBookmark());
    EXPECT_TRUE(isOfShownMap(cafe));
    EXPECT_EQ(cafe->object()->name(), "Turmcafe");
    bool bookmarkKept = false;
    bool droppedKept = false;
    for (const auto& pin : pins()) {
        auto place = std::dynamic_pointer_cast<CBPlaceAnnotation>(pin);
        bookmarkKept =
            bookmarkKept || (place && place->isBookmark() && place->object() == bookmark);
        droppedKept = droppedKept || (!place && pin->title() == "Meeting point");
    }
    EXPECT_TRUE(bookmarkKept);
    EXPECT_TRUE(droppedKept);
    // Its screen opens from the new files.
    ASSERT_TRUE(screen_->openDetailsForAnnotation(cafe));
    play("idle\nexpect \"Turmcafe\"");

    screen_->applicationDidMoveToBackground();
    const auto saved = savedPins();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved.front().title, "Turmcafe");
    EXPECT_TRUE(saved.front().objectURI);
    EXPECT_TRUE(saved.front().place);
}

// The program ends, or goes to the background, while the update has closed
// the map: the pins are saved from the values kept of them, and the next
// start finds the place by them in a package whose store is another.
TEST_F(CBMapViewControllerUpdateTest, PinsKeptWhileTheMapIsClosedAreSavedAndFoundAgain) {
    auto neubrandenburg = installNeubrandenburg();
    registry_->setCurrentMap(neubrandenburg);
    showWithBookmarks();
    pinPlace("Turmcafe");
    closeForUpdate(neubrandenburg);
    screen_->applicationDidMoveToBackground();
    auto saved = savedPins();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.front().title, "Turmcafe");
    ASSERT_TRUE(saved.front().place);
    EXPECT_EQ(saved.front().place->canonicalName, "turmcafe");

    // Another package: its store is not the one the URIs name.
    saved.front().objectURI = "x-coredata://ANOTHER-STORE/object/p66";
    auto unknown = saved.front();
    unknown.title = std::string("Gone");
    unknown.place->canonicalName = std::string("a place no package has");
    saved.push_back(unknown);
    ASSERT_TRUE(CBMapAnnotationsStore().saveEntriesForMap("neubrandenburg", saved));
    window_.reset();
    showWithBookmarks();
    ASSERT_EQ(pins().size(), 2u);
    EXPECT_TRUE(isOfShownMap(pinTitled("Turmcafe")));
    // A place the package no longer has stays a pin where it was.
    for (const auto& pin : pins()) {
        if (pin->title() == "Gone") {
            EXPECT_FALSE(std::dynamic_pointer_cast<CBGeoObjectAnnotation>(pin));
            EXPECT_EQ(pin->coordinate(), unknown.coordinate);
        }
    }
}

// An update that closed the map and then could not put its files in place:
// the old files open again, with the pins.
TEST_F(CBMapViewControllerUpdateTest, AnUpdateThatFailsAfterClosingTheMapShowsTheOldFilesAgain) {
    auto neubrandenburg = installNeubrandenburg();
    registry_->setCurrentMap(neubrandenburg);
    showWithBookmarks();
    pinPlace("Turmcafe");
    screen_->currentMap()->userMapStoreWillUpdateMap(*registry_, neubrandenburg);
    CBOpenMap::invalidateStoreIdentifier("neubrandenburg");
    waitForOpenMap();
    EXPECT_TRUE(isOfShownMap(pinTitled("Turmcafe")));
    EXPECT_EQ(screen_->currentMap()->openMap(), screen_->mapView()->openMap());
}

// The bundled sample stands in until its installed copy is there: the
// installed files take its place, with the pins.
TEST_F(CBMapViewControllerUpdateTest, TheInstalledCopyOfTheSampleTakesItsPlaceWithThePins) {
    showWithSample();
    ASSERT_EQ(screen_->currentMap()->storePath(), sample());
    pinPlace("Turmcafe");
    const std::weak_ptr<CBOpenMap> standIn = screen_->mapView()->openMap();
    auto centre = [&] {
        screen_->mapView()->visibleArea()->calculateVisibleBBox();
        return screen_->mapView()->visibleArea()->visibleCenter();
    };
    const auto before = centre();
    search("Turm");

    auto installed = installNeubrandenburg();
    screen_->userMapStoreAddedMap(*registry_, installed);
    // The hits were places of the stand-in.
    EXPECT_TRUE(screen_->searchResults().empty());
    EXPECT_EQ(screen_->currentMap()->storePath(), installed->filePath());
    EXPECT_TRUE(standIn.expired());
    EXPECT_TRUE(isOfShownMap(pinTitled("Turmcafe")));
    // The map stays where the user left it, not at its main town.
    EXPECT_NEAR(centre().latitude, before.latitude, 1e-6);
    EXPECT_NEAR(centre().longitude, before.longitude, 1e-6);
}

// An update that loads keeps the installed map on show, also at a start
// without a current map (the shelf was the last screen); the bundled sample
// stands in only while nothing installed opens, and the current map's new
// files take its place.
TEST_F(CBMapViewControllerUpdateTest, TheInstalledMapIsShownWhileItsUpdateLoads) {
    auto neubrandenburg = installNeubrandenburg();
    neubrandenburg->setIsDownloading(true);
    ASSERT_TRUE(registry_->saveChanges());
    showWithSample();
    EXPECT_EQ(screen_->currentMap()->storePath(), neubrandenburg->filePath());
    EXPECT_EQ(registry_->currentMapIdentifier(), "neubrandenburg");
    EXPECT_EQ(screen_->currentMap()->record(), neubrandenburg);

    // Files that do not open: the sample stands in until the update's do.
    const auto path = *neubrandenburg->filePath();
    fs::copy_file(path, path + ".good");
    std::ofstream(path, std::ios::trunc) << "not a map";
    showWithSample();
    EXPECT_EQ(screen_->currentMap()->storePath(), sample());
    fs::rename(path + ".good", path);
    screen_->userMapStoreUpdatedMap(*registry_, neubrandenburg);
    EXPECT_EQ(screen_->currentMap()->storePath(), path);
}

}  // namespace
