#include "packages/ZELStagedInstall.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

bool fail(NSError* error, ZELStagedInstall::Code code, const std::string& description,
          const std::string& path) {
    NSLogWithLevel(NSLogLevel::Warning, "Install of %s failed: %s", path.c_str(),
                   description.c_str());
    if (error && error->domain.empty()) {
        *error = NSError::errorWithDomain(ZELStagedInstall::kErrorDomain, code,
                                          {{NSError::NSLocalizedDescriptionKey, Value(description)},
                                           {NSError::NSFilePathErrorKey, Value(path)}});
    }
    return false;
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

}  // namespace

bool ZELStagedInstall::installStagedItemAtPathToPath(const std::string& stagedPath,
                                                     const std::string& installPath,
                                                     const Step& validate, const Step& record,
                                                     NSError* error) {
    if (error)
        *error = NSError{};
    if (!exists(stagedPath))
        return fail(error, ZELStagedInstall::NotValid, "Nothing staged at " + stagedPath,
                    installPath);
    if (validate && !validate(stagedPath, error))
        return fail(error, ZELStagedInstall::NotValid, "The staged package is not valid",
                    installPath);
    recoverInterruptedInstallAtPath(installPath);
    const std::string previous = previousPathForInstallPath(installPath);
    const bool hadPrevious = exists(installPath);
    if (hadPrevious && std::rename(installPath.c_str(), previous.c_str()) != 0)
        return fail(error, ZELStagedInstall::CannotMove,
                    std::string("Cannot set the installed item aside: ") + std::strerror(errno),
                    installPath);
    std::error_code ignored;
    fs::create_directories(fs::path(installPath).parent_path(), ignored);
    const bool movedIn = std::rename(stagedPath.c_str(), installPath.c_str()) == 0;
    const std::string moveProblem = movedIn ? "" : std::strerror(errno);
    if (movedIn && (!record || record(installPath, error))) {
        fs::remove_all(previous, ignored);
        return true;
    }
    // Back to how it was: the new item out, the previous one in.
    if (movedIn)
        fs::remove_all(installPath, ignored);
    if (hadPrevious && std::rename(previous.c_str(), installPath.c_str()) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot restore %s from %s: %s", installPath.c_str(),
                       previous.c_str(), std::strerror(errno));
    }
    return fail(error, ZELStagedInstall::CannotMove,
                movedIn ? "The install could not be recorded"
                        : "Cannot move the staged package in: " + moveProblem,
                installPath);
}

void ZELStagedInstall::recoverInterruptedInstallAtPath(const std::string& installPath) {
    const std::string previous = previousPathForInstallPath(installPath);
    if (!exists(previous))
        return;
    std::error_code ignored;
    if (exists(installPath)) {
        fs::remove_all(previous, ignored);
    } else if (std::rename(previous.c_str(), installPath.c_str()) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot restore %s: %s", installPath.c_str(),
                       std::strerror(errno));
    }
}
