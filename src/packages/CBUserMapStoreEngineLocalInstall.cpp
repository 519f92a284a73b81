// Installing a map package that is already on this computer (the sample
// city the build makes), for a program that runs without a map store: the
// shelf then lists the map on show like any installed one.
#include <filesystem>

#include "Foundation/NSLog.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

namespace fs = std::filesystem;

CBUserMapStoreEngine::Map CBUserMapStoreEngine::installLocalPackageWithIdentifierFromFolder(
    const std::string& identifier, const std::string& folder) {
    if (auto installed = mapForIdentifier(identifier))
        return installed;
    auto context = managedObjectContext();
    if (!CBMapStoreIsValidIdentifier(identifier) || !context)
        return nullptr;
    NSError invalid;
    if (!validateMapStoreAtPath((fs::path(folder) / (identifier + ".sqlite")).string(), &invalid)) {
        NSLogWithLevel(NSLogLevel::Warning, "Kelvara: the package in %s is not installed: %s",
                       folder.c_str(), invalid.localizedDescription().c_str());
        return nullptr;
    }
    // Copied beside its place and moved in whole: a copy cut off is never
    // taken for an installed map.
    const fs::path target = fs::path(basePathForMaps()) / identifier;
    const fs::path staged = target.string() + ".copying";
    std::error_code error;
    fs::remove_all(staged, error);
    fs::create_directories(target.parent_path(), error);
    fs::copy(folder, staged, fs::copy_options::recursive, error);
    if (!error) {
        fs::remove_all(target, error);
        fs::rename(staged, target, error);
    }
    if (error) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the package in %s could not be copied: %s",
                       folder.c_str(), error.message().c_str());
        fs::remove_all(staged, error);
        return nullptr;
    }
    auto map = std::dynamic_pointer_cast<CBMapStoreMap>(
        context->insertNewObjectForEntityForName(CBMapStoreMap::kEntityName));
    if (!map)
        return nullptr;
    fillRecordFromCatalogue(map, identifier);
    map->setDateAdded(NSDate::date());
    if (!saveChanges()) {
        context->deleteObject(map);
        return nullptr;
    }
    checkedMaps_.erase(identifier);
    tellDelegates([&](auto& delegate) { delegate.userMapStoreAddedMap(*this, map); });
    // No post-install step: its tiles would be drawn during start-up, for
    // a map that is on show at once anyway.
    copyCoverToDocumentsForMap(map);
    return map;
}
