#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapkit/CBBasicAnnotation.h"

class CBGeoSearchResult;

// A place the map screen pins: a search result (an object, at one of its
// addresses when it was found there), of the map's store or a bookmark of
// the bookmark store. Its identifier is the result's, so the same address
// found twice is one pin.
class CBPlaceAnnotation : public CBGeoObjectAnnotation {
  public:
    CBPlaceAnnotation(std::shared_ptr<CBGeoSearchResult> result, bool isBookmark);

    const std::shared_ptr<CBGeoSearchResult>& result() const { return result_; }
    bool isBookmark() const { return isBookmark_; }
    CLLocationCoordinate2D coordinate() const override { return coordinate_; }
    std::optional<std::string> uniqueIdentifier() const override { return identifier_; }

  private:
    std::shared_ptr<CBGeoSearchResult> result_;
    bool isBookmark_;
    CLLocationCoordinate2D coordinate_;
    std::string identifier_;
};
