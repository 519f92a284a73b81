#include <cmath>

#include "AnnotationMapFixture.h"
#include "CoreLocation/CLError.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLGPXLocationSource.h"
#include "CoreLocation/CLGPXTrack.h"
#include "CoreLocation/CLLocationManager.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "mapkit/CBHeadingLayer.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPinAnnotationView.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/CBUserLocationAnnotationView.h"

namespace {

class Screen : public CBMapScrollViewDelegate {
  public:
    void mapScrollViewDidReceiveLocationError(CBMapScrollView&, const NSError& e) override {
        errors.push_back(e);
    }
    void mapScrollViewDidChangeCenteringRotationStatus(CBMapScrollView&) override { ++changes; }
    std::vector<NSError> errors;
    int changes = 0;
};

std::shared_ptr<CLLocation> fix(CLLocationCoordinate2D c, double accuracy) {
    return std::make_shared<CLLocation>(c, 0, accuracy, 10, -1, -1, NSDate::date());
}

std::shared_ptr<CLHeading> heading(double magnetic, double trueHeading, double accuracy) {
    return std::make_shared<CLHeading>(magnetic, trueHeading, accuracy, NSDate::date());
}

class CBUserLocationTest : public AnnotationMapTest {
  protected:
    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped())
            return;
        screen = attachScreen<Screen>();
        track = CLGPXTrack::trackWithContentsOfFile(std::string(getenv("KELVARA_TEST_DATA")) +
                                                    "/stargarder-strasse-neubrandenburg.gpx");
        ASSERT_TRUE(track);
    }
    void TearDown() override {
        CLLocationManager::setLocationSource(nullptr);
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        if (auto app = UIApplication::existingApplication())
            app->setIdleTimerDisabled(false);
        AnnotationMapTest::TearDown();
    }
    // A compass exists while a walk is replayed.
    void useCompass() {
        CLLocationManager::setLocationSource(CLGPXLocationSource::createWithTrack(*track, 1.0));
        follower()->setAllowsRotation(true);
    }
    void deliver(const std::shared_ptr<CLLocation>& location) {
        service_->setLocation(location);
        follower()->locationManagerDidUpdateToLocationFromLocation(*service_, location, nullptr);
        CAFrameClock::shared().advance(0.6);
        map_->layoutIfNeeded();
    }
    const std::shared_ptr<CBMapUserLocationFollower>& follower() {
        return map_->userLocationFollower();
    }
    const std::shared_ptr<CBUserLocationAnnotationView>& dot() {
        return map_->annotationsHost()->annotationsManager()->userLocationAnnotationView();
    }

    std::shared_ptr<Screen> screen;
    std::optional<CLGPXTrack> track;
};

TEST_F(CBUserLocationTest, DotAccuracyDiscAndPulseFollowAReplayedWalk) {
    follower()->setCentersOnUserLocation(true);
    ASSERT_TRUE(follower()->showsUserLocation());
    for (const auto& point : track->points()) {
        deliver(fix(point.coordinate, 25));
        ASSERT_FALSE(dot()->isHidden());
        CGPoint expected = map_->pointForCoordinate(point.coordinate);
        EXPECT_NEAR(dot()->center().x, expected.x, 0.01);
        EXPECT_NEAR(dot()->center().y, expected.y, 0.01);
        // Centring keeps the walker in the middle of the screen.
        CGPoint onScreen = map_->convertPointToView(dot()->center(), nullptr);
        EXPECT_NEAR(onScreen.x, kWidth / 2, 2);
        EXPECT_NEAR(onScreen.y, kHeight / 2, 2);
        EXPECT_NE(dot()->updateIndicator()->animationForKey("scale"), nullptr);
        // The disc is the accuracy's diameter at the map's scale.
        ASSERT_FALSE(dot()->accuracyCircleLayer()->isHidden());
        EXPECT_NEAR(dot()->accuracyCircleLayer()->bounds().size.width,
                    std::min(map_->visibleArea()->pointsPerKilometer() * 0.05, 800.0), 0.5);
        CAFrameClock::shared().advance(1.5);  // the pulse ends
    }
    EXPECT_TRUE(UIApplication::sharedApplication()->isIdleTimerDisabled());
    follower()->locationManagerDidUpdateHeading(*service_, heading(200, 210, 30));
    CAFrameClock::shared().advance(5);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/user-location"));
}

TEST_F(CBUserLocationTest, ANewAccuracyAnimatesTheNextResizeOnly) {
    CBUserLocationAnnotationView view(nullptr, CBUserLocationAnnotationView::kReuseIdentifier);
    EXPECT_FALSE(view.animateNextAccuracyChange());
    view.setAccuracy(100);
    EXPECT_TRUE(view.animateNextAccuracyChange());
    view.setPointAccuracyDiameterWithPointsPerKilometer(1000);
    EXPECT_FALSE(view.animateNextAccuracyChange());
    view.setAccuracy(50);
    view.setHidden(true);
    EXPECT_FALSE(view.animateNextAccuracyChange());
}

TEST_F(CBUserLocationTest, PositionButtonCyclesCentreRotateOffAndPinsStayUpright) {
    useCompass();
    auto pin = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2DMake(53.5580, 13.2605));
    map_->annotationsHost()->addAnnotationsCentered({pin}, false);
    map_->layoutIfNeeded();
    service_->setLocation(fix(market(), 10));
    CGRect frame = map_->UIView::frame();

    follower()->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(follower()->centersOnUserLocation());
    EXPECT_FALSE(follower()->rotateToHeading());
    EXPECT_NE(follower()->barButtonItemForCurrentCenteringRotationStatus()->image(), nullptr);
    EXPECT_EQ(follower()->barButtonItemForCurrentCenteringRotationStatus()->imageInsets().top, 4.0);

    follower()->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(follower()->rotateToHeading());
    EXPECT_EQ(follower()->barButtonItemForCurrentCenteringRotationStatus()->imageInsets().top, 2.0);
    // A square of the diagonal so that the turned map covers the screen,
    // composed in its own axes and turned as one picture.
    EXPECT_EQ(map_->bounds().size.width, std::ceil(std::hypot(kWidth, kHeight)));
    EXPECT_TRUE(map_->layer()->shouldRasterize());
    follower()->locationManagerDidUpdateHeading(*service_, heading(80, 90, 10));
    CAFrameClock::shared().advance(1);
    EXPECT_NEAR(follower()->currentRotationAngle(), M_PI / 2, 1e-5);
    auto view = map_->annotationsHost()->existingViewForAnnotation(pin);
    ASSERT_NE(view, nullptr);
    CGAffineTransform onScreen = CGAffineTransformConcat(view->transform(), map_->transform());
    EXPECT_NEAR(onScreen.a, 1, 1e-5);
    EXPECT_NEAR(onScreen.b, 0, 1e-5);
    EXPECT_NEAR(onScreen.c, 0, 1e-5);

    follower()->toggleCentersOnUserLocationAndRotation();
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(follower()->centersOnUserLocation());
    EXPECT_FALSE(follower()->rotateToHeading());
    EXPECT_FALSE(map_->layer()->shouldRasterize());
    EXPECT_NEAR(map_->UIView::frame().size.width, frame.size.width, 1e-3);
    EXPECT_NEAR(map_->UIView::frame().size.height, frame.size.height, 1e-3);
    EXPECT_NEAR(follower()->currentRotationAngle(), 0, 1e-6);
    EXPECT_GE(screen->changes, 3);
}

TEST_F(CBUserLocationTest, AFixedPointWithoutCompassSkipsRotation) {
    CLLocationManager::setLocationSource(std::make_shared<CLFixedLocationSource>(market()));
    follower()->setAllowsRotation(true);
    EXPECT_FALSE(follower()->allowsRotation());
    follower()->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(follower()->centersOnUserLocation());
    follower()->toggleCentersOnUserLocationAndRotation();
    EXPECT_FALSE(follower()->centersOnUserLocation());
    EXPECT_FALSE(follower()->rotateToHeading());
}

TEST_F(CBUserLocationTest, RotationDoesNotStartWhenCentringIsRefused) {
    // Regression: with location access denied the map still turned.
    useCompass();
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    follower()->setRotateToHeading(true);
    EXPECT_FALSE(follower()->centersOnUserLocation());
    EXPECT_FALSE(follower()->rotateToHeading());
    EXPECT_NEAR(map_->UIView::frame().size.height, kHeight, 1e-3);
    ASSERT_FALSE(screen->errors.empty());
    EXPECT_EQ(screen->errors[0].domain, kCLErrorDomain);
    EXPECT_EQ(screen->errors[0].code, kCLErrorDenied);
}

TEST_F(CBUserLocationTest, UnknownTrueHeadingTurnsByTheMagneticOneAndInvalidReadingsAreIgnored) {
    // Regression: a true heading of -1 (unknown) turned the map to -1 degrees.
    useCompass();
    service_->setLocation(fix(market(), 10));
    follower()->setRotateToHeading(true);
    ASSERT_TRUE(follower()->rotateToHeading());
    follower()->locationManagerDidUpdateHeading(*service_, heading(45, -1, 10));
    CAFrameClock::shared().advance(1);
    EXPECT_NEAR(follower()->currentRotationAngle(), M_PI / 4, 1e-5);
    follower()->locationManagerDidUpdateHeading(*service_, heading(120, 122, -1));
    EXPECT_NEAR(follower()->currentRotationAngle(), M_PI / 4, 1e-5);
}

TEST_F(CBUserLocationTest, HeadingConeStaysFiniteAndHidesForInvalidReadings) {
    // Regression: accuracy 90 degrees and more made the cone infinitely or
    // negatively wide.
    useCompass();
    follower()->setShowsUserLocation(true);
    auto cone = dot()->headingAccuracyLayer();
    ASSERT_NE(cone, nullptr);
    follower()->locationManagerDidUpdateHeading(*service_, heading(10, 12, 30));
    EXPECT_FALSE(cone->isHidden());
    EXPECT_NEAR(cone->bounds().size.width, 57.735, 0.01);
    for (double accuracy : {90.0, 135.0, 400.0}) {
        follower()->locationManagerDidUpdateHeading(*service_, heading(10, 12, accuracy));
        double width = cone->bounds().size.width;
        EXPECT_TRUE(std::isfinite(width));
        EXPECT_GT(width, 0);
        EXPECT_LE(width, 2 * 50 * std::tan(CBHeadingLayer::kMaximumHalfAngle * M_PI / 180) + 0.01);
    }
    follower()->locationManagerDidUpdateHeading(*service_, heading(10, 12, -1));
    EXPECT_TRUE(cone->isHidden());
    follower()->locationManagerDidUpdateHeading(*service_, nullptr);
    EXPECT_TRUE(cone->isHidden());
}

TEST_F(CBUserLocationTest, ZoomStepsWhileFollowingHoldAndLaterFixesOnlyMoveTheMap) {
    follower()->setCentersOnUserLocation(true);
    deliver(fix(market(), 10));
    const int closest = map_->layout()->nativeZoomLevel();
    auto stepOut = [&] {
        const int level = map_->layout()->targetNativeZoomLevel() - 1;
        map_->stepZoomToScale(map_->layout()->scaleForNativeZoomlevel(level) /
                              UIScreen::mainScreen()->scale());
    };
    // A fix during a step's zoom is dropped; the ones after it move the map
    // to the walker at the zoom the user chose, slow steps or quick ones.
    stepOut();
    CAFrameClock::shared().advance(0.1);
    const CGFloat target = map_->targetZoomScale();
    follower()->locationManagerDidUpdateToLocationFromLocation(
        *service_, fix(track->points()[3].coordinate, 10), nullptr);
    EXPECT_NE(map_->zoomScale(), target);
    EXPECT_EQ(map_->targetZoomScale(), target);
    CAFrameClock::shared().advance(1);
    stepOut();
    CAFrameClock::shared().advance(1);
    stepOut();
    stepOut();
    stepOut();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(map_->layout()->nativeZoomLevel(), closest - 5);
    for (const auto& point : track->points()) {
        deliver(fix(point.coordinate, 10));
        EXPECT_EQ(map_->layout()->nativeZoomLevel(), closest - 5);
        EXPECT_LT(std::hypot(windowPointFor(point.coordinate).x - kWidth / 2,
                             windowPointFor(point.coordinate).y - kHeight / 2),
                  1);
    }
}

TEST_F(CBUserLocationTest, AccuracyChoosesTheZoomBox) {
    auto box = [&](double accuracy) {
        return follower()->zoomBoundingBoxForLocationUpdate(*fix(market(), accuracy));
    };
    map_->setZoomScale(map_->minimumZoomScale());
    settle();
    auto small = box(10);
    ASSERT_NE(small, nullptr);
    CLLocation sw(small->SW().latitude, small->SW().longitude);
    CLLocation nw(small->NE().latitude, small->SW().longitude);
    EXPECT_NEAR(sw.distanceFromLocation(nw), 60, 1);
    auto wide = box(600);
    ASSERT_NE(wide, nullptr);
    EXPECT_NEAR(CLLocation(wide->SW().latitude, wide->SW().longitude)
                    .distanceFromLocation(CLLocation(wide->NE().latitude, wide->SW().longitude)),
                2000, 5);
}

}  // namespace

namespace {

TEST_F(CBUserLocationTest, TheDotBreathesOnlyWhileItShows) {
    // An endless animation on the hidden dot kept the program from ever idling.
    ASSERT_TRUE(dot()->isHidden());
    EXPECT_EQ(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
    follower()->setShowsUserLocation(true);
    deliver(fix(market(), 30));
    EXPECT_NE(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
    follower()->setShowsUserLocation(false);
    EXPECT_EQ(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
}

// Shown before any fix came, the dot sat in the map's top left corner.
TEST_F(CBUserLocationTest, TheDotWaitsForAFixAndShowsWithoutFollowing) {
    follower()->setShowsUserLocation(true);
    EXPECT_TRUE(dot()->isHidden());
    EXPECT_EQ(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
    deliver(fix(market(), 30));
    ASSERT_FALSE(dot()->isHidden());
    EXPECT_FALSE(follower()->centersOnUserLocation());
    const CGPoint expected = map_->pointForCoordinate(market());
    EXPECT_NEAR(dot()->center().x, expected.x, 0.01);
    EXPECT_NEAR(dot()->center().y, expected.y, 0.01);
    // Hidden and shown again, it comes back at once where it was.
    follower()->setShowsUserLocation(false);
    EXPECT_TRUE(dot()->isHidden());
    follower()->setShowsUserLocation(true);
    EXPECT_FALSE(dot()->isHidden());
}

// The follower can outlive its map (a screen keeps it): fixes, headings and
// its position button then only drive the location service.
TEST_F(CBUserLocationTest, AFollowerWithoutItsMapOnlyDrivesTheService) {
    useCompass();
    auto follower = map_->userLocationFollower();
    auto button = follower->barButtonItemForCurrentCenteringRotationStatus();
    follower->setShowsUserLocation(true);
    map_->removeFromSuperview();
    map_.reset();
    const auto here = fix(market(), 25);
    service_->setLocation(here);
    follower->locationManagerDidUpdateToLocationFromLocation(*service_, here, nullptr);
    follower->locationManagerDidUpdateHeading(*service_, heading(90, 90, 5));
    button->performAction();
    EXPECT_TRUE(follower->centersOnUserLocation());
    follower->setRotateToHeading(true);
    EXPECT_TRUE(follower->rotateToHeading());
    EXPECT_EQ(follower->userLocation(), nullptr);
    EXPECT_NE(follower->zoomBoundingBoxForLocationUpdate(*here), nullptr);
    CAFrameClock::shared().advance(1);
    follower->stopLocationUsage();
    EXPECT_FALSE(follower->showsUserLocation());
    EXPECT_FALSE(follower->rotateToHeading());
    EXPECT_FALSE(service_->isUpdating());
    EXPECT_FALSE(service_->isUpdatingHeading());
}

}  // namespace
