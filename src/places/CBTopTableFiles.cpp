#include "places/CBTopTableFiles.h"

#include <filesystem>

#include "CBGeoData/CBGeoDataManager.h"
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
    std::error_code failure;
    if (!std::filesystem::exists(path, failure))
        return false;
    // An empty file would otherwise become an empty store of the model.
    if (!std::filesystem::is_regular_file(path, failure) ||
        std::filesystem::file_size(path, failure) == 0) {
        NSLogWithLevel(NSLogLevel::Error,
                       "Kelvara: the restaurant guide %s is no store; the map shows without it",
                       path.c_str());
        return false;
    }
    NSError error;
    if (!manager.addPersistentStoreCoordinatorWithPathForKey(
            path, std::string(CBGeoDataManager::kTopTableStoreKey), &error)) {
        NSLogWithLevel(NSLogLevel::Error,
                       "Kelvara: the restaurant guide %s cannot be opened (%s); the map shows "
                       "without it",
                       path.c_str(), error.localizedDescription().c_str());
        return false;
    }
    return true;
}
