#pragma once

#include <string>
#include <vector>

#include "mapkit/CBAnnotation.h"

// What the lists of places ask of the map screen below them: to show places
// as its pins, and which places it pins now.
class CBAnnotationsPresenter {
  public:
    virtual ~CBAnnotationsPresenter() = default;
    // Replaces the map's places (not the stops of a transport mode) by the
    // annotations, closing what covers the map first; centred on them when
    // asked. An empty list leaves the map without places.
    virtual void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                            bool centered) = 0;
    // The identifiers of the geo objects pinned on the map now.
    virtual std::vector<std::string> objectAnnotationIdentifiers() const = 0;
};
