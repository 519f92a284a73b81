#include "packages/CBDamagedStore.h"

#include <filesystem>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

bool CBDamagedStore::setAsideStoreAtPath(const std::string& path, const std::string& why) {
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return false;
    const std::string kept = path + ".corrupt";
    fs::rename(path, kept, error);
    if (error) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the damaged store %s cannot be set aside: %s",
                       path.c_str(), error.message().c_str());
        return false;
    }
    // A journal left by the damaged store would be rolled into the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(path + suffix, ignored))
            fs::rename(path + suffix, kept + suffix, ignored);
    }
    NSLogWithLevel(NSLogLevel::Error, "Kelvara: the store %s does not open (%s); set aside as %s",
                   path.c_str(), why.c_str(), kept.c_str());
    return true;
}
