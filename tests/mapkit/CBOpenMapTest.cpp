#include "mapkit/CBOpenMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/GeoPackageFixture.h"
#include "Foundation/NSNotificationCenter.h"
#include "MapViewHome.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

namespace fs = std::filesystem;

class CBOpenMapTest : public GeoPackageTest {
  protected:
    void SetUp() override {
        GeoPackageTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The fixture's own manager would count as a second reader of the store.
        manager_.reset();
    }
    // A copy of the sample store under another name (another map).
    std::string copyOfStore(const std::string& name) {
        const std::string path = home_.folder().file(name + "/" + name + ".sqlite");
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(storePath(), path, fs::copy_options::overwrite_existing);
        return path;
    }
    MapViewHome home_;
};

TEST_F(CBOpenMapTest, AStoreIsOpenedOncePerIdentifierWhileHeld) {
    const long opens = CBOpenMap::openCount();
    auto first = CBOpenMap::openStorePath(storePath());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->identifier(), "neubrandenburg");
    EXPECT_FALSE(first->version().empty());
    EXPECT_NE(first->boundingBox(), nullptr);
    EXPECT_NE(first->styleSheet(), nullptr);
    EXPECT_EQ(first->diskCache(), CBDiskTileCache::sharedCache());
    EXPECT_EQ(CBOpenMap::openStorePath(storePath()), first);
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("neubrandenburg"), first);

    auto other = CBOpenMap::openStorePath(copyOfStore("other"));
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, first);
    EXPECT_NE(other->dataManager(), first->dataManager());
    EXPECT_EQ(CBOpenMap::openCount(), opens + 2);
}

TEST_F(CBOpenMapTest, TheStoreClosesWithItsLastHolder) {
    const std::string path = copyOfStore("leaving");
    const long opens = CBOpenMap::openCount();
    auto map = CBOpenMap::openStorePath(path);
    ASSERT_NE(map, nullptr);
    std::weak_ptr<CBGeoDataManager> data = map->dataManager();
    map.reset();
    EXPECT_TRUE(runMainLoopUntil([&] { return data.expired(); }, 30));
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("leaving"), nullptr);

    // Gone from the table: the file can go, and a new open tries it afresh.
    fs::remove(path);
    NSError error;
    EXPECT_EQ(CBOpenMap::openStorePath(path, &error), nullptr);
    EXPECT_EQ(error.domain, CBOpenMap::kErrorDomain);
    EXPECT_EQ(error.code, CBOpenMap::kNoStoreError);
    copyOfStore("leaving");
    EXPECT_NE(CBOpenMap::openStorePath(path), nullptr);
    EXPECT_EQ(CBOpenMap::openCount(), opens + 2);
}

// A broken store fails every caller alike and leaves nothing behind, so the
// open after it is mended succeeds.
TEST_F(CBOpenMapTest, AStoreThatDoesNotOpenLeavesNothingInTheTable) {
    const std::string path = home_.folder().file("broken/broken.sqlite");
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "not a store";
    NSError first, second;
    EXPECT_EQ(CBOpenMap::openStorePath(path, &first), nullptr);
    EXPECT_EQ(CBOpenMap::openStorePath(path, &second), nullptr);
    EXPECT_EQ(first.code, CBOpenMap::kStoreUnreadableError);
    EXPECT_EQ(first.localizedDescription(), second.localizedDescription());
    EXPECT_NE(first.localizedDescription().find(path), std::string::npos);
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("broken"), nullptr);

    // One missing store of several opens none.
    EXPECT_EQ(CBOpenMap::openStorePathes({storePath(), home_.folder().file("none.sqlite")}),
              nullptr);
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("neubrandenburgnone"), nullptr);

    fs::copy_file(storePath(), path, fs::copy_options::overwrite_existing);
    EXPECT_NE(CBOpenMap::openStorePath(path), nullptr);
}

// An update renames a new file over the store: the next open gives a new
// open map and the old one is closed, reading nothing more.
TEST_F(CBOpenMapTest, AReplacedStoreGivesANewOpenMap) {
    const std::string path = copyOfStore("updated");
    auto old = CBOpenMap::openStorePath(path);
    ASSERT_NE(old, nullptr);
    const std::string staged = home_.folder().file("updated/staged.sqlite");
    fs::copy_file(storePath(), staged);
    fs::rename(staged, path);

    auto renewed = CBOpenMap::openStorePath(path);
    ASSERT_NE(renewed, nullptr);
    EXPECT_NE(renewed, old);
    EXPECT_TRUE(old->isClosed());
    EXPECT_FALSE(old->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        "Markt", false, false, [](const auto&) {}));
    EXPECT_EQ(old->tagsMatchingKeyAndAttribute("amenity", std::nullopt), std::nullopt);
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("updated"), renewed);
}

// A copy of a store elsewhere under the same name is another map: the one
// held stays open for its holders.
TEST_F(CBOpenMapTest, ACopyOfTheSameNameElsewhereLeavesTheHeldMapOpen) {
    auto held = CBOpenMap::openStorePath(copyOfStore("twin"));
    ASSERT_NE(held, nullptr);
    const std::string elsewhere = home_.folder().file("elsewhere/twin.sqlite");
    fs::create_directories(fs::path(elsewhere).parent_path());
    fs::copy_file(storePath(), elsewhere);
    auto copy = CBOpenMap::openStorePath(elsewhere);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, held);
    EXPECT_FALSE(held->isClosed());
}

// The registry closes a map before it swaps its files: a view showing it
// opens the map again, and the table hands out the new one.
TEST_F(CBOpenMapTest, AnInvalidatedMapIsReopenedByTheViewShowingIt) {
    const std::string path = copyOfStore("swapped");
    auto view = CBMapScrollView::create({{0, 0}, {320, 480}});
    view->visibleArea()->setSavesState(false);
    ASSERT_TRUE(view->setMapWithStorePathAndBoundingBox(path, nullptr));
    auto shown = view->openMap();
    ASSERT_NE(shown, nullptr);
    bool heard = false;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        CBOpenMap::kCBOpenMapDidCloseNotification, nullptr, {},
        [&](const NSNotification& notification) {
            heard = notification.userInfo.at("identifier").stringValue() &&
                    *notification.userInfo.at("identifier").stringValue() == "swapped";
        });

    CBOpenMap::invalidateStoreIdentifier("swapped");
    EXPECT_TRUE(shown->isClosed());
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("swapped"), nullptr);
    ASSERT_TRUE(runMainLoopUntil([&] { return heard; }));
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    auto reopened = view->openMap();
    ASSERT_NE(reopened, nullptr);
    EXPECT_NE(reopened, shown);
    EXPECT_FALSE(reopened->isClosed());
    EXPECT_EQ(view->currentMapStorePath(), "swapped");
    EXPECT_EQ(view->dataManager(), reopened->dataManager());

    // Deleted: the view lets the map go.
    CBOpenMap::invalidateStoreIdentifier("swapped");
    fs::remove(path);
    EXPECT_TRUE(runMainLoopUntil([&] { return !view->openMap() && !view->dataManager(); }, 30));
    EXPECT_EQ(view->openMap(), nullptr);
    EXPECT_EQ(view->dataManager(), nullptr);
}

// The installed copy of a map the view shows from elsewhere (the bundled
// sample) takes its place: the view reads the new files and keeps its pins.
TEST_F(CBOpenMapTest, TheSameMapFromOtherFilesTakesThePlaceOfTheOneShown) {
    auto view = CBMapScrollView::create({{0, 0}, {320, 480}});
    view->visibleArea()->setSavesState(false);
    ASSERT_TRUE(view->setMapWithStorePathAndBoundingBox(storePath(), nullptr));
    auto sample = view->openMap();
    auto pin = std::make_shared<CBBasicAnnotation>(53.5574, 13.2610);
    view->annotationsHost()->addAnnotationCentered(pin, false);

    const std::string installed = copyOfStore("neubrandenburg");
    ASSERT_TRUE(view->setMapWithStorePathAndBoundingBox(installed, nullptr));
    ASSERT_NE(view->openMap(), sample);
    EXPECT_TRUE(view->openMap()->opensFiles({installed}));
    EXPECT_EQ(view->dataManager(), view->openMap()->dataManager());
    EXPECT_EQ(view->annotationsHost()->annotations().size(), 1u);
    // Asked again for the same files, the view keeps what it shows.
    auto shown = view->openMap();
    EXPECT_TRUE(view->setMapWithStorePathAndBoundingBox(installed, nullptr));
    EXPECT_EQ(view->openMap(), shown);
}

// Small maps of the same store (a place's header, a walk) share the main
// map's open map instead of opening the store again.
TEST_F(CBOpenMapTest, ViewsOfOneStoreShareItsOpenMap) {
    const long opens = CBOpenMap::openCount();
    auto main = CBMapScrollView::create({{0, 0}, {320, 480}});
    auto header = CBMapScrollView::create({{0, 0}, {320, 120}});
    main->visibleArea()->setSavesState(false);
    header->visibleArea()->setSavesState(false);
    ASSERT_TRUE(main->setMapWithStorePathAndBoundingBox(storePath(), nullptr));
    ASSERT_TRUE(header->setMapWithStorePathAndBoundingBox(storePath(), nullptr));
    EXPECT_EQ(main->openMap(), header->openMap());
    EXPECT_EQ(CBOpenMap::openCount(), opens + 1);

    // One view leaving the map leaves it open for the other.
    std::weak_ptr<CBOpenMap> shared = main->openMap();
    header.reset();
    EXPECT_FALSE(shared.expired());
    EXPECT_FALSE(main->openMap()->isClosed());
    std::vector<std::shared_ptr<CBGeoSearchResult>> hits;
    ASSERT_TRUE(main->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        "Marktplatz", false, false, [&](const auto& results) { hits = results; }));
    EXPECT_TRUE(runMainLoopUntil([&] { return !hits.empty(); }));
    main->setOpenMap(nullptr);
    main.reset();
    EXPECT_TRUE(runMainLoopUntil([&] { return shared.expired(); }, 30));
}

}  // namespace
