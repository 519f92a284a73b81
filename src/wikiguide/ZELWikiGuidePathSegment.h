#pragma once

#include <vector>

#include "foundation/ZELJSONObject.h"

// One run of a walk's route: a flat list of latitude, longitude pairs in
// degrees.
class ZELWikiGuidePathSegment : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override;
    std::string className() const override { return "ZELWikiGuidePathSegment"; }

    // The numbers as given (an odd count is possible in a broken file).
    std::vector<double> coordinates() const;
};
