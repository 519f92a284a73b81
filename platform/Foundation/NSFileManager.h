#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"

// What attributesOfItemAtPath reports.
struct NSFileAttributes {
    uint64_t fileSize = 0;
    NSDate fileModificationDate;
    bool isDirectory = false;
    uint32_t posixPermissions = 0;
};

// What attributesOfFileSystemForPath reports about the volume holding a path,
// in bytes and file nodes. The free figures are what an ordinary user may
// still use (blocks reserved for root are left out).
struct NSFileSystemAttributes {
    uint64_t fileSystemSize = 0;
    uint64_t fileSystemFreeSize = 0;
    uint64_t fileSystemNodes = 0;
    uint64_t fileSystemFreeNodes = 0;
};

// File operations. Failures return false or nullopt and fill *error (domain
// "NSCocoaErrorDomain", the path in userInfo) when error is not null.
class NSFileManager {
  public:
    static std::shared_ptr<NSFileManager> defaultManager();

    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
    // With intermediate directories an existing folder is success; without,
    // the parent must exist and the folder must not.
    bool createDirectoryAtPathWithIntermediateDirectories(const std::string& path,
                                                          bool withIntermediateDirectories,
                                                          NSError* error = nullptr) const;
    // A file, or a folder with everything in it.
    bool removeItemAtPath(const std::string& path, NSError* error = nullptr) const;
    // The destination must not exist. Moves across file systems copy, then remove.
    bool moveItemAtPathToPath(const std::string& source, const std::string& destination,
                              NSError* error = nullptr) const;
    // Folders are copied with their contents. The destination must not exist.
    bool copyItemAtPathToPath(const std::string& source, const std::string& destination,
                              NSError* error = nullptr) const;
    // The names of the folder's entries, sorted.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(
        const std::string& path, NSError* error = nullptr) const;
    std::optional<NSFileAttributes> attributesOfItemAtPath(const std::string& path,
                                                           NSError* error = nullptr) const;
    std::optional<NSFileSystemAttributes> attributesOfFileSystemForPath(
        const std::string& path, NSError* error = nullptr) const;
};
