#pragma once

#include <memory>
#include <string>

#include "CoreLocation/CLHeading.h"
#include "CoreLocation/CLLocation.h"
#include "Foundation/NSError.h"

class CLLocationSource;

// Receives what a location source produces, on the main thread.
class CLLocationSourceDelegate {
  public:
    virtual ~CLLocationSourceDelegate() = default;
    virtual void locationSourceDidUpdateLocation(CLLocationSource& source,
                                                 std::shared_ptr<CLLocation> location) = 0;
    virtual void locationSourceDidUpdateHeading(CLLocationSource& source,
                                                std::shared_ptr<CLHeading> heading) = 0;
    virtual void locationSourceDidFailWithError(CLLocationSource& source, const NSError& error) = 0;
};

// Where positions come from on this machine: the phone's receiver stands
// for one of these, chosen once at start (see CLLocationManager). Every
// source delivers on the main run loop; stopUpdating cancels whatever it has
// scheduled, so nothing arrives after it returns.
class CLLocationSource {
  public:
    virtual ~CLLocationSource() = default;

    // Called on the main thread by the location managers' shared hub.
    virtual void startUpdating() = 0;
    virtual void stopUpdating() = 0;
    virtual bool headingAvailable() const { return false; }
    // A short text for the log: "fixed point 53.556900,13.261000".
    virtual std::string description() const = 0;

    void setDelegate(CLLocationSourceDelegate* delegate) { delegate_ = delegate; }

  protected:
    void deliverLocation(std::shared_ptr<CLLocation> location);
    void deliverHeading(std::shared_ptr<CLHeading> heading);
    void deliverError(const NSError& error);

  private:
    CLLocationSourceDelegate* delegate_ = nullptr;
};
