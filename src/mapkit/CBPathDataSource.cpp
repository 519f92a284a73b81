#include "mapkit/CBPathDataSource.h"

#include <algorithm>
#include <bit>
#include <unordered_set>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CoreGraphics/CGContext.h"
#include "mapkit/CBDrawPathWithStyle.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBTileRequest.h"

namespace {

// Adds every segment of path as a subpath; closes each when closed (the
// rings of an area: outline and holes).
bool addSegments(CGPath& drawing, const CBCoordinatePath& path, const CBMapProjector* projector,
                 bool closed, CBBoundingBox* box) {
    bool any = false;
    for (size_t k = 0; k < path.segmentCount(); ++k) {
        const size_t n = path.numberOfCoordinatesAtSegment(k);
        for (size_t i = 0; i < n; ++i) {
            const auto coordinate = path.coordinateAtIndexOfSegment(i, k);
            const CGPoint point =
                projector ? projector->offsetForCoordinate(coordinate) : CGPointZero;
            if (i == 0)
                drawing.moveToPoint(point);
            else
                drawing.addLineToPoint(point);
            if (box)
                box->growToIncludeCoordinate(coordinate);
            any = true;
        }
        if (closed && n > 0)
            drawing.closeSubpath();
    }
    return any;
}

struct CoordinateHash {
    size_t operator()(const std::pair<double, double>& c) const {
        return std::hash<uint64_t>()(std::bit_cast<uint64_t>(c.first) * 31 ^
                                     std::bit_cast<uint64_t>(c.second));
    }
};
using CoordinateSet = std::unordered_set<std::pair<double, double>, CoordinateHash>;

CoordinateSet coordinatesOf(const CBCoordinatePath& path) {
    CoordinateSet set;
    for (size_t k = 0; k < path.segmentCount(); ++k)
        for (size_t i = 0; i < path.numberOfCoordinatesAtSegment(k); ++i) {
            const auto c = path.coordinateAtIndexOfSegment(i, k);
            set.emplace(c.latitude, c.longitude);
        }
    return set;
}

// A package keeps one element per generalisation level of a way or an area,
// and the coarser levels only drop points of the finest. Drawing them all
// doubles every outline and, filled even-odd, cancels the area between the
// levels' rings. So only elements whose points are not all points of a
// finer element are drawn (a member listed twice is drawn once, too).
std::vector<std::shared_ptr<CBCoordinatePath>> finestPaths(
    const std::vector<std::shared_ptr<CBGeoElement>>& elements) {
    std::vector<std::shared_ptr<CBCoordinatePath>> paths;
    for (const auto& element : elements)
        if (auto path = element ? element->path() : nullptr)
            paths.push_back(std::move(path));
    const auto points = [](const CBCoordinatePath& path) {
        size_t n = 0;
        for (size_t k = 0; k < path.segmentCount(); ++k)
            n += path.numberOfCoordinatesAtSegment(k);
        return n;
    };
    std::stable_sort(paths.begin(), paths.end(),
                     [&](const auto& a, const auto& b) { return points(*a) > points(*b); });
    std::vector<std::shared_ptr<CBCoordinatePath>> finest;
    std::vector<CoordinateSet> kept;
    for (auto& path : paths) {
        const auto own = coordinatesOf(*path);
        const bool coarser =
            !own.empty() && std::any_of(kept.begin(), kept.end(), [&](const auto& set) {
                return std::all_of(own.begin(), own.end(),
                                   [&](const auto& c) { return set.count(c); });
            });
        if (coarser)
            continue;
        kept.push_back(own);
        finest.push_back(std::move(path));
    }
    return finest;
}

}  // namespace

void CBPathDataSource::setCoordinatePath(std::shared_ptr<CBCoordinatePath> path) {
    std::lock_guard lock(mutex_);
    coordinatePath_ = std::move(path);
    coordinatePathBoundingBox_ = coordinatePath_ ? coordinatePath_->bbox() : nullptr;
    pathRef_.reset();
}

std::shared_ptr<CBCoordinatePath> CBPathDataSource::coordinatePath() const {
    std::lock_guard lock(mutex_);
    return coordinatePath_;
}

std::shared_ptr<CBGeoStyle> CBPathDataSource::style() const {
    std::lock_guard lock(mutex_);
    return style_;
}

void CBPathDataSource::setStyle(std::shared_ptr<CBGeoStyle> style) {
    std::lock_guard lock(mutex_);
    style_ = std::move(style);
}

std::shared_ptr<CBBoundingBox> CBPathDataSource::coordinatePathBoundingBox() const {
    std::lock_guard lock(mutex_);
    return coordinatePathBoundingBox_;
}

std::optional<CGPath> CBPathDataSource::buildPathLocked(const CBMapProjector& projector) {
    if (pathRef_ || !coordinatePath_)
        return pathRef_;
    CGPath drawing;
    addSegments(drawing, *coordinatePath_, &projector, closedPath_, nullptr);
    pathRef_ = std::move(drawing);
    return pathRef_;
}

std::optional<CGPath> CBPathDataSource::pathRefInMap(const CBMapProjector* projector) {
    std::lock_guard lock(mutex_);
    if (!projector)
        return pathRef_;
    return buildPathLocked(*projector);
}

bool CBPathDataSource::setPathFromElements(
    const std::vector<std::shared_ptr<CBGeoElement>>& elements, const CBMapProjector* projector) {
    CGPath drawing;
    auto box = std::make_shared<CBBoundingBox>();
    bool any = false;
    for (const auto& path : finestPaths(elements))
        any = addSegments(drawing, *path, projector, closedPath_, box.get()) || any;
    std::lock_guard lock(mutex_);
    pathRef_ = std::move(drawing);
    coordinatePathBoundingBox_ = box;
    return any;
}

bool CBPathDataSource::setPathFromObjectInMap(const std::shared_ptr<CBGeoObject>& object,
                                              const CBMapProjector* projector) {
    return setPathFromElements(
        object ? object->elements() : std::vector<std::shared_ptr<CBGeoElement>>{}, projector);
}

void CBPathDataSource::setPathFromRelationInMap(const std::shared_ptr<CBGeoRelation>& relation,
                                                const CBMapProjector* projector) {
    std::vector<std::shared_ptr<CBGeoElement>> elements;
    if (relation)
        for (const auto& info : relation->elementInfos())
            elements.push_back(info ? info->element() : nullptr);
    setPathFromElements(elements, projector);
}

void CBPathDataSource::drawTileRequestInContext(const CBTileRequest& request, CGContext& context) {
    if (!request.projector)
        return;
    const CBMapProjector& projector = *request.projector;
    const CGRect& rect = request.rect;
    const CGFloat lineScale = request.screenRelativeScale();
    std::optional<CGPath> copy;
    std::shared_ptr<CBGeoStyle> style;
    {
        // The path is read, built and copied under the lock: the main thread
        // may replace it at any time.
        std::lock_guard lock(mutex_);
        style = style_;
        if (!coordinatePathBoundingBox_ || !style)
            return;
        const CGPoint ne = projector.offsetForCoordinate(coordinatePathBoundingBox_->NE());
        const CGPoint sw = projector.offsetForCoordinate(coordinatePathBoundingBox_->SW());
        const CGRect box = CGRectStandardize(CGRectMake(sw.x, ne.y, ne.x - sw.x, sw.y - ne.y));
        // A stroke reaches half its width beyond the path: tiles next to the
        // box draw their part of it too.
        const CGFloat widest =
            std::max(style->strokeWidth().value_or(1), style->casingWidth().value_or(0)) /
            (lineScale > 0 ? lineScale : 1);
        if (!CGRectIntersectsRect(CGRectInset(box, -widest, -widest), rect))
            return;
        copy = buildPathLocked(projector);
    }
    if (!copy)
        return;
    context.saveGState();
    CBDrawPathWithStyle(*copy, context, *style, lineScale, true);
    context.restoreGState();
}

void CBPathDataSource::coordinateSystemChanged() {
    std::lock_guard lock(mutex_);
    pathRef_.reset();
}
