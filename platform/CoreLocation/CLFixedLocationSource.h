#pragma once

#include <memory>
#include <string>

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
    // From "LAT,LON" or "LAT,LON,ACCURACY" (degrees, metres): a receiver
    // outdoors reports some tens of metres, so the accuracy is 30 m unless
    // given. nullptr for anything else, an invalid coordinate or an accuracy
    // that is not a positive number.
    static std::shared_ptr<CLFixedLocationSource> createWithText(const std::string& text);
    static constexpr CLLocationAccuracy kDefaultTextAccuracy = 30.0;

    void startUpdating() override;
    void stopUpdating() override;
    std::string description() const override;

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    CLLocationAccuracy horizontalAccuracy() const { return horizontalAccuracy_; }

  private:
    void deliverFix();

    CLLocationCoordinate2D coordinate_;
    CLLocationAccuracy horizontalAccuracy_;
    std::shared_ptr<NSTimer> firstTimer_;
    std::shared_ptr<NSTimer> repeatTimer_;
};
