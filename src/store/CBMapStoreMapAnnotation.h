#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapkit/CBAnnotation.h"

class CBMapStoreMap;

// A catalogue map as a pin: its point, its identifier, its title (local
// name, then its region's or country's name) and its places as subtitle.
// The values are taken when it is made, on the main thread, so the map's
// drawing threads never touch the catalogue's objects.
class CBMapStoreMapAnnotation : public CBAnnotation {
  public:
    explicit CBMapStoreMapAnnotation(std::shared_ptr<CBMapStoreMap> map);

    const std::shared_ptr<CBMapStoreMap>& map() const { return map_; }
    CLLocationCoordinate2D coordinate() const override { return coordinate_; }
    std::optional<std::string> uniqueIdentifier() const override { return identifier_; }
    std::optional<std::string> title() const override { return title_; }
    std::optional<std::string> subtitle() const override { return subtitle_; }

  private:
    std::shared_ptr<CBMapStoreMap> map_;
    CLLocationCoordinate2D coordinate_;
    std::optional<std::string> identifier_;
    std::string title_;
    std::optional<std::string> subtitle_;
};
