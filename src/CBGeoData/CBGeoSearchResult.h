#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// A search hit that the map can show as an annotation: the place found and,
// when the hit is about one of its addresses (a matched house number), that
// address.
class CBGeoSearchResult {
  public:
    // nullptr when the object is nil.
    static std::shared_ptr<CBGeoSearchResult> geoSearchResultWithObject(
        std::shared_ptr<CBGeoObject> object);
    static std::shared_ptr<CBGeoSearchResult> geoSearchResultWithObjectAndAddress(
        std::shared_ptr<CBGeoObject> object, std::shared_ptr<CBGeoAddress> address);

    const std::shared_ptr<CBGeoObject>& object() const { return object_; }
    void setObject(std::shared_ptr<CBGeoObject> object) { object_ = std::move(object); }
    const std::shared_ptr<CBGeoAddress>& address() const { return address_; }
    void setAddress(std::shared_ptr<CBGeoAddress> address) { address_ = std::move(address); }

    // The address's coordinate when there is one, else the object's; (0, 0)
    // without either.
    CLLocationCoordinate2D coordinate() const;
    std::optional<std::string> title() const;
    // The address's short text; nullopt without an address.
    std::optional<std::string> subtitle() const;
    // The address's object ID, else the object's, else this result's own
    // address: the same address found twice is one annotation.
    std::string uniqueIdentifier() const;

  private:
    std::shared_ptr<CBGeoObject> object_;
    std::shared_ptr<CBGeoAddress> address_;
};
