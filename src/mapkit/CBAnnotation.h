#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"

// Everything placed on the map. Two annotations with equal identifiers are
// one for the map's view bookkeeping; an annotation without an identifier is
// kept but never gets a view.
class CBAnnotation {
  public:
    virtual ~CBAnnotation() = default;
    virtual CLLocationCoordinate2D coordinate() const = 0;
    virtual std::optional<std::string> uniqueIdentifier() const = 0;
    // Shown in the callout; nullopt when the annotation has none.
    virtual std::optional<std::string> title() const { return std::nullopt; }
    virtual std::optional<std::string> subtitle() const { return std::nullopt; }
};

using CBAnnotationRef = std::shared_ptr<CBAnnotation>;
