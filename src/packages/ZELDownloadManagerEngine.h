#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSPredicate.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "foundation/ZELMulticastDelegate.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"
#include "packages/ZELDownloadRequest.h"
#include "packages/ZELDownloadStatus.h"

class DispatchQueue;
class NSManagedObjectContext;
class ZELDownloadFailureFile;
class ZELDownloadInstaller;
class NSPersistentStoreCoordinator;
class ZELDownloadTransfer;
struct ZELDownloadServerTags;
struct ZELDownloadTransferResult;

// The download engine: a persistent queue of downloads, loaded one at a time
// over resumable HTTP requests, verified, unpacked into a staging folder and
// handed to the installer registered for their type. Its delegates observe:
// each hears every step, the typed status of a download as it changes, and
// its progress.
//
// A download from the map store keeps its address relative to the store and
// loads from the store of this start (CBMapStoreURLManager); an address
// that names another host, no host or a scheme other than http(s) is
// refused and the download fails without a request. Why a download failed
// is kept beside the queue store, so it is still told after a restart.
//
// Everything public runs on the main thread, where the delegates hear of it.
// File writes run on the serial queue "kelvara.downloader", unpacking on the
// global queue. Resuming is disabled when the engine is made, until the
// application allows it with setResumeDisabled(false).
class ZELDownloadManagerEngine : public std::enable_shared_from_this<ZELDownloadManagerEngine> {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    // Opens (or creates) the queue store and repairs what an earlier run left
    // half done (full addresses on the store's host become relative to the
    // store, absolute destinations under a home relative to the home; a
    // download whose destination lies outside every home is refused and
    // leaves the queue). A store that does not open is set aside as "*.corrupt" and an
    // empty one made; nullptr when even that cannot be opened.
    static std::shared_ptr<ZELDownloadManagerEngine> createWithStorePath(const std::string& path);
    ~ZELDownloadManagerEngine();

    void addDelegate(const std::shared_ptr<ZELDownloadManagerEngineDelegate>& delegate);
    void removeDelegate(const std::shared_ptr<ZELDownloadManagerEngineDelegate>& delegate);

    // The installer of a type's packages, held weakly; it replaces the one
    // set before.
    void setInstallerForType(const std::shared_ptr<ZELDownloadInstaller>& installer,
                             const std::string& type);
    // The type's installer while it lives, else nullptr (its packages are
    // then moved into place as they are).
    std::shared_ptr<ZELDownloadInstaller> installerForType(const std::string& type) const;

    // The queued download with the request's identifier and type, unchanged,
    // when there is one; else a new one, queued, announced with didAdd and
    // saved; nullptr when the request does not validate.
    Download addDownload(const ZELDownloadRequest& request);
    // addDownload, with the request's fields given one by one.
    Download
    addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
        const std::string& url, const std::string& destinationPath, const std::string& identifier,
        const std::optional<std::string>& title, const std::optional<std::string>& subTitle,
        std::optional<int64_t> downloadSize, const std::string& type, int priority,
        const std::optional<std::string>& payLoad,
        std::optional<double> progressReservedForPostProcessing);

    Download downloadForIdentifierOfType(const std::optional<std::string>& identifier,
                                         const std::string& type);
    // Ordered by failed connections ascending, priority descending, date
    // added ascending; nullopt on a store error.
    std::optional<std::vector<Download>> currentQueue();
    size_t currentQueueLength();

    // What the download is at, read from its record: the one place the
    // queue's states are read for showing.
    ZELDownloadStatus statusForDownload(const Download& download) const;

    bool isDownloading() const;
    bool isResumeDisabled() const { return resumeDisabled_; }
    void setResumeDisabled(bool disabled);
    void setIsResumeDisabled(bool disabled) { setResumeDisabled(disabled); }
    // The user paused the queue: nothing loads until resumeDownloads().
    bool isPaused() const { return paused_; }

    // Ends a pause and starts the first download that waits, or failed for a
    // reason a retry may cure (ZELDownloadFailureIsCurableByRetry), unless
    // resuming is disabled or a download is running. A download refused as
    // damaged, unsafe or too large waits for retryDownload.
    void resumeDownloads();
    // Stops a running transfer (state 1 only: unpacking and post-processing
    // go on), puts it back to waiting and holds the queue.
    void pauseDownloads();
    // Puts a failed download back in line with the bytes it has (the next
    // request asks for the rest) and resumes the queue; for a download that
    // waits or is paused, resumes the queue.
    void retryDownload(const Download& download);
    // Cancels and removes the downloads, their files and staging folders;
    // downloads being unpacked or post-processed are skipped.
    void cancelDownloads(const std::vector<Download>& downloads);

    // Points the queued downloads of a type at a new destination folder (the
    // application's folders moved with an update). Waiting and loading ones
    // go on; one that was unpacked or installed in the old folder fails and
    // loads anew from the start.
    void moveDownloadsOfTypeToDestinationPath(const std::string& type, const std::string& path);

    // Called by the installer of a download's type.
    void setPostProcessingProgressForDownload(double progress, const Download& download);
    // With an error the download fails (its zip kept for a retry); without,
    // it ends in state 5 and leaves the queue.
    void postProcessingFinishedForDownload(const Download& download,
                                           const std::optional<NSError>& error);

    bool saveChanges();

    // The serial queue file writes run on.
    const std::shared_ptr<DispatchQueue>& downloaderQueue() const { return queue_; }

    // The most a download may load: its expected size (known from the
    // catalogue before the server says anything) and a small margin, else a
    // generous cap, so that no answer can fill the disk.
    static int64_t maximumSizeForExpectedSize(std::optional<int64_t> expectedSize);
    static constexpr int64_t kMaximumSizeWithoutExpectedSize = int64_t{4} << 30;

    ZELDownloadManagerEngine();

  private:
    bool openStore(const std::string& path);
    void repairInterruptedDownloads();
    std::optional<std::vector<Download>> fetch(
        const std::string& predicate, size_t limit,
        const std::vector<NSPredicateArgument>& arguments = {});
    template <class Call>
    void tellDelegates(Call call);
    // Tells the delegates the download's status when it is not what they
    // heard last.
    void tellStatus(const Download& download);
    void tellStatusOfWaitingDownloads();
    void setStateAndTellStatus(const Download& download, int state);

    // False when the download's address is refused: it failed unasked.
    bool startDownload(const Download& download);
    void setFailure(const Download& download, std::optional<NSError> error,
                    ZELDownloadFailure failure);
    void continueWithNextDownload();
    void startFirstDownloadInStates(std::initializer_list<int> states);
    void transferProgressed(const Download& download, int64_t bytesLoaded,
                            std::optional<int64_t> size, const ZELDownloadServerTags& tags);
    void transferFinished(const Download& download, const ZELDownloadTransferResult& result);
    void stopTransfer();
    // false when a delegate answers that the package is not to be unpacked.
    bool delegatesLetUnzipDownload(const Download& download);
    void startUnzipping(const Download& download);
    void unzipFinished(const Download& download, std::optional<NSError> error);
    void startPostProcessing(const Download& download);
    void fail(const Download& download, int state, const NSError& error,
              ZELDownloadFailure failure);
    // Removes the loaded file of a download whose failure makes it worthless,
    // so that a retry loads the package anew.
    void discardFileOfFailedDownload(const Download& download);
    void removeDownload(const Download& download, bool cancelled);
    void reportProgress(const Download& download, bool lastOfPhase);

    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    std::shared_ptr<NSManagedObjectContext> context_;
    std::shared_ptr<DispatchQueue> queue_;
    std::unique_ptr<ZELDownloadFailureFile> failures_;
    ZELMulticastDelegate<ZELDownloadManagerEngineDelegate> delegates_;
    std::map<std::string, std::weak_ptr<ZELDownloadInstaller>> installers_;
    std::shared_ptr<ZELDownloadTransfer> transfer_;
    Download running_;  // the download being transferred
    // Callbacks of a stopped transfer that were already on their way carry
    // an older generation and are dropped.
    uint64_t transferGeneration_ = 0;
    bool resumeDisabled_ = true;
    bool paused_ = false;
    NSDate lastSave_;
};
