#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBGeoDataManager;
class CBGeoObject;

// The cities, towns and villages of an open map, read once from its places.
// They say where a map opens the first time (its main town) and in which
// locality a place without an address of its own lies.
class CBMapSettlements {
  public:
    // City, town and village, in this order.
    enum class Rank { City, Town, Village };
    struct Settlement {
        std::string name;
        Rank rank;
        std::optional<double> population;
        CLLocationCoordinate2D coordinate;
        std::optional<NSManagedObjectID> objectID;
    };

    CBMapSettlements() = default;
    explicit CBMapSettlements(std::vector<Settlement> settlements);
    // The named places of the map's store tagged as a city, town or village.
    static CBMapSettlements ofMap(CBGeoDataManager& manager);

    const std::vector<Settlement>& settlements() const { return settlements_; }

    // The place of the highest rank, the more populous first where the data
    // says; among equals the one named like the map, then by name.
    // nullptr for a map without settlements.
    const Settlement* mainTown(const std::string& mapName) const;
    // Where the settlement's life is: its own point when the map has it as
    // a point; for one drawn as an area (city limits around fields and
    // woods) the middle of the named places inside it, the median on each
    // axis, so that the streets and shops, not the box's middle, count.
    static CLLocationCoordinate2D centreOf(const Settlement& settlement, CBGeoDataManager& manager);
    // The settlement whose reach the point lies deepest in: a city reaches
    // further than a village, a populous place further than a small one.
    // nullptr when the point lies beyond every settlement's reach.
    const Settlement* localityAt(CLLocationCoordinate2D coordinate) const;

    // The rank a "place" tag's value gives; nullopt for other places
    // (suburbs, hamlets, localities).
    static std::optional<Rank> rankOfPlace(const std::string& place);
    // The rank of an object tagged as a settlement; nullopt for any other.
    static std::optional<Rank> rankOfObject(CBGeoObject& object);
    // A "population" tag's number: digits with thousands separators, or the
    // first number of a text ("ca. 5000", "5000;5100"); nullopt without one.
    static std::optional<double> populationFromText(const std::string& text);

  private:
    std::vector<Settlement> settlements_;
};
