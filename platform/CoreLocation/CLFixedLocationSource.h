#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "CoreLocation/CLLocationSource.h"
#include "Dispatch/NSTimer.h"

// A receiver that never moves: a fresh fix at one point right after starting
// and then every second, with the given horizontal accuracy. With a compass
// set, each fix comes with a reading of it.
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
    bool headingAvailable() const override { return compass_.has_value(); }

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    CLLocationAccuracy horizontalAccuracy() const { return horizontalAccuracy_; }
    // A compass facing `direction` (true and magnetic, degrees) with that
    // accuracy; a negative accuracy is a compass that needs calibrating.
    void setCompass(CLLocationDirection direction, CLLocationDirection accuracy);

  private:
    void deliverFix();

    CLLocationCoordinate2D coordinate_;
    CLLocationAccuracy horizontalAccuracy_;
    struct Compass {
        CLLocationDirection direction;
        CLLocationDirection accuracy;
    };
    std::optional<Compass> compass_;
    std::shared_ptr<NSTimer> firstTimer_;
    std::shared_ptr<NSTimer> repeatTimer_;
};
