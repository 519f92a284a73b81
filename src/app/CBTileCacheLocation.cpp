#include "app/CBTileCacheLocation.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "mapkit/CBDiskTileCache.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kTileFolderPrefix = "mapTiles";
constexpr const char* kIndexPrefix = "CBDiskCache";
constexpr const char* kIndexExtension = ".sqlite";

std::string tileFolderName(const std::string& version) {
    return std::string(kTileFolderPrefix) + "-" + version;
}

std::string indexName(const std::string& version) {
    return std::string(kIndexPrefix) + "-" + version + kIndexExtension;
}

// "mapTiles" or "mapTiles-<anything>".
bool isTileFolderName(const std::string& name) {
    const std::string prefix = kTileFolderPrefix;
    return name == prefix || name.rfind(prefix + "-", 0) == 0;
}

// "CBDiskCache.sqlite" or "CBDiskCache-<anything>.sqlite", with SQLite's
// journal companions ("-wal", "-shm", "-journal") after it.
bool isIndexName(const std::string& name) {
    const std::string prefix = kIndexPrefix;
    if (name.rfind(prefix, 0) != 0)
        return false;
    const std::string rest = name.substr(prefix.size());
    if (rest.empty() || (rest[0] != '.' && rest[0] != '-'))
        return false;
    return rest.find(kIndexExtension) != std::string::npos;
}

// The index and its companions of one version.
bool belongsToIndex(const std::string& name, const std::string& current) {
    return name == current || name.rfind(current + "-", 0) == 0;
}
}  // namespace

std::string CBTileCacheLocation::currentVersion() {
    auto version = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleVersion");
    std::string text = version && version->stringValue() ? *version->stringValue() : "";
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](char c) {
                                  return !std::isalnum(static_cast<unsigned char>(c)) && c != '.' &&
                                         c != '_';
                              }),
               text.end());
    if (text.empty() || text == "." || text == "..")
        return "0";
    return text;
}

void CBTileCacheLocation::setUpInCachesDirectory(const std::string& caches,
                                                 const std::string& version) {
    CBDiskTileCache::setMainCacheDirectory((fs::path(caches) / tileFolderName(version)).string());
    CBDiskTileCache::setSqliteFilePath((fs::path(caches) / indexName(version)).string());
}

std::vector<std::string> CBTileCacheLocation::oldItemsInCachesDirectory(
    const std::string& caches, const std::string& version) {
    std::vector<std::string> old;
    const std::string folder = tileFolderName(version);
    const std::string index = indexName(version);
    std::error_code error;
    for (fs::directory_iterator it(caches, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        // A symbolic link is left alone: what it points to is not ours.
        if (it->is_symlink(error))
            continue;
        const bool oldFolder = isTileFolderName(name) && name != folder && it->is_directory(error);
        const bool oldIndex =
            isIndexName(name) && !belongsToIndex(name, index) && it->is_regular_file(error);
        if (oldFolder || oldIndex)
            old.push_back(it->path().string());
    }
    std::sort(old.begin(), old.end());
    return old;
}

size_t CBTileCacheLocation::removeOldItemsInCachesDirectory(const std::string& caches,
                                                            const std::string& version) {
    size_t removed = 0;
    for (const auto& path : oldItemsInCachesDirectory(caches, version)) {
        std::error_code error;
        fs::remove_all(path, error);
        if (error) {
            NSLogWithLevel(NSLogLevel::Warning, "Kelvara: cannot remove the old tile cache %s: %s",
                           path.c_str(), error.message().c_str());
            continue;
        }
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: removed the old tile cache %s", path.c_str());
        ++removed;
    }
    return removed;
}
