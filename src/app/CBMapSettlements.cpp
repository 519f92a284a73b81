#include "app/CBMapSettlements.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <tuple>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreLocation/CLLocation.h"

namespace {

// How far a settlement reaches, in metres: from its population where the
// data has it (a town of 60,000 about 6 km, a village of 500 about 600 m),
// else from its rank.
constexpr double kReachPerRootOfPopulation = 25;
constexpr double kSmallestReach = 500;
constexpr double kLargestReach = 15000;
constexpr double kReachOfRank[] = {8000, 3000, 1000};
// A point further out than this many reaches lies in none of them.
constexpr double kFurthestReach = 1.5;
// Fewer named places than this inside a settlement's area say too little of
// where its centre is; the area's own middle stands.
constexpr size_t kFewestPlacesForACentre = 5;

double median(std::vector<double> values) {
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double reachOf(const CBMapSettlements::Settlement& settlement) {
    if (settlement.population)
        return std::clamp(kReachPerRootOfPopulation * std::sqrt(*settlement.population),
                          kSmallestReach, kLargestReach);
    return kReachOfRank[static_cast<int>(settlement.rank)];
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool threeDigitsAt(const std::string& text, size_t at) {
    return at + 3 <= text.size() && isDigit(text[at]) && isDigit(text[at + 1]) &&
           isDigit(text[at + 2]) && (at + 3 == text.size() || !isDigit(text[at + 3]));
}

}  // namespace

CBMapSettlements::CBMapSettlements(std::vector<Settlement> settlements)
    : settlements_(std::move(settlements)) {}

CBMapSettlements CBMapSettlements::ofMap(CBGeoDataManager& manager) {
    std::vector<Settlement> found;
    auto tags = manager.tagsMatchingKeyAndAttribute(std::string("place"), std::nullopt);
    for (const auto& tag : tags.value_or(std::vector<std::shared_ptr<CBGeoTag>>{})) {
        const auto rank = rankOfPlace(tag->attribute());
        if (!rank)
            continue;
        for (const auto& member : tag->objectsForKey("objects")) {
            auto object = std::dynamic_pointer_cast<CBGeoObject>(member);
            if (!object)
                continue;
            const auto name = object->displayName();
            const CLLocationCoordinate2D coordinate = object->coordinate();
            if (!name || name->empty() || !CLLocationCoordinate2DIsValid(coordinate))
                continue;
            const auto population = object->getAttributeOfTagForKey("population");
            found.push_back({*name, *rank,
                             population ? populationFromText(*population) : std::nullopt,
                             coordinate, object->objectID()});
        }
    }
    return CBMapSettlements(std::move(found));
}

const CBMapSettlements::Settlement* CBMapSettlements::mainTown(const std::string& mapName) const {
    auto order = [&](const Settlement& s) {
        // Known populations first, the larger first.
        return std::make_tuple(s.rank, !s.population, -s.population.value_or(0), s.name != mapName,
                               s.name);
    };
    auto best = std::min_element(
        settlements_.begin(), settlements_.end(),
        [&](const Settlement& a, const Settlement& b) { return order(a) < order(b); });
    return best == settlements_.end() ? nullptr : &*best;
}

CLLocationCoordinate2D CBMapSettlements::centreOf(const Settlement& settlement,
                                                  CBGeoDataManager& manager) {
    auto context = manager.managedObjectContext();
    auto object =
        context && settlement.objectID
            ? std::dynamic_pointer_cast<CBGeoObject>(context->objectWithID(*settlement.objectID))
            : nullptr;
    auto area = object ? object->bbox() : nullptr;
    if (!area || area->latitudeSpan() <= 0 || area->longitudeSpan() <= 0)
        return settlement.coordinate;
    auto request = manager.requestForObjectsInBBox(area);
    auto inside = request ? context->executeFetchRequest(*request) : std::nullopt;
    std::vector<double> latitudes;
    std::vector<double> longitudes;
    for (const auto& row : inside.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
        auto place = std::dynamic_pointer_cast<CBGeoObject>(row);
        if (!place || place == object || !place->name() || place->isHighway())
            continue;
        const CLLocationCoordinate2D coordinate = place->coordinate();
        if (!CLLocationCoordinate2DIsValid(coordinate))
            continue;
        latitudes.push_back(coordinate.latitude);
        longitudes.push_back(coordinate.longitude);
    }
    if (latitudes.size() < kFewestPlacesForACentre)
        return settlement.coordinate;
    return {median(latitudes), median(longitudes)};
}

const CBMapSettlements::Settlement* CBMapSettlements::localityAt(
    CLLocationCoordinate2D coordinate) const {
    if (!CLLocationCoordinate2DIsValid(coordinate))
        return nullptr;
    const CLLocation point(coordinate.latitude, coordinate.longitude);
    const Settlement* nearest = nullptr;
    double nearestDepth = kFurthestReach;
    for (const auto& settlement : settlements_) {
        const CLLocation centre(settlement.coordinate.latitude, settlement.coordinate.longitude);
        const double depth = point.distanceFromLocation(centre) / reachOf(settlement);
        if (depth <= nearestDepth) {
            nearest = &settlement;
            nearestDepth = depth;
        }
    }
    return nearest;
}

std::optional<CBMapSettlements::Rank> CBMapSettlements::rankOfPlace(const std::string& place) {
    if (place == "city")
        return Rank::City;
    if (place == "town")
        return Rank::Town;
    if (place == "village")
        return Rank::Village;
    return std::nullopt;
}

std::optional<CBMapSettlements::Rank> CBMapSettlements::rankOfObject(CBGeoObject& object) {
    auto place = object.getAttributeOfTagForKey("place");
    return place ? rankOfPlace(*place) : std::nullopt;
}

std::optional<double> CBMapSettlements::populationFromText(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && !isDigit(text[at]))
        ++at;
    if (at == text.size())
        return std::nullopt;
    double number = 0;
    while (at < text.size()) {
        if (isDigit(text[at])) {
            number = number * 10 + (text[at] - '0');
            ++at;
        } else if ((text[at] == ',' || text[at] == '.' || text[at] == ' ' || text[at] == '\'') &&
                   threeDigitsAt(text, at + 1)) {
            // A thousands separator: 12,345 or 12.345 or 12 345.
            ++at;
        } else {
            break;
        }
    }
    return number;
}
