#pragma once

#include <optional>

#include "CoreLocation/CLCircularRegion.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/Value.h"

// A place on the earth, with an optional postal address dictionary. A value.
class MKPlacemark {
  public:
    MKPlacemark(CLLocationCoordinate2D coordinate,
                std::optional<Value::Dictionary> addressDictionary = std::nullopt)
        : coordinate_(coordinate), addressDictionary_(std::move(addressDictionary)) {}

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    const std::optional<Value::Dictionary>& addressDictionary() const { return addressDictionary_; }
    // The area the place covers, when the source knows it.
    const std::optional<CLCircularRegion>& region() const { return region_; }
    void setRegion(std::optional<CLCircularRegion> region) { region_ = std::move(region); }

  private:
    CLLocationCoordinate2D coordinate_;
    std::optional<Value::Dictionary> addressDictionary_;
    std::optional<CLCircularRegion> region_;
};
