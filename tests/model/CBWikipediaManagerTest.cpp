#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "TestZip.h"
#include "model/WikipediaTestSupport.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "wikiguide/ZELWikiGuideLoader.h"

namespace fs = std::filesystem;

namespace {

const std::string kBase = "https://de.wikipedia.org/wiki/";

class CBWikipediaManagerTest : public WikipediaTestBase {};

std::string htmlOf(const std::shared_ptr<CBWikipediaArticle>& article) {
    const auto bytes = article ? article->html() : std::nullopt;
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

}  // namespace

TEST_F(CBWikipediaManagerTest, DownloadInstallsAndTheCurrentMapsStoreOpensAndCloses) {
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    EXPECT_FALSE(manager_->wikipediaAvailable());
    EXPECT_FALSE(manager_->articleForUrl(kBase + "Tollensesee"));
    EXPECT_FALSE(manager_->allAvailableWikipediaLinks());
    EXPECT_FALSE(manager_->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
        "Tor", false, [](const auto&) { ADD_FAILURE() << "no store, no completion"; }));

    installSample();
    const std::string base = CBWikipediaManager::basePathForWikipedia();
    EXPECT_TRUE(fs::is_regular_file(base + "/neubrandenburg_wiki.sqlite"));
    EXPECT_TRUE(fs::is_directory(base + "/neubrandenburg_wiki"));
    EXPECT_TRUE(manager_->userHasWikipediaGuideForMapIdentifier("neubrandenburg"));
    EXPECT_FALSE(fs::exists(base + "/neubrandenburg.wikipedia.staging"));
    EXPECT_FALSE(fs::exists(base + "/neubrandenburg.wikipedia.zip"));
    EXPECT_EQ(fs::directory_iterator(base + "/neubrandenburg_wiki") != fs::directory_iterator(),
              true);

    // Installed for the current map: its store is open at once.
    EXPECT_TRUE(manager_->wikipediaAvailable());
    EXPECT_EQ(manager_->currentImgPath(), base + "/neubrandenburg_wiki");
    const auto links = manager_->allAvailableWikipediaLinks();
    ASSERT_TRUE(links);
    EXPECT_GE(links->size(), 15u);
    const auto lake = manager_->articleForUrl(kBase + "Tollensesee");
    ASSERT_TRUE(lake);
    EXPECT_EQ(lake->firstLetter(), "T");
    EXPECT_NE(htmlOf(lake).find("© OpenStreetMap contributors, ODbL"), std::string::npos);

    manager_->changeCurrentMapTo(map("liechtenstein"));
    EXPECT_FALSE(manager_->wikipediaAvailable());
    EXPECT_FALSE(manager_->articleForUrl(kBase + "Tollensesee"));
    EXPECT_EQ(manager_->currentImgPath(), base + "/liechtenstein_wiki");
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    EXPECT_TRUE(manager_->articleForUrl(kBase + "Tollensesee"));
}

TEST_F(CBWikipediaManagerTest, SearchAndsItsWordsAndFindsArticlesByTheirAddress) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    const auto gates = search("tor");
    ASSERT_TRUE(gates);
    EXPECT_GE(gates->size(), 3u);
    EXPECT_EQ(search("Stargarder TOR"), (std::vector<std::string>{"Stargarder Tor"}));
    EXPECT_EQ(search("tor friedlander"), (std::vector<std::string>{"Friedländer Tor"}));
    EXPECT_FALSE(search("tor tollense"));

    // The guide's addresses, escaped as a page links them, find their articles.
    for (const std::string title : {"Fangelturm_(Neubrandenburg)", "Friedländer_Tor"}) {
        const auto url = ZELWikiGuideItem::encodedUrlFromString(kBase + title);
        ASSERT_TRUE(url);
        EXPECT_TRUE(manager_->articleForUrl(url->absoluteString())) << title;
    }
}

TEST_F(CBWikipediaManagerTest, TheGuideOfThePackageMatchesItsArticlesAndWalk) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    const auto guide = ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
        "neubrandenburg",
        CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg"));
    ASSERT_TRUE(guide);
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
        "liechtenstein",
        CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg")));
    EXPECT_EQ(guide->walksCount(), 1u);
    std::shared_ptr<ZELWikiGuideGroup> walk, top, places;
    for (const auto& group : guide->rootGroup()->recursiveSubGroups()) {
        if (group->type() == ZELWikiGuideItem::TypeWalk)
            walk = group;
        if (group->groupKey() == "top")
            top = group;
        if (group->groupKey() == "places")
            places = group;
    }
    ASSERT_TRUE(walk && top && places);
    EXPECT_EQ(top->articles().size(), 2u);
    EXPECT_EQ(places->groups().size(), 1u);
    for (const auto& article : guide->rootGroup()->recursiveArticles()) {
        const auto url = article->sourceUrl();
        ASSERT_TRUE(url);
        EXPECT_TRUE(manager_->articleForUrl(url->absoluteString())) << *article->title();
        const auto picture = manager_->currentImgPath() + "/" + article->imageFileName();
        EXPECT_TRUE(fs::is_regular_file(picture)) << *article->title();
    }

    // Walk time and distances agree with the route.
    const auto path = walk->path();
    ASSERT_TRUE(path && path->totalDistance());
    const double total = *path->totalDistance();
    EXPECT_GT(total, 1000.0);
    EXPECT_LT(total, 5000.0);
    EXPECT_NEAR(path->cumulatedDistances().back().back(), total, 2.0);
    const auto stops = walk->distancesAlongWalk();
    ASSERT_GE(stops.size(), 3u);
    EXPECT_EQ(stops.front(), 0.0);
    for (size_t i = 1; i < stops.size(); ++i)
        EXPECT_GT(stops[i], stops[i - 1]);
    EXPECT_NEAR(stops.back(), total, 2.0);
    EXPECT_DOUBLE_EQ(walk->timeIntervalForWalk(),
                     double(stops.size()) * 900.0 + total / 1000.0 * 1200.0);
    for (const auto& stop : walk->articles())
        EXPECT_NE(stop->title()->find(" Tor") == std::string::npos &&
                      stop->title()->find("turm") == std::string::npos,
                  true);
}

TEST_F(CBWikipediaManagerTest, OfflineLinksPointToSampleArticlesWithinOneKilometre) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    const auto gate = manager_->articleForUrl(kBase + "Stargarder_Tor");
    ASSERT_TRUE(gate);
    const std::string html = htmlOf(gate);
    // The county is linked in the first sentence, but the package lacks it.
    EXPECT_NE(html.find("href=\"" + kBase + "Landkreis_Mecklenburgische_Seenplatte\""),
              std::string::npos);
    EXPECT_FALSE(manager_->articleForUrl(kBase + "Landkreis_Mecklenburgische_Seenplatte"));
    size_t links = 0;
    for (size_t at = html.find("href=\"", html.find("In der N")); at != std::string::npos;
         at = html.find("href=\"", at + 1)) {
        const size_t start = at + 6;
        const auto target =
            manager_->articleForUrl(html.substr(start, html.find('"', start) - start));
        ASSERT_TRUE(target);
        EXPECT_LE(gate->coreLocation()->distanceFromLocation(*target->coreLocation()), 1000.0);
        ++links;
    }
    EXPECT_GE(links, 2u);
}

// Deleting another map, or another map's package, closed the current map's
// store, so its articles vanished until the map changed.
TEST_F(CBWikipediaManagerTest, DeletingAnotherMapsPackageKeepsTheCurrentMapsArticles) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    manager_->deleteWikipediaContentForMapIdentifier("liechtenstein");
    EXPECT_TRUE(manager_->wikipediaAvailable());
    EXPECT_TRUE(manager_->articleForUrl(kBase + "Tollensesee"));
    manager_->didDeleteMapWithIdentifier("liechtenstein");
    EXPECT_TRUE(manager_->articleForUrl(kBase + "Tollensesee"));
    EXPECT_TRUE(search("tollense"));

    manager_->didDeleteMapWithIdentifier("neubrandenburg");
    EXPECT_FALSE(manager_->wikipediaAvailable());
    EXPECT_FALSE(manager_->articleForUrl(kBase + "Tollensesee"));
    EXPECT_TRUE(runUntil(
        [&] { return !manager_->userHasWikipediaForMapIdentifier("neubrandenburg"); }, 10.0));
    EXPECT_TRUE(runUntil(
        [&] {
            return !fs::exists(
                CBWikipediaManager::filePathForWikipediaImagesForMapIdentifier("neubrandenburg"));
        },
        10.0));
}

// Deleting a map left a failed download of its articles in the queue, with
// the part of the package it had loaded.
TEST_F(CBWikipediaManagerTest, DeletingAMapTakesAFailedDownloadOfItsArticlesAndItsFile) {
    const auto url =
        CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(map("neubrandenburg"), "de");
    ASSERT_TRUE(url);
    const std::string path = url->substr(server_->baseURL().size());
    server_->fault(path, "cut=20000&count=1");
    auto failed = loadPackage(*url, "neubrandenburg");
    ASSERT_EQ(engine_->statusForDownload(failed).phase, ZELDownloadPhase::Failed);
    const std::string zip = failed->zipPath();
    ASSERT_TRUE(fs::exists(zip));
    manager_->didDeleteMapWithIdentifier("neubrandenburg");
    EXPECT_EQ(engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia"), nullptr);
    EXPECT_TRUE(runUntil([&] { return !fs::exists(zip); }, 10.0));
}

// A released store left Wikipedia marked available, so a search could start
// against the released stack.
TEST_F(CBWikipediaManagerTest, ReleasingTheStoreMarksWikipediaUnavailable) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    ASSERT_TRUE(manager_->wikipediaAvailable());
    manager_->releaseCoreDataStack();
    EXPECT_FALSE(manager_->wikipediaAvailable());
    EXPECT_FALSE(manager_->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
        "tor", false, [](const auto&) { ADD_FAILURE() << "released, no completion"; }));
    EXPECT_FALSE(manager_->searchObjectContext());
}

TEST_F(CBWikipediaManagerTest, SwitchingMapsWhileTheTitleIndexIsReadIsSafe) {
    installSample();
    // Each opening reads the title index on the search queue while the next
    // switch releases the store on the main thread.
    for (int i = 0; i < 150; ++i) {
        manager_->changeCurrentMapTo(map("neubrandenburg"));
        manager_->changeCurrentMapTo(map("liechtenstein"));
    }
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    EXPECT_EQ(search("Stargarder TOR"), (std::vector<std::string>{"Stargarder Tor"}));
}

TEST_F(CBWikipediaManagerTest, HostilePackagesInstallNothing) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    const std::string base = CBWikipediaManager::basePathForWikipedia();
    const auto before = fs::file_size(base + "/neubrandenburg_wiki.sqlite");
    const std::vector<std::vector<TestZipEntry>> hostile{
        {{"neubrandenburg_wiki.sqlite", "x"}, {"../escape", "x"}},
        {{"neubrandenburg_wiki.sqlite", "x"}, {"liechtenstein_wiki.sqlite", "x"}},
        {{"neubrandenburg_wiki/../../evil", "x"}},
        {{"neubrandenburg_wiki", "a link", true}},
        {{"neubrandenburg_wiki.sqlite", "not a store at all"}},
        {{"neubrandenburg_wikipedia", "only a guide"}},
    };
    for (size_t i = 0; i < hostile.size(); ++i) {
        const std::string path = "/wikipedia/DE-MV/hostile" + std::to_string(i) + ".zip";
        ASSERT_TRUE(writeTestZip(root_.path() + path, hostile[i]));
        auto download = loadPackage(server_->urlFor(path), "neubrandenburg");
        EXPECT_TRUE(download->downloadState() == ZELDownloadStateFailed ||
                    download->downloadState() == ZELDownloadStateUnzipFailed)
            << i;
        engine_->cancelDownloads({download});
        EXPECT_TRUE(runUntil([&] { return engine_->currentQueueLength() == 0; }, 10.0));
        EXPECT_FALSE(fs::exists(base + "/escape"));
        EXPECT_FALSE(fs::exists(fs::path(base).parent_path() / "evil"));
        EXPECT_FALSE(fs::exists(base + "/liechtenstein_wiki.sqlite"));
        EXPECT_EQ(fs::file_size(base + "/neubrandenburg_wiki.sqlite"), before) << i;
        EXPECT_TRUE(manager_->articleForUrl(kBase + "Tollensesee")) << i;
    }
}

TEST_F(CBWikipediaManagerTest, CancellingAMapCancelsItsPackageAndTheQueueIsRepaired) {
    engine_->setResumeDisabled(true);
    const auto url =
        CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(map("neubrandenburg"), "de");
    ASSERT_TRUE(url);
    auto add = [&](const std::string& identifier) {
        return engine_
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                *url, "/old/place", identifier, identifier, std::string("Wikipedia"), 0,
                "wikipedia", 0, std::nullopt, 0.05);
    };
    auto waiting = add("neubrandenburg");
    auto unzipping = add("liechtenstein");
    unzipping->setDownloadState(ZELDownloadStateUnzipping);
    unzipping->setBytesLoaded(1000);
    bool migrated = false;
    std::thread worker([&] {
        manager_->migrateDownloadQueue();
        migrated = true;
    });
    EXPECT_TRUE(runUntil([&] { return migrated; }, 10.0));
    worker.join();
    EXPECT_EQ(waiting->downloadState(), ZELDownloadStateWaiting);
    EXPECT_EQ(waiting->destinationPath(), CBWikipediaManager::basePathForWikipedia());
    EXPECT_EQ(unzipping->downloadState(), ZELDownloadStateFailed);
    EXPECT_EQ(unzipping->bytesLoaded().value_or(-1), 0);

    // A "wikipedia" cancel cancels nothing else; a "map" cancel takes the
    // map's package with it.
    manager_->downloadManagerDidCancelDownloadWithIdentifierAndType(*engine_, "liechtenstein",
                                                                    "wikipedia");
    EXPECT_TRUE(engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia"));
    manager_->downloadManagerDidCancelDownloadWithIdentifierAndType(*engine_, "neubrandenburg",
                                                                    "map");
    EXPECT_FALSE(engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia"));
}

TEST_F(CBWikipediaManagerTest, StatisticsOfferTheSamplePackageForDownload) {
    // The statistics arrive from the server on first ask.
    manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg");
    EXPECT_TRUE(runUntil(
        [&] { return manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg"); },
        10.0));
    EXPECT_TRUE(runUntil(
        [&] {
            return manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg") &&
                   !manager_->wikipediaAvailableForDownloadForMapIdentifier("liechtenstein");
        },
        10.0));
    EXPECT_EQ(CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(map("neubrandenburg"), "de"),
              server_->baseURL() + "/wikipedia/DE-MV/neubrandenburg_wiki-de.zip");
}

TEST_F(CBWikipediaManagerTest, ANewPackageReplacesEveryItemOfTheOldOne) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    ASSERT_TRUE(manager_->userHasWikipediaGuideForMapIdentifier("neubrandenburg"));
    // A package of the store alone: the old pictures and guide must not stay
    // beside it.
    const std::string store = readFile(std::string(KELVARA_WIKIPEDIA_DIR) +
                                       "/neubrandenburg_wiki-de/neubrandenburg_wiki.sqlite");
    ASSERT_FALSE(store.empty());
    const std::string path = "/wikipedia/DE-MV/store-only.zip";
    ASSERT_TRUE(writeTestZip(root_.path() + path, {{"neubrandenburg_wiki.sqlite", store}}));
    loadPackage(server_->urlFor(path), "neubrandenburg");
    EXPECT_EQ(engine_->currentQueueLength(), 0u);
    EXPECT_FALSE(manager_->userHasWikipediaGuideForMapIdentifier("neubrandenburg"));
    EXPECT_FALSE(fs::exists(
        CBWikipediaManager::filePathForWikipediaImagesForMapIdentifier("neubrandenburg")));
    EXPECT_TRUE(manager_->wikipediaAvailable());
    EXPECT_TRUE(manager_->articleForUrl(kBase + "Tollensesee"));
    const auto base = CBWikipediaManager::basePathForWikipedia();
    for (const auto& entry : fs::directory_iterator(base))
        EXPECT_EQ(entry.path().filename().string().find(".previous"), std::string::npos);
}

TEST_F(CBWikipediaManagerTest, NumbersInTheSearchTextAreNoTitleWords) {
    installSample();
    manager_->changeCurrentMapTo(map("neubrandenburg"));
    // As in every type-ahead search, a number is matched against no title.
    EXPECT_EQ(search("stargarder 12"), (std::vector<std::string>{"Stargarder Tor"}));
    EXPECT_EQ(search("stargarder 12 tor"), (std::vector<std::string>{"Stargarder Tor"}));
}

namespace {

// Notes the statuses the manager tells of package downloads, as
// "<id> <phase>", and how often it told progress.
class PackageStatusRecorder : public CBWikipediaManagerDelegate {
  public:
    std::vector<std::string> told;
    size_t progressTold = 0;
    void wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus& status,
        const std::string& identifier) override {
        told.push_back(identifier + " " + describeStatus(status, false));
    }
    void wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus&, const std::string&) override {
        ++progressTold;
    }
};

}  // namespace

TEST_F(CBWikipediaManagerTest, APackageDownloadIsAnsweredAndToldByTheManager) {
    auto statuses = std::make_shared<PackageStatusRecorder>();
    manager_->addDelegate(statuses);
    EXPECT_EQ(manager_->downloadStatusForMapIdentifier("neubrandenburg").phase,
              ZELDownloadPhase::None);
    installSample();
    EXPECT_EQ(manager_->downloadStatusForMapIdentifier("neubrandenburg").phase,
              ZELDownloadPhase::Installed);
    EXPECT_EQ(statuses->told,
              (std::vector<std::string>{"neubrandenburg queued", "neubrandenburg loading",
                                        "neubrandenburg installing", "neubrandenburg installing",
                                        "neubrandenburg installed"}));
    EXPECT_GT(statuses->progressTold, 0u);

    // A hostile package fails with its reason and installs nothing.
    const std::string path = "/wikipedia/DE-MV/hostile.zip";
    ASSERT_TRUE(writeTestZip(root_.path() + path, {{"neubrandenburg_wiki/../../evil", "x"}}));
    statuses->told.clear();
    auto download = loadPackage(server_->urlFor(path), "neubrandenburg");
    const ZELDownloadStatus failed = manager_->downloadStatusForMapIdentifier("neubrandenburg");
    EXPECT_EQ(failed.phase, ZELDownloadPhase::Failed);
    EXPECT_EQ(failed.failure, ZELDownloadFailure::UnsafePackage);
    EXPECT_EQ(statuses->told.back(), "neubrandenburg failed");

    // Moved to the base folder after an update, a package loads anew from
    // the start; one cut off while unpacking says so.
    ASSERT_NE(download, nullptr);
    auto unpacking = engine_->addDownload({.url = server_->urlFor(path),
                                           .destinationPath = "/old/place",
                                           .identifier = "liechtenstein",
                                           .type = CBWikipediaManager::kDownloadType});
    ASSERT_NE(unpacking, nullptr);
    unpacking->setDownloadState(ZELDownloadStateUnzipping);
    bool moved = false;
    std::thread worker([&] {
        manager_->migrateDownloadQueue();
        moved = true;
    });
    EXPECT_TRUE(runUntil([&] { return moved; }, 10.0));
    worker.join();
    EXPECT_EQ(download->bytesLoaded().value_or(-1), 0);
    EXPECT_EQ(manager_->downloadStatusForMapIdentifier("neubrandenburg").failure,
              ZELDownloadFailure::UnsafePackage)
        << "a package that had failed keeps its reason";
    EXPECT_EQ(manager_->downloadStatusForMapIdentifier("liechtenstein").failure,
              ZELDownloadFailure::Interrupted);
    EXPECT_EQ(statuses->told.back(), "liechtenstein failed");
    engine_->cancelDownloads({download});
    EXPECT_EQ(statuses->told.back(), "neubrandenburg installed");
}

// Its packages are to be unpacked; of other downloads it says nothing, so a
// map still unpacks while it listens to the engine.
TEST_F(CBWikipediaManagerTest, ItHasItsPackagesUnpackedAndLeavesOtherDownloadsUnanswered) {
    auto package =
        engine_->addDownload({.url = "wikipedia/DE/neubrandenburg_wiki-de.zip",
                              .destinationPath = CBWikipediaManager::basePathForWikipedia(),
                              .identifier = "neubrandenburg",
                              .type = CBWikipediaManager::kDownloadType});
    auto mapPackage = engine_->addDownload({.url = "map/DE/neubrandenburg.zip",
                                            .destinationPath = mapsFolder(),
                                            .identifier = "neubrandenburg",
                                            .type = "map"});
    ASSERT_TRUE(package && mapPackage);
    EXPECT_EQ(manager_->downloadManagerShouldUnzipDownload(*engine_, package), true);
    EXPECT_EQ(manager_->downloadManagerShouldUnzipDownload(*engine_, mapPackage), std::nullopt);
    engine_->cancelDownloads({package, mapPackage});
}
