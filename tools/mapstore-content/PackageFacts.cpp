#include "PackageFacts.h"

#include <algorithm>
#include <cctype>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

// Type codes of the type table by entry name.
std::map<std::string, int64_t> codesByName(const std::string& typesPath) {
    std::map<std::string, int64_t> codes;
    auto table = NSPropertyListSerialization::propertyListWithContentsOfFile(typesPath);
    const Value* types = table ? table->get("types") : nullptr;
    if (!types || !types->arrayValue())
        return codes;
    for (const Value& entry : *types->arrayValue()) {
        const Value* name = entry.get("name");
        const Value* code = entry.get("id");
        if (name && name->stringValue() && code && code->integerValue())
            codes[*name->stringValue()] = *code->integerValue();
    }
    return codes;
}

double cross(CLLocationCoordinate2D o, CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    return (a.longitude - o.longitude) * (b.latitude - o.latitude) -
           (a.latitude - o.latitude) * (b.longitude - o.longitude);
}

// Andrew's monotone chain; the ring closed with its first point.
std::vector<CLLocationCoordinate2D> convexHull(std::vector<CLLocationCoordinate2D> points) {
    std::sort(points.begin(), points.end(), [](const auto& a, const auto& b) {
        return a.longitude < b.longitude || (a.longitude == b.longitude && a.latitude < b.latitude);
    });
    if (points.size() < 3)
        return points;
    std::vector<CLLocationCoordinate2D> hull(2 * points.size());
    size_t k = 0;
    for (const auto& point : points) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], point) <= 0)
            --k;
        hull[k++] = point;
    }
    for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    hull.resize(k);
    return hull;
}

size_t countObjects(NSManagedObjectContext& context, const std::string& format,
                    const std::vector<NSPredicateArgument>& arguments) {
    NSFetchRequest request("object");
    request.predicate = NSPredicate::predicateWithFormat(format, arguments);
    return context.countForFetchRequest(request).value_or(0);
}

std::map<std::string, std::string> tagsOf(NSManagedObject& object) {
    std::map<std::string, std::string> tags;
    for (const auto& tag : object.objectsForKey("tags")) {
        auto key = tag->stringForKey("key");
        auto attribute = tag->stringForKey("attribute");
        if (key && attribute)
            tags.emplace(*key, *attribute);
    }
    return tags;
}

// The object's first address; places seldom have one.
GazetteerAddress addressOf(NSManagedObject& object) {
    GazetteerAddress address;
    const auto addresses = object.objectsForKey("addresses");
    if (!addresses.empty()) {
        address.street = addresses.front()->stringForKey("street").value_or("");
        address.postalCode = addresses.front()->stringForKey("zipCode").value_or("");
        address.city = addresses.front()->stringForKey("city").value_or("");
    }
    return address;
}

}  // namespace

bool PackageFacts::read(const std::string& storePath, const std::string& modelPath,
                        const std::string& typesPath, const std::string& centrePlace,
                        PackageFacts* facts, std::string* error) {
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    CBGeoEntityRegistry::registerClasses();
    CBCoordinatePathValueTransformer::registerTransformer();
    auto model = NSManagedObjectModel::modelWithContentsOfFile(modelPath);
    if (!model)
        return fail("cannot read the geo model " + modelPath);
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError openError;
    Value::Dictionary options{{NSReadOnlyPersistentStoreOption, Value(true)}};
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", storePath, options,
                                                 &openError))
        return fail("cannot open " + storePath + ": " + openError.localizedDescription());
    auto shared = std::make_shared<NSManagedObjectContext>();
    shared->setPersistentStoreCoordinator(coordinator);
    NSManagedObjectContext& context = *shared;

    NSFetchRequest cities("city");
    auto found = context.executeFetchRequest(cities);
    if (!found || found->empty())
        return fail(storePath + " has no city row");
    auto city = found->front();
    facts->box = {city->doubleForKey("NELatitude").value_or(0),
                  city->doubleForKey("NELongitude").value_or(0),
                  city->doubleForKey("SWLatitude").value_or(0),
                  city->doubleForKey("SWLongitude").value_or(0)};
    for (const auto& record : city->objectsForKey("names")) {
        std::string language = record->stringForKey("lang").value_or("");
        std::transform(language.begin(), language.end(), language.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (auto name = record->stringForKey("name"))
            facts->names[language] = *name;
    }
    facts->centre = {(facts->box.north + facts->box.south) / 2,
                     (facts->box.east + facts->box.west) / 2};
    std::vector<std::pair<std::string, CLLocationCoordinate2D>> places;
    for (const auto& location : city->objectsForKey("locations")) {
        auto name = location->stringForKey("name");
        if (name && !name->empty())
            places.push_back({*name,
                              {location->doubleForKey("latitude").value_or(0),
                               location->doubleForKey("longitude").value_or(0)}});
    }
    for (const auto& [name, where] : places) {
        if (name == centrePlace)
            facts->centre = where;
    }
    std::sort(places.begin(), places.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, where] : places) {
        if (facts->places.empty() || facts->places.back() != name)
            facts->places.push_back(name);
    }

    NSFetchRequest placeTags("tag");
    placeTags.predicate = NSPredicate::predicateWithFormat("key == %@", {std::string("place")});
    for (const auto& tag : context.executeFetchRequest(placeTags).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{})) {
        const std::string kind = tag->stringForKey("attribute").value_or("");
        for (const auto& object : tag->objectsForKey("objects")) {
            auto name = object->stringForKey("name");
            auto latitude = object->doubleForKey("latitude");
            auto longitude = object->doubleForKey("longitude");
            if (name && !name->empty() && latitude && longitude)
                facts->namedPlaces.push_back(GazetteerWriter::placeOfKind(
                    *name, {*latitude, *longitude}, kind, tagsOf(*object), addressOf(*object)));
        }
    }

    NSFetchRequest nodes("node");
    nodes.propertiesToFetch = {"latitude", "longitude"};
    std::vector<CLLocationCoordinate2D> points;
    for (const auto& row : context.executeFetchRequestForDictionaries(nodes).value_or(
             std::vector<Value::Dictionary>{})) {
        auto latitude = row.count("latitude") ? row.at("latitude").doubleValue() : std::nullopt;
        auto longitude = row.count("longitude") ? row.at("longitude").doubleValue() : std::nullopt;
        if (latitude && longitude)
            points.push_back({*latitude, *longitude});
    }
    if (centrePlace.empty() && !points.empty()) {
        CLLocationCoordinate2D sum{0, 0};
        for (const auto& point : points) {
            sum.latitude += point.latitude;
            sum.longitude += point.longitude;
        }
        facts->centre = {sum.latitude / double(points.size()),
                         sum.longitude / double(points.size())};
    }
    facts->outline = convexHull(points);
    if (facts->outline.size() < 3) {
        facts->outline = {{facts->box.south, facts->box.west},
                          {facts->box.south, facts->box.east},
                          {facts->box.north, facts->box.east},
                          {facts->box.north, facts->box.west}};
    }
    facts->outline.push_back(facts->outline.front());

    auto codes = codesByName(typesPath);
    auto code = [&codes](const char* name) { return codes.count(name) ? codes[name] : -1; };
    facts->pointsOfInterest =
        int64_t(countObjects(context, "typeID >= %d AND typeID < %d", {400, 700}));
    facts->shops = int64_t(countObjects(context, "typeID >= %d AND typeID < %d", {500, 550}));
    facts->restaurants =
        int64_t(countObjects(context, "typeID == %d", {int(code("amenity_restaurant"))}));
    facts->pubs = int64_t(countObjects(context, "typeID IN %@",
                                       {NSPredicateArgument(std::vector<NSPredicateArgument>{
                                           int(code("amenity_pub")), int(code("amenity_bar")),
                                           int(code("amenity_biergarten"))})}));
    return true;
}
