#include "packages/ZELDownloadStatus.h"

#include "Foundation/NSBundle.h"
#include "Net/NSURLError.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELStagedInstall.h"
#include "packages/ZELZipArchive.h"

namespace {

ZELDownloadFailure failureForURLError(long code) {
    switch (code) {
        case NSURLErrorCancelled:
            return ZELDownloadFailure::Cancelled;
        case NSURLErrorTimedOut:
        case NSURLErrorCannotFindHost:
        case NSURLErrorCannotConnectToHost:
        case NSURLErrorNetworkConnectionLost:
            return ZELDownloadFailure::ConnectionLost;
        case NSURLErrorCannotCreateFile:
        case NSURLErrorCannotWriteToFile:
            return ZELDownloadFailure::CannotWrite;
        default:
            return ZELDownloadFailure::ServerError;
    }
}

ZELDownloadFailure failureForZipError(long code) {
    switch (code) {
        case ZELZipArchive::UnsafeEntry:
            return ZELDownloadFailure::UnsafePackage;
        case ZELZipArchive::TooLarge:
            return ZELDownloadFailure::TooLarge;
        case ZELZipArchive::NotEnoughSpace:
            return ZELDownloadFailure::NotEnoughSpace;
        case ZELZipArchive::CannotWrite:
            return ZELDownloadFailure::CannotWrite;
        default:
            return ZELDownloadFailure::DamagedPackage;
    }
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
        case ZELDownloadFailure::TooLarge:
            return "downloadFailureTooLarge";
        case ZELDownloadFailure::NotUnpacked:
            return "downloadFailureNotUnpacked";
        case ZELDownloadFailure::None:
        case ZELDownloadFailure::Unknown:
            break;
    }
    return nullptr;
}

// The names files keep; new failures are added, none renamed.
constexpr struct {
    ZELDownloadFailure failure;
    const char* name;
} kFailureNames[] = {
    {ZELDownloadFailure::ConnectionLost, "connectionLost"},
    {ZELDownloadFailure::ServerError, "serverError"},
    {ZELDownloadFailure::WrongChecksum, "wrongChecksum"},
    {ZELDownloadFailure::DamagedPackage, "damagedPackage"},
    {ZELDownloadFailure::UnsafePackage, "unsafePackage"},
    {ZELDownloadFailure::NotEnoughSpace, "notEnoughSpace"},
    {ZELDownloadFailure::CannotWrite, "cannotWrite"},
    {ZELDownloadFailure::Cancelled, "cancelled"},
    {ZELDownloadFailure::Interrupted, "interrupted"},
    {ZELDownloadFailure::RefusedAddress, "refusedAddress"},
    {ZELDownloadFailure::TooLarge, "tooLarge"},
    {ZELDownloadFailure::NotUnpacked, "notUnpacked"},
};

}  // namespace

ZELDownloadStatus ZELDownloadStatus::forDownload(ZELDownloadManagerDownload& download,
                                                 bool queueHeld) {
    ZELDownloadStatus status;
    const int state = download.downloadState();
    if (state == ZELDownloadStateDeleted)
        return status;
    status.progress = download.progress();
    status.bytesLoaded = download.bytesLoaded().value_or(0);
    status.downloadSize = download.downloadSize();
    status.installProgress = download.postProcessingProgress().value_or(0);
    switch (state) {
        case ZELDownloadStateLoading:
            status.phase = ZELDownloadPhase::Loading;
            break;
        case ZELDownloadStateUnzipping:
        case ZELDownloadStateUnzipped:
            status.phase = ZELDownloadPhase::Installing;
            status.step = ZELDownloadStep::Unpacking;
            break;
        case ZELDownloadStateAwaitingPostProcessing:
        case ZELDownloadStatePostProcessing:
            status.phase = ZELDownloadPhase::Installing;
            status.step = ZELDownloadStep::Installing;
            break;
        // A crash cut the install off; it runs again when the queue resumes.
        case ZELDownloadStatePostProcessingInterrupted:
            status.phase = ZELDownloadPhase::Paused;
            status.step = ZELDownloadStep::Installing;
            break;
        case ZELDownloadStateLoadedAndMoved:
            return installed();
        case ZELDownloadStateFailed:
        case ZELDownloadStateUnzipFailed:
            status.phase = ZELDownloadPhase::Failed;
            status.failure = download.failure();
            break;
        default:
            status.phase = queueHeld ? ZELDownloadPhase::Paused : ZELDownloadPhase::Queued;
            break;
    }
    return status;
}

ZELDownloadStatus ZELDownloadStatus::installed() {
    ZELDownloadStatus status;
    status.phase = ZELDownloadPhase::Installed;
    status.progress = 1;
    status.installProgress = 1;
    return status;
}

NSError ZELDownloadErrorMake(ZELDownloadFailure failure, const std::string& description) {
    return NSError::errorWithDomain(ZELDownloadErrorDomain, static_cast<long>(failure),
                                    {{NSError::NSLocalizedDescriptionKey, Value(description)}});
}

ZELDownloadFailure ZELDownloadFailureForError(const NSError& error) {
    if (error.domain == ZELDownloadErrorDomain && error.code > 0 &&
        error.code <= static_cast<long>(ZELDownloadFailure::NotUnpacked))
        return static_cast<ZELDownloadFailure>(error.code);
    if (error.domain == NSURLErrorDomain)
        return failureForURLError(error.code);
    if (error.domain == ZELZipArchive::kErrorDomain)
        return failureForZipError(error.code);
    if (error.domain == ZELStagedInstall::kErrorDomain)
        return error.code == ZELStagedInstall::CannotMove ? ZELDownloadFailure::CannotWrite
                                                          : ZELDownloadFailure::DamagedPackage;
    if (error.domain == NSError::NSCocoaErrorDomain) {
        if (error.code == NSError::NSFileWriteOutOfSpaceError)
            return ZELDownloadFailure::NotEnoughSpace;
        if (error.code >= NSError::NSFileWriteUnknownError &&
            error.code < NSError::NSFileWriteOutOfSpaceError)
            return ZELDownloadFailure::CannotWrite;
    }
    return ZELDownloadFailure::Unknown;
}

bool ZELDownloadFailureIsCurableByRetry(ZELDownloadFailure failure) {
    switch (failure) {
        case ZELDownloadFailure::ConnectionLost:
        case ZELDownloadFailure::ServerError:
        case ZELDownloadFailure::Cancelled:
        case ZELDownloadFailure::Interrupted:
        case ZELDownloadFailure::None:
        case ZELDownloadFailure::Unknown:
            return true;
        default:
            return false;
    }
}

bool ZELDownloadFailureDiscardsFile(ZELDownloadFailure failure) {
    return failure == ZELDownloadFailure::WrongChecksum ||
           failure == ZELDownloadFailure::DamagedPackage ||
           failure == ZELDownloadFailure::UnsafePackage || failure == ZELDownloadFailure::TooLarge;
}

std::string ZELDownloadFailureName(ZELDownloadFailure failure) {
    for (const auto& each : kFailureNames) {
        if (each.failure == failure)
            return each.name;
    }
    return failure == ZELDownloadFailure::None ? "none" : "unknown";
}

ZELDownloadFailure ZELDownloadFailureForName(const std::string& name) {
    for (const auto& each : kFailureNames) {
        if (name == each.name)
            return each.failure;
    }
    return ZELDownloadFailure::Unknown;
}

std::optional<std::string> ZELDownloadFailureReason(ZELDownloadFailure failure) {
    const char* key = failureKey(failure);
    return key ? std::optional<std::string>(NSLocalizedString(key)) : std::nullopt;
}
