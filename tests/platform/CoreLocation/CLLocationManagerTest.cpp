#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "CoreLocation/CLError.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLGPXLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"

namespace {
// A source the test drives by hand.
class ManualSource : public CLLocationSource {
  public:
    void startUpdating() override {
        ++starts;
        running = true;
    }
    void stopUpdating() override {
        ++stops;
        running = false;
    }
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "manual"; }

    void send(double lat, double lon) { deliverLocation(std::make_shared<CLLocation>(lat, lon)); }
    void sendHeading(double degrees, double accuracy = 5) {
        deliverHeading(std::make_shared<CLHeading>(degrees, degrees, accuracy, NSDate::date()));
    }
    void fail(long code) { deliverError(NSError::errorWithDomain(kCLErrorDomain, code)); }

    int starts = 0;
    int stops = 0;
    bool running = false;
};

struct Recorder : CLLocationManagerDelegate {
    void locationManagerDidUpdateToLocationFromLocation(CLLocationManager& manager,
                                                        std::shared_ptr<CLLocation> location,
                                                        std::shared_ptr<CLLocation> old) override {
        locations.push_back(location);
        previous.push_back(old);
        if (onLocation)
            onLocation(manager);
    }
    void locationManagerDidUpdateHeading(CLLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override {
        headings.push_back(heading);
    }
    void locationManagerDidFailWithError(CLLocationManager&, const NSError& error) override {
        errors.push_back(error);
    }
    void locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                     CLAuthorizationStatus status) override {
        statuses.push_back(status);
    }
    bool locationManagerShouldDisplayHeadingCalibration(CLLocationManager&) override {
        return wantsCalibration;
    }

    std::vector<std::shared_ptr<CLLocation>> locations, previous;
    std::vector<std::shared_ptr<CLHeading>> headings;
    std::vector<NSError> errors;
    std::vector<CLAuthorizationStatus> statuses;
    std::function<void(CLLocationManager&)> onLocation;
    bool wantsCalibration = false;
};

class CLLocationManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { CLLocationManager::setLocationSource(source); }
    void TearDown() override {
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        // Drain what the test posted.
        NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.01));
    }

    std::shared_ptr<ManualSource> source = std::make_shared<ManualSource>();
};

std::string dataPath(const std::string& name) {
    const char* dir = std::getenv("KELVARA_TEST_DATA");
    return std::string(dir ? dir : "tests/data") + "/" + name;
}
}  // namespace

TEST_F(CLLocationManagerTest, SourceRunsWhileAnyManagerWantsUpdates) {
    CLLocationManager a, b;
    EXPECT_EQ(source->starts, 0);
    a.startUpdatingLocation();
    b.startUpdatingHeading();
    EXPECT_EQ(source->starts, 1);
    a.stopUpdatingLocation();
    EXPECT_TRUE(source->running);  // b still wants headings
    {
        CLLocationManager c;
        c.startUpdatingLocation();
        b.stopUpdatingHeading();
        EXPECT_TRUE(source->running);
    }  // a manager that goes away stops wanting
    EXPECT_FALSE(source->running);
    EXPECT_EQ(source->starts, 1);
    EXPECT_EQ(source->stops, 1);
}

TEST_F(CLLocationManagerTest, FixesHeadingsAndErrorsGoToTheManagersThatAsked) {
    CLLocationManager locating, heading, idle;
    auto r1 = std::make_shared<Recorder>(), r2 = std::make_shared<Recorder>(),
         r3 = std::make_shared<Recorder>();
    locating.setDelegate(r1);
    heading.setDelegate(r2);
    idle.setDelegate(r3);
    locating.startUpdatingLocation();
    heading.startUpdatingHeading();

    source->send(1, 2);
    source->send(3, 4);
    source->sendHeading(90);
    source->fail(kCLErrorLocationUnknown);

    ASSERT_EQ(r1->locations.size(), 2u);
    EXPECT_EQ(r1->previous[0], nullptr);
    EXPECT_EQ(r1->previous[1], r1->locations[0]);
    EXPECT_EQ(r1->locations[1]->coordinate().latitude, 3);
    EXPECT_TRUE(r1->headings.empty());
    ASSERT_EQ(r1->errors.size(), 1u);
    EXPECT_EQ(r1->errors[0].domain, "kCLErrorDomain");

    EXPECT_TRUE(r2->locations.empty());
    ASSERT_EQ(r2->headings.size(), 1u);
    EXPECT_EQ(r2->headings[0]->trueHeading(), 90);
    EXPECT_TRUE(r2->errors.empty());
    EXPECT_TRUE(r3->locations.empty() && r3->headings.empty() && r3->errors.empty());

    // Every manager reads the newest fix and heading.
    EXPECT_EQ(idle.location(), r1->locations[1]);
    EXPECT_EQ(idle.heading(), r2->headings[0]);
}

TEST_F(CLLocationManagerTest, ADelegateMayDestroyAnotherManagerWhileBeingTold) {
    auto first = std::make_unique<CLLocationManager>();
    auto second = std::make_unique<CLLocationManager>();
    auto r1 = std::make_shared<Recorder>(), r2 = std::make_shared<Recorder>();
    first->setDelegate(r1);
    second->setDelegate(r2);
    first->startUpdatingLocation();
    second->startUpdatingLocation();
    r1->onLocation = [&](CLLocationManager&) { second.reset(); };
    source->send(1, 1);
    EXPECT_EQ(r1->locations.size(), 1u);
    EXPECT_TRUE(r2->locations.empty());
    // A delegate that has gone is skipped.
    r1.reset();
    source->send(2, 2);
    EXPECT_TRUE(source->running);
}

TEST_F(CLLocationManagerTest, AuthorisationIsGrantedOnTheNextTurnAndChangesAreTold) {
    CLLocationManager manager;
    auto recorder = std::make_shared<Recorder>();
    manager.setDelegate(recorder);
    EXPECT_EQ(CLLocationManager::authorizationStatus(), kCLAuthorizationStatusNotDetermined);
    manager.requestWhenInUseAuthorization();
    EXPECT_EQ(CLLocationManager::authorizationStatus(), kCLAuthorizationStatusNotDetermined);
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return !recorder->statuses.empty(); }, 5.0));
    EXPECT_EQ(recorder->statuses, std::vector{kCLAuthorizationStatusAuthorizedWhenInUse});
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);  // no change
    manager.requestWhenInUseAuthorization();                                  // a refusal stands
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return recorder->statuses.size() >= 2; }, 30));
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.01));
    EXPECT_EQ(recorder->statuses.size(), 2u);
    EXPECT_EQ(CLLocationManager::authorizationStatus(), kCLAuthorizationStatusDenied);
}

TEST_F(CLLocationManagerTest, ReplacingTheSourceStopsTheOldOneAndForgetsTheFix) {
    CLLocationManager manager;
    manager.startUpdatingLocation();
    source->send(5, 5);
    ASSERT_TRUE(manager.location());
    auto other = std::make_shared<ManualSource>();
    CLLocationManager::setLocationSource(other);
    EXPECT_FALSE(source->running);
    EXPECT_TRUE(other->running);
    EXPECT_EQ(manager.location(), nullptr);
    EXPECT_TRUE(CLLocationManager::headingAvailable());
    CLLocationManager::setLocationSource(nullptr);
    EXPECT_FALSE(CLLocationManager::locationServicesEnabled());
    EXPECT_FALSE(CLLocationManager::headingAvailable());
}

TEST_F(CLLocationManagerTest, FixedPointRepeatsFreshFixesUntilStopped) {
    CLLocationManager::setLocationSource(
        std::make_shared<CLFixedLocationSource>(CLLocationCoordinate2DMake(53.5569, 13.2610), 8.0));
    CLLocationManager manager;
    auto recorder = std::make_shared<Recorder>();
    manager.setDelegate(recorder);
    manager.startUpdatingLocation();
    EXPECT_TRUE(recorder->locations.empty());  // never inside the start
    auto loop = NSRunLoop::mainRunLoop();
    ASSERT_TRUE(loop->runUntil([&] { return recorder->locations.size() >= 2; }, 5.0));
    const auto& fix = recorder->locations[1];
    EXPECT_EQ(fix->coordinate(), CLLocationCoordinate2DMake(53.5569, 13.2610));
    EXPECT_EQ(fix->horizontalAccuracy(), 8.0);
    EXPECT_GT(fix->timestamp().timeIntervalSinceNow(), -1.0);
    manager.stopUpdatingLocation();
    const size_t count = recorder->locations.size();
    loop->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(1.2));
    EXPECT_EQ(recorder->locations.size(), count);
}

// The command line's position: a receiver outdoors, 30 m accurate unless told.
TEST(CLFixedLocationSourceTest, APositionIsWrittenLatitudeLongitudeAndAccuracy) {
    auto plain = CLFixedLocationSource::createWithText("53.5575,13.2610");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->coordinate(), CLLocationCoordinate2DMake(53.5575, 13.2610));
    EXPECT_EQ(plain->horizontalAccuracy(), 30.0);
    auto accurate = CLFixedLocationSource::createWithText("-33.5,151.25,8.5");
    ASSERT_TRUE(accurate);
    EXPECT_EQ(accurate->coordinate(), CLLocationCoordinate2DMake(-33.5, 151.25));
    EXPECT_EQ(accurate->horizontalAccuracy(), 8.5);
    // Off the globe, an accuracy that no fix has, and what is no position.
    for (const char* bad :
         {"91,0", "0,181", "53.5,13.2,0", "53.5,13.2,-5", "53.5,13.2,nan", "53.5,13.2,inf", "53.5",
          "53.5,", ",13.2", "53.5,13.2,", "53.5,13.2,30,1", "53.5;13.2", " 53.5,13.2", "53.5,13.2 ",
          "0x10,0", "53.5,13.2,30m", ""})
        EXPECT_EQ(CLFixedLocationSource::createWithText(bad), nullptr) << bad;
}

TEST_F(CLLocationManagerTest, NoSourceReportsAnUnknownLocationOnce) {
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
    CLLocationManager manager;
    auto recorder = std::make_shared<Recorder>();
    manager.setDelegate(recorder);
    manager.startUpdatingLocation();
    auto loop = NSRunLoop::mainRunLoop();
    ASSERT_TRUE(loop->runUntil([&] { return !recorder->errors.empty(); }, 5.0));
    EXPECT_EQ(recorder->errors[0].domain, kCLErrorDomain);
    EXPECT_EQ(recorder->errors[0].code, kCLErrorLocationUnknown);
    EXPECT_TRUE(recorder->locations.empty());
    EXPECT_FALSE(CLLocationManager::headingAvailable());
}

TEST_F(CLLocationManagerTest, GPXReplayWalksTheTrackWithCourseAsHeading) {
    auto gpx = CLGPXLocationSource::createWithContentsOfFile(dataPath("riverwalk-three-rivers.gpx"),
                                                             2000.0);
    ASSERT_TRUE(gpx);
    const auto points = gpx->track().points();
    CLLocationManager::setLocationSource(gpx);
    CLLocationManager manager;
    auto recorder = std::make_shared<Recorder>();
    manager.setDelegate(recorder);
    manager.startUpdatingLocation();
    manager.startUpdatingHeading();
    // 425 s of walking at 2000 times the speed, then standing at the end.
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return recorder->locations.size() >= points.size() + 2; }, 10.0));
    manager.stopUpdatingLocation();
    manager.stopUpdatingHeading();

    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(recorder->locations[i]->coordinate(), points[i].coordinate) << i;
    }
    // The first leg heads north along the river (point 1 is north-east of point 0).
    const auto& first = recorder->locations[0];
    EXPECT_GT(first->course(), 0);
    EXPECT_LT(first->course(), 30);
    EXPECT_NEAR(first->speed(), first->distanceFromLocation(*recorder->locations[1]) / 7.0, 1e-9);
    ASSERT_FALSE(recorder->headings.empty());
    EXPECT_EQ(recorder->headings[0]->trueHeading(), first->course());
    // Standing still at the end.
    const auto& last = recorder->locations[points.size()];
    EXPECT_EQ(last->coordinate(), points.back().coordinate);
    EXPECT_EQ(last->speed(), 0.0);
    EXPECT_GE(gpx->nextPointIndex(), points.size());
    // A standing receiver reports once a second, not 2000 times as often.
    EXPECT_GE(recorder->locations[points.size() + 1]->timestamp().timeIntervalSinceDate(
                  last->timestamp()),
              0.9);

    EXPECT_FALSE(
        CLGPXLocationSource::createWithContentsOfFile(dataPath("riverwalk-three-rivers.gpx"), 0.0));
}

namespace {

// The panel comes for a reading that needs calibration when a delegate of a
// manager updating heading wants it, and goes with a sound reading, a
// dismissal or the end of the heading updates.
TEST_F(CLLocationManagerTest, TheCalibrationPanelComesWhenTheCompassNeedsItAndADelegateWantsIt) {
    std::vector<bool> shown;
    CLLocationManager::setHeadingCalibrationDisplay([&](bool show) { shown.push_back(show); });
    CLLocationManager quiet, asking;
    auto noPanel = std::make_shared<Recorder>(), panel = std::make_shared<Recorder>();
    panel->wantsCalibration = true;
    quiet.setDelegate(noPanel);
    asking.setDelegate(panel);
    quiet.startUpdatingHeading();

    source->sendHeading(90, -1);
    EXPECT_TRUE(shown.empty());  // nobody asking for it wants it
    asking.startUpdatingLocation();
    source->sendHeading(90, -1);
    EXPECT_TRUE(shown.empty());  // the one who wants it hears no headings
    asking.startUpdatingHeading();
    source->sendHeading(90, -1);
    source->sendHeading(91, -1);
    EXPECT_EQ(shown, std::vector<bool>{true});
    EXPECT_TRUE(CLLocationManager::isHeadingCalibrationDisplayed());
    // Headings still reach the delegates; what they do with them is theirs.
    EXPECT_EQ(panel->headings.size(), 2u);

    source->sendHeading(92, 10);
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
    source->sendHeading(93, -1);
    asking.dismissHeadingCalibrationDisplay();
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false}));
    source->sendHeading(94, -1);
    asking.stopUpdatingHeading();
    quiet.stopUpdatingHeading();
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_FALSE(CLLocationManager::isHeadingCalibrationDisplayed());
    CLLocationManager::setHeadingCalibrationDisplay(nullptr);
}

TEST_F(CLLocationManagerTest, AFixedPointWithACompassReadsItWithEveryFix) {
    auto fixed =
        std::make_shared<CLFixedLocationSource>(CLLocationCoordinate2DMake(53.5569, 13.2610));
    EXPECT_FALSE(fixed->headingAvailable());
    fixed->setCompass(90, -1);
    EXPECT_TRUE(fixed->headingAvailable());
    EXPECT_EQ(fixed->description(),
              "fixed point 53.556900,13.261000 facing 90 degrees (accuracy -1)");
    CLLocationManager::setLocationSource(fixed);
    CLLocationManager manager;
    auto recorder = std::make_shared<Recorder>();
    manager.setDelegate(recorder);
    manager.startUpdatingHeading();
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return recorder->headings.size() >= 2; }, 5.0));
    EXPECT_EQ(recorder->headings[1]->trueHeading(), 90);
    EXPECT_EQ(recorder->headings[1]->headingAccuracy(), -1);
    manager.stopUpdatingHeading();
}

}  // namespace
