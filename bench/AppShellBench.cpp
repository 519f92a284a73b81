// The application shell on the sample city (Neubrandenburg) in a phone-sized
// window at screen scale 2, beside MapViewBench's bare map view: from the
// delegate's start-up (services, window, root container, map screen) to the
// first complete screen with an empty (cold) and a filled (warm) tile cache;
// and one keystroke in the map screen's search bar to the drawn results list
// (the type-ahead delay set to zero: the work, not the wait).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CBGeoData/CBGeoDataManager.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBMapScrollView.h"
#include "widgets/CBClearSearchBar.h"

#include "BenchSupport.h"
#include "FirstScreenSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr double kScale = 2.0;

using bench::buildDirectory;
using bench::freshHome;

void setUpOnce() {
    static const bool done = [] {
        NSBundle::setMainBundlePath((buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        UIScreen::mainScreen()->setScale(kScale);
        return true;
    }();
    (void)done;
}

std::shared_ptr<CBKelvaraSharedAppDelegate> launch() {
    CBLaunchOptions options;
    options.sampleStorePath =
        (buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite").string();
    auto delegate = std::make_shared<CBKelvaraSharedAppDelegate>(options);
    delegate->applicationDidFinishLaunchingWithOptions(*UIApplication::sharedApplication(),
                                                       Value());
    return delegate;
}

void firstCompleteScreen() {
    auto delegate = launch();
    HostRenderer renderer(delegate->window, kScale);
    benchmark::DoNotOptimize(renderer.snapshot());
    delegate->applicationWillTerminate(*UIApplication::sharedApplication());
}

void BM_ShellFirstScreenColdCache(benchmark::State& state) {
    setUpOnce();
    bench::measureWithColdCache(state, "shell", firstCompleteScreen);
}
BENCHMARK(BM_ShellFirstScreenColdCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShellFirstScreenWarmCache(benchmark::State& state) {
    setUpOnce();
    bench::measureWithWarmCache(state, "shell", firstCompleteScreen);
}
BENCHMARK(BM_ShellFirstScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SearchKeystrokeToDrawnResults(benchmark::State& state) {
    setUpOnce();
    NSSetApplicationHome(freshHome("shell-search").string());
    auto delegate = launch();
    auto screen = delegate->mapViewController();
    auto manager = screen->mapView()->dataManager();
    manager->searchDelayShort = 0;
    manager->searchDelayLong = 0;
    HostRenderer renderer(delegate->window, kScale);
    renderer.renderFrame(false);
    auto field = screen->searchBar()->searchField();
    screen->searchBar()->becomeFirstResponder();
    field->insertText("engels rin");
    auto answered = [&] {
        return NSRunLoop::mainRunLoop()->runUntil([&] { return !screen->searchBar()->isLoading(); },
                                                  30);
    };
    if (!answered()) {
        state.SkipWithError("the first search found nothing in time");
        return;
    }
    bool second = false;
    double hits = 0;
    for (auto _ : state) {
        if (second)
            field->deleteBackward();
        else
            field->insertText("g");
        second = !second;
        // Every keystroke must start a search of its own, or the loop would
        // time a keystroke that searched nothing.
        if (!screen->searchBar()->isLoading() || !answered()) {
            state.SkipWithError("a keystroke's search did not run or did not end");
            break;
        }
        hits += double(screen->searchResults().size());
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
    // The places listed after a keystroke, on average over the keystrokes.
    state.counters["hits"] = benchmark::Counter(hits, benchmark::Counter::kAvgIterations);
    delegate->applicationWillTerminate(*UIApplication::sharedApplication());
    NSSetApplicationHome("");
}
BENCHMARK(BM_SearchKeystrokeToDrawnResults)->Unit(benchmark::kMillisecond);

}  // namespace
