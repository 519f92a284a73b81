#include "mapkit/CBElementPathCache.h"

#include "CBGeoData/CBGeoElement.h"
#include "mapkit/CBMapProjector.h"

const std::shared_ptr<CBPointPath>& CBElementPathCache::pointPathForElement(CBGeoElement& element) {
    Paths& paths = paths_[&element];
    if (!paths.points) {
        auto coordinates = element.path();
        auto made = projector_.projectPath(
            coordinates.get(), coordinates ? CLLocationCoordinate2D{} : element.coordinate(), true,
            !paths.path);
        paths.points = std::move(made.points);
        if (made.path)
            paths.path = std::move(made.path);
    }
    return paths.points;
}

std::shared_ptr<CGPath> CBElementPathCache::madePathForElement(const CBGeoElement& element) const {
    auto found = paths_.find(&element);
    return found == paths_.end() ? nullptr : found->second.path;
}

void CBElementPathCache::setPathsForElement(const CBGeoElement& element,
                                            std::shared_ptr<CBPointPath> points,
                                            std::shared_ptr<CGPath> path) {
    paths_[&element] = Paths{std::move(points), std::move(path)};
}
