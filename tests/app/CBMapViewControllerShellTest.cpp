// The map screen's part of the shell: the user's compass choices, the
// measuring ruler over the map.
#include <gtest/gtest.h>

#include "MapScreenFixture.h"
#include "UIKit/UILabel.h"
#include "app/CBMapViewController.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/ZELInteractiveMapScaleRulerView.h"
#include "mapkit/ZELInteractiveMapScaleView.h"

namespace {

class CBMapViewControllerShellTest : public MapScreenTest {
  protected:
    void TearDown() override {
        // The location service is the application's one: back to its start.
        if (screen_) {
            auto service = screen_->mapView()->locationManager();
            service->setCompassEnabled(true);
            service->setShouldShowCompassCalibrationWarning(true);
        }
        MapScreenTest::TearDown();
    }
};

TEST_F(CBMapViewControllerShellTest, AtStartTheLocationServiceTakesTheCompassSettings) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBoolForKey(true, "CompassDisabled");
    defaults->setBoolForKey(true, "CompassCalibrationWarningDisabled");
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto service = screen_->mapView()->locationManager();
    EXPECT_FALSE(service->compassEnabled());
    EXPECT_FALSE(service->shouldShowCompassCalibrationWarning());
    EXPECT_FALSE(CBLocationManager::sharedInstanceShouldShowCompassCalibrationWarning());

    // As the user sets them back: the compass is on and may ask for calibration.
    defaults->setBoolForKey(false, "CompassDisabled");
    defaults->setBoolForKey(false, "CompassCalibrationWarningDisabled");
    show();
    service = screen_->mapView()->locationManager();
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
    EXPECT_EQ(at(ruler), at(screen_->mapView()) + 1);
    EXPECT_TRUE(CGRectEqualToRect(ruler->frame(), screen_->mapView()->UIView::frame()));
    // The window is 320 x 480: the second finger rests at (260, 240).
    const double metres =
        ruler->distanceBetweenPoints(ruler->convertPointFromView({60, 240}, nullptr),
                                     ruler->convertPointFromView({260, 240}, nullptr));
    EXPECT_GT(metres, 0);
    play("two-finger-press 60 240\nwait-for \"" + stringWithDistanceFromFloat(float(metres)) +
         "\" 5\nrelease\nwait 1");
    EXPECT_TRUE(ruler->isHidden());
    EXPECT_TRUE(screen_->mapView()->isUserInteractionEnabled());
}

}  // namespace
