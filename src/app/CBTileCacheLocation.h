#pragma once

#include <string>
#include <vector>

// Where rendered tiles live: a tile folder and index per program version
// under <Caches> ("mapTiles-<version>", "CBDiskCache-<version>.sqlite"), so
// that a new version never shows tiles an older renderer or style drew.
// What earlier versions left there is removed some seconds after start.
class CBTileCacheLocation {
  public:
    // The bundle's build version as one safe path component ("0" without one).
    static std::string currentVersion();

    // Points the disk tile cache at the folder and index of `version`.
    static void setUpInCachesDirectory(const std::string& caches, const std::string& version);

    // The tile folders and index files of other versions (and of the
    // unversioned default), full paths in name order.
    static std::vector<std::string> oldItemsInCachesDirectory(const std::string& caches,
                                                              const std::string& version);
    // Removes them, logging each; answers how many went.
    static size_t removeOldItemsInCachesDirectory(const std::string& caches,
                                                  const std::string& version);
};
