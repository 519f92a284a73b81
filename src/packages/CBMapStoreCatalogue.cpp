#include "packages/CBMapStoreCatalogue.h"

#include <filesystem>
#include <set>

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "packages/CBMapStoreIdentifier.h"

namespace {

bool fail(std::string* reason, const std::string& text) {
    if (reason)
        *reason = text;
    return false;
}

std::optional<std::vector<std::shared_ptr<NSManagedObject>>> fetchAll(
    NSManagedObjectContext& context, const char* entity) {
    NSFetchRequest request(entity);
    NSError error;
    return context.executeFetchRequest(request, &error);
}

bool checkCodes(NSManagedObjectContext& context, const char* entity, const char* key,
                std::string* reason) {
    auto rows = fetchAll(context, entity);
    if (!rows)
        return fail(reason, std::string("cannot read the ") + entity + " rows");
    for (const auto& row : *rows) {
        auto code = row->stringForKey(key);
        if (!CBMapStoreIsValidIdentifier(code))
            return fail(reason, std::string("a ") + entity + " has the invalid " + key + " \"" +
                                    code.value_or("") + "\"");
    }
    return true;
}

bool validBox(NSManagedObject& map) {
    const double north = map.doubleForKey("NELatitude").value_or(0);
    const double east = map.doubleForKey("NELongitude").value_or(0);
    const double south = map.doubleForKey("SWLatitude").value_or(0);
    const double west = map.doubleForKey("SWLongitude").value_or(0);
    return south < north && west < east && south >= -90 && north <= 90 && west >= -180 &&
           east <= 180;
}

}  // namespace

bool CBMapStoreCatalogue::validateCatalogueAtPath(
    const std::string& path, const std::shared_ptr<NSManagedObjectModel>& model,
    std::string* reason) {
    if (!model)
        return fail(reason, "no catalogue model");
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        return fail(reason, "no catalogue file at " + path);
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError error;
    Value::Dictionary options{{NSReadOnlyPersistentStoreOption, Value(true)}};
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, options, &error))
        return fail(reason, "the catalogue cannot be opened: " + error.localizedDescription());
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);

    if (!checkCodes(*context, "group", "groupCode", reason) ||
        !checkCodes(*context, "country", "countryCode", reason) ||
        !checkCodes(*context, "region", "regionCode", reason) ||
        !checkCodes(*context, "map", "identifier", reason))
        return false;
    auto groups = fetchAll(*context, "group");
    if (!groups || groups->empty())
        return fail(reason, "the catalogue has no groups");
    auto maps = fetchAll(*context, "map");
    if (!maps || maps->empty())
        return fail(reason, "the catalogue has no maps");
    std::set<std::string> identifiers;
    for (const auto& map : *maps) {
        const std::string identifier = map->stringForKey("identifier").value_or("");
        if (!identifiers.insert(identifier).second)
            return fail(reason, "the map identifier \"" + identifier + "\" appears twice");
        if (!map->objectForKey("country"))
            return fail(reason, "the map \"" + identifier + "\" has no country");
        if (!validBox(*map))
            return fail(reason, "the map \"" + identifier + "\" has no valid box");
    }
    return true;
}

bool CBMapStoreCatalogue::installValidatedCatalogue(
    const std::string& stagedPath, const std::string& destination,
    const std::shared_ptr<NSManagedObjectModel>& model, std::string* reason) {
    if (!validateCatalogueAtPath(stagedPath, model, reason))
        return false;
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(fs::path(destination).parent_path(), error);
    fs::rename(stagedPath, destination, error);
    if (!error)
        return true;
    // Another file system: copy beside the destination first, so that the
    // replacement itself is still one rename.
    const std::string incoming = destination + ".incoming";
    fs::copy_file(stagedPath, incoming, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::rename(incoming, destination, error);
    if (error) {
        std::error_code ignored;
        fs::remove(incoming, ignored);
        return fail(reason, "cannot move the catalogue into place: " + error.message());
    }
    fs::remove(stagedPath, error);
    return true;
}
