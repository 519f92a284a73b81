#include "store/CBDownloadStatusText.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"

namespace {

double megabytes(std::optional<int64_t> bytes) {
    return double(bytes.value_or(0)) / 1024.0 / 1024.0;
}

}  // namespace

// The share of the whole download, as its bar shows it: the install's own
// share would read 26.4 % over a bar 70 % full.
std::string CBDownloadStatusText::extractingText(const ZELDownloadStatus& status) {
    return NSStringWithFormat("%@ (%.1f %@)", {{NSLocalizedString("downloadExtracting"),
                                                status.progress * 100.0, "%"}})
        .value_or("");
}

std::optional<std::string> CBDownloadStatusText::failureReason(ZELDownloadFailure failure) {
    return ZELDownloadFailureReason(failure);
}

std::string CBDownloadStatusText::failureAdvice(ZELDownloadFailure failure) {
    if (ZELDownloadFailureDiscardsFile(failure))
        return NSLocalizedString("DownloadFailedAdviceLoadAnew");
    if (failure == ZELDownloadFailure::NotEnoughSpace)
        return NSLocalizedString("DownloadFailedAdviceFreeSpace");
    return NSLocalizedString("DownloadFailedAdviceGoOn");
}

std::string CBDownloadStatusText::stateText(const ZELDownloadStatus& status) {
    switch (status.phase) {
        case ZELDownloadPhase::Loading:
            return NSLocalizedFormat("downloadProgressFormat", {megabytes(status.bytesLoaded),
                                                                megabytes(status.downloadSize)});
        case ZELDownloadPhase::Installing:
            return status.isInstalling() ? extractingText(status)
                                         : NSLocalizedString("downloadExtracting");
        // A held queue's downloads wait like queued ones; an install cut off
        // waits to be finished.
        case ZELDownloadPhase::Paused:
            return NSLocalizedString(status.isWaiting() ? "downloadWaiting"
                                                        : "downloadExtractingPaused");
        case ZELDownloadPhase::Installed:
            return NSLocalizedString("downloadFinished");
        case ZELDownloadPhase::Failed:
            if (auto reason = failureReason(status.failure))
                return NSLocalizedFormat("downloadFailedFormat", {*reason});
            return NSLocalizedString("downloadFailed");
        case ZELDownloadPhase::Queued:
        case ZELDownloadPhase::None:
            break;
    }
    return NSLocalizedString("downloadWaiting");
}

std::optional<std::string> CBDownloadStatusText::coverText(const ZELDownloadStatus& status) {
    if (status.phase == ZELDownloadPhase::Paused)
        return stateText(status);
    if (status.phase == ZELDownloadPhase::Failed)
        return NSLocalizedString("downloadFailed");
    return std::nullopt;
}

UIColor CBDownloadStatusText::stateColor(const ZELDownloadStatus& status) {
    return status.phase == ZELDownloadPhase::Failed
               ? UIColor::colorWithRedGreenBlueAlpha(1.0, 0.25, 0.25, 1.0)
               : UIColor::darkGrayColor();
}
