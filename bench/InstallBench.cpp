// Installing Liechtenstein as a user does, on a phone screen at scale 2:
// the download engine loads the package from a local map store server,
// unpacks and validates it, the registry records it and runs its step after
// the install, the tile-cache pre-fill of its low and middle zoom levels.
// Timed from adding the download until the engine has let go of it.
//
// The server, its content and the application bundle come from the build
// (<build>/tools/mapstore-server, <build>/mapstore-root, <build>/app/resources);
// KELVARA_MAPSTORE_SERVER, KELVARA_MAPSTORE_ROOT and KELVARA_BUNDLE override.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../tests/LocalServerSpawn.h"
#include "BenchSupport.h"
#include "Dispatch/NSRunLoop.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIScreen.h"
#include "app/CBInstalledMapPrefill.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"

namespace fs = std::filesystem;

namespace {

fs::path fromBuild(const char* variable, const fs::path& inBuild) {
    const char* configured = std::getenv(variable);
    return configured ? fs::path(configured) : bench::buildDirectory() / inBuild;
}

void BM_InstallLiechtensteinWithPrefill(benchmark::State& state) {
    const fs::path server =
        fromBuild("KELVARA_MAPSTORE_SERVER", "tools/mapstore-server/kelvara-mapstore-server");
    const fs::path root = fromBuild("KELVARA_MAPSTORE_ROOT", "mapstore-root");
    const fs::path bundle = fromBuild("KELVARA_BUNDLE", "app/resources");
    pid_t pid = -1;
    const int port =
        fs::exists(root / "map/LI/liechtenstein.zip")
            ? spawnLocalServer({server.string(), "--root", root.string(), "--port", "0"}, pid)
            : 0;
    if (port <= 0) {
        state.SkipWithError("no map store server or content (targets mapstore_content, kelvara)");
        return;
    }
    UIScreen::mainScreen()->setBoundsSize({320, 568});
    UIScreen::mainScreen()->setScale(2);
    NSBundle::setMainBundlePath(bundle.string());
    CBMapStoreURLManager::setBaseURL("http://127.0.0.1:" + std::to_string(port));
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path home = bench::freshHome("install");
        NSSetApplicationHome(home.string());
        NSUserDefaults::resetStandardUserDefaults();
        fs::create_directories(NSSearchPathForDirectory(NSSearchPathDirectory::Documents));
        auto downloads = ZELDownloadManagerEngine::createWithStorePath(
            NSSearchPathForDirectory(NSSearchPathDirectory::Documents) +
            "/DownloadManagerQueue.sqlite");
        auto catalogue = std::make_shared<CBMapStoreEngine>();
        catalogue->setDownloadManager(downloads);
        auto registry = CBUserMapStoreEngine::createWithDownloadManager(downloads, catalogue);
        registry->setPostInstallStep(CBInstalledMapPrefillStep());
        downloads->setResumeDisabled(false);
        auto map = catalogue->mapForIdentifier(std::string("liechtenstein"));
        state.ResumeTiming();

        downloads
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                *catalogue->urlForMap(map), registry->basePathForMaps(), "liechtenstein",
                map->title(), map->places(), std::nullopt, CBUserMapStoreEngine::kDownloadType, 0,
                std::string("liechtenstein"), 0.4);
        downloads->resumeDownloads();
        const bool installed = NSRunLoop::mainRunLoop()->runUntil(
            [&] { return downloads->currentQueueLength() == 0; }, 300);

        state.PauseTiming();
        if (!installed || !registry->mapForIdentifier("liechtenstein"))
            state.SkipWithError("the install did not finish");
        // What the pre-fill rendered (the tile writes end on the cache's queue).
        NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.2));
        size_t tiles = 0;
        std::error_code ignored;
        for (fs::recursive_directory_iterator entry(
                 NSSearchPathForDirectory(NSSearchPathDirectory::Caches) + "/mapTiles", ignored),
             end;
             entry != end; entry.increment(ignored))
            tiles += entry->is_regular_file(ignored);
        state.counters["cached_tiles"] = double(tiles);
        registry.reset();
        catalogue.reset();
        downloads.reset();
        fs::remove_all(home);
        state.ResumeTiming();
        if (!installed)
            break;
    }
    NSSetApplicationHome("");
    stopLocalServer(pid);
}
BENCHMARK(BM_InstallLiechtensteinWithPrefill)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);

}  // namespace
