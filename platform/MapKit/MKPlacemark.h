#pragma once

#include <optional>
#include <string>

#include "CoreLocation/CLCircularRegion.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/Value.h"

// A place on the earth, with an optional postal address dictionary. A value.
class MKPlacemark {
  public:
    // Keys of the address dictionary, as the platform's address records
    // name them.
    static constexpr const char* kAddressCityKey = "City";
    static constexpr const char* kAddressStreetKey = "Street";  // the street line, with number
    static constexpr const char* kAddressThoroughfareKey = "Thoroughfare";  // the street's name
    static constexpr const char* kAddressZIPKey = "ZIP";

    MKPlacemark(CLLocationCoordinate2D coordinate,
                std::optional<Value::Dictionary> addressDictionary = std::nullopt)
        : coordinate_(coordinate), addressDictionary_(std::move(addressDictionary)) {}

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    const std::optional<Value::Dictionary>& addressDictionary() const { return addressDictionary_; }
    // The area the place covers, when the source knows it.
    const std::optional<CLCircularRegion>& region() const { return region_; }
    void setRegion(std::optional<CLCircularRegion> region) { region_ = std::move(region); }

    // From the address dictionary; nullopt where it holds no text, or an
    // empty one. The city:
    std::optional<std::string> locality() const;
    // The street's name, else the street line:
    std::optional<std::string> thoroughfare() const;
    // The postal code:
    std::optional<std::string> postalCode() const;

  private:
    std::optional<std::string> addressText(const char* key) const;

    CLLocationCoordinate2D coordinate_;
    std::optional<Value::Dictionary> addressDictionary_;
    std::optional<CLCircularRegion> region_;
};
