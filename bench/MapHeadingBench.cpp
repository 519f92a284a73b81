// The map screen turned with the heading while it follows a replayed walk, in
// a phone-sized window (320 x 568 points, the navigation bar above the screen)
// at screen scale 2: the time of one frame, that is the frame clock's tick
// (animations, layout) and the composite of the whole window, with the tiles
// the walk passes already drawn. Each fix of the walk is followed by half a
// second of frames at 60 Hz, the time the map takes to move to it; one run
// is one pass over the walk. For comparison the same walk followed north up.
//
// Two walks: the Stargarder Straße walk in Neubrandenburg (the map faces
// south, nearly 180 degrees, as in the compass scenario) and the Riverwalk
// Trail in Three Rivers, which bends and turns the map through most angles.
//
// The packages come from <build>/packages, the bundle from
// <build>/app/resources, the walks from the source tree's tests/data.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreLocation/CLGPXTrack.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLLocationSource.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "app/CBMapViewController.h"
#include "location/CLLocation+Additions.h"
#include "mapkit/CBMapScrollView.h"

#include "BenchSupport.h"
#include "FirstScreenSupport.h"
#include "mapkit/CBMapUserLocationFollower.h"

namespace {

namespace fs = std::filesystem;

constexpr double kScale = 2.0;
constexpr double kFrame = 1.0 / 60;
constexpr int kFramesPerFix = 30;

fs::path walkPath(const std::string& gpx) {
    return fs::path(bench::resourcesPath()).parent_path() / "tests" / "data" / gpx;
}

// Frames of one pass over the walk.
benchmark::IterationCount framesOfWalk(const std::string& gpx) {
    auto track = CLGPXTrack::trackWithContentsOfFile(walkPath(gpx).string());
    return track ? benchmark::IterationCount(track->points().size() * kFramesPerFix) : 1;
}

void setUpOnce() {
    static const bool done = [] {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath((bench::buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setScale(kScale);
        return true;
    }();
    (void)done;
}

// The walk's points one by one, each with the course towards the next as the
// fix's course and the compass heading, as a receiver on the walk reports.
class WalkSource : public CLLocationSource {
  public:
    explicit WalkSource(CLGPXTrack track) : track_(std::move(track)) {}
    void startUpdating() override {}
    void stopUpdating() override {}
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "replayed walk"; }
    size_t count() const { return track_.points().size(); }

    void deliverPoint(size_t index) {
        const auto& points = track_.points();
        const CLLocationCoordinate2D here = points[index].coordinate;
        if (index + 1 < points.size())
            course_ = forwardAzimuthToCoordinate(CLLocation(here.latitude, here.longitude),
                                                 points[index + 1].coordinate);
        const NSDate now = NSDate::date();
        deliverLocation(std::make_shared<CLLocation>(here, 0.0, 5.0, -1.0, course_, 1.4, now));
        deliverHeading(std::make_shared<CLHeading>(course_, course_, 10.0, now));
    }

  private:
    CLGPXTrack track_;
    CLLocationDirection course_ = 0;
};

struct FollowingScreen {
    std::shared_ptr<WalkSource> walk;
    std::shared_ptr<CBMapViewController> screen;
    std::shared_ptr<UIWindow> window;
    std::optional<HostRenderer> renderer;
    size_t frame = 0;

    FollowingScreen(const std::string& package, const std::string& gpx, bool turn) {
        auto track = CLGPXTrack::trackWithContentsOfFile(walkPath(gpx).string());
        if (!track)
            return;
        walk = std::make_shared<WalkSource>(std::move(*track));
        CLLocationManager::setLocationSource(walk);
        const fs::path store =
            bench::buildDirectory() / "packages" / package / (package + ".sqlite");
        screen = std::make_shared<CBMapViewController>(nullptr, store.string());
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(std::make_shared<UINavigationController>(screen));
        window->layoutIfNeeded();
        renderer.emplace(window, kScale);
        walk->deliverPoint(0);
        if (turn)
            screen->mapView()->userLocationFollower()->setRotateToHeading(true);
        else
            screen->mapView()->userLocationFollower()->setCentersOnUserLocation(true);
    }
    ~FollowingScreen() {
        if (screen)
            screen->mapView()->userLocationFollower()->stopLocationUsage();
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
    }
    bool ready(bool turn) const {
        return screen && screen->mapView()->userLocationFollower()->centersOnUserLocation() &&
               screen->mapView()->userLocationFollower()->rotateToHeading() == turn;
    }
    size_t frameCount() const { return walk->count() * kFramesPerFix; }

    // The next frame of the walk; the walk starts again after its end.
    cairo_surface_t* nextFrame(bool drawEveryTile) {
        if (frame % kFramesPerFix == 0)
            walk->deliverPoint((frame / kFramesPerFix) % walk->count());
        ++frame;
        CAFrameClock::shared().advance(kFrame);
        return renderer->renderFrame(drawEveryTile);
    }
};

void measureFrames(benchmark::State& state, const std::string& package, const std::string& gpx,
                   bool turn) {
    setUpOnce();
    NSSetApplicationHome(bench::freshHome("map-heading-" + package).string());
    CAFrameClock::shared().setManual(true);
    {
        FollowingScreen following(package, gpx, turn);
        if (!following.ready(turn)) {
            state.SkipWithError("the map did not open or does not follow the walk");
        } else {
            // Once through the walk drawing every tile each frame needs, so
            // the timed frames only compose what the tiled layer holds.
            for (size_t i = 0; i < following.frameCount(); ++i)
                following.nextFrame(true);
            NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.2));
            for (auto _ : state)
                benchmark::DoNotOptimize(following.nextFrame(false));
        }
    }
    CAFrameClock::shared().setManual(false);
    NSSetApplicationHome("");
}
void BM_TurnedFrameFollowingAWalk(benchmark::State& state, const std::string& package,
                                  const std::string& gpx) {
    measureFrames(state, package, gpx, true);
}
void BM_NorthUpFrameFollowingAWalk(benchmark::State& state, const std::string& package,
                                   const std::string& gpx) {
    measureFrames(state, package, gpx, false);
}

const std::string kNeubrandenburgWalk = "stargarder-strasse-neubrandenburg.gpx";
const std::string kThreeRiversWalk = "riverwalk-three-rivers.gpx";

BENCHMARK_CAPTURE(BM_TurnedFrameFollowingAWalk, neubrandenburg, std::string("neubrandenburg"),
                  kNeubrandenburgWalk)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(framesOfWalk(kNeubrandenburgWalk));
BENCHMARK_CAPTURE(BM_TurnedFrameFollowingAWalk, three_rivers, std::string("three-rivers"),
                  kThreeRiversWalk)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(framesOfWalk(kThreeRiversWalk));
BENCHMARK_CAPTURE(BM_NorthUpFrameFollowingAWalk, neubrandenburg, std::string("neubrandenburg"),
                  kNeubrandenburgWalk)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(framesOfWalk(kNeubrandenburgWalk));
BENCHMARK_CAPTURE(BM_NorthUpFrameFollowingAWalk, three_rivers, std::string("three-rivers"),
                  kThreeRiversWalk)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(framesOfWalk(kThreeRiversWalk));

}  // namespace
