#include "packages/CBUserMapStoreEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Foundation/NSFileManager+SetAside.h"
#include "MapStoreTestSupport.h"
#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "TileCachePrefillStep.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBOpenMap.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadTransfer.h"
#include "packages/ZELStagedInstall.h"

#ifdef KELVARA_MAPSTORE_ROOT

namespace fs = std::filesystem;

namespace {

class RegistryRecorder : public CBUserMapStoreEngineDelegate {
  public:
    std::vector<std::string> events;
    void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) override {
        events.push_back("current " + (map ? map->identifier().value_or("") : "none"));
    }
    void userMapStoreAddedMap(CBUserMapStoreEngine&, const Map& map) override {
        events.push_back("added " + map->identifier().value_or(""));
    }
    void userMapStoreWillUpdateMap(CBUserMapStoreEngine&, const Map& map) override {
        events.push_back("willUpdate " + map->identifier().value_or(""));
    }
    void userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map& map) override {
        events.push_back("updated " + map->identifier().value_or(""));
    }
    void userMapStoreWillDeleteMap(CBUserMapStoreEngine&, const Map& map) override {
        events.push_back("willDelete " + map->identifier().value_or(""));
    }
    void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                const std::string& identifier) override {
        events.push_back("didDelete " + identifier);
    }
};

class CBUserMapStoreEngineTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        catalogue_ = std::make_shared<CBMapStoreEngine>(
            writeSampleCatalogue(home_.file("cat.sqlite")), true);
        openRegistry();
    }
    void TearDown() override {
        registry_.reset();
        catalogue_.reset();
        DownloadTestBase::TearDown();
    }
    void openRegistry() {
        registry_ = CBUserMapStoreEngine::createWithDownloadManager(engine_, catalogue_);
        // The tile-cache pre-fill has a test of its own.
        registry_->setPostInstallStep(
            [](const auto&, bool, auto, std::function<void()> done) { done(); });
        registry_->addDelegate(recorder_registry_);
    }
    // Loads and installs map/<code>/<identifier>.zip as it is on the server.
    ZELDownloadManagerEngine::Download download(const std::string& identifier,
                                                const std::string& code = "DE") {
        auto added = add(identifier, code);
        engine_->resumeDownloads();
        return added;
    }
    std::string installedStore(const std::string& identifier) const {
        return mapsFolder() + "/" + identifier + "/" + identifier + ".sqlite";
    }
    std::shared_ptr<CBMapStoreEngine> catalogue_;
    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<RegistryRecorder> recorder_registry_ = std::make_shared<RegistryRecorder>();
};

TEST_F(CBUserMapStoreEngineTest, RecordsADownloadingMapAndInstallsItAfterValidation) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    auto queued = download("neubrandenburg");
    auto record = registry_->mapForIdentifier("neubrandenburg");
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->isDownloading());
    EXPECT_FALSE(record->dateAdded());
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));

    record = registry_->mapForIdentifier("neubrandenburg");
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->isDownloading());
    EXPECT_TRUE(record->dateAdded());
    EXPECT_EQ(record->title(), "Neubrandenburg, Mecklenburg-Vorpommern");
    EXPECT_EQ(record->country()->countryCode(), "DE");
    EXPECT_EQ(record->filePath(), installedStore("neubrandenburg"));
    EXPECT_TRUE(
        CBUserMapStoreEngine::validateMapStoreAtPath(installedStore("neubrandenburg"), nullptr));
    EXPECT_EQ(registry_->allIdentifiers(), std::set<std::string>{"neubrandenburg"});
    EXPECT_EQ(recorder_registry_->events, std::vector<std::string>{"added neubrandenburg"});
    // The package's documents and a cover in the documents folder.
    const auto documents = registry_->documentInfosArrayForMap(record);
    ASSERT_TRUE(documents);
    ASSERT_EQ(documents->size(), 1u);
    EXPECT_EQ(documents->front().title, "Licence");
    EXPECT_TRUE(fs::exists(*documents->front().path));
    EXPECT_TRUE(runUntil(
        [] {
            return fs::exists(
                *CBMapStoreEngine::defaultCoverPathForMapWithIdentifier("neubrandenburg"));
        },
        10));
}

TEST_F(CBUserMapStoreEngineTest, AnUpdateWhoseStoreIsBrokenKeepsTheOldMap) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    download("liechtenstein", "LI");
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    const auto before = ZELDownloadTransfer::md5OfFile(installedStore("liechtenstein"));
    const auto added = registry_->mapForIdentifier("liechtenstein")->dateAdded();

    const std::string broken = root_.file("broken.zip");
    ASSERT_TRUE(writeTestZip(broken, {{"liechtenstein/liechtenstein.sqlite", "not a database"}}));
    publish(broken, "liechtenstein", "LI");
    recorder_->events.clear();
    auto update = download("liechtenstein", "LI");
    ASSERT_TRUE(waitForState(update, ZELDownloadStateFailed));
    EXPECT_EQ(update->lastError()->domain, "CBUserMapStoreEngineErrorDomain");
    EXPECT_EQ(ZELDownloadTransfer::md5OfFile(installedStore("liechtenstein")), before);
    EXPECT_FALSE(
        fs::exists(ZELStagedInstall::previousPathForInstallPath(mapsFolder() + "/liechtenstein")));
    auto record = registry_->mapForIdentifier("liechtenstein");
    EXPECT_EQ(record->dateAdded(), added);
    EXPECT_EQ(recorder_registry_->events, std::vector<std::string>{"added liechtenstein"});
    // Giving up the update leaves the installed map as it was.
    engine_->cancelDownloads({update});
    EXPECT_FALSE(registry_->mapForIdentifier("liechtenstein")->isDownloading());
}

TEST_F(CBUserMapStoreEngineTest, AGoodUpdateReplacesTheMapAndSaysSo) {
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    recorder_->events.clear();
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_EQ(recorder_registry_->events,
              (std::vector<std::string>{"added three-rivers", "willUpdate three-rivers",
                                        "updated three-rivers"}));
    EXPECT_TRUE(fs::exists(installedStore("three-rivers")));
}

// A damaged queue or registry is set aside, not left to lock the maps away:
// the registry is made anew from the map folders whose geo stores validate.
TEST_F(CBUserMapStoreEngineTest, DamagedStoresAreSetAsideAndTheMapsOnDiskRecordedAnew) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("liechtenstein", "LI");
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    fs::create_directories(mapsFolder() + "/broken");
    std::ofstream(mapsFolder() + "/broken/broken.sqlite") << "not a database";
    registry_.reset();
    engine_.reset();
    const std::string registryStore = home_.path() + "/Documents/CBUserMapStore.bin";
    for (const std::string& store : {registryStore, queueStorePath()})
        std::ofstream(store, std::ios::trunc) << "garbage, not a store";

    openEngine();
    const auto queueCopies = NSFileManagerSetAsideCopiesOfFile(queueStorePath());
    ASSERT_EQ(queueCopies.size(), 1u);
    EXPECT_EQ(readFile(queueCopies[0]), "garbage, not a store");
    EXPECT_EQ(engine_->currentQueueLength(), 0u);
    openRegistry();
    const auto registryCopies = NSFileManagerSetAsideCopiesOfFile(registryStore);
    ASSERT_EQ(registryCopies.size(), 1u);
    EXPECT_EQ(readFile(registryCopies[0]), "garbage, not a store");
    EXPECT_EQ(registry_->allIdentifiers(),
              (std::set<std::string>{"liechtenstein", "three-rivers"}));
    auto record = registry_->mapForIdentifier("liechtenstein");
    EXPECT_EQ(record->country()->countryCode(), "LI");
    EXPECT_TRUE(record->dateAdded());
    EXPECT_FALSE(record->isDownloading());
    EXPECT_FALSE(registry_->checkMapIsDamaged(record));
    // The rebuilt registry is kept: the next start reads it as it is.
    registry_.reset();
    openRegistry();
    EXPECT_EQ(registry_->allIdentifiers().size(), 2u);
}

// An installed map whose geo store went bad is known as damaged, and loaded
// anew from the store on request.
TEST_F(CBUserMapStoreEngineTest, ADamagedInstalledMapIsMarkedAndLoadedAgain) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    download("liechtenstein", "LI");
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    std::ofstream(installedStore("liechtenstein"), std::ios::trunc) << "damaged";
    registry_.reset();
    openRegistry();
    auto map = registry_->mapForIdentifier("liechtenstein");
    EXPECT_FALSE(registry_->isMapDamaged("liechtenstein"));
    EXPECT_TRUE(registry_->checkMapIsDamaged(map));
    EXPECT_TRUE(registry_->isMapDamaged("liechtenstein"));
    // The mark outlives the run, though no later start checks the map (it
    // is not the current one).
    registry_.reset();
    openRegistry();
    map = registry_->mapForIdentifier("liechtenstein");
    EXPECT_TRUE(registry_->isMapDamaged("liechtenstein"));

    recorder_->events.clear();
    ASSERT_TRUE(registry_->downloadOrRetryMap(map));
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    EXPECT_FALSE(registry_->isMapDamaged("liechtenstein"));
    EXPECT_FALSE(registry_->checkMapIsDamaged(map));
    registry_.reset();
    openRegistry();
    EXPECT_FALSE(registry_->isMapDamaged("liechtenstein"));
    EXPECT_TRUE(
        CBUserMapStoreEngine::validateMapStoreAtPath(installedStore("liechtenstein"), nullptr));
}

// The one call the screens ask for a map with: a map without a download is
// queued and loaded, a failed download goes on (no second one), a size the
// caller knows bounds a new download, and a map without an address in the
// store queues nothing.
TEST_F(CBUserMapStoreEngineTest, DownloadOrRetryQueuesAMapOrGoesOnWithItsFailedDownload) {
    auto phaseOf = [&](const std::string& identifier) {
        return registry_->downloadStatusForMapIdentifier(identifier).phase;
    };
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    server_->fault(packagePath("liechtenstein", "LI"), "status=500&count=100");
    auto map = catalogue_->mapForIdentifier(std::string("liechtenstein"));
    ASSERT_TRUE(registry_->downloadOrRetryMap(map));
    ASSERT_TRUE(runUntil([&] { return phaseOf("liechtenstein") == ZELDownloadPhase::Failed; }));
    const auto failed = engine_->downloadForIdentifierOfType("liechtenstein", "map");
    server_->clearFaults();
    ASSERT_TRUE(registry_->downloadOrRetryMap(map));
    EXPECT_EQ(engine_->downloadForIdentifierOfType("liechtenstein", "map"), failed);
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    EXPECT_EQ(phaseOf("liechtenstein"), ZELDownloadPhase::Installed);

    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    ASSERT_TRUE(registry_->downloadOrRetryMap(
        catalogue_->mapForIdentifier(std::string("neubrandenburg")), 1000));
    ASSERT_TRUE(runUntil([&] { return phaseOf("neubrandenburg") == ZELDownloadPhase::Failed; }));
    EXPECT_EQ(engine_->downloadForIdentifierOfType("neubrandenburg", "map")->downloadSize(), 1000);

    CBMapStoreURLManager::setBaseURL("");
    EXPECT_FALSE(
        registry_->downloadOrRetryMap(catalogue_->mapForIdentifier(std::string("three-rivers"))));
    EXPECT_FALSE(engine_->downloadForIdentifierOfType("three-rivers", "map"));
    EXPECT_FALSE(registry_->downloadOrRetryMap(nullptr));
}

TEST_F(CBUserMapStoreEngineTest, TheCurrentMapIsKeptInTheStateFileAndClearedWithItsMap) {
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    auto map = registry_->mapForIdentifier("three-rivers");
    registry_->setCurrentMap(map);
    registry_->setCurrentMap(map);  // the same map: no message
    EXPECT_EQ(registry_->currentMapTitle(), "Three Rivers");
    EXPECT_TRUE(map->lastUsed());
    openRegistry();
    EXPECT_EQ(registry_->currentMapIdentifier(), "three-rivers");
    EXPECT_EQ(registry_->mapsSortedByDate().front()->identifier(), "three-rivers");

    registry_->deleteMap(registry_->currentMap());
    EXPECT_EQ(registry_->currentMapIdentifier(), std::nullopt);
    EXPECT_TRUE(registry_->allIdentifiers().empty());
    EXPECT_TRUE(runUntil([&] { return !fs::exists(mapsFolder() + "/three-rivers"); }, 5));
    EXPECT_EQ(recorder_registry_->events,
              (std::vector<std::string>{"added three-rivers", "current three-rivers",
                                        "willDelete three-rivers", "didDelete three-rivers"}));
    registry_->resetState();
    EXPECT_FALSE(fs::exists(home_.path() + "/Caches/CBUserMapStore_state.plist"));
}

// Deleting a map left its rendered tiles in the tile cache and the part of a
// failed update it had loaded.
TEST_F(CBUserMapStoreEngineTest, DeletingAMapTakesItsTilesAndWhatAFailedUpdateLoaded) {
    const std::string package = publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    // Tiles of the map and of another one, written and indexed.
    auto cache = std::make_shared<CBDiskTileCache>();
    std::vector<uint32_t> pixels(16 * 16, 0xFF336699);
    CGImageRef tile = CGImage::createWithARGB32(
        16, 16, 16 * 4, reinterpret_cast<const uint8_t*>(pixels.data()), true);
    for (const char* store : {"three-rivers", "liechtenstein"}) {
        for (const char* quadKey : {"1023", "1030"})
            cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, quadKey, store,
                                                                    "defaultMapStyle");
    }
    cache->saveChangesIfNeeded();
    cache->waitUntilIdle();
    auto indexed = [&](const std::string& store) {
        auto fresh = std::make_shared<CBDiskTileCache>();
        size_t count = 0;
        fresh->dbQueue()->sync([&] {
            count = fresh
                        ->fetchTileForQuadKeysInStoreIdWithStyleId({"1023", "1030"}, store,
                                                                   "defaultMapStyle")
                        .value_or(std::vector<std::shared_ptr<CBDiskCacheMapTile>>{})
                        .size();
        });
        return count;
    };
    ASSERT_EQ(indexed("three-rivers"), 2u);
    const std::string folder =
        cache->filePathForStyleIdAndStoreId("defaultMapStyle", "three-rivers");
    ASSERT_TRUE(fs::exists(folder));

    // An update cut off half-way keeps its zip for a retry.
    server_->fault(packagePath("three-rivers", "US-MI"),
                   "cut=" + std::to_string(fs::file_size(package) / 2) + "&count=1");
    auto update = download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForState(update, ZELDownloadStateFailed));
    const std::string zip = update->zipPath();
    ASSERT_TRUE(fs::exists(zip));

    // The application's step after a delete takes the tiles.
    registry_->setDeletedMapStep(CBMapTileCachePrefill::removeTilesOfDeletedStore);
    registry_->deleteMap(registry_->mapForIdentifier("three-rivers"));
    EXPECT_TRUE(runUntil([&] { return !fs::exists(folder) && !fs::exists(zip); }, 10));
    EXPECT_TRUE(runUntil([&] { return indexed("three-rivers") == 0; }, 10));
    EXPECT_EQ(indexed("liechtenstein"), 2u);
    EXPECT_TRUE(
        fs::exists(cache->filePathForStyleIdAndStoreId("defaultMapStyle", "liechtenstein")));
}

TEST_F(CBUserMapStoreEngineTest, MigrationDropsRecordsWhoseDownloadIsGoneAndRestoresHalfSwaps) {
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    auto queued = add("three-rivers", "US-MI");
    ASSERT_TRUE(registry_->mapForIdentifier("three-rivers")->isDownloading());
    // An earlier run lost the download and crashed mid-swap of another map.
    engine_->cancelDownloads({queued});
    auto record = registry_->mapForIdentifier("three-rivers");
    EXPECT_EQ(record, nullptr);  // a first download cancelled leaves no record
    const std::string aside =
        ZELStagedInstall::previousPathForInstallPath(mapsFolder() + "/liechtenstein");
    fs::create_directories(aside);
    std::ofstream(aside + "/liechtenstein.sqlite") << "old";
    auto liechtenstein = add("liechtenstein", "LI");
    engine_->saveChanges();
    openEngine();
    openRegistry();
    registry_->migrateDownloadQueue();
    EXPECT_TRUE(fs::exists(mapsFolder() + "/liechtenstein/liechtenstein.sqlite"));
    EXPECT_TRUE(registry_->mapForIdentifier("liechtenstein")->isDownloading());  // still queued
}

TEST_F(CBUserMapStoreEngineTest, ThePrefillOfAnInstalledMapIsReportedAsPostProcessing) {
    registry_->setPostInstallStep(tileCachePrefillStep());
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    auto queued = download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    // Progress past the transfer's share (0.6) came from the pre-fill.
    size_t postProcessing = 0;
    for (double value : recorder_->progress) {
        if (value > 0.6 && value < 1.0)
            ++postProcessing;
    }
    EXPECT_GT(postProcessing, 0u);
    EXPECT_DOUBLE_EQ(recorder_->progress.back(), 1.0);
}

// An update cleared the old tiles under the store file's name, where no
// tile lies, so the updated map kept drawing the old package's tiles.
TEST_F(CBUserMapStoreEngineTest, AnUpdateDrawsItsTilesAfreshFromTheNewPackage) {
    registry_->setPostInstallStep(tileCachePrefillStep());
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    const std::string tiles =
        CBDiskTileCache().filePathForStyleIdAndStoreId("defaultMapStyle", "three-rivers");
    ASSERT_TRUE(fs::is_directory(tiles));
    std::ofstream(tiles + "/1") << "a tile of the old package";

    recorder_->events.clear();
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    EXPECT_FALSE(fs::exists(tiles + "/1"));
    EXPECT_TRUE(fs::is_directory(tiles));  // drawn again by the pre-fill
}

// The open map of a map's files is closed before an update swaps them and
// before the map is deleted: its holders see it closed, and the table
// opens the new files.
TEST_F(CBUserMapStoreEngineTest, AnUpdateAndADeletionCloseTheOpenMapBeforeTheFilesGo) {
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    const auto path = registry_->mapForIdentifier("three-rivers")->filePath();
    ASSERT_TRUE(path);
    auto held = CBOpenMap::openStorePath(*path);
    ASSERT_NE(held, nullptr);
    std::vector<std::string> released;
    std::vector<bool> filesPresent;
    registry_->setReleaseMapStep([&](const std::string& identifier) {
        released.push_back(identifier);
        filesPresent.push_back(fs::exists(*path));
        recorder_registry_->events.push_back("released " + identifier);
        CBOpenMap::invalidateStoreIdentifier(identifier);
    });

    recorder_->events.clear();
    recorder_registry_->events.clear();
    download("three-rivers", "US-MI");
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    EXPECT_EQ(released, std::vector<std::string>{"three-rivers"});
    // The holders of the map hear before it closes, while it can be read.
    EXPECT_EQ(recorder_registry_->events,
              (std::vector<std::string>{"willUpdate three-rivers", "released three-rivers",
                                        "updated three-rivers"}));
    EXPECT_TRUE(held->isClosed());
    auto renewed = CBOpenMap::openStorePath(*path);
    ASSERT_NE(renewed, nullptr);
    EXPECT_NE(renewed, held);

    registry_->deleteMap(registry_->mapForIdentifier("three-rivers"));
    EXPECT_EQ(released, (std::vector<std::string>{"three-rivers", "three-rivers"}));
    EXPECT_EQ(filesPresent, (std::vector<bool>{true, true}));
    EXPECT_TRUE(renewed->isClosed());
}

// A post-install step does not outlive its registry: a map whose step is
// under way is let go of when the registry goes, which ends the tile-cache
// pre-fill; a map whose step is done is not.
TEST_F(CBUserMapStoreEngineTest, ARegistryThatGoesLetsGoOfTheMapsItIsStillFinishing) {
    std::vector<std::function<void()>> pending;
    registry_->setPostInstallStep([&](const auto& map, bool, auto, std::function<void()> done) {
        if (map->identifier() == "liechtenstein")
            done();
        else
            pending.push_back(done);
    });
    std::vector<std::string> released;
    registry_->setReleaseMapStep(
        [&](const std::string& identifier) { released.push_back(identifier); });
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    download("liechtenstein", "LI");
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    download("three-rivers", "US-MI");
    ASSERT_TRUE(runUntil([&] { return !pending.empty(); }, 120));
    EXPECT_TRUE(released.empty());
    registry_.reset();
    EXPECT_EQ(released, std::vector<std::string>{"three-rivers"});
    // The step ending after its registry finishes the download all the same.
    pending.front()();
    EXPECT_TRUE(waitForRemoval("three-rivers"));
}

// Notes the statuses the registry tells of map downloads, as "<id> <phase>",
// and the progress it tells.
class MapStatusRecorder : public CBUserMapStoreEngineDelegate {
  public:
    std::vector<std::string> told;
    std::vector<double> progress;
    void userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        CBUserMapStoreEngine&, const ZELDownloadStatus& status,
        const std::string& identifier) override {
        told.push_back(identifier + " " + describeStatus(status, false));
    }
    void userMapStoreDownloadProgressChangedToForMapWithIdentifier(CBUserMapStoreEngine&,
                                                                   const ZELDownloadStatus& status,
                                                                   const std::string&) override {
        progress.push_back(status.progress);
    }
};

TEST_F(CBUserMapStoreEngineTest, EachMapAnswersAndTellsWhatItsDownloadIsAt) {
    auto statuses = std::make_shared<MapStatusRecorder>();
    registry_->addDelegate(statuses);
    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier("three-rivers").phase,
              ZELDownloadPhase::None);
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier(std::nullopt).phase,
              ZELDownloadPhase::None);
    add("three-rivers", "US-MI");
    // A first download has a record, but its map is not installed yet.
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier("three-rivers").phase,
              ZELDownloadPhase::Queued);
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier("three-rivers").phase,
              ZELDownloadPhase::Installed);
    EXPECT_EQ(statuses->told,
              (std::vector<std::string>{"three-rivers queued", "three-rivers loading",
                                        "three-rivers installing", "three-rivers installing",
                                        "three-rivers installed"}));
    ASSERT_FALSE(statuses->progress.empty());
    EXPECT_TRUE(std::is_sorted(statuses->progress.begin(), statuses->progress.end()));
    EXPECT_DOUBLE_EQ(statuses->progress.back(), 1.0);

    // A broken update fails with its reason; given up, the map is still
    // installed.
    const std::string broken = root_.file("broken.zip");
    ASSERT_TRUE(writeTestZip(broken, {{"three-rivers/three-rivers.sqlite", "not a database"}}));
    publish(broken, "three-rivers", "US-MI");
    statuses->told.clear();
    auto update = download("three-rivers", "US-MI");
    ASSERT_TRUE(runUntil([&] {
        return registry_->downloadStatusForMapIdentifier("three-rivers").phase ==
               ZELDownloadPhase::Failed;
    }));
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier("three-rivers").failure,
              ZELDownloadFailure::DamagedPackage);
    EXPECT_EQ(statuses->told.back(), "three-rivers failed");
    engine_->cancelDownloads({update});
    EXPECT_EQ(statuses->told.back(), "three-rivers installed");

    // A first download given up leaves nothing.
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    auto first = add("liechtenstein", "LI");
    engine_->cancelDownloads({first});
    EXPECT_EQ(statuses->told.back(), "liechtenstein none");
}

// From an empty home to an opened map: the catalogue as the build makes it,
// the server with the build's store content, the download, the install and
// the map view on the installed store.
TEST(StoreEndToEnd, FromAnEmptyHomeToAnOpenedMap) {
    TemporaryFolder home;
    NSSetApplicationHome(home.path());
    installApplicationBundle(home.file("bundle"), KELVARA_GENERATED_RESOURCES);
    {
        MapStoreServerProcess server(KELVARA_MAPSTORE_ROOT);
        ASSERT_TRUE(server.running());
        CBMapStoreURLManager::setBaseURL(server.baseURL());
        auto engine = ZELDownloadManagerEngine::createWithStorePath(
            home.path() + "/Documents/DownloadManagerQueue.sqlite");
        ASSERT_NE(engine, nullptr);
        auto catalogue = std::make_shared<CBMapStoreEngine>();
        auto registry = CBUserMapStoreEngine::createWithDownloadManager(engine, catalogue);
        registry->setPostInstallStep(tileCachePrefillStep());
        registry->migrateDownloadQueue();
        engine->setResumeDisabled(false);
        EXPECT_EQ(registry->currentMap(), nullptr);

        auto map = catalogue->mapIncludingCoordinate({53.5574, 13.2610});
        ASSERT_NE(map, nullptr);
        const auto url = catalogue->urlForMap(map);
        ASSERT_TRUE(url);
        auto download =
            engine
                ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                    *url, registry->basePathForMaps(), *map->identifier(), map->title(),
                    map->places(), std::nullopt, "map", static_cast<int>(map->priority()),
                    map->identifier(), 0.4);
        ASSERT_NE(download, nullptr);
        engine->resumeDownloads();
        ASSERT_TRUE(runUntil([&] { return engine->currentQueueLength() == 0; }, 180));

        auto installed = registry->mapForIdentifier("neubrandenburg");
        ASSERT_NE(installed, nullptr);
        registry->setCurrentMap(installed);
        auto view = CBMapScrollView::create({{0, 0}, {320, 480}});
        view->visibleArea()->setSavesState(false);
        ASSERT_TRUE(
            view->setMapWithStorePathAndBoundingBox(*registry->currentMap()->filePath(), nullptr));
        EXPECT_NE(view->layout()->mapBoundingBox(), nullptr);
        if (auto cache = view->displayManager()->diskCache())
            cache->waitUntilIdle();
        CBMapStoreURLManager::setBaseURL("");
    }
    runUntil([] { return false; }, 0.05);
    NSBundle::setMainBundlePath("");
    NSSetApplicationHome("");
}

// The user moves the home folder while a map's download waits half-loaded:
// the next start goes on with the bytes it has in the moved home and
// installs the map there, never recreating the folder left behind.
TEST_F(CBUserMapStoreEngineTest, AMovedHomeFinishesItsQueuedDownloadInItself) {
    const std::string package = publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    server_->fault(packagePath("liechtenstein", "LI"),
                   "cut=" + std::to_string(fs::file_size(package) / 2) + "&count=1");
    ASSERT_TRUE(waitForState(download("liechtenstein", "LI"), ZELDownloadStateFailed));
    const std::string oldHome = homePath();
    registry_.reset();
    catalogue_.reset();
    engine_.reset();
    moveHome();
    catalogue_ = std::make_shared<CBMapStoreEngine>(homePath() + "/cat.sqlite", true);
    openEngine();
    openRegistry();
    auto moved = engine_->downloadForIdentifierOfType("liechtenstein", "map");
    ASSERT_NE(moved, nullptr);
    EXPECT_GT(moved->bytesLoaded().value_or(0), 0);
    EXPECT_TRUE(fs::exists(moved->zipPath()));
    // Its record, even one that lost its downloading flag, is no damaged map.
    auto record = registry_->mapForIdentifier("liechtenstein");
    record->setIsDownloading(false);
    EXPECT_FALSE(registry_->checkMapIsDamaged(record));
    registry_->migrateDownloadQueue();
    EXPECT_TRUE(record->isDownloading());

    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    EXPECT_FALSE(fs::exists(oldHome));
    EXPECT_TRUE(
        CBUserMapStoreEngine::validateMapStoreAtPath(installedStore("liechtenstein"), nullptr));
    EXPECT_FALSE(registry_->checkMapIsDamaged(registry_->mapForIdentifier("liechtenstein")));
}

// Queues of earlier versions kept absolute destinations: one under a home,
// even another root's, reads relative to the home; one outside every home
// is refused with its reason in the log and its map offered again.
TEST_F(CBUserMapStoreEngineTest, OldAbsoluteDestinationsReadRelativeOrAreRefusedAndOfferedAgain) {
    add("liechtenstein", "LI");
    add("three-rivers", "US-MI");
    registry_.reset();
    engine_.reset();
    sqlite3* db = nullptr;
    sqlite3_open(queueStorePath().c_str(), &db);
    sqlite3_exec(db,
                 "UPDATE ZDOWNLOAD SET ZDESTINATIONPATH = CASE ZIDENTIFIER WHEN 'liechtenstein' "
                 "THEN '/old/.local/share/kelvara/Documents/maps' ELSE '/srv/maps' END",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    {
        LogCapture log;
        openEngine();
        EXPECT_TRUE(log.contains("three-rivers of type map refused: its destination /srv/maps"));
    }
    auto kept = engine_->downloadForIdentifierOfType("liechtenstein", "map");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->keptDestinationPath(), "Documents/maps");
    EXPECT_EQ(kept->destinationPath(), mapsFolder());
    EXPECT_EQ(engine_->downloadForIdentifierOfType("three-rivers", "map"), nullptr);
    openRegistry();
    registry_->migrateDownloadQueue();
    EXPECT_EQ(registry_->mapForIdentifier("three-rivers"), nullptr);
    EXPECT_EQ(registry_->downloadStatusForMapIdentifier("three-rivers").phase,
              ZELDownloadPhase::None);
}

}  // namespace

#endif

namespace {

// Without a map store the build's own copy of a package is installed as a
// download would be: copied in whole, recorded, described by the catalogue.
TEST_F(CBUserMapStoreEngineTest, APackageOnThisComputerIsInstalledOnceAndAFolderWithoutOneIsNot) {
    const std::string folder = std::string(KELVARA_PACKAGES_DIR) + "/neubrandenburg";
    auto map = registry_->installLocalPackageWithIdentifierFromFolder("neubrandenburg", folder);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->dateAdded());
    EXPECT_FALSE(map->isDownloading());
    EXPECT_EQ(map->title(), "Neubrandenburg, Mecklenburg-Vorpommern");
    EXPECT_TRUE(
        CBUserMapStoreEngine::validateMapStoreAtPath(installedStore("neubrandenburg"), nullptr));
    EXPECT_TRUE(fs::exists(folder + "/neubrandenburg.sqlite"));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg.copying"));
    EXPECT_EQ(recorder_registry_->events, std::vector<std::string>{"added neubrandenburg"});

    // Again: the installed map, nothing new.
    EXPECT_EQ(registry_->installLocalPackageWithIdentifierFromFolder("neubrandenburg", folder),
              map);
    EXPECT_EQ(recorder_registry_->events.size(), 1u);

    // A folder without a valid geo store, or a name that is no identifier.
    fs::create_directories(home_.file("empty"));
    EXPECT_EQ(registry_->installLocalPackageWithIdentifierFromFolder("liechtenstein",
                                                                     home_.file("empty")),
              nullptr);
    EXPECT_EQ(registry_->installLocalPackageWithIdentifierFromFolder("../up", folder), nullptr);
    EXPECT_EQ(registry_->allIdentifiers(), std::set<std::string>{"neubrandenburg"});
    EXPECT_FALSE(fs::exists(mapsFolder() + "/liechtenstein"));
}

}  // namespace
