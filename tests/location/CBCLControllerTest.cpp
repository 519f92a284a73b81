#include "location/CBCLController.h"

#include <gtest/gtest.h>

#include "CoreLocation/CLError.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "mapkit/MapViewHome.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

// A receiver the test drives by hand.
class HandSource : public CLLocationSource {
  public:
    void startUpdating() override {}
    void stopUpdating() override {}
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "by hand"; }
    void fix(double accuracy) {
        deliverLocation(std::make_shared<CLLocation>(CLLocationCoordinate2D{53.5, 13.2}, 0,
                                                     accuracy, -1, -1, -1, NSDate::date()));
    }
    void heading(double accuracy) {
        deliverHeading(std::make_shared<CLHeading>(90, 90, accuracy, NSDate::date()));
    }
    void fail(const NSError& error) { deliverError(error); }
};

struct Receiver : CBCLControllerDelegate {
    void newLocationUpdate(const std::shared_ptr<CLLocation>& location) override {
        locations.push_back(location);
    }
    void newHeadingUpdate(const std::shared_ptr<CLHeading>& heading) override {
        headings.push_back(heading);
    }
    void newError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::shared_ptr<CLLocation>> locations;
    std::vector<std::shared_ptr<CLHeading>> headings;
    std::vector<std::string> errors;
};

class CBCLControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CLLocationManager::setLocationSource(source_);
    }
    void TearDown() override {
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
        NSBundle::setMainBundlePath("");
    }
    MapViewHome home_;
    std::shared_ptr<HandSource> source_ = std::make_shared<HandSource>();
};

// Fixes without an accuracy and invalid headings stay back; failures come
// as the texts a person reads.
TEST_F(CBCLControllerTest, HandsOnFixesWithAnAccuracyValidHeadingsAndWordedErrors) {
    auto controller = CBCLController::sharedInstance();
    EXPECT_EQ(controller, CBCLController::sharedInstance());
    auto receiver = std::make_shared<Receiver>();
    controller->setDelegate(receiver);
    controller->locationManager()->startUpdatingLocation();
    controller->locationManager()->startUpdatingHeading();
    source_->fix(0);
    source_->fix(12);
    source_->heading(-1);
    source_->heading(0);
    source_->fail(NSError::errorWithDomain(kCLErrorDomain, kCLErrorDenied));
    controller->locationManager()->stopUpdatingLocation();
    controller->locationManager()->stopUpdatingHeading();
    controller->setDelegate({});
    ASSERT_EQ(receiver->locations.size(), 1u);
    EXPECT_EQ(receiver->locations[0]->horizontalAccuracy(), 12);
    ASSERT_EQ(receiver->headings.size(), 1u);
    EXPECT_EQ(receiver->headings[0]->headingAccuracy(), 0);
    EXPECT_EQ(receiver->errors, std::vector<std::string>{"Kelvara may not use your position.\n"});
}

TEST_F(CBCLControllerTest, WordsEachKindOfFailure) {
    EXPECT_EQ(CBCLController::textForError(
                  NSError::errorWithDomain(kCLErrorDomain, kCLErrorLocationUnknown)),
              "Your position is not known yet.\n");
    EXPECT_EQ(CBCLController::textForError(
                  NSError::errorWithDomain(kCLErrorDomain, kCLErrorHeadingFailure)),
              "Your position could not be determined. Error 3\n");
    const auto other = NSError::errorWithDomain(
        "NSURLErrorDomain", -1009, {{"NSLocalizedDescription", Value("The network is offline.")}});
    EXPECT_EQ(CBCLController::textForError(other),
              "Error domain: \"NSURLErrorDomain\"  Error code: -1009\n"
              "Description: \"The network is offline.\"\n");
}

TEST_F(CBCLControllerTest, LetsTheCalibrationShowUnlessTheWarningIsOff) {
    auto controller = CBCLController::sharedInstance();
    EXPECT_TRUE(
        controller->locationManagerShouldDisplayHeadingCalibration(*controller->locationManager()));
    NSUserDefaults::standardUserDefaults()->setBoolForKey(true,
                                                          "CompassCalibrationWarningDisabled");
    EXPECT_FALSE(
        controller->locationManagerShouldDisplayHeadingCalibration(*controller->locationManager()));
}

}  // namespace
