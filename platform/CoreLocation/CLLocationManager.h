#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "CoreLocation/CLHeading.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationSource.h"
#include "Foundation/NSError.h"

enum CLAuthorizationStatus : int32_t {
    kCLAuthorizationStatusNotDetermined = 0,
    kCLAuthorizationStatusRestricted = 1,
    kCLAuthorizationStatusDenied = 2,
    kCLAuthorizationStatusAuthorizedAlways = 3,
    kCLAuthorizationStatusAuthorizedWhenInUse = 4,
};

class CLLocationManager;

// What a location manager tells its delegate, always on the main thread.
// Every message is optional.
class CLLocationManagerDelegate {
  public:
    virtual ~CLLocationManagerDelegate() = default;
    // A new fix and the one this manager delivered before it (nullptr at first).
    virtual void locationManagerDidUpdateToLocationFromLocation(
        CLLocationManager&, std::shared_ptr<CLLocation> /*newLocation*/,
        std::shared_ptr<CLLocation> /*oldLocation*/) {}
    virtual void locationManagerDidUpdateHeading(CLLocationManager&,
                                                 std::shared_ptr<CLHeading> /*heading*/) {}
    virtual void locationManagerDidFailWithError(CLLocationManager&, const NSError& /*error*/) {}
    virtual void locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                             CLAuthorizationStatus /*status*/) {}
    virtual bool locationManagerShouldDisplayHeadingCalibration(CLLocationManager&) {
        return false;
    }
};

// The platform's location service. All managers share one location source,
// chosen at start with setLocationSource (a CLNoLocationSource until then):
// the source runs while any manager updates location or heading. Fixes go
// to the managers updating location, headings to those updating heading,
// source errors to those updating location. Main thread only.
class CLLocationManager {
  public:
    CLLocationManager();
    ~CLLocationManager();
    CLLocationManager(const CLLocationManager&) = delete;
    CLLocationManager& operator=(const CLLocationManager&) = delete;

    // Replaces the shared source (nullptr: no source); a running source is
    // stopped and the new one started. The last fix and heading are forgotten.
    static void setLocationSource(std::shared_ptr<CLLocationSource> source);
    static std::shared_ptr<CLLocationSource> locationSource();

    static CLAuthorizationStatus authorizationStatus();
    // The user's answer changed (the settings screen of a phone): every
    // manager's delegate hears of it.
    static void setAuthorizationStatus(CLAuthorizationStatus status);
    static bool locationServicesEnabled();
    static bool headingAvailable();

    // The heading calibration panel: a reading that needs calibration (a
    // negative heading accuracy: the compass cannot tell north) shows it
    // while a manager updating heading has a delegate that wants it; a sound
    // reading, dismissHeadingCalibrationDisplay, or the end of every heading
    // update takes it away. `display` is told each change (true: show); the
    // host sets one that draws the panel over the window.
    static void setHeadingCalibrationDisplay(std::function<void(bool shown)> display);
    static bool isHeadingCalibrationDisplayed();

    std::weak_ptr<CLLocationManagerDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<CLLocationManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // A desktop has no permission prompt: a status not yet determined
    // becomes "authorised when in use", told to the delegates on the next
    // turn of the main run loop.
    void requestWhenInUseAuthorization();

    void startUpdatingLocation();
    void stopUpdatingLocation();
    void startUpdatingHeading();
    void stopUpdatingHeading();
    // Takes the calibration panel away (it is the one panel of every manager).
    static void dismissHeadingCalibrationDisplay();

    bool isUpdatingLocation() const { return updatingLocation_; }
    bool isUpdatingHeading() const { return updatingHeading_; }

    // The newest fix and heading the shared source produced, or nullptr.
    std::shared_ptr<CLLocation> location() const;
    std::shared_ptr<CLHeading> heading() const;

  private:
    friend class CLLocationHub;

    std::weak_ptr<CLLocationManagerDelegate> delegate_;
    bool updatingLocation_ = false;
    bool updatingHeading_ = false;
    std::shared_ptr<CLLocation> lastDelivered_;
};
