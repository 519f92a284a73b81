// The map screen in a real desktop window (ctest runs this under a virtual
// X server): the user grows and shrinks the window, and the place in the
// middle of the map stays in the middle, its callout clear of the buttons.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreLocation/CLLocation.h"
#include "Host/HostWindow.h"
#include "MapScreenFixture.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

constexpr const char* kTitle = "Kelvara map resize test";

SDL_Window* sdlWindowTitled(const char* title) {
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (window && std::strcmp(SDL_GetWindowTitle(window), title) == 0)
            return window;
    }
    return nullptr;
}

double metresBetween(CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    return CLLocation(a.latitude, a.longitude)
        .distanceFromLocation(CLLocation(b.latitude, b.longitude));
}

class MapWindowResizeTest : public MapScreenTest {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display (ctest runs this under xvfb-run)";
        MapScreenTest::SetUp();
    }
    void TearDown() override {
        host_.reset();
        MapScreenTest::TearDown();
    }
    CLLocationCoordinate2D visibleCentre() {
        screen_->mapView()->visibleArea()->calculateVisibleBBox();
        return screen_->mapView()->visibleArea()->visibleCenter();
    }
    // The window takes the new size in pixels, as a user's drag leaves it.
    void resizeTo(int width, int height) {
        SDL_SetWindowSize(sdlWindow_, width, height);
        ASSERT_TRUE(host_->pumpEvents());
        CAFrameClock::shared().advance(1.0 / 60);
        window_->layoutIfNeeded();
    }
    // The sample city's map screen in a window at scale 2.
    void openMapWindow() {
        registry_->setCurrentMap(installNeubrandenburg());
        show();
        host_ = HostWindow::open(window_, 2, kTitle);
        ASSERT_TRUE(host_);
        sdlWindow_ = sdlWindowTitled(kTitle);
        ASSERT_TRUE(sdlWindow_);
    }
    std::unique_ptr<HostWindow> host_;
    SDL_Window* sdlWindow_ = nullptr;
};

TEST_F(MapWindowResizeTest, GrowingAndShrinkingTheWindowKeepsTheMapsCentre) {
    ASSERT_NO_FATAL_FAILURE(openMapWindow());
    // Somewhere off the map's first view, zoomed in.
    const CLLocationCoordinate2D place{53.5531, 13.2497};
    screen_->mapView()->setZoomScale(screen_->mapView()->maximumZoomScale() / 4);
    ASSERT_TRUE(screen_->mapView()->moveToCoordinateAnimated(place, false));
    ASSERT_LT(metresBetween(visibleCentre(), place), 5);
    const float zoom = screen_->mapView()->zoomScale();

    for (const auto& [width, height] :
         {std::pair{1000, 700}, std::pair{640, 640}, std::pair{1200, 1000}, std::pair{640, 960}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        resizeTo(width, height);
        EXPECT_EQ(window_->bounds().size, CGSizeMake(width / 2, height / 2));
        EXPECT_LT(metresBetween(visibleCentre(), place), 5);
        EXPECT_EQ(screen_->mapView()->zoomScale(), zoom);
    }
}

// The window a 1366 x 768 display opened at scale 2 before, and smaller and
// wider ones: the pinned place's callout never lies under a button.
TEST_F(MapWindowResizeTest, APinnedPlacesCalloutKeepsClearOfTheButtonsAtEverySize) {
    ASSERT_NO_FATAL_FAILURE(openMapWindow());
    auto place = objectNamed("Wallensteinkeller");
    ASSERT_TRUE(place);
    ASSERT_TRUE(screen_->showPlace(
        CBGeoSearchResult::geoSearchResultWithObjectAndAddress(place, nullptr), false));
    auto host = screen_->mapView()->annotationsHost();
    // The callout and its pin inside the window, clear of every control
    // shown over the map.
    auto clear = [&] {
        auto callout = host->currentCalloutView();
        auto pin = host->existingViewForAnnotation(host->selectedAnnotation());
        if (!callout || callout->isHidden() || !pin)
            return false;
        const CGRect shown[] = {callout->convertRectToView(callout->bounds(), nullptr),
                                pin->convertRectToView(pin->bounds(), nullptr)};
        for (const CGRect& rect : shown) {
            if (!CGRectContainsRect(window_->bounds(), rect))
                return false;
            for (const auto& view : screen_->view()->subviews())
                if (std::dynamic_pointer_cast<UIControl>(view) && !view->isHidden() &&
                    CGRectIntersectsRect(rect, view->convertRectToView(view->bounds(), nullptr)))
                    return false;
        }
        return true;
    };
    for (const auto& [width, height] :
         {std::pair{640, 1136}, std::pair{640, 768}, std::pair{640, 640}, std::pair{1136, 640},
          std::pair{1000, 700}, std::pair{640, 768}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        resizeTo(width, height);
        EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(clear, 5));
    }
}

}  // namespace
