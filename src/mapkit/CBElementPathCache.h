#pragma once

#include <memory>
#include <unordered_map>

class CBGeoElement;
class CBMapProjector;
class CBPointPath;
class CGPath;

// The view-space paths of the elements one tile draws: the points of an
// element's first segment and a path of all its segments, projected on
// first request and then shared by every drawing pass of the tile. Belongs
// to the drawing of one tile on one thread; the elements must outlive it.
class CBElementPathCache {
  public:
    explicit CBElementPathCache(const CBMapProjector& projector) : projector_(projector) {}
    CBElementPathCache(const CBElementPathCache&) = delete;
    CBElementPathCache& operator=(const CBElementPathCache&) = delete;

    const CBMapProjector& projector() const { return projector_; }

    // The element's points, made (with its path) on first request.
    const std::shared_ptr<CBPointPath>& pointPathForElement(CBGeoElement& element);
    // The path made so far, if any: the geometry passes draw only elements
    // whose paths an earlier pass of the tile asked for.
    std::shared_ptr<CGPath> madePathForElement(const CBGeoElement& element) const;
    // Paths drawn instead of the element's own (made-up geometry).
    void setPathsForElement(const CBGeoElement& element, std::shared_ptr<CBPointPath> points,
                            std::shared_ptr<CGPath> path);

  private:
    struct Paths {
        std::shared_ptr<CBPointPath> points;
        std::shared_ptr<CGPath> path;
    };

    const CBMapProjector& projector_;
    std::unordered_map<const CBGeoElement*, Paths> paths_;
};
