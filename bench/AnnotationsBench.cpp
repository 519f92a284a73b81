// The annotation layer with 500 pins in view on a phone-sized map (320 x 568
// points, screen scale 2): the layout of one panning frame (the scroll
// moves, every pin is put back on its coordinate, views enter and leave the
// wider box), and resolving a tap among the 500 pins.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

constexpr int kPins = 500;

struct PinnedMap {
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<CBMapScrollView> map;
};

// Neubrandenburg's old town, 500 pins scattered over the visible area.
PinnedMap pinnedMap() {
    UIScreen::mainScreen()->setScale(2);
    PinnedMap pinned;
    pinned.window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    pinned.map = CBMapScrollView::create(pinned.window->bounds());
    pinned.map->visibleArea()->setSavesState(false);
    pinned.window->addSubview(pinned.map);
    pinned.map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(53.60, 13.32), CLLocationCoordinate2DMake(53.52, 13.20)));
    auto town = CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
        CLLocationCoordinate2DMake(53.5577, 13.2610), 900, 500);
    pinned.map->zoomToBoundingBoxAnimated(town, false);
    pinned.map->notifyDelegateMapDidChangeBBoxAnimated(false);
    auto visible = pinned.map->visibleArea()->visibleBBox();
    std::mt19937 random(20);
    std::uniform_real_distribution<double> lat(visible->SW().latitude, visible->NE().latitude);
    std::uniform_real_distribution<double> lon(visible->SW().longitude, visible->NE().longitude);
    std::vector<CBAnnotationRef> pins;
    for (int i = 0; i < kPins; ++i)
        pins.push_back(std::make_shared<CBBasicAnnotation>(lat(random), lon(random)));
    pinned.map->annotationsHost()->addAnnotationsCentered(pins, false);
    pinned.map->layoutIfNeeded();
    return pinned;
}

void BM_AnnotationLayoutPanFrame(benchmark::State& state) {
    PinnedMap pinned = pinnedMap();
    const CGPoint start = pinned.map->contentOffset();
    int step = 0, direction = 1;
    for (auto _ : state) {
        step += direction;
        if (step == 30 || step == -30)
            direction = -direction;
        pinned.map->setContentOffset({start.x + 4.0 * step, start.y + 3.0 * step});
        pinned.map->layoutIfNeeded();
    }
    state.counters["views"] = static_cast<double>(
        pinned.map->annotationsHost()->annotationsManager()->annotationViews().size());
}
BENCHMARK(BM_AnnotationLayoutPanFrame)->Unit(benchmark::kMicrosecond);

void BM_TapAmong500Pins(benchmark::State& state) {
    PinnedMap pinned = pinnedMap();
    const auto& layer = pinned.map->annotationsHost()->annotationsManager();
    CGPoint origin = pinned.map->bounds().origin;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(0, 320), y(0, 568);
    std::vector<std::shared_ptr<CBAnnotationView>> candidates;
    for (auto _ : state) {
        CGPoint p = CGPointMake(origin.x + x(random), origin.y + y(random));
        benchmark::DoNotOptimize(layer->annotationViewAtPoint(p, &candidates));
    }
}
BENCHMARK(BM_TapAmong500Pins)->Unit(benchmark::kMicrosecond);

}  // namespace
