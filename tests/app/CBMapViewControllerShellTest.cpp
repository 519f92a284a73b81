// The map screen's part of the shell: the user's compass choices, the
// measuring ruler over the map, its pins across starts, the attribution.
#include <gtest/gtest.h>

#include "MapScreenFixture.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UILabel.h"
#include "app/CBMapViewController.h"
#include "app/CBPlaceAnnotation.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/ZELInteractiveMapScaleRulerView.h"
#include "mapkit/ZELInteractiveMapScaleView.h"

namespace {

class CBMapViewControllerShellTest : public MapScreenTest {
  protected:
    void TearDown() override {
        // The location service is the application's one: back to its start.
        if (screen_) {
            auto service = screen_->mapView()->userLocationFollower()->locationManager();
            service->setCompassEnabled(true);
            service->setShouldShowCompassCalibrationWarning(true);
        }
        MapScreenTest::TearDown();
    }
    // A map screen whose pins are kept in the test's own file.
    void showKeepingPins() {
        screen_ = std::make_shared<CBMapViewController>(registry_, "");
        screen_->setAnnotationsStore(CBMapAnnotationsStore(home_.file("pins.plist")));
        window_ = makeWindow({320, 480});
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->layoutIfNeeded();
    }
};

// A place of the map data comes back as that place, a dropped pin as a pin
// with its texts.
TEST_F(CBMapViewControllerShellTest, ThePinsOfTheMapComeBackAtTheNextStart) {
    registry_->setCurrentMap(installNeubrandenburg());
    showKeepingPins();
    auto place = objectNamed("Marktplatz");
    ASSERT_TRUE(place);
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        place->objectID(), std::nullopt, false);
    auto dropped = std::make_shared<CBBasicAnnotation>(53.556, 13.265);
    dropped->setTitle("Meeting point");
    screen_->mapView()->annotationsHost()->addAnnotationCentered(dropped, false);
    screen_->applicationDidMoveToBackground();

    showKeepingPins();
    std::shared_ptr<CBPlaceAnnotation> placePin;
    std::shared_ptr<CBBasicAnnotation> droppedPin;
    for (const auto& annotation : screen_->mapView()->annotationsHost()->annotations()) {
        if (auto found = std::dynamic_pointer_cast<CBPlaceAnnotation>(annotation))
            placePin = found;
        else if (auto pin = std::dynamic_pointer_cast<CBBasicAnnotation>(annotation))
            droppedPin = pin;
    }
    ASSERT_TRUE(placePin);
    // The same row of the same store, read anew.
    EXPECT_EQ(placePin->object()->objectID().primaryKey(), place->objectID().primaryKey());
    EXPECT_EQ(placePin->object()->name(), "Marktplatz");
    EXPECT_EQ(placePin->title(), "Marktplatz");
    ASSERT_TRUE(droppedPin);
    EXPECT_EQ(droppedPin->title(), "Meeting point");
    EXPECT_DOUBLE_EQ(droppedPin->coordinate().latitude, 53.556);
}

// Seven seconds of the program's clock, then it fades out. The script's
// waits move that clock, so a slow machine changes nothing.
TEST_F(CBMapViewControllerShellTest, TheAttributionShowsForAWhile) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    struct ManualClock {
        ManualClock() { CAFrameClock::shared().setManual(true); }
        ~ManualClock() { CAFrameClock::shared().setManual(false); }
    } manualClock;
    screen_->showMapDataAttribution();
    play(R"(
expect "Map data © OpenStreetMap contributors"
wait 6
expect "Map data © OpenStreetMap contributors"
wait 2
expect-not "Map data © OpenStreetMap contributors"
)");
    EXPECT_TRUE(screen_->attributionLabel()->isHidden());
}

TEST_F(CBMapViewControllerShellTest, AtStartTheLocationServiceTakesTheCompassSettings) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBoolForKey(true, "CompassDisabled");
    defaults->setBoolForKey(true, "CompassCalibrationWarningDisabled");
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto service = screen_->mapView()->userLocationFollower()->locationManager();
    EXPECT_FALSE(service->compassEnabled());
    EXPECT_FALSE(service->shouldShowCompassCalibrationWarning());
    EXPECT_FALSE(CBLocationManager::sharedInstanceShouldShowCompassCalibrationWarning());

    // As the user sets them back: the compass is on and may ask for calibration.
    defaults->setBoolForKey(false, "CompassDisabled");
    defaults->setBoolForKey(false, "CompassCalibrationWarningDisabled");
    show();
    service = screen_->mapView()->userLocationFollower()->locationManager();
    EXPECT_TRUE(service->compassEnabled());
    EXPECT_TRUE(service->shouldShowCompassCalibrationWarning());
}

// The ruler lies over the part of the map on screen, above the map and
// below the controls, and measures what the map shows.
TEST_F(CBMapViewControllerShellTest, TwoRestingFingersMeasureTheMapOnScreen) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto ruler = screen_->measuringRuler();
    ASSERT_TRUE(ruler);
    const auto& views = screen_->view()->subviews();
    const auto at = [&](const std::shared_ptr<UIView>& view) {
        return std::find(views.begin(), views.end(), view) - views.begin();
    };
    const auto mapArea = screen_->mapView()->superview();
    EXPECT_EQ(at(ruler), at(mapArea) + 1);
    EXPECT_TRUE(CGRectEqualToRect(ruler->frame(), mapArea->frame()));
    // The window is 320 x 480: the second finger rests at (260, 240).
    const double metres =
        ruler->distanceBetweenPoints(ruler->convertPointFromView({60, 240}, nullptr),
                                     ruler->convertPointFromView({260, 240}, nullptr));
    EXPECT_GT(metres, 0);
    play("two-finger-press 60 240\nwait-for \"" + stringWithDistanceFromFloat(float(metres)) +
         "\" 5\nrelease");
    EXPECT_TRUE(playUntil(
        [&] { return ruler->isHidden() && screen_->mapView()->isUserInteractionEnabled(); }));
    EXPECT_TRUE(ruler->isHidden());
    EXPECT_TRUE(screen_->mapView()->isUserInteractionEnabled());
}

}  // namespace
