#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZELDownloadManagerEngine;
class ZELDownloadManagerDownload;

// What the download engine tells the objects that follow it. Every message is
// optional and arrives on the main thread. The two questions answer nullopt
// when a delegate has no say.
class ZELDownloadManagerEngineDelegate {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    virtual ~ZELDownloadManagerEngineDelegate() = default;

    virtual void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) {}
    virtual void downloadManagerWillStartLoading(ZELDownloadManagerEngine&, const Download&) {}
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
    // Whether the finished file is a zip to unpack; when no delegate answers
    // it is unpacked.
    virtual std::optional<bool> downloadManagerShouldUnzipDownload(ZELDownloadManagerEngine&,
                                                                   const Download&) {
        return std::nullopt;
    }
    // The top-level items a package of this download may hold, when it is not
    // the one folder named after the identifier; the delegate that answers
    // also takes the download's post-processing.
    virtual std::optional<std::vector<std::string>> downloadManagerStagedItemNamesForDownload(
        ZELDownloadManagerEngine&, const Download&) {
        return std::nullopt;
    }
    virtual void downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                           const Download&) {}
    // The staged package awaits its taker. The delegate that installs packages
    // of this type answers true and later calls the engine's
    // postProcessingFinishedForDownload(); when nobody takes it the download
    // ends at once.
    virtual std::optional<bool> downloadManagerDidStartPostProcessingForDownload(
        ZELDownloadManagerEngine&, const Download&) {
        return std::nullopt;
    }
    virtual void downloadManagerDidCancelDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                                       const std::string&,
                                                                       const std::string&) {}
    virtual void downloadManagerWillRemove(ZELDownloadManagerEngine&, const Download&) {}
    virtual void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                                       const std::string&,
                                                                       const std::string&) {}
    virtual void downloadManagerDidChangeResumeDisabledStateTo(ZELDownloadManagerEngine&, bool) {}
};
