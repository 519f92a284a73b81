#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZELDownloadManagerEngine;
class ZELDownloadManagerDownload;

// Installs the packages of one download type. The engine hands every
// unpacked package to the installer registered for its type
// (`setInstallerForType`); a type without one is moved into place as it is,
// which is what this base class does.
//
// Called on the main thread.
class ZELDownloadInstaller {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    virtual ~ZELDownloadInstaller() = default;

    // The top-level items the package's zip may hold, when it is not the one
    // item it is for every other type (a map's: the folder named after it).
    virtual std::optional<std::vector<std::string>> downloadManagerStagedItemNamesForDownload(
        ZELDownloadManagerEngine&, const Download&) {
        return std::nullopt;
    }
    // Installs the staged package (the download's stagedItemPath(), or the
    // staging folder for a package of several items), reporting progress with
    // the engine's setPostProcessingProgressForDownload() and ending, now or
    // later, with its postProcessingFinishedForDownload().
    virtual void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                                const Download& download);
};
