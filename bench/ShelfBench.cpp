// The shelf of installed maps at phone size and scale 2, with three maps
// installed from a local map store server: the first drawn shelf on a new
// start (cold: the registry opens and every cover is read and blurred) and
// again (warm: the registry is open and the blurred covers are kept), a frame
// of dragging the shelf, and a frame of the zoom from a cover into its map.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Dispatch/NSRunLoop.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "Host/HostRenderer.h"
#include "MapStoreServerProcess.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBServerNotificationController.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfHost.h"
#include "shelf/CBMapShelfViewController.h"
#include "widgets/ZELPatternedCollectionView.h"

namespace fs = std::filesystem;

namespace {

constexpr CGSize kPhone{320, 568};

class NoHost : public CBMapShelfHost {
  public:
    void transitionToMapViewControllerWithCompletion(std::function<void()>) override {}
    std::shared_ptr<UIViewController> settingsController() override { return nullptr; }
    bool canAskForAutoreview() override { return false; }
    void setAskedForAutoreview(bool) override {}
    std::optional<std::string> reviewPageURL() override { return std::nullopt; }
    std::shared_ptr<MFMailComposeViewController> supportMailViewController() override {
        return nullptr;
    }
};

// The services of a start over a home.
struct Services {
    Services() {
        const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
        fs::create_directories(documents);
        downloads = ZELDownloadManagerEngine::createWithStorePath(documents +
                                                                  "/DownloadManagerQueue.sqlite");
        catalogue = std::make_shared<CBMapStoreEngine>();
        catalogue->setDownloadManager(downloads);
        registry = CBUserMapStoreEngine::createWithDownloadManager(downloads, catalogue);
        registry->setPostInstallStep([](const auto&, bool, std::function<void(double)>,
                                        std::function<void()> done) { done(); });
    }
    std::shared_ptr<ZELDownloadManagerEngine> downloads;
    std::shared_ptr<CBMapStoreEngine> catalogue;
    std::shared_ptr<CBUserMapStoreEngine> registry;
};

// A home with Liechtenstein, Neubrandenburg and Three Rivers installed from
// the local map store server, made once and copied for each start.
const fs::path& installedHome() {
    static const fs::path home = [] {
        const fs::path path = bench::freshHome("shelf-installed");
        NSBundle::setMainBundlePath(KELVARA_BUNDLE);
        NSSetApplicationHome(path.string());
        NSUserDefaults::resetStandardUserDefaults();
        MapStoreServerProcess server(KELVARA_MAPSTORE_ROOT);
        CBMapStoreURLManager::setBaseURL(server.baseURL());
        {
            Services services;
            services.downloads->setResumeDisabled(false);
            for (const char* identifier : {"liechtenstein", "neubrandenburg", "three-rivers"}) {
                auto map = services.catalogue->mapForIdentifier(std::string(identifier));
                services.downloads->addDownload(
                    {.url = *services.catalogue->urlForMap(map),
                     .destinationPath = services.registry->basePathForMaps(),
                     .identifier = identifier,
                     .type = CBUserMapStoreEngine::kDownloadType,
                     .title = map->title(),
                     .subTitle = map->places(),
                     .payLoad = identifier,
                     .progressReservedForPostProcessing = 0.4});
            }
            services.downloads->resumeDownloads();
            NSRunLoop::mainRunLoop()->runUntil(
                [&] {
                    std::error_code ignored;
                    return services.downloads->currentQueueLength() == 0 &&
                           fs::exists(*CBMapStoreEngine::defaultCoverPathForMapWithIdentifier(
                                          "three-rivers"),
                                      ignored);
                },
                120);
            // No server notice over the shelf.
            auto defaults = NSUserDefaults::standardUserDefaults();
            defaults->setIntegerForKey(1L << 40,
                                       CBServerNotificationController::kLastNotificationKey);
            defaults->synchronize();
        }
        CBMapStoreURLManager::setBaseURL("http://127.0.0.1:9");
        NSUserDefaults::resetStandardUserDefaults();
        return path;
    }();
    return home;
}

void useCopyOfInstalledHome(const std::string& name) {
    const fs::path& source = installedHome();
    const fs::path copy = bench::freshHome(name);
    fs::copy(source, copy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    NSSetApplicationHome(copy.string());
    NSUserDefaults::resetStandardUserDefaults();
}

struct Screen {
    Screen() {
        CAFrameClock::shared().setManual(true);
        UIScreen::mainScreen()->setBoundsSize(kPhone);
        UIScreen::mainScreen()->setScale(2);
        NSBundle::setMainBundlePath(KELVARA_BUNDLE);
        window = std::make_shared<UIWindow>(CGRect{CGPointZero, kPhone});
        window->makeKeyAndVisible();
        renderer = std::make_unique<HostRenderer>(window, 2);
    }
    // The shelf in its navigation controller, laid out and drawn.
    std::shared_ptr<CBMapShelfViewController> showShelf(
        const std::shared_ptr<CBUserMapStoreEngine>& registry) {
        auto shelf = CBMapShelfViewController::create(registry, host);
        window->setRootViewController(std::make_shared<UINavigationController>(shelf));
        window->layoutIfNeeded();
        benchmark::DoNotOptimize(renderer->renderFrame(false));
        return shelf;
    }
    std::shared_ptr<NoHost> host = std::make_shared<NoHost>();
    std::shared_ptr<UIWindow> window;
    std::unique_ptr<HostRenderer> renderer;
};

void BM_ShelfFirstScreenCold(benchmark::State& state) {
    installedHome();
    Screen screen;
    for (auto _ : state) {
        state.PauseTiming();
        useCopyOfInstalledHome("shelf-cold");
        state.ResumeTiming();
        Services services;
        auto shelf = screen.showShelf(services.registry);
        state.PauseTiming();
        screen.window->setRootViewController(nullptr);
        state.ResumeTiming();
    }
    NSSetApplicationHome("");
}
BENCHMARK(BM_ShelfFirstScreenCold)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShelfFirstScreenWarm(benchmark::State& state) {
    useCopyOfInstalledHome("shelf-warm");
    Screen screen;
    Services services;
    screen.showShelf(services.registry);
    for (auto _ : state)
        screen.showShelf(services.registry);
    NSSetApplicationHome("");
}
BENCHMARK(BM_ShelfFirstScreenWarm)->Unit(benchmark::kMillisecond)->Iterations(10);

// The three covers and the add cell fit one screen, so a drag moves them
// through the shelf's bounce (60 points) and back: every frame lays out the
// covers and the stripes and composites the window.
void BM_ShelfDragFrame(benchmark::State& state) {
    useCopyOfInstalledHome("shelf-drag");
    Screen screen;
    Services services;
    auto shelf = screen.showShelf(services.registry);
    auto view = shelf->collectionView();
    CGFloat step = 6;
    for (auto _ : state) {
        CGPoint offset = view->contentOffset();
        if (offset.y + step > 60 || offset.y + step < -60)
            step = -step;
        offset.y += step;
        view->setContentOffset(offset);
        benchmark::DoNotOptimize(screen.renderer->renderFrame(false));
    }
    NSSetApplicationHome("");
}
BENCHMARK(BM_ShelfDragFrame)->Unit(benchmark::kMicrosecond);

// One frame (1/60 s) of the cover growing over the window, started again
// whenever it has ended.
void BM_ShelfZoomFrame(benchmark::State& state) {
    useCopyOfInstalledHome("shelf-zoom");
    Screen screen;
    Services services;
    std::shared_ptr<CBMapShelfViewController> shelf;
    int frames = 0;
    for (auto _ : state) {
        if (frames == 0) {
            state.PauseTiming();
            shelf = screen.showShelf(services.registry);
            shelf->openMapWithFancyAnimation(shelf->maps()->front(), true);
            frames = 30;
            state.ResumeTiming();
        }
        CAFrameClock::shared().advance(1.0 / 60);
        benchmark::DoNotOptimize(screen.renderer->renderFrame(false));
        --frames;
    }
    NSSetApplicationHome("");
}
BENCHMARK(BM_ShelfZoomFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
