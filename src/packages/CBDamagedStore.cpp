#include "packages/CBDamagedStore.h"

#include <filesystem>

#include "Foundation/NSFileManager+SetAside.h"
#include "Foundation/NSLog.h"

std::optional<CBDamagedStore::SetAside> CBDamagedStore::setAsideStoreAtPath(
    const std::string& path, const std::string& why) {
    std::error_code missing;
    if (!std::filesystem::is_regular_file(path, missing))
        return std::nullopt;
    std::string reason;
    std::vector<std::string> removed;
    // A journal left by the damaged store would be rolled into the new one.
    auto kept =
        NSFileManagerSetAsideDamagedFile(path, {"-journal", "-wal", "-shm"}, &reason, &removed);
    if (!kept) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the damaged store %s cannot be set aside: %s",
                       path.c_str(), reason.c_str());
        return std::nullopt;
    }
    NSLogWithLevel(NSLogLevel::Error, "Kelvara: the store %s does not open (%s); set aside as %s",
                   path.c_str(), why.c_str(), kept->c_str());
    return SetAside{std::move(*kept), std::move(removed)};
}
