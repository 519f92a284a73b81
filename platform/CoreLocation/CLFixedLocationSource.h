#pragma once

#include <memory>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "CoreLocation/CLLocationSource.h"
#include "Dispatch/NSTimer.h"

// A receiver that never moves: a fresh fix at one point right after starting
// and then every second, with the given horizontal accuracy. No heading.
class CLFixedLocationSource : public CLLocationSource {
  public:
    explicit CLFixedLocationSource(CLLocationCoordinate2D coordinate,
                                   CLLocationAccuracy horizontalAccuracy = 5.0);
    ~CLFixedLocationSource() override;

    void startUpdating() override;
    void stopUpdating() override;
    std::string description() const override;

    CLLocationCoordinate2D coordinate() const { return coordinate_; }

  private:
    void deliverFix();

    CLLocationCoordinate2D coordinate_;
    CLLocationAccuracy horizontalAccuracy_;
    std::shared_ptr<NSTimer> firstTimer_;
    std::shared_ptr<NSTimer> repeatTimer_;
};
