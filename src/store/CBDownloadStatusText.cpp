#include "store/CBDownloadStatusText.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"

namespace {

double megabytes(std::optional<int64_t> bytes) {
    return double(bytes.value_or(0)) / 1024.0 / 1024.0;
}

const char* failureKey(ZELDownloadFailure failure) {
    switch (failure) {
        case ZELDownloadFailure::ConnectionLost:
            return "downloadFailureConnectionLost";
        case ZELDownloadFailure::ServerError:
            return "downloadFailureServerError";
        case ZELDownloadFailure::WrongChecksum:
            return "downloadFailureWrongChecksum";
        case ZELDownloadFailure::DamagedPackage:
            return "downloadFailureDamagedPackage";
        case ZELDownloadFailure::UnsafePackage:
            return "downloadFailureUnsafePackage";
        case ZELDownloadFailure::NotEnoughSpace:
            return "downloadFailureNotEnoughSpace";
        case ZELDownloadFailure::CannotWrite:
            return "downloadFailureCannotWrite";
        case ZELDownloadFailure::Cancelled:
            return "downloadFailureCancelled";
        case ZELDownloadFailure::Interrupted:
            return "downloadFailureInterrupted";
        case ZELDownloadFailure::RefusedAddress:
            return "downloadFailureRefusedAddress";
        case ZELDownloadFailure::None:
        case ZELDownloadFailure::Unknown:
            break;
    }
    return nullptr;
}

}  // namespace

std::string CBDownloadStatusText::extractingText(const ZELDownloadStatus& status) {
    return NSStringWithFormat("%@ (%.1f %@)", {{NSLocalizedString("downloadExtracting"),
                                                status.installProgress * 100.0, "%"}})
        .value_or("");
}

std::optional<std::string> CBDownloadStatusText::failureReason(ZELDownloadFailure failure) {
    const char* key = failureKey(failure);
    return key ? std::optional<std::string>(NSLocalizedString(key)) : std::nullopt;
}

std::string CBDownloadStatusText::stateText(const ZELDownloadStatus& status) {
    switch (status.phase) {
        case ZELDownloadPhase::Loading:
            return NSLocalizedFormat("downloadProgressFormat", {megabytes(status.bytesLoaded),
                                                                megabytes(status.downloadSize)});
        case ZELDownloadPhase::Installing:
            return status.isInstalling() ? extractingText(status)
                                         : NSLocalizedString("downloadExtracting");
        case ZELDownloadPhase::Paused:
            return NSLocalizedString(status.isWaiting() ? "downloadPaused"
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
        return NSLocalizedString("downloadPaused");
    if (status.phase == ZELDownloadPhase::Failed)
        return NSLocalizedString("downloadFailed");
    return std::nullopt;
}

UIColor CBDownloadStatusText::stateColor(const ZELDownloadStatus& status) {
    return status.phase == ZELDownloadPhase::Failed
               ? UIColor::colorWithRedGreenBlueAlpha(1.0, 0.25, 0.25, 1.0)
               : UIColor::darkGrayColor();
}
