#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "mapkit/CBAnnotation.h"

class CBGeoObject;
class CBGeoRelation;
class CBMapScrollView;
class CBPublicTransportDataSource;

// The display modes of the map screen: the plain map, or one public-transport
// family (the numbers the transport data source knows: 0 tram, 1 train,
// 2 bus, 3 ferry, 99 other) drawn over the dimmed map with its stops as
// annotations; a selected stop highlights the routes that serve it.
class CBMapDisplayModeManager {
  public:
    static constexpr int kStandardMode = -1;

    explicit CBMapDisplayModeManager(std::shared_ptr<CBMapScrollView> map);
    ~CBMapDisplayModeManager();

    static std::string titleForMode(int mode);
    int mode() const { return mode_; }
    // The plain map, then the families with routes on the open map.
    std::vector<int> availableModes();
    // false, and nothing changed, for a family the open map has no routes of.
    bool setMode(int mode);
    // A new map opened: back to the plain map, the families found anew.
    void mapDidChange();

    bool isStopAnnotation(const CBAnnotationRef& annotation) const;
    // Highlights the routes through the stop; nullptr takes the highlight away.
    void highlightRoutesOfStop(const std::shared_ptr<CBGeoObject>& stop);
    // The routes on show and their layer (tests).
    size_t routeCount() const { return relations_.size(); }
    const std::shared_ptr<CBPublicTransportDataSource>& dataSource() const { return dataSource_; }
    const std::vector<CBAnnotationRef>& stopAnnotations() const { return stopAnnotations_; }

  private:
    void clearStops();
    void showStops();
    static std::string routeLabel(CBGeoRelation& relation);

    std::shared_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBPublicTransportDataSource> dataSource_;
    int mode_ = kStandardMode;
    std::optional<std::vector<int>> availableModes_;
    std::vector<std::shared_ptr<CBGeoRelation>> relations_;
    std::vector<CBAnnotationRef> stopAnnotations_;
    // Stop to the routes through it, in name order.
    std::unordered_map<NSManagedObjectID, std::vector<std::shared_ptr<CBGeoRelation>>>
        routesOfStop_;
};
