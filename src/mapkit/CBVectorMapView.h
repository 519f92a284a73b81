#pragma once

#include <memory>
#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBGeoDataManager;
class CBGeoElement;

// What the vector data source reads of its map view: the store, the tile
// geometry and the projection of elements. The map view implements it; the
// geometry calls come from tile worker threads and read only configuration.
class CBVectorMapView {
  public:
    virtual ~CBVectorMapView() = default;

    virtual std::string currentMapStorePath() const = 0;
    virtual std::shared_ptr<CBGeoDataManager> dataManager() const = 0;
    virtual bool cacheTransparentTileImages() const = 0;
    // The tile's rectangle in content coordinates, and the drawing scale of a
    // zoom level (1 at the deepest).
    virtual CGRect rectForXYZ(int x, int y, int z) const = 0;
    virtual float scaleForNativeZoomlevel(int level) const = 0;
    virtual CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const = 0;
    // Fills the element's point path (first segment) and CGPath (all segments).
    virtual void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                                CBGeoElement& element) const = 0;
};
