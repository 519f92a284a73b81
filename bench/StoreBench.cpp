#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "LocalServerSpawn.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreBrowserViewController.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "store/CBMapStoreDownloadViewController.h"

namespace fs = std::filesystem;

namespace {

// A home with the application bundle (resources, the built catalogue and
// flags) and no store server: nothing leaves the machine.
struct StoreHome {
    StoreHome() {
        home = fs::temp_directory_path() / "kelvara-bench-store";
        fs::remove_all(home);
        fs::create_directories(home);
        NSSetApplicationHome(home.string());
        auto bundle = home / "bundle";
        fs::copy(KELVARA_RESOURCES, bundle, fs::copy_options::recursive);
        fs::copy(KELVARA_GENERATED_RESOURCES, bundle,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        NSBundle::setMainBundlePath(bundle.string());
        CBMapStoreURLManager::setBaseURL("http://127.0.0.1:9");
        downloads = ZELDownloadManagerEngine::createWithStorePath(
            (home / "Documents/DownloadManagerQueue.sqlite").string());
        catalogue = std::make_shared<CBMapStoreEngine>();
        registry = CBUserMapStoreEngine::createWithDownloadManager(downloads, catalogue);
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        window->makeKeyAndVisible();
    }
    ~StoreHome() {
        window.reset();
        registry.reset();
        catalogue.reset();
        downloads.reset();
        NSBundle::setMainBundlePath("");
        NSSetApplicationHome("");
        fs::remove_all(home);
    }
    fs::path home;
    std::shared_ptr<ZELDownloadManagerEngine> downloads;
    std::shared_ptr<CBMapStoreEngine> catalogue;
    std::shared_ptr<CBUserMapStoreEngine> registry;
    std::shared_ptr<UIWindow> window;
};

// Opening the store on Browse with the catalogue's groups, drawn.
void BM_OpenStoreOnBrowse(benchmark::State& state) {
    StoreHome home;
    for (auto _ : state) {
        auto store = CBMapStoreController::create(home.downloads, home.registry);
        home.window->setRootViewController(store);
        home.window->layoutIfNeeded();
        benchmark::DoNotOptimize(home.window->renderImage(1));
    }
}
BENCHMARK(BM_OpenStoreOnBrowse)->Unit(benchmark::kMillisecond);

// The download list redrawn on a progress event with 5 queued downloads.
void BM_DownloadListProgressEvent(benchmark::State& state) {
    StoreHome home;
    for (int i = 0; i < 5; ++i)
        home.downloads->addDownload({.url = "http://127.0.0.1:9/map/" + std::to_string(i) + ".zip",
                                     .destinationPath = (home.home / "Documents/maps").string(),
                                     .identifier = "map" + std::to_string(i),
                                     .type = "map",
                                     .title = "Map " + std::to_string(i),
                                     .downloadSize = 1000000,
                                     .progressReservedForPostProcessing = 0.4});
    auto list =
        CBMapStoreDownloadViewController::createWithDownloadManager(home.downloads, home.registry);
    home.window->setRootViewController(std::make_shared<UINavigationController>(list));
    home.window->layoutIfNeeded();
    auto download = list->queue()->at(2);
    for (auto _ : state) {
        list->downloadManagerUpdatedProgressToForDownload(*home.downloads, 0.5, download);
        home.window->layoutIfNeeded();
        benchmark::DoNotOptimize(home.window->renderImage(1));
    }
}
BENCHMARK(BM_DownloadListProgressEvent)->Unit(benchmark::kMillisecond);

// One keystroke of the catalogue search until the results table is drawn.
// The wall time holds the engine's deliberate typing delay; the CPU time is
// the work.
void BM_CatalogueSearchKeystroke(benchmark::State& state) {
    StoreHome home;
    auto browser = std::make_shared<CBMapStoreBrowserViewController>(home.catalogue, home.downloads,
                                                                     home.registry);
    home.window->setRootViewController(std::make_shared<UINavigationController>(browser));
    home.window->layoutIfNeeded();
    auto bar = browser->searchController()->searchBar();
    bar->becomeFirstResponder();
    const char* texts[] = {"Liec", "Neub"};
    int i = 0;
    for (auto _ : state) {
        const std::string text = texts[i++ % 2];
        bar->setText(text);
        browser->searchController()->searchBarTextDidChange(*bar, text);
        NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return browser->searchResultsMaps() && !browser->searchResultsMaps()->empty() &&
                       browser->searchResultsMaps()->front()->localName().rfind(text, 0) == 0;
            },
            5.0);
        home.window->layoutIfNeeded();
        benchmark::DoNotOptimize(home.window->renderImage(1));
    }
}
BENCHMARK(BM_CatalogueSearchKeystroke)->Unit(benchmark::kMillisecond);

// The detail screen of Liechtenstein opened and drawn with its preview map:
// the online tiles come from the local tile service, then from the store's
// tile cache once the first opening wrote them.
void BM_OpenDetailScreen(benchmark::State& state) {
    StoreHome home;
    pid_t server = -1;
    const int port = spawnLocalServer({KELVARA_TILE_SERVER, "--port", "0"}, server);
    if (port <= 0) {
        state.SkipWithError("the tile service did not start");
        return;
    }
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        Value("127.0.0.1:" + std::to_string(port)), "CBOnlineTileServiceHost");
    auto map = home.catalogue->mapForIdentifier("liechtenstein");
    for (auto _ : state) {
        auto detail =
            CBMapStoreDetailVC::create(map, home.downloads, home.catalogue, home.registry);
        home.window->setRootViewController(std::make_shared<UINavigationController>(detail));
        home.window->layoutIfNeeded();
        benchmark::DoNotOptimize(home.window->renderImage(1));
    }
    NSUserDefaults::resetStandardUserDefaults();
    stopLocalServer(server);
}
BENCHMARK(BM_OpenDetailScreen)->Unit(benchmark::kMillisecond);

}  // namespace
