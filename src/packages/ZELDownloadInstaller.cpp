#include "packages/ZELDownloadInstaller.h"

#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELStagedInstall.h"

void ZELDownloadInstaller::downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                                          const Download& download) {
    NSError error;
    const bool installed = ZELStagedInstall::installStagedItemAtPathToPath(
        download->stagedItemPath(), download->installPath(), nullptr, nullptr, &error);
    engine.postProcessingFinishedForDownload(download,
                                             installed ? std::nullopt : std::optional(error));
}
