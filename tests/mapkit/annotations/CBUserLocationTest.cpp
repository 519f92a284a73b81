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
        map_->setAllowsRotation(true);
    }
    void deliver(const std::shared_ptr<CLLocation>& location) {
        service_->setLocation(location);
        map_->locationManagerDidUpdateToLocationFromLocation(*service_, location, nullptr);
        CAFrameClock::shared().advance(0.6);
        map_->layoutIfNeeded();
    }
    const std::shared_ptr<CBUserLocationAnnotationView>& dot() {
        return map_->annotationsManager()->userLocationAnnotationView();
    }

    std::shared_ptr<Screen> screen;
    std::optional<CLGPXTrack> track;
};

TEST_F(CBUserLocationTest, DotAccuracyDiscAndPulseFollowAReplayedWalk) {
    map_->setCentersOnUserLocation(true);
    ASSERT_TRUE(map_->showsUserLocation());
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
                    std::min(map_->pointsPerKilometer() * 0.05, 800.0), 0.5);
        CAFrameClock::shared().advance(1.5);  // the pulse ends
    }
    EXPECT_TRUE(UIApplication::sharedApplication()->isIdleTimerDisabled());
    map_->locationManagerDidUpdateHeading(*service_, heading(200, 210, 30));
    CAFrameClock::shared().advance(5);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/user-location"));
}

TEST_F(CBUserLocationTest, PositionButtonCyclesCentreRotateOffAndPinsStayUpright) {
    useCompass();
    auto pin = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2DMake(53.5580, 13.2605));
    map_->addAnnotationsCentered({pin}, false);
    map_->layoutIfNeeded();
    service_->setLocation(fix(market(), 10));
    CGRect frame = map_->UIView::frame();

    map_->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(map_->centersOnUserLocation());
    EXPECT_FALSE(map_->rotateToHeading());
    EXPECT_NE(map_->barButtonItemForCurrentCenteringRotationStatus()->image(), nullptr);

    map_->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(map_->rotateToHeading());
    // A square of the diagonal so that the turned map covers the screen.
    EXPECT_EQ(map_->bounds().size.width, std::ceil(std::hypot(kWidth, kHeight)));
    map_->locationManagerDidUpdateHeading(*service_, heading(80, 90, 10));
    CAFrameClock::shared().advance(1);
    EXPECT_NEAR(map_->currentRotationAngle(), M_PI / 2, 1e-5);
    auto view = map_->existingViewForAnnotation(pin);
    ASSERT_NE(view, nullptr);
    CGAffineTransform onScreen = CGAffineTransformConcat(view->transform(), map_->transform());
    EXPECT_NEAR(onScreen.a, 1, 1e-5);
    EXPECT_NEAR(onScreen.b, 0, 1e-5);
    EXPECT_NEAR(onScreen.c, 0, 1e-5);

    map_->toggleCentersOnUserLocationAndRotation();
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(map_->centersOnUserLocation());
    EXPECT_FALSE(map_->rotateToHeading());
    EXPECT_NEAR(map_->UIView::frame().size.width, frame.size.width, 1e-3);
    EXPECT_NEAR(map_->UIView::frame().size.height, frame.size.height, 1e-3);
    EXPECT_NEAR(map_->currentRotationAngle(), 0, 1e-6);
    EXPECT_GE(screen->changes, 3);
}

TEST_F(CBUserLocationTest, AFixedPointWithoutCompassSkipsRotation) {
    CLLocationManager::setLocationSource(std::make_shared<CLFixedLocationSource>(market()));
    map_->setAllowsRotation(true);
    EXPECT_FALSE(map_->allowsRotation());
    map_->toggleCentersOnUserLocationAndRotation();
    EXPECT_TRUE(map_->centersOnUserLocation());
    map_->toggleCentersOnUserLocationAndRotation();
    EXPECT_FALSE(map_->centersOnUserLocation());
    EXPECT_FALSE(map_->rotateToHeading());
}

TEST_F(CBUserLocationTest, RotationDoesNotStartWhenCentringIsRefused) {
    // Regression: with location access denied the map still turned.
    useCompass();
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    map_->setRotateToHeading(true);
    EXPECT_FALSE(map_->centersOnUserLocation());
    EXPECT_FALSE(map_->rotateToHeading());
    EXPECT_NEAR(map_->UIView::frame().size.height, kHeight, 1e-3);
    ASSERT_FALSE(screen->errors.empty());
    EXPECT_EQ(screen->errors[0].domain, kCLErrorDomain);
    EXPECT_EQ(screen->errors[0].code, kCLErrorDenied);
}

TEST_F(CBUserLocationTest, UnknownTrueHeadingTurnsByTheMagneticOneAndInvalidReadingsAreIgnored) {
    // Regression: a true heading of -1 (unknown) turned the map to -1 degrees.
    useCompass();
    service_->setLocation(fix(market(), 10));
    map_->setRotateToHeading(true);
    ASSERT_TRUE(map_->rotateToHeading());
    map_->locationManagerDidUpdateHeading(*service_, heading(45, -1, 10));
    CAFrameClock::shared().advance(1);
    EXPECT_NEAR(map_->currentRotationAngle(), M_PI / 4, 1e-5);
    map_->locationManagerDidUpdateHeading(*service_, heading(120, 122, -1));
    EXPECT_NEAR(map_->currentRotationAngle(), M_PI / 4, 1e-5);
}

TEST_F(CBUserLocationTest, HeadingConeStaysFiniteAndHidesForInvalidReadings) {
    // Regression: accuracy 90 degrees and more made the cone infinitely or
    // negatively wide.
    useCompass();
    map_->setShowsUserLocation(true);
    auto cone = dot()->headingAccuracyLayer();
    ASSERT_NE(cone, nullptr);
    map_->locationManagerDidUpdateHeading(*service_, heading(10, 12, 30));
    EXPECT_FALSE(cone->isHidden());
    EXPECT_NEAR(cone->bounds().size.width, 57.735, 0.01);
    for (double accuracy : {90.0, 135.0, 400.0}) {
        map_->locationManagerDidUpdateHeading(*service_, heading(10, 12, accuracy));
        double width = cone->bounds().size.width;
        EXPECT_TRUE(std::isfinite(width));
        EXPECT_GT(width, 0);
        EXPECT_LE(width, 2 * 50 * std::tan(CBHeadingLayer::kMaximumHalfAngle * M_PI / 180) + 0.01);
    }
    map_->locationManagerDidUpdateHeading(*service_, heading(10, 12, -1));
    EXPECT_TRUE(cone->isHidden());
    map_->locationManagerDidUpdateHeading(*service_, nullptr);
    EXPECT_TRUE(cone->isHidden());
}

TEST_F(CBUserLocationTest, AccuracyChoosesTheZoomBox) {
    auto box = [&](double accuracy) {
        return map_->zoomBoundingBoxForLocationUpdate(*fix(market(), accuracy));
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
    map_->setShowsUserLocation(true);
    deliver(fix(market(), 30));
    EXPECT_NE(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
    map_->setShowsUserLocation(false);
    EXPECT_EQ(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
}

// Shown before any fix came, the dot sat in the map's top left corner.
TEST_F(CBUserLocationTest, TheDotWaitsForAFixAndShowsWithoutFollowing) {
    map_->setShowsUserLocation(true);
    EXPECT_TRUE(dot()->isHidden());
    EXPECT_EQ(dot()->userInnerDot()->animationForKey("breathing"), nullptr);
    deliver(fix(market(), 30));
    ASSERT_FALSE(dot()->isHidden());
    EXPECT_FALSE(map_->centersOnUserLocation());
    const CGPoint expected = map_->pointForCoordinate(market());
    EXPECT_NEAR(dot()->center().x, expected.x, 0.01);
    EXPECT_NEAR(dot()->center().y, expected.y, 0.01);
    // Hidden and shown again, it comes back at once where it was.
    map_->setShowsUserLocation(false);
    EXPECT_TRUE(dot()->isHidden());
    map_->setShowsUserLocation(true);
    EXPECT_FALSE(dot()->isHidden());
}

}  // namespace
