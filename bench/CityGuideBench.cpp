// The city guide of the sample city in a phone-sized window at screen scale
// 2: the "Eat & drink" category list with all its counters, and the place
// list of the letter "A" (its fetch into two-letter sections), each from its
// making to its first drawn frame. Run on one core: taskset -c 0.
//
// The package comes from <build>/packages, the bundle from <build>/app/resources.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSFetchedResultsController.h"
#include "CoreLocation/CLLocationManager.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "location/CBLocationManager.h"
#include "model/CBCityGuide.h"
#include "places/CBCityCategoriesVC.h"
#include "places/CBCityCategoryGuide.h"
#include "widgets/CBAnnotationsPresenter.h"

namespace {

constexpr double kScale = 2.0;

// The map screen as the lists see it; nothing is shown on a map here.
class BenchPresenter : public CBAnnotationsPresenter {
  public:
    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>&, bool) override {}
    std::vector<std::string> objectAnnotationIdentifiers() const override { return {}; }
};

// A home of its own with the sample city open and the user in its old town.
struct GuideHome {
    GuideHome() {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath((bench::buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setScale(kScale);
        NSSetApplicationHome(bench::freshHome("guide").string());
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
        CBLocationManager::sharedInstance()->setLocation(
            std::make_shared<CLLocation>(53.5569, 13.2610));
        map = CBGeoDataManager::create();
        map->addPersistentStoreCoordinatorWithPath(
            (bench::buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite")
                .string());
        content = CBCityGuide::content();
        presenter = std::make_shared<BenchPresenter>();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        navigation = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
    }
    ~GuideHome() {
        navigation.reset();
        window.reset();
        map.reset();
        CBLocationManager::sharedInstance()->setLocation(nullptr);
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
    }
    // Pushed and drawn whole, off the clock again once measured.
    void show(const std::shared_ptr<UIViewController>& screen, HostRenderer& renderer) {
        navigation->pushViewControllerAnimated(screen, false);
        benchmark::DoNotOptimize(renderer.snapshot());
    }
    void back(benchmark::State& state, HostRenderer& renderer) {
        state.PauseTiming();
        navigation->popToRootViewControllerAnimated(false);
        renderer.renderFrame(true);
        state.ResumeTiming();
    }

    std::shared_ptr<CBGeoDataManager> map;
    std::vector<CBCityGuideSection> content;
    std::shared_ptr<BenchPresenter> presenter;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
};

void BM_EatAndDrinkCategoryListToFirstFrame(benchmark::State& state) {
    GuideHome home;
    if (home.content.empty()) {
        state.SkipWithError("the bundle has no city guide");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    for (auto _ : state) {
        auto list = std::make_shared<CBCityCategoriesVC>(UITableViewStylePlain, 0, home.content,
                                                         std::weak_ptr<CBPlacesHost>(), nullptr,
                                                         home.presenter);
        list->setTitle(home.content[0].title);
        list->setDataManager(home.map);
        home.show(list, renderer);
        home.back(state, renderer);
    }
}
BENCHMARK(BM_EatAndDrinkCategoryListToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_LetterAPlaceListToFirstFrame(benchmark::State& state) {
    GuideHome home;
    HostRenderer renderer(home.window, kScale);
    size_t places = 0;
    for (auto _ : state) {
        auto list = std::make_shared<CBCityCategoryGuide>(
            UITableViewStylePlain, CBGuideTagFilter{{"firstLetter", "A"}},
            std::weak_ptr<CBPlacesHost>(), nullptr, home.presenter);
        list->setTitle("A-Z: A...");
        list->setTwoLetterIndex(true);
        list->setDataManager(home.map);
        home.show(list, renderer);
        places = list->fetchedResultsController()->fetchedObjects().size();
        home.back(state, renderer);
    }
    state.counters["places"] = static_cast<double>(places);
}
BENCHMARK(BM_LetterAPlaceListToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
