#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLLocationSource.h"

// The one receiver of the shared location source: runs the source while a
// manager wants updates and fans out what it delivers. Internal to
// CoreLocation; main thread only.
class CLLocationHub : public CLLocationSourceDelegate {
  public:
    static CLLocationHub& shared();

    void addManager(CLLocationManager* manager);
    void removeManager(CLLocationManager* manager);
    // Starts or stops the source after a manager's wishes changed.
    void updateRunning();

    void setSource(std::shared_ptr<CLLocationSource> source);
    const std::shared_ptr<CLLocationSource>& source() const { return source_; }

    CLAuthorizationStatus status() const { return status_; }
    void setStatus(CLAuthorizationStatus status);

    void setCalibrationDisplay(std::function<void(bool)> display);
    bool isCalibrationShown() const { return calibrationShown_; }
    // Tells the display when the state changes.
    void setCalibrationShown(bool shown);

    std::shared_ptr<CLLocation> lastLocation() const { return lastLocation_; }
    std::shared_ptr<CLHeading> lastHeading() const { return lastHeading_; }

    void locationSourceDidUpdateLocation(CLLocationSource& source,
                                         std::shared_ptr<CLLocation> location) override;
    void locationSourceDidUpdateHeading(CLLocationSource& source,
                                        std::shared_ptr<CLHeading> heading) override;
    void locationSourceDidFailWithError(CLLocationSource& source, const NSError& error) override;

  private:
    CLLocationHub();
    bool isRegistered(CLLocationManager* manager) const;
    // After a reading: whether a manager's delegate wants the panel for it.
    void updateCalibrationForHeading(const CLHeading& heading);

    std::vector<CLLocationManager*> managers_;
    std::shared_ptr<CLLocationSource> source_;
    bool running_ = false;
    CLAuthorizationStatus status_ = kCLAuthorizationStatusNotDetermined;
    std::shared_ptr<CLLocation> lastLocation_;
    std::shared_ptr<CLHeading> lastHeading_;
    std::function<void(bool)> calibrationDisplay_;
    bool calibrationShown_ = false;
};
