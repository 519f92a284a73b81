#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "CoreLocation/CLError.h"
#include "CoreLocation/CLGPXLocationSource.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSNotificationCenter.h"
#include "location/CBLocationManager.h"

namespace {
class ManualSource : public CLLocationSource {
  public:
    void startUpdating() override { running = true; }
    void stopUpdating() override { running = false; }
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "manual"; }

    void send(std::shared_ptr<CLLocation> location) { deliverLocation(std::move(location)); }
    void send(std::shared_ptr<CLHeading> heading) { deliverHeading(std::move(heading)); }
    void fail(const NSError& error) { deliverError(error); }

    bool running = false;
};

std::shared_ptr<CLLocation> fix(double lat, double lon, double age = 0, double accuracy = 5) {
    return std::make_shared<CLLocation>(CLLocationCoordinate2DMake(lat, lon), 0, accuracy, -1, -1,
                                        -1, NSDate::dateWithTimeIntervalSinceNow(-age));
}

struct Recorder : CBLocationManagerDelegate {
    void locationManagerDidUpdateToLocationFromLocation(CBLocationManager& manager,
                                                        std::shared_ptr<CLLocation> location,
                                                        std::shared_ptr<CLLocation> old) override {
        locations.push_back(location);
        previous.push_back(old);
        if (onLocation)
            onLocation(manager);
    }
    void locationManagerDidUpdateHeading(CBLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override {
        headings.push_back(heading);
    }
    void locationManagerDidFailWithError(CBLocationManager& manager,
                                         const NSError& error) override {
        errors.push_back(error);
        if (onError)
            onError(manager);
    }

    std::vector<std::shared_ptr<CLLocation>> locations, previous;
    std::vector<std::shared_ptr<CLHeading>> headings;
    std::vector<NSError> errors;
    std::function<void(CBLocationManager&)> onLocation, onError;
};

// Answers only the required message, like the sortable list screens.
struct FixesOnly : CBLocationManagerDelegate {
    void locationManagerDidUpdateToLocationFromLocation(CBLocationManager&,
                                                        std::shared_ptr<CLLocation>,
                                                        std::shared_ptr<CLLocation>) override {
        ++count;
    }
    int count = 0;
};

struct Analyzer : CBLocationManagerPathAnalyzer {
    void updateUserLocation(std::shared_ptr<CLLocation> location) override {
        fed.push_back(location);
    }
    std::vector<std::shared_ptr<CLLocation>> fed;
};

void spin(double seconds) {
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(seconds));
}

class CBLocationManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CLLocationManager::setLocationSource(source);
        service = CBLocationManager::create();
        service->addDelegate(recorder);
    }
    void TearDown() override {
        service.reset();
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        spin(0.01);
    }

    std::shared_ptr<ManualSource> source = std::make_shared<ManualSource>();
    std::shared_ptr<CBLocationManager> service;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

std::string dataPath(const std::string& name) {
    const char* dir = std::getenv("KELVARA_TEST_DATA");
    return std::string(dir ? dir : "tests/data") + "/" + name;
}
}  // namespace

TEST_F(CBLocationManagerTest, StaleAndInaccurateFixesAreNeitherKeptNorPassedOn) {
    auto analyzer = std::make_shared<Analyzer>();
    service->setCurrentPathAnalyzer(analyzer);
    ASSERT_EQ(analyzer->fed.size(), 1u);  // fed the current location at once
    EXPECT_EQ(analyzer->fed[0], nullptr);
    service->startUpdatingLocation();
    ASSERT_TRUE(service->timerWaitingForFirstLocation());

    source->send(fix(1, 1, 5.0));    // 5 s old
    source->send(fix(1, 1, 0, -1));  // negative accuracy
    source->send(fix(91, 1));        // no place on earth
    EXPECT_TRUE(recorder->locations.empty());
    EXPECT_EQ(service->location(), nullptr);
    EXPECT_EQ(analyzer->fed.size(), 1u);
    // Rejected fixes leave the no-fix timer running.
    ASSERT_TRUE(service->timerWaitingForFirstLocation());
    EXPECT_TRUE(service->timerWaitingForFirstLocation()->isValid());

    const auto recent = fix(4, 4, 4.9, 0);  // 4.9 s old with accuracy 0 passes
    source->send(recent);
    ASSERT_EQ(recorder->locations.size(), 1u);
    EXPECT_EQ(recorder->locations[0], recent);
    EXPECT_EQ(service->location(), recent);
    EXPECT_EQ(analyzer->fed.size(), 2u);
    EXPECT_EQ(analyzer->fed.back(), recent);
    EXPECT_FALSE(service->timerWaitingForFirstLocation());
    // A later stale fix does not replace the stored one.
    source->send(fix(5, 5, 6.0));
    EXPECT_EQ(service->location(), recent);
}

TEST_F(CBLocationManagerTest, FixesWhileStoppedAreIgnored) {
    source->send(fix(1, 1));
    EXPECT_TRUE(recorder->locations.empty());
    EXPECT_FALSE(source->running);
    service->startUpdatingLocation();
    EXPECT_TRUE(source->running);
    source->send(fix(1, 1));
    source->send(fix(1.5, 1));
    ASSERT_EQ(recorder->locations.size(), 2u);
    EXPECT_EQ(recorder->previous[1], recorder->locations[0]);
}

TEST_F(CBLocationManagerTest, FanOutSurvivesADelegateThatRemovesItself) {
    auto leaver = std::make_shared<Recorder>();
    auto other = std::make_shared<FixesOnly>();
    leaver->onLocation = [&](CBLocationManager& m) { m.removeDelegate(leaver); };
    service->addDelegate(leaver);
    service->addDelegate(other);
    service->addDelegate(other);  // once only
    EXPECT_EQ(service->delegateWrapperCount(), 3u);
    service->startUpdatingLocation();
    source->send(fix(1, 1));
    source->send(fix(2, 2));
    EXPECT_EQ(recorder->locations.size(), 2u);
    EXPECT_EQ(leaver->locations.size(), 1u);
    EXPECT_EQ(other->count, 2);
    EXPECT_FALSE(service->hasDelegate(leaver));

    // A delegate that has gone leaves an empty wrapper until the clean-up.
    other.reset();
    source->send(fix(3, 3));
    EXPECT_EQ(service->delegateWrapperCount(), 2u);
    EXPECT_EQ(service->currentDelegates().size(), 1u);
    service->cleanUpEmptyDelegateWrappers();
    EXPECT_EQ(service->delegateWrapperCount(), 1u);
}

TEST_F(CBLocationManagerTest, EachDelegateHasOneWrapperThatHoldsItWeakly) {
    auto listener = std::make_shared<FixesOnly>();
    EXPECT_FALSE(service->wrapperForDelegate(listener));
    service->addDelegate(listener);
    const auto wrapper = service->wrapperForDelegate(listener);
    ASSERT_TRUE(wrapper);
    EXPECT_EQ(wrapper->delegate(), listener);
    // Found by identity: another delegate of the same kind has none.
    EXPECT_FALSE(service->wrapperForDelegate(std::make_shared<FixesOnly>()));
    listener.reset();
    EXPECT_EQ(wrapper->delegate(), nullptr);
    EXPECT_TRUE(service->wrapperForDelegate(recorder));
    service->removeDelegate(recorder);
    EXPECT_FALSE(service->wrapperForDelegate(recorder));
}

TEST_F(CBLocationManagerTest, StartingTwiceKeepsTheFirstNotifyFlag) {
    service->startUpdatingLocationAndNotifyDelegatesOfErrors(false);
    service->startUpdatingLocationAndNotifyDelegatesOfErrors(true);
    EXPECT_FALSE(service->notifyDelegatesOfErrors());
    service->triggerErrorNoLocation();
    EXPECT_TRUE(recorder->errors.empty());
    service->enableNotifyDelegatesOfErrors();
    service->triggerErrorNoLocation();
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0].domain, "kCBLocationErrorDomain");
    EXPECT_EQ(recorder->errors[0].code, 1);
    EXPECT_TRUE(recorder->errors[0].userInfo.count("NSLocalizedDescription"));
    EXPECT_TRUE(service->isUpdating());  // an error does not stop the service
}

TEST_F(CBLocationManagerTest, StopCancelsEveryScheduledCall) {
    service->startUpdatingLocation();
    const auto noFix = service->timerWaitingForFirstLocation();
    ASSERT_TRUE(noFix && noFix->isValid());
    EXPECT_NEAR(noFix->fireDate().timeIntervalSinceNow(), 30.0, 1.0);
    service->applicationWillResignActive();  // stops
    EXPECT_TRUE(service->shouldResumeUpdatingOnBecomeActive());
    EXPECT_FALSE(service->shouldResumeUpdatingOnMoveToForeGround());
    EXPECT_FALSE(noFix->isValid());
    EXPECT_FALSE(source->running);

    // Becoming active resumes silently and schedules the error reports; a
    // stop before they are due cancels them.
    service->applicationDidBecomeActive();
    EXPECT_TRUE(service->isUpdating());
    EXPECT_FALSE(service->notifyDelegatesOfErrors());
    service->stopUpdatingLocation();
    spin(1.2);
    EXPECT_FALSE(service->notifyDelegatesOfErrors());

    // The demo replay's next step goes too.
    service->setDemoPath({{1, 1}, {2, 2}});
    service->setDemoPathUpdateTimeInterval(0.05f);
    service->startUpdatingLocation();
    EXPECT_EQ(recorder->locations.size(), 1u);
    service->stopUpdatingLocation();
    spin(0.2);
    EXPECT_EQ(recorder->locations.size(), 1u);
}

TEST_F(CBLocationManagerTest, HearsTheApplicationsLifeCycleInItsOrder) {
    // The application posts its steps; the service hears them itself.
    auto post = [](const char* name) {
        NSNotificationCenter::defaultCenter()->postNotificationName(name);
    };
    // Going to the background and back, in the order the application steps.
    service->startUpdatingLocation();
    post("UIApplicationWillResignActiveNotification");
    post("UIApplicationDidEnterBackgroundNotification");
    EXPECT_FALSE(service->isUpdating());
    // Resigning first stopped the service, so the background had nothing to
    // pause: it is becoming active that resumes, silently at first.
    post("UIApplicationWillEnterForegroundNotification");
    EXPECT_FALSE(service->isUpdating());
    post("UIApplicationDidBecomeActiveNotification");
    EXPECT_TRUE(service->isUpdating());
    EXPECT_FALSE(service->notifyDelegatesOfErrors());
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return service->notifyDelegatesOfErrors(); }, 5.0));
    // Going to the background alone pauses, and the foreground resumes.
    post("UIApplicationDidEnterBackgroundNotification");
    EXPECT_FALSE(service->isUpdating());
    EXPECT_TRUE(service->shouldResumeUpdatingOnMoveToForeGround());
    service->triggerErrorNoLocation();
    EXPECT_TRUE(recorder->errors.empty());
    post("UIApplicationWillEnterForegroundNotification");
    EXPECT_TRUE(service->isUpdating());
    EXPECT_FALSE(service->notifyDelegatesOfErrors());

    // A service that is gone hears nothing more.
    std::weak_ptr<CBLocationManager> gone = service;
    service.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_FALSE(source->running);
    post("UIApplicationDidBecomeActiveNotification");
    EXPECT_FALSE(source->running);
}

TEST_F(CBLocationManagerTest, PlatformErrorsOfTheLocationDomainOnly) {
    auto stopper = std::make_shared<Recorder>();
    stopper->onError = [](CBLocationManager& m) { m.stopUpdatingLocation(); };
    auto silenced = std::make_shared<Recorder>();
    service->startUpdatingLocation();
    source->fail(NSError::errorWithDomain("NSURLErrorDomain", -1009));
    EXPECT_TRUE(recorder->errors.empty());
    source->fail(NSError::errorWithDomain(kCLErrorDomain, kCLErrorLocationUnknown));
    ASSERT_EQ(recorder->errors.size(), 1u);

    service->removeDelegate(recorder);
    service->addDelegate(stopper);
    service->addDelegate(silenced);
    source->fail(NSError::errorWithDomain(kCLErrorDomain, kCLErrorLocationUnknown));
    EXPECT_EQ(stopper->errors.size(), 1u);
    EXPECT_TRUE(silenced->errors.empty());
    EXPECT_FALSE(service->isUpdating());
}

TEST_F(CBLocationManagerTest, RefusedAuthorisationIsReported) {
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
    service->manager();  // the platform manager exists, nothing is updating
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0].domain, kCLErrorDomain);
    EXPECT_EQ(recorder->errors[0].code, kCLErrorDenied);
    EXPECT_EQ(service->authorizationStatus(), kCLAuthorizationStatusDenied);
}

TEST_F(CBLocationManagerTest, HeadingsAndTheCompassSwitch) {
    service->startUpdatingHeading();
    EXPECT_TRUE(service->isUpdatingHeading());
    source->send(std::make_shared<CLHeading>(10, 12, 5, NSDate::date()));
    source->send(std::make_shared<CLHeading>(10, 12, -1, NSDate::date()));
    source->send(std::make_shared<CLHeading>(10, 12, 5, NSDate::dateWithTimeIntervalSinceNow(-5)));
    ASSERT_EQ(recorder->headings.size(), 1u);
    EXPECT_EQ(recorder->headings[0]->trueHeading(), 12);

    auto quiet = std::make_shared<FixesOnly>();
    service->addDelegate(quiet);
    service->setCompassEnabled(false);
    ASSERT_EQ(recorder->headings.size(), 2u);
    EXPECT_EQ(recorder->headings[1], nullptr);
    EXPECT_TRUE(service->isUpdatingHeading());
    EXPECT_FALSE(source->running);  // the platform's heading updates stopped
    EXPECT_FALSE(service->locationManagerShouldDisplayHeadingCalibration(*service->manager()));

    service->stopUpdatingHeading();
    service->startUpdatingHeading();  // refused while the compass is off
    EXPECT_FALSE(service->isUpdatingHeading());
    service->setCompassEnabled(true);
    EXPECT_TRUE(service->locationManagerShouldDisplayHeadingCalibration(*service->manager()));
    service->setShouldShowCompassCalibrationWarning(false);
    EXPECT_FALSE(CBLocationManager::sharedInstanceShouldShowCompassCalibrationWarning());
    EXPECT_FALSE(service->locationManagerShouldDisplayHeadingCalibration(*service->manager()));
}

TEST_F(CBLocationManagerTest, DemoPathLoopsWithPreviousPoints) {
    const std::vector<CLLocationCoordinate2D> path{{10, 10}, {11, 11}, {12, 12}};
    service->setDemoPath(path);
    EXPECT_EQ(service->location()->coordinate(), path[0]);
    service->setDemoCounter(-1);
    service->setDemoCounter(3);
    EXPECT_EQ(service->demoCounter(), 0);
    service->setDemoPathUpdateTimeInterval(0.01f);
    service->startUpdatingLocation();
    EXPECT_FALSE(service->timerWaitingForFirstLocation());  // no timer in demo mode
    EXPECT_FALSE(source->running);                          // nor platform updates
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return recorder->locations.size() >= 4; }, 5.0));
    service->stopUpdatingLocation();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recorder->locations[i]->coordinate(), path[i % 3]) << i;
        EXPECT_GE(recorder->locations[i]->horizontalAccuracy(), 5);
        EXPECT_LT(recorder->locations[i]->horizontalAccuracy(), 35);
    }
    EXPECT_EQ(recorder->previous[0], nullptr);
    ASSERT_TRUE(recorder->previous[1]);
    EXPECT_EQ(recorder->previous[1]->coordinate(), path[0]);
    EXPECT_NEAR(recorder->locations[1]->timestamp().timeIntervalSinceDate(
                    recorder->previous[1]->timestamp()),
                4.0, 1e-9);
    EXPECT_EQ(recorder->previous[3], nullptr);  // point 0 again
    // location answers the point last played, also right after the loop.
    EXPECT_EQ(service->location()->coordinate(), path[0]);
    service->startUpdatingLocation();  // point 1
    service->stopUpdatingLocation();
    EXPECT_EQ(service->location()->coordinate(), path[1]);
    EXPECT_EQ(service->demoCounter(), 2);
}

TEST_F(CBLocationManagerTest, DistortedDemoFixesStayNearThePath) {
    service->setDemoPath({{53.5, 13.25}});
    service->setDemoPathDistortion(100);
    service->startUpdatingLocation();
    service->stopUpdatingLocation();
    ASSERT_EQ(recorder->locations.size(), 1u);
    const double metres = recorder->locations[0]->distanceFromLocation(CLLocation(53.5, 13.25));
    EXPECT_GE(metres, 49);
    EXPECT_LE(metres, 151);
    for (int i = 0; i < 100; ++i) {
        const float r = service->randomFloatBetweenAnd(2, 3);
        EXPECT_GE(r, 2);
        EXPECT_LT(r, 3);
    }
}

TEST_F(CBLocationManagerTest, GPXReplayReachesEveryDelegate) {
    auto gpx = CLGPXLocationSource::createWithContentsOfFile(dataPath("riverwalk-three-rivers.gpx"),
                                                             2000.0);
    ASSERT_TRUE(gpx);
    const auto points = gpx->track().points();
    CLLocationManager::setLocationSource(gpx);
    auto listScreen = std::make_shared<FixesOnly>();
    auto analyzer = std::make_shared<Analyzer>();
    service->addDelegate(listScreen);
    service->setCurrentPathAnalyzer(analyzer);
    service->startUpdatingLocation();
    service->startUpdatingHeading();
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return recorder->locations.size() >= points.size(); }, 10.0));
    service->stopUpdatingLocation();
    service->stopUpdatingHeading();
    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(recorder->locations[i]->coordinate(), points[i].coordinate) << i;
    }
    EXPECT_EQ(recorder->previous[1], recorder->locations[0]);
    EXPECT_GE(listScreen->count, static_cast<int>(points.size()));
    EXPECT_EQ(analyzer->fed.size(), recorder->locations.size() + 1);
    ASSERT_GE(recorder->headings.size(), points.size() - 1);
    EXPECT_EQ(recorder->headings[0]->trueHeading(), recorder->locations[0]->course());
    EXPECT_EQ(service->location(), recorder->locations.back());
    EXPECT_FALSE(service->timerWaitingForFirstLocation());
}
