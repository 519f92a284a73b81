#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CoreData/NSManagedObject.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "packages/ZELDownloadStatus.h"

// The states of a queued download. The road of a good download is
// Waiting -> Loading -> Unzipping -> Unzipped -> AwaitingPostProcessing ->
// PostProcessing -> LoadedAndMoved; a network or integrity failure ends in
// Failed, a refused archive in UnzipFailed (its zip removed, as it is worthless).
enum ZELDownloadState : int {
    ZELDownloadStateDeleted = -1,
    ZELDownloadStateWaiting = 0,  // waiting or paused
    ZELDownloadStateLoading = 1,
    ZELDownloadStateAwaitingPostProcessing = 2,
    ZELDownloadStatePostProcessing = 3,
    ZELDownloadStatePostProcessingInterrupted = 4,
    ZELDownloadStateLoadedAndMoved = 5,
    ZELDownloadStateFailed = 6,
    ZELDownloadStateUnzipping = 7,
    ZELDownloadStateUnzipped = 8,
    ZELDownloadStateUnzipFailed = 9,
};

// One queued download, a row of the engine's queue store. Used on the main
// thread only, like the engine's context.
class ZELDownloadManagerDownload : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "download";
    static void registerClass();

    std::string identifier();
    std::string type();
    std::optional<std::string> title();
    std::optional<std::string> subTitle();
    // Where it is loaded from, as the queue keeps it: relative to the map
    // store for a download from the store ("map/LI/liechtenstein.zip").
    std::string address();
    void setAddress(const std::string& address);
    // The URL it loads from now: its address on the store of this start;
    // empty when the address is refused (ZELDownloadAddress).
    std::string url();
    // The folder it is installed in, in this start's folders. The queue
    // keeps a folder of the application's home relative to the home
    // ("Documents/maps"), so that a moved home (`mv`, a restored backup,
    // other XDG folders, another --home) loads into itself, never into the
    // folder it left; another folder is kept as given. Empty when what is
    // kept is neither.
    std::string destinationPath();
    void setDestinationPath(const std::string& path);
    // The destination as the queue keeps it.
    std::string keptDestinationPath();
    // A destination kept as an absolute path (by earlier versions, or given
    // outside the home) is read as relative to the home when it lies under
    // one, this start's or another root's. false, with the reason in
    // *reason, when it lies outside every home: loading it would write
    // where the application no longer lives.
    bool keepDestinationRelativeToHome(std::string* reason);
    // -1 once the record is deleted.
    int downloadState();
    void setDownloadState(int state);
    std::optional<int64_t> bytesLoaded();
    void setBytesLoaded(std::optional<int64_t> bytes);
    std::optional<int64_t> downloadSize();
    void setDownloadSize(std::optional<int64_t> bytes);
    std::optional<double> postProcessingProgress();
    void setPostProcessingProgress(double progress);
    double progressReservedForPostProcessing();
    int priority();
    std::optional<NSDate> dateAdded();
    int failedConnectionsCount();
    void setFailedConnectionsCount(int count);
    // The catalogue's identifier of what is downloaded (for a map: the map's).
    std::optional<std::string> payLoad();

    // What the server said of the file on the first answer: the integrity tag
    // (X-Amz-Meta-Md5-Hash, else the entity tag, else Content-MD5), the
    // entity tag and Last-Modified for If-Range, and the MD5 to check at the end.
    std::optional<std::string> integrityTag();
    std::optional<std::string> entityTag();
    std::optional<std::string> lastModified();
    std::optional<std::string> md5Hash();
    void setServerTags(std::optional<std::string> integrityTag,
                       std::optional<std::string> entityTag,
                       std::optional<std::string> lastModified, std::optional<std::string> md5Hash);

    // Bytes loaded / size scaled into the share not reserved for
    // post-processing, plus the reserved share times the post-processing
    // progress; 0 until bytes and a size are known; always within 0...1.
    double progress();

    // Files of the download: the zip (also while partial) and the staging
    // folder the zip is unpacked into, both in the destination folder.
    std::string zipPath();
    std::string stagingPath();
    // The unpacked package, the one item of the staging folder (for a map
    // the folder named after the identifier), and where it is installed.
    std::string stagedItemPath();
    std::string installPath();

    // Why the last attempt failed; the engine keeps it beside the queue
    // store, so it outlives the run of the program.
    const std::optional<NSError>& lastError() const { return lastError_; }
    ZELDownloadFailure failure() const {
        return lastError_ ? failure_ : ZELDownloadFailure::Unknown;
    }
    void setLastError(std::optional<NSError> error, ZELDownloadFailure failure) {
        lastError_ = std::move(error);
        failure_ = lastError_ ? failure : ZELDownloadFailure::None;
    }

    // The progress and the status last sent to the engine's delegates
    // (memory only).
    double reportedProgress() const { return reportedProgress_; }
    void setReportedProgress(double progress) { reportedProgress_ = progress; }
    const std::optional<ZELDownloadStatus>& reportedStatus() const { return reportedStatus_; }
    void setReportedStatus(const ZELDownloadStatus& status) { reportedStatus_ = status; }

  private:
    std::optional<NSError> lastError_;
    ZELDownloadFailure failure_ = ZELDownloadFailure::None;
    double reportedProgress_ = -1.0;
    std::optional<ZELDownloadStatus> reportedStatus_;
};
