#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "CBGeoData/CBCoordinatePath.h"
#include "CoreLocation/CLLocation.h"
#include "foundation/ZELJSONObject.h"
#include "wikiguide/ZELWikiGuidePathSegment.h"

// The route of a walk: segments of coordinates and the walk's length. The
// derived values are computed on first use and kept.
class ZELWikiGuidePath : public ZELJSONObject {
  public:
    using Locations = std::vector<std::shared_ptr<CLLocation>>;

    Descriptors jsonDescriptors() const override;
    std::string className() const override { return "ZELWikiGuidePath"; }

    std::optional<std::string> title() const { return stringForProperty("title"); }
    std::vector<std::shared_ptr<ZELWikiGuidePathSegment>> segments() const {
        return objectsForProperty<ZELWikiGuidePathSegment>("segments");
    }
    // Metres. A file without it gets the length of the whole route (every
    // segment), worked out on first read.
    std::optional<double> totalDistance();
    void setTotalDistance(std::optional<double> metres);

    // One entry per segment made of whole latitude, longitude pairs; a
    // segment with an odd count of numbers is left out, and so is a pair
    // that is no place on earth (not finite, or out of range).
    const std::vector<Locations>& pathSegmentLocations();
    void setPathSegmentLocations(std::vector<Locations> locations);
    // Per entry of pathSegmentLocations: 0, then the running length in metres
    // at each following location (starting again at 0 for each segment).
    const std::vector<std::vector<double>>& cumulatedDistances();
    void setCumulatedDistances(std::vector<std::vector<double>> distances);
    // The segments of pathSegmentLocations that hold a location, and nothing
    // else, so that no coordinate of the drawn route is left unset and the
    // first segment (the one a walk is followed along) is never empty.
    std::shared_ptr<CBCoordinatePath> coordinatePath();
    void setCoordinatePath(std::shared_ptr<CBCoordinatePath> path);

  private:
    std::optional<std::vector<Locations>> pathSegmentLocations_;
    std::optional<std::vector<std::vector<double>>> cumulatedDistances_;
    std::shared_ptr<CBCoordinatePath> coordinatePath_;
};
