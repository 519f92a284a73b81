// The map being shown follows the maps the shell shows it and the
// registry's news: bookmarks, restaurant guide and Wikipedia go with the map,
// and a map deleted while shown lets its stores go and tells its holders.
#include "model/CBCurrentMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSFetchRequest.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBTopTableFiles.h"
#include "model/WikipediaTestSupport.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

namespace {

class RecordingObserver : public CBCurrentMapObserver {
  public:
    void currentMapWillClose(CBCurrentMap& map) override {
        events.push_back("closing " + map.identifier().value_or("none") +
                         (map.openMap() && map.openMap()->isClosed() ? " already closed" : ""));
    }
    void currentMapDidChange(CBCurrentMap& map) override {
        events.push_back("changed " + map.identifier().value_or("none"));
    }
    void currentMapDidClose(CBCurrentMap& map, const std::string& identifier) override {
        events.push_back("closed " + identifier + (map.isOpen() ? " still open" : ""));
    }
    std::vector<std::string> events;
};

class CBCurrentMapTest : public WikipediaTestBase {
  protected:
    void SetUp() override {
        WikipediaTestBase::SetUp();
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        registry_ = CBUserMapStoreEngine::createWithDownloadManager(engine_, catalogue_);
        registry_->addDelegate(manager_);
        bookmarks_ = CBBookmarksManager::create();
        current_ = CBCurrentMap::create(registry_, bookmarks_, manager_);
        current_->addObserver(observer_);
        neubrandenburg_ = install("neubrandenburg");
        liechtenstein_ = install("liechtenstein");
    }
    void TearDown() override {
        current_.reset();
        bookmarks_.reset();
        registry_.reset();
        WikipediaTestBase::TearDown();
    }
    CBCurrentMap::Map install(const std::string& identifier) {
        auto map = registry_->installLocalPackageWithIdentifierFromFolder(
            identifier, std::string(KELVARA_PACKAGES_DIR) + "/" + identifier);
        EXPECT_NE(map, nullptr);
        return map;
    }
    // What the map screen does: the registry's current map opens through
    // the table of open maps and is handed over.
    std::optional<CBBookmarksManager::StoreState> show(const CBCurrentMap::Map& map) {
        registry_->setCurrentMap(map);
        const auto path = CBCurrentMap::installedStorePath(map);
        EXPECT_TRUE(path);
        auto open = CBOpenMap::openStorePath(*path);
        EXPECT_TRUE(open);
        return current_->showOpenMap(open);
    }
    std::shared_ptr<CBGeoObject> placeOfMap(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        auto found = current_->dataManager()->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                        : nullptr;
    }

    // The names of the bookmarks of the map shown.
    std::vector<std::string> bookmarkNames() {
        std::vector<std::string> names;
        NSFetchRequest request("object");
        if (auto found = bookmarks_->managedObjectContext()->executeFetchRequest(request))
            for (const auto& object : *found)
                names.push_back(
                    std::dynamic_pointer_cast<CBGeoObject>(object)->name().value_or(""));
        return names;
    }

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<CBBookmarksManager> bookmarks_;
    std::shared_ptr<CBCurrentMap> current_;
    std::shared_ptr<RecordingObserver> observer_ = std::make_shared<RecordingObserver>();
    CBCurrentMap::Map neubrandenburg_;
    CBCurrentMap::Map liechtenstein_;
};

TEST_F(CBCurrentMapTest, SwitchingMapsTheBookmarksGuideAndWikipediaFollow) {
    installSample();
    // Liechtenstein's package brings a restaurant guide.
    const auto guide =
        CBTopTableStorePathForMapStorePath(*CBCurrentMap::installedStorePath(liechtenstein_));
    std::filesystem::create_directories(std::filesystem::path(guide).parent_path());
    ASSERT_TRUE(CBGeoDataManager::create()->addPersistentStoreCoordinatorWithPath(guide));

    EXPECT_EQ(show(neubrandenburg_), CBBookmarksManager::StoreState::Open);
    EXPECT_EQ(current_->identifier(), "neubrandenburg");
    EXPECT_EQ(current_->record(), neubrandenburg_);
    EXPECT_EQ(current_->title(), neubrandenburg_->shortTitle());
    EXPECT_EQ(current_->country(), neubrandenburg_->country()->localName());
    EXPECT_EQ(bookmarks_->mapIdentifier(), "neubrandenburg");
    EXPECT_TRUE(current_->hasWikipedia());
    EXPECT_FALSE(current_->hasRestaurantGuide());
    ASSERT_TRUE(bookmarks_->addBookmarkForObject(placeOfMap("Berlin")));

    EXPECT_EQ(show(liechtenstein_), CBBookmarksManager::StoreState::Open);
    EXPECT_EQ(current_->identifier(), "liechtenstein");
    EXPECT_EQ(current_->title(), liechtenstein_->shortTitle());
    EXPECT_EQ(bookmarks_->mapIdentifier(), "liechtenstein");
    EXPECT_TRUE(bookmarkNames().empty());
    EXPECT_FALSE(current_->hasWikipedia());
    EXPECT_TRUE(current_->hasRestaurantGuide());
    EXPECT_EQ(current_->restaurantGuideImagesPath(),
              CBTopTableImagesPathForMapStorePath(*current_->storePath()));

    // Back on the first map its bookmark is there again.
    show(neubrandenburg_);
    EXPECT_EQ(bookmarkNames(), std::vector<std::string>{"Berlin"});
    EXPECT_TRUE(current_->hasWikipedia());
    // The same map again changes nothing: the bookmark store stays open.
    EXPECT_EQ(show(neubrandenburg_), std::nullopt);
    EXPECT_EQ(observer_->events,
              (std::vector<std::string>{"changed neubrandenburg", "changed liechtenstein",
                                        "changed neubrandenburg"}));
}

// The shelf takes the registry's current map away while the map stays under
// it; a map shown from elsewhere is kept under its file's name until it is
// the registry's, and the map shown replaced by an update opens anew.
TEST_F(CBCurrentMapTest, TheRecordFollowsTheRegistryAndAnUpdatedMapOpensAnew) {
    show(neubrandenburg_);
    registry_->setCurrentMap(nullptr);
    EXPECT_EQ(current_->identifier(), "neubrandenburg");
    EXPECT_EQ(current_->record(), neubrandenburg_);

    current_->showOpenMap(
        CBOpenMap::openStorePath(*CBCurrentMap::installedStorePath(liechtenstein_)));
    EXPECT_EQ(current_->identifier(), "liechtenstein");
    EXPECT_EQ(current_->record(), nullptr);
    EXPECT_EQ(current_->title(), std::nullopt);
    registry_->setCurrentMap(liechtenstein_);
    EXPECT_EQ(current_->record(), liechtenstein_);

    // The registry closes the map before an update swaps its files; the
    // holders hear of it while it is still open.
    observer_->events.clear();
    const std::weak_ptr<CBOpenMap> before = current_->openMap();
    current_->userMapStoreWillUpdateMap(*registry_, neubrandenburg_);
    current_->userMapStoreWillUpdateMap(*registry_, liechtenstein_);
    CBOpenMap::invalidateStoreIdentifier("liechtenstein");
    current_->userMapStoreUpdatedMap(*registry_, neubrandenburg_);
    EXPECT_EQ(observer_->events, std::vector<std::string>{"closing liechtenstein"});
    current_->userMapStoreUpdatedMap(*registry_, liechtenstein_);
    EXPECT_EQ(observer_->events,
              (std::vector<std::string>{"closing liechtenstein", "changed liechtenstein"}));
    ASSERT_TRUE(current_->openMap());
    EXPECT_FALSE(current_->openMap()->isClosed());
    EXPECT_TRUE(before.expired());
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("liechtenstein"), current_->openMap());
}

// The registry closes open maps by name: a stand-in of the same name (the
// bundled sample) closes with the installed map, and opens again.
TEST_F(CBCurrentMapTest, AStandInClosesWithTheInstalledMapOfItsNameAndOpensAgain) {
    const std::string standIn = home_.file("sample/liechtenstein.sqlite");
    std::filesystem::create_directories(std::filesystem::path(standIn).parent_path());
    std::filesystem::copy_file(*CBCurrentMap::installedStorePath(liechtenstein_), standIn);
    current_->showOpenMap(CBOpenMap::openStorePath(standIn));
    observer_->events.clear();
    current_->userMapStoreWillUpdateMap(*registry_, neubrandenburg_);
    current_->userMapStoreWillUpdateMap(*registry_, liechtenstein_);
    current_->userMapStoreWillDeleteMap(*registry_, liechtenstein_);
    EXPECT_EQ(observer_->events,
              (std::vector<std::string>{"closing liechtenstein", "closing liechtenstein"}));
    EXPECT_TRUE(current_->isOpen());
    CBOpenMap::invalidateStoreIdentifier("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return observer_->events.size() == 3; }));
    EXPECT_EQ(observer_->events.back(), "changed liechtenstein");
    EXPECT_EQ(current_->storePath(), standIn);
    EXPECT_FALSE(current_->openMap()->isClosed());
}

TEST_F(CBCurrentMapTest, AMapDeletedWhileShownLetsItsStoresGoAndTellsItsHolders) {
    show(neubrandenburg_);
    const std::weak_ptr<CBOpenMap> shown = current_->openMap();
    observer_->events.clear();
    // Another map going changes nothing here.
    registry_->deleteMap(liechtenstein_);
    EXPECT_TRUE(observer_->events.empty());
    EXPECT_TRUE(current_->isOpen());

    registry_->deleteMap(neubrandenburg_);
    EXPECT_EQ(observer_->events,
              (std::vector<std::string>{"closing neubrandenburg", "closed neubrandenburg"}));
    EXPECT_FALSE(current_->isOpen());
    EXPECT_EQ(current_->dataManager(), nullptr);
    EXPECT_TRUE(shown.expired());
    EXPECT_EQ(CBOpenMap::openMapWithIdentifier("neubrandenburg"), nullptr);
    EXPECT_EQ(current_->record(), nullptr);
    EXPECT_EQ(current_->identifier(), std::nullopt);
    EXPECT_EQ(bookmarks_->storeState(), CBBookmarksManager::StoreState::Closed);
    EXPECT_FALSE(current_->hasWikipedia());
    // Closed once: the map's own deletion news finds nothing more to do.
    current_->close();
    EXPECT_EQ(observer_->events.size(), 2u);
}

}  // namespace
