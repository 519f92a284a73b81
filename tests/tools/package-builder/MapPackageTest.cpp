// What the application finds in the sample packages built from real data.
#include <cmath>
#include <map>
#include <set>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "PackageStoreFixture.h"

namespace {

template <class T>
std::vector<std::shared_ptr<T>> fetch(NSManagedObjectContext& context, const std::string& entity,
                                      const std::string& format = {}, size_t limit = 0,
                                      const std::vector<NSPredicateArgument>& arguments = {}) {
    NSFetchRequest request(entity);
    if (!format.empty())
        request.predicate = NSPredicate::predicateWithFormat(format, arguments);
    request.fetchLimit = limit;
    std::vector<std::shared_ptr<T>> result;
    auto rows = context.executeFetchRequest(request);
    EXPECT_TRUE(rows.has_value());
    for (const auto& row : rows.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
        if (auto typed = std::dynamic_pointer_cast<T>(row))
            result.push_back(typed);
    }
    return result;
}

// The box of a quad-key tile, decoded here independently of the builder.
CBBoundingBox tileBox(int64_t quadKey, int* zoom) {
    std::string digits = std::to_string(quadKey).substr(1);
    int z = static_cast<int>(digits.size());
    int64_t x = 0, y = 0;
    for (char digit : digits) {
        x = x * 2 + ((digit - '0') & 1);
        y = y * 2 + ((digit - '0') >> 1);
    }
    double n = std::ldexp(1.0, z);
    auto latitude = [n](double row) {
        return std::atan(std::sinh(M_PI * (1.0 - 2.0 * row / n))) * 180.0 / M_PI;
    };
    *zoom = z;
    return CBBoundingBox({latitude(static_cast<double>(y)), (x + 1) / n * 360.0 - 180.0},
                         {latitude(static_cast<double>(y + 1)), x / n * 360.0 - 180.0});
}

class MapPackageTest : public ::testing::TestWithParam<SamplePackage> {
  protected:
    void SetUp() override {
        context_ = openPackage(GetParam().identifier);
        ASSERT_NE(context_, nullptr) << "package " << GetParam().identifier << " is not built";
    }
    std::shared_ptr<NSManagedObjectContext> context_;
};

TEST_P(MapPackageTest, StreetsHaveTheirAddresses) {
    auto addresses =
        fetch<CBGeoAddress>(*context_, "address", "street != nil AND houseNumber != nil");
    ASSERT_FALSE(addresses.empty());
    std::map<std::string, size_t> perStreet;
    size_t linked = 0;
    for (const auto& address : addresses) {
        auto street = address->streetObject();
        if (!street)
            continue;
        ++linked;
        EXPECT_EQ(street->name(), address->street());
        ++perStreet[*address->street()];
    }
    // Nearly every address lies on a street of the package.
    EXPECT_GT(linked * 10, addresses.size() * 8);
    auto busiest =
        std::max_element(perStreet.begin(), perStreet.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    ASSERT_NE(busiest, perStreet.end());
    auto streets = fetch<CBGeoObject>(*context_, "object", "name = %@", 0, {Value(busiest->first)});
    ASSERT_FALSE(streets.empty());
    std::shared_ptr<CBGeoObject> street;
    for (const auto& candidate : streets) {
        if (candidate->isHighway())
            street = candidate;
    }
    ASSERT_NE(street, nullptr);
    EXPECT_EQ(street->canonicalName(), CBGeoObject::canonicalNameForString(busiest->first));
    auto sorted = street->sortedAddresses();
    ASSERT_TRUE(sorted);
    ASSERT_GE(sorted->size(), 5u);
    for (size_t i = 1; i < sorted->size(); ++i)
        EXPECT_LE((*sorted)[i - 1]->compareHouseNumber((*sorted)[i]), 0);
}

TEST_P(MapPackageTest, PlacesHaveTagsAndOpeningHours) {
    auto hours = fetch<CBGeoTag>(*context_, "tag", "key = 'opening_hours'");
    ASSERT_FALSE(hours.empty());
    size_t named = 0;
    bool tokens = false;
    for (const auto& tag : hours) {
        std::string value = tag->attribute();
        tokens = tokens || value.find("MO.") != std::string::npos ||
                 value.find("SA.") != std::string::npos;
        EXPECT_EQ(value.find("Mo-"), std::string::npos) << value;
        for (const auto& member : tag->objectsForKey("objects")) {
            auto place = std::dynamic_pointer_cast<CBGeoObject>(member);
            ASSERT_NE(place, nullptr);
            EXPECT_EQ(place->getAttributeOfTagForKey("opening_hours"), value);
            if (place->displayName() && place->displayTypeTag())
                ++named;
        }
        EXPECT_GE(tag->total().value_or(0), 1);
    }
    EXPECT_TRUE(tokens);
    EXPECT_GT(named, 0u);

    auto restaurants =
        fetch<CBGeoTag>(*context_, "tag", "key = 'amenity' AND attribute = 'restaurant'");
    ASSERT_EQ(restaurants.size(), 1u);
    auto places = restaurants[0]->objectsForKey("objects");
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(restaurants[0]->total(), static_cast<int64_t>(places.size()));
    auto place = std::dynamic_pointer_cast<CBGeoObject>(places.front());
    EXPECT_EQ(place->displayTypeTag()->attribute(), "restaurant");
    EXPECT_TRUE(CLLocationCoordinate2DIsValid(place->coordinate()));
}

TEST_P(MapPackageTest, TheCityHasItsBoxAndNames) {
    auto cities = fetch<CBGeoCity>(*context_, "city");
    ASSERT_EQ(cities.size(), 1u);
    auto city = cities[0];
    EXPECT_EQ(city->localizedNameForLanguage("EN"), GetParam().englishName);
    EXPECT_EQ(city->countryCode(), GetParam().countryCode);
    auto box = city->boundingBox();
    EXPECT_GT(box->latitudeSpan(), 0.05);
    auto objects = fetch<CBGeoObject>(*context_, "object", "name != nil", 500);
    ASSERT_FALSE(objects.empty());
    size_t inside = 0;
    for (const auto& object : objects) {
        EXPECT_EQ(object->city(), city);
        if (box->boundingBoxMultipliedByFactor(1.2)->includesCoordinate(object->coordinate()))
            ++inside;
    }
    EXPECT_GT(inside * 10, objects.size() * 9);
}

TEST_P(MapPackageTest, RoutesListTheirStopsInOrder) {
    auto routes = fetch<CBGeoRelation>(*context_, "relation", "ANY tags.key = 'route_pubtrans'");
    ASSERT_FALSE(routes.empty());
    std::set<std::string> families;
    for (const auto& route : routes) {
        auto family = route->getAttributeOfTagForKey("route_pubtrans");
        ASSERT_TRUE(family);
        auto stops = route->orderedStops();
        if (!stops || stops->size() < 2)
            continue;
        families.insert(*family);
        // A colour only where OpenStreetMap gives one, always as "#RRGGBB".
        if (const auto colour = route->color()) {
            EXPECT_TRUE(colour->size() == 7 && (*colour)[0] == '#') << *colour;
        }
        auto infos = route->elementInfosWithRole("stop");
        for (size_t i = 1; i < infos.size(); ++i)
            EXPECT_LT(infos[i - 1]->order(), infos[i]->order());
        for (const auto& stop : *stops) {
            EXPECT_TRUE(stop->isTransportRelated());
            auto names = stop->pubTransRouteNamesSeparatedBy(", ");
            ASSERT_TRUE(names);
            EXPECT_NE(names->find(*route->name()), std::string::npos);
        }
        EXPECT_TRUE(route->bbox()->includesCoordinate(route->coordinate()));
    }
    EXPECT_TRUE(families.count("bus"));
    if (GetParam().hasTrainRoutes) {
        EXPECT_TRUE(families.count("train"));
    }
}

TEST_P(MapPackageTest, ElementsLieInTheirMapTiles) {
    NSFetchRequest request("maptile");
    request.fetchLimit = 400;
    request.relationshipKeyPathsForPrefetching = {"elements"};
    auto tiles = context_->executeFetchRequest(request);
    ASSERT_TRUE(tiles);
    ASSERT_FALSE(tiles->empty());
    std::set<int> zooms;
    size_t checked = 0;
    for (const auto& row : *tiles) {
        auto tile = std::dynamic_pointer_cast<CBGeoMapTile>(row);
        int z = 0;
        CBBoundingBox box = tileBox(*tile->quadKey(), &z);
        EXPECT_EQ(tile->zoomlevel(), z);
        zooms.insert(z);
        for (const auto& element : tile->elements()) {
            ++checked;
            EXPECT_TRUE(element->styleIds().has_value());
            auto path = element->path();
            if (!path) {
                EXPECT_TRUE(box.includesCoordinate(element->coordinate()));
                continue;
            }
            auto pathBox = path->bbox();
            bool overlaps = pathBox->SW().latitude <= box.NE().latitude &&
                            box.SW().latitude <= pathBox->NE().latitude &&
                            pathBox->SW().longitude <= box.NE().longitude &&
                            box.SW().longitude <= pathBox->NE().longitude;
            EXPECT_TRUE(overlaps) << "element outside tile " << *tile->quadKey();
        }
    }
    EXPECT_GT(checked, 100u);
    EXPECT_GE(zooms.size(), 1u);
}

TEST_P(MapPackageTest, LowZoomsHoldOnlyWhatIsDrawnThere) {
    // A zoom-12 tile holds no buildings and no footways; zoom-16 tiles do.
    auto coarse = fetch<CBGeoMapTile>(*context_, "maptile", "quadKey < 10000000000000");
    ASSERT_FALSE(coarse.empty());
    for (const auto& tile : coarse) {
        for (const auto& element : tile->elements()) {
            EXPECT_NE(element->typeID(), 300);
            EXPECT_NE(element->highwayID(), 17);
        }
    }
    auto fine = fetch<CBGeoElement>(*context_, "element",
                                    "typeID = 300 AND ANY maptiles.quadKey > 10000000000000000", 1);
    EXPECT_EQ(fine.size(), 1u);
}

TEST_P(MapPackageTest, FilledTilesLieInsideTheirArea) {
    // A fill marks only a tile with nothing else to draw; in the sample
    // cities every tile inside an area also holds a path, a power line or a
    // label, so there may be none.
    auto filled = fetch<CBGeoMapTile>(*context_, "maptile", "fillTypeID != nil", 60);
    for (const auto& tile : filled) {
        EXPECT_TRUE(tile->isFillOnly()) << "tile " << *tile->quadKey();
        int z = 0;
        auto centre = tileBox(*tile->quadKey(), &z).centerCoordinate();
        bool covered = false;
        for (const auto& element : tile->elements()) {
            auto path = element->path();
            if (element->typeID() == tile->fillTypeID() && path && path->containsCoordinate(centre))
                covered = true;
        }
        EXPECT_TRUE(covered) << "tile " << *tile->quadKey();
    }
}

TEST_P(MapPackageTest, FetchTemplatesOfTheModel) {
    auto model = context_->persistentStoreCoordinator()->managedObjectModel();
    auto centre = fetch<CBGeoObject>(*context_, "object", "name != nil", 1).at(0)->coordinate();
    auto box = CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(centre, 0.01, 0.01);
    NSPredicate::Variables variables;
    for (const auto& [key, value] : box->dictionary())
        variables.emplace(key, value);
    auto inBox =
        model->fetchRequestFromTemplateWithNameSubstitutionVariables("objectsInBBox", variables);
    ASSERT_NE(inBox, nullptr);
    auto found = context_->executeFetchRequest(*inBox);
    ASSERT_TRUE(found);
    ASSERT_FALSE(found->empty());
    for (const auto& row : *found)
        EXPECT_TRUE(
            box->includesCoordinate(std::static_pointer_cast<CBGeoObject>(row)->coordinate()));
    // Package objects are never "recent": that list is the user's own places.
    auto recent = model->fetchRequestFromTemplateWithNameSubstitutionVariables(
        "recentObjects", {{"DATE", Value(NSDate::dateWithTimeIntervalSinceNow(-604800))}});
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(context_->countForFetchRequest(*recent), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MapPackageTest,
    ::testing::Values(SamplePackage{"neubrandenburg", "Neubrandenburg", "DE", true},
                      SamplePackage{"liechtenstein", "Liechtenstein", "LI", false}),
    [](const auto& info) { return info.param.identifier; });

}  // namespace
