#pragma once

#include <memory>
#include <string>

#include "CoreLocation/CLLocationManager.h"

// What the controller hands on: fixes that carry an accuracy, headings that
// are valid, and failures as a text a person can read.
class CBCLControllerDelegate {
  public:
    virtual ~CBCLControllerDelegate() = default;
    virtual void newLocationUpdate(const std::shared_ptr<CLLocation>&) {}
    virtual void newHeadingUpdate(const std::shared_ptr<CLHeading>&) {}
    virtual void newError(const std::string&) {}
};

// A plain location controller over one platform location manager of its
// own, simpler than the application's location service: it filters the
// platform's fixes and headings and words its errors. The application's
// screens use CBLocationManager. Main thread only.
class CBCLController : public CLLocationManagerDelegate,
                       public std::enable_shared_from_this<CBCLController> {
  public:
    static std::shared_ptr<CBCLController> sharedInstance();

    const std::shared_ptr<CLLocationManager>& locationManager() const { return locationManager_; }
    std::shared_ptr<CBCLControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<CBCLControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The text newError hands on for a failure.
    static std::string textForError(const NSError& error);

    void locationManagerDidUpdateToLocationFromLocation(CLLocationManager&,
                                                        std::shared_ptr<CLLocation> location,
                                                        std::shared_ptr<CLLocation>) override;
    void locationManagerDidUpdateHeading(CLLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override;
    void locationManagerDidFailWithError(CLLocationManager&, const NSError& error) override;
    // Unless the user switched the compass warning off.
    bool locationManagerShouldDisplayHeadingCalibration(CLLocationManager&) override;

    CBCLController();

  private:
    std::shared_ptr<CLLocationManager> locationManager_;
    std::weak_ptr<CBCLControllerDelegate> delegate_;
};
