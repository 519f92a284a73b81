#include "model/CBTopTableFiles.h"

#include <filesystem>

#include "CBGeoData/CBGeoDataManager.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSError.h"
#include "Foundation/NSLog.h"

namespace {

std::filesystem::path guideFolder(const std::string& mapStorePath) {
    return std::filesystem::path(mapStorePath).parent_path() / "toptable";
}

}  // namespace

std::string CBTopTableStorePathForMapStorePath(const std::string& mapStorePath) {
    const std::string identifier = std::filesystem::path(mapStorePath).stem().string();
    return (guideFolder(mapStorePath) / (identifier + "_toptable.sqlite")).string();
}

std::string CBTopTableImagesPathForMapStorePath(const std::string& mapStorePath) {
    return (guideFolder(mapStorePath) / "images").string();
}

std::optional<std::string> CBTopTableImagePathInFolder(const std::string& imagesFolder,
                                                       const std::string& fileName) {
    if (fileName.empty() || fileName == "." || fileName == ".." ||
        fileName.find('/') != std::string::npos)
        return std::nullopt;
    for (char c : fileName)
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    return (std::filesystem::path(imagesFolder) / fileName).string();
}

bool CBTopTableOpenGuideForMapStorePath(CBGeoDataManager& manager,
                                        const std::string& mapStorePath) {
    const std::string path = CBTopTableStorePathForMapStorePath(mapStorePath);
    std::error_code missing;
    if (!std::filesystem::exists(path, missing))
        return false;
    // The same map opened again keeps its guide, and the places shown from it.
    const auto open = manager.persistentStoresDictionary();
    if (auto guide = open.find(CBGeoDataManager::kTopTableStoreKey);
        guide != open.end() && guide->second && guide->second->path() == path)
        return true;
    // Looked at first, quietly, so that a guide of the wrong kind is one
    // line in the log and is never written to.
    NSError error;
    const auto metadata = NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
        NSSQLiteStoreType, path, &error);
    auto model = manager.managedObjectModel();
    std::string reason;
    if (!metadata)
        reason = error.localizedDescription();
    else if (!model || !model->isConfigurationCompatibleWithStoreMetadata("", *metadata))
        reason = "a store of another model";
    else if (!manager.addPersistentStoreCoordinatorWithPathForKey(
                 path, std::string(CBGeoDataManager::kTopTableStoreKey), &error))
        reason = error.localizedDescription();
    if (reason.empty())
        return true;
    NSLogWithLevel(NSLogLevel::Error,
                   "Kelvara: the restaurant guide %s cannot be opened (%s); the map shows "
                   "without it",
                   path.c_str(), reason.c_str());
    return false;
}
