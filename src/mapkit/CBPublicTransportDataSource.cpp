#include "mapkit/CBPublicTransportDataSource.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPredicate.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSLog.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBTileRequest.h"
#include "uiadditions/UIColor+ZORuzUvuCategory.h"

namespace {

constexpr size_t kMaximumStopColors = 5;
constexpr double kNearestStopRadius = 100.0;

}  // namespace

std::optional<CGPath> CBMutablePathContainer::copyOfPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

UIColor CBMutablePathContainer::color() const {
    std::lock_guard lock(mutex_);
    return color_;
}

void CBMutablePathContainer::setColor(const UIColor& color) {
    std::lock_guard lock(mutex_);
    color_ = color;
}

CBPublicTransportDataSource::CBPublicTransportDataSource(std::shared_ptr<CBMapOverlays> overlays)
    : overlays_(std::move(overlays)) {}

CBPublicTransportDataSource::CBPublicTransportDataSource(CBMapScrollView& map)
    : CBPublicTransportDataSource(map.overlays()) {}

std::shared_ptr<CBMapScrollView> CBPublicTransportDataSource::assignedMap() const {
    return overlays_ ? overlays_->map() : nullptr;
}

std::vector<UIColor> CBPublicTransportDataSource::arrayOfColors() {
    static const double palette[][3] = {
        {0.908, 0.152, 0.200}, {0.212, 0.563, 0.274}, {0.537, 0.148, 0.522}, {0.115, 0.335, 0.655},
        {0.927, 0.427, 0.154}, {0.426, 0.723, 0.200}, {0.623, 0.371, 0.110}, {0.968, 0.771, 0.179},
        {0.504, 0.512, 0.526}, {0.245, 0.488, 0.759}, {0.535, 0.490, 0.177}, {0.322, 0.703, 0.764},
        {0.935, 0.536, 0.641}, {0.647, 0.688, 0.140}, {0.545, 0.270, 0.097}, {0.808, 0.131, 0.129},
        {0.977, 0.835, 0.183}, {0.158, 0.419, 0.189}, {0.873, 0.400, 0.515}, {0.475, 0.501, 0.505},
        {0.434, 0.079, 0.243}, {0.079, 0.076, 0.076}, {0.102, 0.154, 0.412}, {0.178, 0.500, 0.731},
        {0.405, 0.723, 0.633}};
    std::vector<UIColor> colors;
    for (const auto& c : palette)
        colors.push_back(UIColor::colorWithRedGreenBlueAlpha(c[0], c[1], c[2], 1.0));
    return colors;
}

std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>
CBPublicTransportDataSource::setPublicTransportType(int type) {
    if (!overlays_) {
        NSLog("NO ASSIGNED MAP! Assign map before setting transport type.");
        return std::nullopt;
    }
    if (type == -1) {
        setRelations(std::nullopt);
        return std::nullopt;
    }
    auto renderer = overlays_->renderer();
    auto data = renderer ? renderer->geoDataManager() : nullptr;
    const auto tags =
        data ? data->tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
                   "route_pubtrans", std::nullopt, {"relations", "relations.importantObjects"})
             : std::nullopt;
    const auto predicate = CBGeoDataManager::predicateForAttributeOfPubTransType(type);
    std::vector<std::shared_ptr<CBGeoRelation>> relations;
    std::unordered_set<NSManagedObjectID> seen;
    for (const auto& tag : tags.value_or(std::vector<std::shared_ptr<CBGeoTag>>{})) {
        if (predicate && !predicate->evaluateWithObject(tag))
            continue;
        for (const auto& object : tag->objectsForKey("relations")) {
            auto relation = std::dynamic_pointer_cast<CBGeoRelation>(object);
            if (relation && seen.insert(relation->objectID()).second)
                relations.push_back(relation);
        }
    }
    setRelations(relations);
    return relations;
}

std::shared_ptr<CGPath> CBPublicTransportDataSource::newPathRefForRelationInMap(
    CBGeoRelation& relation, const std::shared_ptr<CBMapScrollView>&) {
    return pathForRelation(relation, assignedProjector().get());
}

std::shared_ptr<const CBMapProjector> CBPublicTransportDataSource::assignedProjector() const {
    auto renderer = overlays_ ? overlays_->renderer() : nullptr;
    return renderer ? renderer->projector() : nullptr;
}

std::shared_ptr<CGPath> CBPublicTransportDataSource::pathForRelation(
    CBGeoRelation& relation, const CBMapProjector* projector) {
    if (!projector)
        return nullptr;
    if (!relation.cgPathRef())
        projector->calculatePointPathAndCGPathRefForGeoPathObject(false, true, relation);
    return relation.cgPathRef();
}

void CBPublicTransportDataSource::setRelations(
    const std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>& relations) {
    {
        std::lock_guard lock(mutex_);
        relationsDict_ = nullptr;
        stopsDict_ = nullptr;
    }
    if (!relations) {
        if (overlays_) {
            overlays_->setBackgroundColorForOverlay(std::nullopt);
            // The routes drawn so far must go too.
            overlays_->overlaysNeedDisplay();
        }
        return;
    }
    auto sorted = *relations;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return compareNumerically(a->name().value_or(""), b->name().value_or("")) ==
               NSOrderedAscending;
    });
    auto renderer = overlays_ ? overlays_->renderer() : nullptr;
    const auto projector = renderer ? renderer->projector() : nullptr;
    if (renderer) {
        auto sheet = renderer->styleSheet();
        auto base = sheet ? sheet->baseMapStyle() : nullptr;
        const auto fill = base ? base->fillColor() : std::nullopt;
        if (fill)
            overlays_->setBackgroundColorForOverlay(
                UIColor::colorWithRedGreenBlueAlpha(fill->red, fill->green, fill->blue, 0.66));
    }
    auto routes = std::make_shared<Routes>();
    routes->reserve(sorted.size());
    auto stops = std::make_shared<Stops>();
    std::unordered_map<NSManagedObjectID, size_t> stopIndex;
    const auto palette = arrayOfColors();
    int k = -1;
    for (const auto& relation : sorted) {
        const auto path = pathForRelation(*relation, projector.get());
        auto container = std::make_shared<CBMutablePathContainer>(
            path ? std::optional<CGPath>(*path) : std::nullopt);
        const auto own = relation->color();
        std::optional<UIColor> color;
        if (own && own->size() == 7 && (*own)[0] == '#')
            color = cbColorWithHexString(own->substr(1));
        if (!color) {
            k = (k + 1) % int(palette.size());
            color = palette[size_t(k)];
        }
        container->setColor(*color);
        for (const auto& stop :
             relation->stops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{})) {
            auto [it, made] = stopIndex.try_emplace(stop->objectID(), stops->size());
            if (made) {
                Stop entry;
                const auto location = stop->coreLocation();
                if (projector && location)
                    entry.pt = projector->offsetForCoordinate(location->coordinate());
                stops->emplace_back(stop->objectID(), entry);
            }
            auto& colors = (*stops)[it->second].second.colors;
            if (colors.size() < kMaximumStopColors)
                colors.push_back(*color);
        }
        routes->emplace_back(relation->objectID(), container);
    }
    {
        std::lock_guard lock(mutex_);
        relationsDict_ = routes;
        stopsDict_ = stops;
    }
    if (overlays_)
        overlays_->overlaysNeedDisplay();
}

std::optional<std::vector<NSManagedObjectID>> CBPublicTransportDataSource::highlightedObjectIDs()
    const {
    std::lock_guard lock(mutex_);
    return highlightedObjectIDs_;
}

void CBPublicTransportDataSource::hightlightRelations(
    const std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>& relations) {
    std::optional<std::vector<NSManagedObjectID>> ids;
    if (relations) {
        ids.emplace();
        for (const auto& relation : *relations)
            ids->push_back(relation->objectID());
    }
    {
        std::lock_guard lock(mutex_);
        // "No highlight" and "an empty highlight" (every route grey) are
        // different states; the same set in another order changes nothing.
        const bool same =
            ids.has_value() == highlightedObjectIDs_.has_value() &&
            (!ids || (ids->size() == highlightedObjectIDs_->size() &&
                      std::all_of(ids->begin(), ids->end(), [&](const NSManagedObjectID& id) {
                          return std::find(highlightedObjectIDs_->begin(),
                                           highlightedObjectIDs_->end(),
                                           id) != highlightedObjectIDs_->end();
                      })));
        if (same)
            return;
        highlightedObjectIDs_ = std::move(ids);
    }
    if (overlays_)
        overlays_->overlaysNeedDisplay();
}

void CBPublicTransportDataSource::drawRoutes(
    const Routes& routes, const std::optional<std::vector<NSManagedObjectID>>& highlighted,
    CGContext& context) const {
    auto isHighlighted = [&](const NSManagedObjectID& id) {
        return highlighted &&
               std::find(highlighted->begin(), highlighted->end(), id) != highlighted->end();
    };
    for (const auto& [id, container] : routes) {
        if (isHighlighted(id))
            continue;
        const auto path = container->copyOfPath();
        if (!path)
            continue;
        if (highlighted)
            context.setGrayStrokeColor(0.75, 1.0);
        else
            context.setStrokeColorWithColor(container->color().CGColor());
        context.addPath(*path);
        context.strokePath();
    }
    if (!highlighted)
        return;
    for (const auto& id : *highlighted) {
        const auto route = std::find_if(routes.begin(), routes.end(),
                                        [&](const auto& entry) { return entry.first == id; });
        if (route == routes.end())
            continue;
        const auto path = route->second->copyOfPath();
        if (!path)
            continue;
        context.setStrokeColorWithColor(route->second->color().CGColor());
        context.addPath(*path);
        context.strokePath();
    }
}

void CBPublicTransportDataSource::drawTileRequestInContext(const CBTileRequest& request,
                                                           CGContext& context) {
    const CGRect& rect = request.rect;
    std::shared_ptr<const Routes> routes;
    std::shared_ptr<const Stops> stops;
    std::optional<std::vector<NSManagedObjectID>> highlighted;
    {
        std::lock_guard lock(mutex_);
        routes = relationsDict_;
        stops = stopsDict_;
        highlighted = highlightedObjectIDs_;
    }
    if (!routes)
        return;
    const CGFloat screenScale = request.screenScale;
    const CGFloat s = request.scale / screenScale;
    const CGFloat lineWidth = std::max(3.0 / s, 10.0 / std::max<CGFloat>(s, 0.25 / screenScale));
    context.saveGState();
    context.setLineWidth(lineWidth);
    context.setLineCap(kCGLineCapRound);
    context.setLineJoin(kCGLineJoinRound);
    context.setAlpha(0.4);
    drawRoutes(*routes, highlighted, context);

    context.setAlpha(1.0);
    const CGFloat diameter = 1.5 * lineWidth;
    const CGRect grown = CGRectInset(rect, -2 * diameter, -2 * diameter);
    context.setLineWidth(0.25 * diameter);
    for (const auto& [id, stop] : stops ? *stops : Stops{}) {
        if (!CGRectContainsPoint(grown, stop.pt))
            continue;
        CGRect disc =
            CGRectMake(stop.pt.x - diameter / 2, stop.pt.y - diameter / 2, diameter, diameter);
        context.setGrayFillColor(1.0, 1.0);
        context.fillEllipseInRect(disc);
        for (const auto& color : stop.colors) {
            context.setStrokeColorWithColor(color.CGColor());
            context.strokeEllipseInRect(disc);
            const CGFloat step = 0.95 * 0.25 * diameter;
            disc = CGRectInset(disc, -step, -step);
        }
    }
    context.restoreGState();
}

std::shared_ptr<CBGeoObject> CBPublicTransportDataSource::nearestStopToCoordinateInContext(
    CLLocationCoordinate2D coordinate, const std::shared_ptr<NSManagedObjectContext>& context) {
    std::shared_ptr<const Stops> stops;
    {
        std::lock_guard lock(mutex_);
        stops = stopsDict_;
    }
    if (!stops || stops->empty() || !context)
        return nullptr;
    const auto projector = assignedProjector();
    const CGPoint p = projector ? projector->offsetForCoordinate(coordinate) : CGPointZero;
    const NSManagedObjectID* nearest = nullptr;
    double best = INFINITY;
    for (const auto& [id, stop] : *stops) {
        const double d = std::hypot(stop.pt.x - p.x, stop.pt.y - p.y);
        if (d < best) {
            best = d;
            nearest = &id;
        }
    }
    auto object = std::dynamic_pointer_cast<CBGeoObject>(context->objectWithID(*nearest));
    const auto location = object ? object->coreLocation() : nullptr;
    if (!location || location->distanceFromLocation(CLLocation(
                         coordinate.latitude, coordinate.longitude)) >= kNearestStopRadius)
        return nullptr;
    return object;
}
