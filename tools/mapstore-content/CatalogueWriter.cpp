#include "CatalogueWriter.h"

#include <filesystem>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/NSStringFolding.h"
#include "packages/CBMapStoreEntities.h"

namespace {

void setBox(NSManagedObject& object, const CatalogueWriter::Box& box) {
    object.setValueForKey("NELatitude", Value(box.north));
    object.setValueForKey("NELongitude", Value(box.east));
    object.setValueForKey("SWLatitude", Value(box.south));
    object.setValueForKey("SWLongitude", Value(box.west));
}

// Every title, the name and the places, folded as the search folds the
// user's text, one per line.
std::string searchText(const CatalogueWriter::Map& map) {
    std::string text = map.name;
    for (const auto& [language, title] : map.titles)
        text += "\n" + title;
    for (const auto& place : map.places)
        text += "\n" + place;
    return NSStringFold(text, kPredicateCaseInsensitive | kPredicateDiacriticInsensitive);
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

bool CatalogueWriter::writeCatalogue(const Catalogue& catalogue, const std::string& path,
                                     const std::shared_ptr<NSManagedObjectModel>& model,
                                     std::string* error) {
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!model)
        return fail("no catalogue model");
    CBMapStoreEntities::registerClasses();
    CBCoordinatePathValueTransformer::registerTransformer();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError openError;
    Value::Dictionary options{
        {NSSQLitePragmasOption, Value(Value::Dictionary{{"journal_mode", Value("DELETE")}})}};
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, options, &openError))
        return fail("cannot create " + path + ": " + openError.localizedDescription());
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);

    std::map<std::string, std::shared_ptr<NSManagedObject>> groups, countries, regions;
    for (const auto& group : catalogue.groups) {
        auto row = context->insertNewObjectForEntityForName("group");
        row->setValueForKey("groupCode", Value(group.code));
        row->setValueForKey("name", Value(group.name));
        groups[group.code] = row;
    }
    for (const auto& country : catalogue.countries) {
        auto row = context->insertNewObjectForEntityForName("country");
        row->setValueForKey("countryCode", Value(country.code));
        row->setValueForKey("name", Value(country.name));
        setBox(*row, country.box);
        if (country.groupCode && groups.count(*country.groupCode))
            row->setObjectForKey("group", groups[*country.groupCode]);
        countries[country.code] = row;
    }
    for (const auto& region : catalogue.regions) {
        auto row = context->insertNewObjectForEntityForName("region");
        row->setValueForKey("regionCode", Value(region.code));
        row->setValueForKey("name", Value(region.name));
        if (!countries.count(region.countryCode))
            return fail("the region " + region.code + " has no country");
        row->setObjectForKey("country", countries[region.countryCode]);
        if (region.groupCode && groups.count(*region.groupCode))
            row->setObjectForKey("group", groups[*region.groupCode]);
        regions[region.code] = row;
    }
    for (const auto& map : catalogue.maps) {
        auto row = context->insertNewObjectForEntityForName("map");
        row->setValueForKey("identifier", Value(map.identifier));
        row->setValueForKey("name", Value(map.name));
        row->setValueForKey("places", Value(joined(map.places)));
        row->setValueForKey("searchText", Value(searchText(map)));
        row->setValueForKey("priority", Value(map.priority));
        setBox(*row, map.box);
        if (!map.shape.empty()) {
            auto shape = CBCoordinatePath::createWithNumberOfCoordinates(map.shape.size());
            for (size_t i = 0; i < map.shape.size(); ++i)
                shape->setCoordinateAtIndex(map.shape[i], i);
            row->setTransformableValueForKey("shape", shape);
        }
        if (!countries.count(map.countryCode))
            return fail("the map " + map.identifier + " has no country");
        row->setObjectForKey("country", countries[map.countryCode]);
        if (map.regionCode) {
            if (!regions.count(*map.regionCode))
                return fail("the map " + map.identifier + " has no region " + *map.regionCode);
            row->setObjectForKey("region", regions[*map.regionCode]);
        }
        for (const auto& [language, title] : map.titles) {
            auto titleRow = context->insertNewObjectForEntityForName("mapTitle");
            titleRow->setValueForKey("languageCode", Value(language));
            titleRow->setValueForKey("title", Value(title));
            titleRow->setObjectForKey("map", row);
        }
    }
    NSError saveError;
    if (!context->save(&saveError))
        return fail("cannot save " + path + ": " + saveError.localizedDescription());
    return true;
}
