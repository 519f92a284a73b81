// Speed of the offline Wikipedia's screens: an article of the sample package
// of Neubrandenburg from setArticle to its first screen drawn in a phone
// window at scale 2 (the page assembled, parsed with its picture, laid out
// and drawn); the sample's root guide screen, with a cold image cache, from
// its making to its first frame; marking the links of a 30 KB body against
// the addresses of a store of 5,000 articles; and one frame of a finger
// dragging along the walk screen's track over the sample map (highlight,
// bubble, track redrawn; the map's tiles already drawn).
//
// The sample package comes from <build>/wikipedia (KELVARA_WIKIPEDIA_DIR
// overrides), the bundle from <build>/app/resources.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <filesystem>
#include <string>
#include <vector>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWebView.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBCurrentMap.h"
#include "model/CBWikipediaManager.h"
#include "model/CBWikipediaOfflineLinks.h"
#include "wikiguide/ZELWikiGuide.h"
#include "wikiguide/ZELWikiGuideLoader.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaViewer.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"
#include "wikipedia/CBWikipediaWalkViewController.h"

namespace {

namespace fs = std::filesystem;

constexpr CGFloat kWidth = 320, kHeight = 568, kScale = 2;
constexpr const char* kFangelturm = "https://de.wikipedia.org/wiki/Fangelturm_(Neubrandenburg)";

fs::path home() {
    return fs::temp_directory_path() / ("kvwikiscreens-" + std::to_string(getpid()));
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ignored;
        fs::remove_all(home(), ignored);
    }
} cleanup;

// A home with the sample package installed, and the manager on it.
std::shared_ptr<CBWikipediaManager> sampleManager() {
    static const auto manager = [] {
        NSSetApplicationHome(home().string());
        NSBundle::setMainBundlePath((bench::buildDirectory() / "app" / "resources").string());
        const char* configured = getenv("KELVARA_WIKIPEDIA_DIR");
        const fs::path sample =
            (configured ? fs::path(configured) : bench::buildDirectory() / "wikipedia") /
            "neubrandenburg_wiki-de";
        fs::create_directories(CBWikipediaManager::basePathForWikipedia());
        fs::copy(sample, CBWikipediaManager::basePathForWikipedia(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        auto made = CBWikipediaManager::create(nullptr, nullptr);
        made->resetWikipediaForMapIdentifier("neubrandenburg");
        return made;
    }();
    return manager;
}

// A phone's key window at scale 2 with a navigation controller, on a
// clock that moves only when drawn.
std::pair<std::shared_ptr<UIWindow>, std::shared_ptr<UINavigationController>> phoneWindow() {
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize({kWidth, kHeight});
    UIScreen::mainScreen()->setScale(kScale);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, kWidth, kHeight));
    auto navigation =
        std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    return {window, navigation};
}

void BM_ViewerSetArticleToFirstScreen(benchmark::State& state) {
    auto manager = sampleManager();
    auto article = manager->articleForUrl(kFangelturm);
    if (!article) {
        state.SkipWithError("the sample package is not built");
        return;
    }
    auto [window, navigation] = phoneWindow();
    auto viewer = std::make_shared<CBWikipediaViewer>(CBWikipediaServices{{}, manager, {}, {}, {}});
    viewer->setBasePath(manager->currentImgPath());
    navigation->pushViewControllerAnimated(viewer, false);
    HostRenderer renderer(window, kScale);
    renderer.renderFrame(true);
    for (auto _ : state) {
        viewer->setArticle(article);
        const bool shown = NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return !viewer->navigationItem()->titleView() && !viewer->webView()->isLoading();
            },
            30);
        if (!shown) {
            state.SkipWithError("the page did not load");
            break;
        }
        benchmark::DoNotOptimize(renderer.renderFrame(true));
    }
    state.SetLabel("page " + std::to_string(int(viewer->webView()->contentHeight())) +
                   " pt high, 640x1136 px");
}
BENCHMARK(BM_ViewerSetArticleToFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// The application as the guide and walk screens see it.
class BenchHost : public CBWikipediaHost {
  public:
    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>&, bool) override {}
    std::vector<std::string> objectAnnotationIdentifiers() const override { return {}; }
    void showFailedMessageForIndividualDownload(const ZELDownloadStatus&) override {}
};

// What the guide and walk screens are handed: the sample map is current.
CBWikipediaServices benchServices(const std::shared_ptr<BenchHost>& host) {
    static const auto current = [] {
        CBCoordinatePathValueTransformer::registerTransformer();
        auto map = CBCurrentMap::create(nullptr, nullptr, nullptr);
        map->showOpenMap(CBOpenMap::openStorePath(
            (bench::buildDirectory() / "packages/neubrandenburg/neubrandenburg.sqlite").string()));
        return map;
    }();
    return {host, sampleManager(), nullptr, nullptr, current};
}

// The guide file read, the grid laid out and its seven pictures decoded
// into a fresh cache, and the window drawn.
void BM_RootGuideScreenColdCacheToFirstFrame(benchmark::State& state) {
    sampleManager();
    auto host = std::make_shared<BenchHost>();
    auto [window, navigation] = phoneWindow();
    HostRenderer renderer(window, kScale);
    renderer.renderFrame(true);
    size_t cells = 0;
    for (auto _ : state) {
        auto guide =
            CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(benchServices(host));
        if (!guide) {
            state.SkipWithError("the sample package has no guide");
            break;
        }
        navigation->setViewControllersAnimated({guide}, false);
        benchmark::DoNotOptimize(renderer.renderFrame(true));
        cells = guide->gridScrollView()->visibleCells().size();
    }
    state.counters["cells_shown"] = double(cells);
    navigation.reset();
    window.reset();
}
BENCHMARK(BM_RootGuideScreenColdCacheToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WalkTrackDragFrame(benchmark::State& state) {
    sampleManager();
    const auto guide = ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
        "neubrandenburg",
        CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg"));
    std::shared_ptr<ZELWikiGuideGroup> walk;
    for (const auto& group :
         guide ? guide->rootGroup()->recursiveSubGroups() : ZELWikiGuideGroup::Groups{})
        if (group->type() == 100)
            walk = group;
    if (!walk) {
        state.SkipWithError("the sample package has no walk");
        return;
    }
    CBCoordinatePathValueTransformer::registerTransformer();
    auto host = std::make_shared<BenchHost>();
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize({kWidth, kHeight});
    UIScreen::mainScreen()->setScale(kScale);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, kWidth, kHeight));
    auto screen = std::make_shared<CBWikipediaWalkViewController>(benchServices(host));
    screen->setWalkGroup(walk);
    auto navigation = std::make_shared<UINavigationController>(screen);
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    HostRenderer renderer(window, kScale);
    NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.5);
    renderer.snapshot();
    auto track = screen->progressView();
    long stop = 0;
    for (auto _ : state) {
        // The finger moves on to the next stop: the bubble glides there.
        stop = (stop + 1) % long(walk->articles().size());
        track->setIndexOfHighlightedStop(stop);
        CAFrameClock::shared().advance(1.0 / 60);
        benchmark::DoNotOptimize(renderer.renderFrame(true));
    }
    track->setIndexOfHighlightedStop(kWalkStopNotFound);
    state.SetLabel(std::to_string(walk->articles().size()) + " stops, 640x1136 px");
}
BENCHMARK(BM_WalkTrackDragFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// 5,000 addresses of a large package, half of them with a letter outside
// ASCII, and a body of about 30 KB linking 300 of them (in both spellings)
// and 100 pages outside the store.
struct MarkingCase {
    std::vector<std::string> urls;
    std::string body;
};

const MarkingCase& markingCase() {
    static const MarkingCase made = [] {
        MarkingCase c;
        for (int i = 0; i < 5000; ++i)
            c.urls.push_back("https://de.wikipedia.org/wiki/" +
                             std::string(i % 2 ? "M%C3%BChle_" : "Kirche_") + std::to_string(i));
        for (int i = 0; c.body.size() < 30000; ++i) {
            std::string href;
            if (i % 4 == 3)
                href = "https://de.wikipedia.org/wiki/Anderswo_" + std::to_string(i);
            else if (i % 2)
                href = "https://de.wikipedia.org/wiki/Mühle_" + std::to_string(i * 13 % 5000 | 1);
            else
                href = "https://de.wikipedia.org/wiki/Kirche_" + std::to_string(i * 13 % 5000 & ~1);
            c.body += "<p>Ein Absatz über den Ort mit einem <a href=\"" + href +
                      "\">Verweis</a> und etwas Text dazu.</p>\n";
        }
        return c;
    }();
    return made;
}

void BM_MarkBodyAgainstStoredAddresses(benchmark::State& state) {
    const CBWikipediaOfflineLinks links(markingCase().urls);
    size_t marked = 0;
    for (auto _ : state) {
        const std::string body = links.markedBody(markingCase().body);
        marked = (body.size() - markingCase().body.size()) /
                 std::string(" data-offline=\"true\"").size();
        benchmark::DoNotOptimize(body.data());
    }
    state.counters["links_marked"] = double(marked);
    state.SetLabel(std::to_string(markingCase().body.size() / 1024) + " KB body, " +
                   std::to_string(markingCase().urls.size()) + " addresses");
}
BENCHMARK(BM_MarkBodyAgainstStoredAddresses)->Unit(benchmark::kMillisecond);

// The set itself, made once per store and shared by the viewers it opens.
void BM_OfflineLinksOfAStore(benchmark::State& state) {
    for (auto _ : state) {
        const CBWikipediaOfflineLinks links(markingCase().urls);
        benchmark::DoNotOptimize(links.size());
    }
}
BENCHMARK(BM_OfflineLinksOfAStore)->Unit(benchmark::kMillisecond);

}  // namespace
