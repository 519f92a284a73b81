#pragma once

#include <optional>

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

  private:
    CLLocationCoordinate2D coordinate_;
    std::optional<Value::Dictionary> addressDictionary_;
};
