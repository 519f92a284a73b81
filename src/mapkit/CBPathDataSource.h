#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "CoreGraphics/CGPath.h"
#include "mapkit/CBGeoDataSource.h"

class CBBoundingBox;
class CBCoordinatePath;
class CBMapProjector;
class CBGeoObject;
class CBGeoRelation;
class CBGeoStyle;
class CBGeoElement;

// Draws one path, open or closed, with a style over the map: the highlight of
// a place or a route, a map's outline, a walk's track. The drawing path is in
// map offsets, built once (by the map's projector, or by the first tile's)
// and shared by the drawing threads under a lock.
class CBPathDataSource : public CBGeoDataSource {
  public:
    CBPathDataSource() = default;
    ~CBPathDataSource() override = default;

    void setCoordinatePath(std::shared_ptr<CBCoordinatePath> path);
    std::shared_ptr<CBCoordinatePath> coordinatePath() const;
    // The map is its projector (nullptr while the map is not laid out).
    // The drawing path, built from the coordinate path when there is none.
    std::optional<CGPath> pathRefInMap(const CBMapProjector* map);
    // Every segment (rings of areas with holes included) of every element
    // that is not a coarser level of another (all at the origin without a
    // map); true when some element had a coordinate.
    bool setPathFromObjectInMap(const std::shared_ptr<CBGeoObject>& object,
                                const CBMapProjector* map);
    void setPathFromRelationInMap(const std::shared_ptr<CBGeoRelation>& relation,
                                  const CBMapProjector* map);

    void drawTileRequestInContext(const CBTileRequest& request, CGContext& context) override;
    void coordinateSystemChanged() override;

    std::shared_ptr<CBGeoStyle> style() const;
    void setStyle(std::shared_ptr<CBGeoStyle> style);
    bool closedPath() const { return closedPath_; }
    void setClosedPath(bool closed) { closedPath_ = closed; }
    std::shared_ptr<CBBoundingBox> coordinatePathBoundingBox() const;

  private:
    // Under mutex_.
    std::optional<CGPath> buildPathLocked(const CBMapProjector& projector);
    bool setPathFromElements(const std::vector<std::shared_ptr<CBGeoElement>>& elements,
                             const CBMapProjector* projector);

    mutable std::mutex mutex_;
    std::optional<CGPath> pathRef_;
    std::shared_ptr<CBCoordinatePath> coordinatePath_;
    std::shared_ptr<CBGeoStyle> style_;
    std::atomic<bool> closedPath_ = false;
    std::shared_ptr<CBBoundingBox> coordinatePathBoundingBox_;
};
