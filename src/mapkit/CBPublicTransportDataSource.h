#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "CoreGraphics/CGPath.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "UIKit/UIColor.h"
#include "mapkit/CBGeoDataSource.h"

class CBGeoObject;
class CBGeoRelation;
class CBMapOverlays;
class CBMapProjector;
class CBMapScrollView;
class NSManagedObjectContext;

// One route's drawing path (map offsets) and colour, copied under a lock.
class CBMutablePathContainer {
  public:
    explicit CBMutablePathContainer(std::optional<CGPath> path) : path_(std::move(path)) {}
    std::optional<CGPath> copyOfPath() const;
    UIColor color() const;
    void setColor(const UIColor& color);

  private:
    mutable std::mutex mutex_;
    std::optional<CGPath> path_;
    UIColor color_ = UIColor::blackColor();
};

// The public-transport network of one family as an overlay: routes as thick
// translucent lines in their own or a palette colour, stops as white discs
// ringed by the colours of up to five routes, the base map dimmed under them.
// Highlighting turns the other routes grey. It is assigned the overlays of the
// map it is drawn over: their renderer gives the routes, the style and where
// coordinates land; their layer is dimmed and redrawn. Set up on the main
// thread; the drawing threads take their own references to the current state.
class CBPublicTransportDataSource : public CBGeoDataSource {
  public:
    explicit CBPublicTransportDataSource(std::shared_ptr<CBMapOverlays> overlays);
    // Over the map view's overlays.
    explicit CBPublicTransportDataSource(CBMapScrollView& map);

    // The map drawn over; nullptr once it has gone (it is held weakly).
    std::shared_ptr<CBMapScrollView> assignedMap() const;

    // Types: 0 tram, 1 train, 2 bus, 3 ferry, 99 other, -1 none.
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> setPublicTransportType(int type);
    // nullopt shows nothing (and undims the map).
    void setRelations(const std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>& relations);
    // nullopt: no highlight; an empty list: every route grey.
    void hightlightRelations(
        const std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>& relations);
    // The stop nearest the coordinate when it lies within 100 m.
    std::shared_ptr<CBGeoObject> nearestStopToCoordinateInContext(
        CLLocationCoordinate2D coordinate, const std::shared_ptr<NSManagedObjectContext>& context);

    // The route's path in the assigned map's offsets (whatever map is
    // passed), made once and kept by the relation; the caller gets its own
    // reference. nullptr without an assigned map or before it is laid out.
    std::shared_ptr<CGPath> newPathRefForRelationInMap(CBGeoRelation& relation,
                                                       const std::shared_ptr<CBMapScrollView>& map);

    void drawTileRequestInContext(const CBTileRequest& request, CGContext& context) override;

    static std::vector<UIColor> arrayOfColors();
    std::optional<std::vector<NSManagedObjectID>> highlightedObjectIDs() const;

  private:
    struct Stop {
        CGPoint pt{};
        std::vector<UIColor> colors;
    };
    using Routes =
        std::vector<std::pair<NSManagedObjectID, std::shared_ptr<CBMutablePathContainer>>>;
    using Stops = std::vector<std::pair<NSManagedObjectID, Stop>>;

    // Where coordinates land in the assigned map; nullptr before it is laid out.
    std::shared_ptr<const CBMapProjector> assignedProjector() const;
    // The route's path made by the projector when the relation has none.
    static std::shared_ptr<CGPath> pathForRelation(CBGeoRelation& relation,
                                                   const CBMapProjector* projector);
    void drawRoutes(const Routes& routes,
                    const std::optional<std::vector<NSManagedObjectID>>& highlighted,
                    CGContext& context) const;

    std::shared_ptr<CBMapOverlays> overlays_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Routes> relationsDict_;
    std::optional<std::vector<NSManagedObjectID>> highlightedObjectIDs_;
    std::shared_ptr<const Stops> stopsDict_;
};
