#pragma once

#include <memory>
#include <optional>
#include <string>

class ZELDownloadManagerEngine;
class ZELDownloadManagerDownload;
struct ZELDownloadStatus;

// What the download engine tells the objects that follow it. Every message is
// optional and arrives on the main thread. Delegates observe, and may hold a
// loaded package back from unpacking; the installing of a package is the
// installer's of its type (ZELDownloadInstaller), not a delegate's.
class ZELDownloadManagerEngineDelegate {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    virtual ~ZELDownloadManagerEngineDelegate() = default;

    virtual void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) {}
    virtual void downloadManagerWillStartLoading(ZELDownloadManagerEngine&, const Download&) {}
    // The download's status (ZELDownloadManagerEngine::statusForDownload)
    // changed its phase, step or failure; progress alone comes below.
    virtual void downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                           const ZELDownloadStatus&,
                                                           const Download&) {}
    // Sent when the progress moved by more than 0.005, and always with the
    // last value of a phase (transfer, post-processing).
    virtual void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&, double,
                                                             const Download&) {}
    virtual void downloadManagerWillPauseLoading(ZELDownloadManagerEngine&, const Download&) {}
    // The transfer is complete and verified.
    virtual void downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine&,
                                                        const Download&) {}
    // The download failed (network, integrity, archive or post-processing);
    // the download's lastError() says why.
    virtual void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download&) {}
    // Asked before a loaded package is unpacked; nullopt: no answer. One
    // false is enough: the package is not unpacked, and the download fails
    // (ZELDownloadFailure::NotUnpacked) keeping its file as loaded.
    virtual std::optional<bool> downloadManagerShouldUnzipDownload(ZELDownloadManagerEngine&,
                                                                   const Download&) {
        return std::nullopt;
    }
    virtual void downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                           const Download&) {}
    // The staged package goes to the installer of its type.
    virtual void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                                  const Download&) {}
    virtual void downloadManagerDidCancelDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                                       const std::string&,
                                                                       const std::string&) {}
    virtual void downloadManagerWillRemove(ZELDownloadManagerEngine&, const Download&) {}
    virtual void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                                       const std::string&,
                                                                       const std::string&) {}
    virtual void downloadManagerDidChangeResumeDisabledStateTo(ZELDownloadManagerEngine&, bool) {}
};
