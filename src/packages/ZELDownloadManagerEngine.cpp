#include "packages/ZELDownloadManagerEngine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <set>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "packages/CBDamagedStore.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadAddress.h"
#include "packages/ZELDownloadFailureFile.h"
#include "packages/ZELDownloadInstaller.h"
#include "packages/ZELDownloadTransfer.h"
#include "packages/ZELStagedInstall.h"
#include "packages/ZELZipArchive.h"

namespace {

constexpr double kProgressStep = 0.005;
// Seconds between saves of a running transfer's byte count.
constexpr double kSaveInterval = 1.0;
// What a package may have beyond the expected size: a twentieth and a
// little, for a package rebuilt since the catalogue was made.
constexpr int64_t kSizeMarginDivisor = 20;
constexpr int64_t kSizeMarginBytes = int64_t{256} << 10;

void removeQuietly(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// Read once; a bundle without the model is asked again next time.
std::shared_ptr<NSManagedObjectModel> queueModel() {
    static std::mutex mutex;
    static std::shared_ptr<NSManagedObjectModel> model;
    std::lock_guard lock(mutex);
    if (!model) {
        const auto path =
            NSBundle::mainBundle()->pathForResource("ZELDownloadManagerQueue", "model");
        if (path)
            model = NSManagedObjectModel::modelWithContentsOfFile(*path);
    }
    return model;
}

// The failure an error stands for, or `otherwise` for an error of a domain
// that says nothing more.
ZELDownloadFailure failureOf(const NSError& error, ZELDownloadFailure otherwise) {
    const ZELDownloadFailure failure = ZELDownloadFailureForError(error);
    return failure == ZELDownloadFailure::Unknown ? otherwise : failure;
}

// The server's size fills in an expected size that was not known; a known
// one stays, so that the bound of the next attempt is still the catalogue's
// and not what the server claimed.
void keepServerSize(ZELDownloadManagerDownload& download, std::optional<int64_t> size) {
    if (size && download.downloadSize().value_or(0) <= 0)
        download.setDownloadSize(size);
}

}  // namespace

std::shared_ptr<ZELDownloadManagerEngine> ZELDownloadManagerEngine::createWithStorePath(
    const std::string& path) {
    ZELDownloadManagerDownload::registerClass();
    auto engine = std::make_shared<ZELDownloadManagerEngine>();
    // A damaged queue would keep the store away for good: it is set aside
    // and the queue starts empty. Without a model no file is to blame.
    if (!queueModel()) {
        NSLogWithLevel(NSLogLevel::Error,
                       "ZELDownloadManagerEngine: no model ZELDownloadManagerQueue.model");
        return nullptr;
    }
    // A store may open and still fail on its first read.
    const auto opens = [&] { return engine->openStore(path) && engine->fetch("", 0); };
    if (!opens() && !(CBDamagedStore::setAsideStoreAtPath(path, "the download queue") && opens()))
        return nullptr;
    engine->queue_ = DispatchQueue::createSerial("kelvara.downloader");
    engine->failures_ =
        std::make_unique<ZELDownloadFailureFile>(ZELDownloadFailureFile::pathForQueueStore(path));
    engine->repairInterruptedDownloads();
    return engine;
}

ZELDownloadManagerEngine::ZELDownloadManagerEngine() = default;

ZELDownloadManagerEngine::~ZELDownloadManagerEngine() {
    if (transfer_)
        transfer_->cancel();
}

bool ZELDownloadManagerEngine::openStore(const std::string& path) {
    const auto model = queueModel();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    coordinator_ = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError error;
    if (!coordinator_->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, &error)) {
        NSLogWithLevel(NSLogLevel::Error, "Unresolved error %s, %s", error.description().c_str(),
                       path.c_str());
        return false;
    }
    context_ = std::make_shared<NSManagedObjectContext>();
    context_->setPersistentStoreCoordinator(coordinator_);
    context_->setRetainsRegisteredObjects(true);
    return true;
}

// A run that ended mid-way left downloads in states nothing drives any more:
// a transfer goes back to waiting (its partial file is resumed), an unpacked
// or half-installed package is unpacked again from its kept zip. A download
// kept with the store's full address of an earlier start (another port)
// loads from this start's store, and one kept with the absolute destination
// of an earlier home loads into the home of this start; one whose
// destination lies outside every home leaves the queue, its files untouched,
// so that it is offered anew. Failed downloads get their reasons back.
void ZELDownloadManagerEngine::repairInterruptedDownloads() {
    const auto downloads = fetch("", 0);
    if (!downloads)
        return;
    const auto store = CBMapStoreURLManager::baseURL();
    std::set<std::string> queued;
    for (const auto& download : *downloads) {
        if (std::string refusal; !download->keepDestinationRelativeToHome(&refusal)) {
            NSLogWithLevel(NSLogLevel::Warning,
                           "Download %s of type %s refused: %s; it leaves the queue and can be "
                           "asked for again",
                           download->identifier().c_str(), download->type().c_str(),
                           refusal.c_str());
            context_->deleteObject(download);
            continue;
        }
        queued.insert(
            ZELDownloadFailureFile::keyForDownload(download->type(), download->identifier()));
        if (store) {
            if (auto relative = ZELDownloadAddress::storeAddressOfURL(download->address(), *store))
                download->setAddress(*relative);
        }
        const int state = download->downloadState();
        if (state == ZELDownloadStateFailed || state == ZELDownloadStateUnzipFailed) {
            if (auto entry = failures_->entryForDownload(download->type(), download->identifier()))
                download->setLastError(entry->error, entry->failure);
            // An earlier run may have kept it.
            if (ZELDownloadFailureDiscardsFile(download->failure()))
                discardFileOfFailedDownload(download);
        }
        if (state == ZELDownloadStateLoading) {
            download->setDownloadState(ZELDownloadStateWaiting);
        } else if (state == ZELDownloadStateUnzipping || state == ZELDownloadStateUnzipped ||
                   state == ZELDownloadStateAwaitingPostProcessing) {
            removeQuietly(download->stagingPath());
            download->setDownloadState(ZELDownloadStateWaiting);
        } else if (state == ZELDownloadStatePostProcessing) {
            removeQuietly(download->stagingPath());
            ZELStagedInstall::recoverInterruptedInstallAtPath(download->installPath());
            download->setDownloadState(ZELDownloadStatePostProcessingInterrupted);
        }
    }
    failures_->keepOnlyEntries(queued);
    saveChanges();
}

void ZELDownloadManagerEngine::addDelegate(
    const std::shared_ptr<ZELDownloadManagerEngineDelegate>& delegate) {
    delegates_.add(delegate);
}

void ZELDownloadManagerEngine::removeDelegate(
    const std::shared_ptr<ZELDownloadManagerEngineDelegate>& delegate) {
    delegates_.remove(delegate);
}

void ZELDownloadManagerEngine::setInstallerForType(
    const std::shared_ptr<ZELDownloadInstaller>& installer, const std::string& type) {
    installers_[type] = installer;
}

std::shared_ptr<ZELDownloadInstaller> ZELDownloadManagerEngine::installerForType(
    const std::string& type) const {
    const auto found = installers_.find(type);
    return found != installers_.end() ? found->second.lock() : nullptr;
}

template <class Call>
void ZELDownloadManagerEngine::tellDelegates(Call call) {
    for (const auto& delegate : delegates_.currentDelegates())
        call(*delegate);
}

ZELDownloadStatus ZELDownloadManagerEngine::statusForDownload(const Download& download) const {
    return download ? ZELDownloadStatus::forDownload(*download, paused_) : ZELDownloadStatus{};
}

void ZELDownloadManagerEngine::tellStatus(const Download& download) {
    const ZELDownloadStatus status = statusForDownload(download);
    const auto& told = download->reportedStatus();
    if (told && told->sameStateAs(status))
        return;
    download->setReportedStatus(status);
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerChangedStatusToForDownload(*this, status, download);
    });
}

// Pausing and resuming the queue changes what every waiting download shows.
void ZELDownloadManagerEngine::tellStatusOfWaitingDownloads() {
    const auto queue = currentQueue();
    if (!queue)
        return;
    for (const auto& download : *queue) {
        if (download->downloadState() == ZELDownloadStateWaiting)
            tellStatus(download);
    }
}

void ZELDownloadManagerEngine::setStateAndTellStatus(const Download& download, int state) {
    download->setDownloadState(state);
    saveChanges();
    tellStatus(download);
}

bool ZELDownloadManagerEngine::saveChanges() {
    NSError error;
    if (context_->hasChanges() && !context_->save(&error)) {
        NSLogWithLevel(NSLogLevel::Error, "Unresolved error %s", error.description().c_str());
        return false;
    }
    return true;
}

std::optional<std::vector<ZELDownloadManagerEngine::Download>> ZELDownloadManagerEngine::fetch(
    const std::string& predicate, size_t limit, const std::vector<NSPredicateArgument>& arguments) {
    NSFetchRequest request(ZELDownloadManagerDownload::kEntityName);
    if (!predicate.empty())
        request.predicate = NSPredicate::predicateWithFormat(predicate, arguments);
    request.fetchLimit = limit;
    request.sortDescriptors = {
        NSSortDescriptor::sortDescriptorWithKey("failedConnectionsCount", true),
        NSSortDescriptor::sortDescriptorWithKey("priority", false),
        NSSortDescriptor::sortDescriptorWithKey("dateAdded", true)};
    NSError error;
    const auto objects = context_->executeFetchRequest(request, &error);
    if (!objects) {
        NSLogWithLevel(NSLogLevel::Error, "Unresolved error %s", error.description().c_str());
        return std::nullopt;
    }
    std::vector<Download> downloads;
    for (const auto& object : *objects) {
        if (auto download = std::dynamic_pointer_cast<ZELDownloadManagerDownload>(object))
            downloads.push_back(std::move(download));
    }
    return downloads;
}

ZELDownloadManagerEngine::Download ZELDownloadManagerEngine::addDownload(
    const ZELDownloadRequest& request) {
    if (!CBMapStoreIsValidIdentifier(request.identifier) ||
        !CBMapStoreIsValidIdentifier(request.type) || request.url.empty() ||
        !request.destinationPath.starts_with("/")) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Download %s of type %s refused: bad identifier or "
                       "path",
                       request.identifier.c_str(), request.type.c_str());
        return nullptr;
    }
    if (auto existing = downloadForIdentifierOfType(request.identifier, request.type))
        return existing;
    auto download = std::dynamic_pointer_cast<ZELDownloadManagerDownload>(
        context_->insertNewObjectForEntityForName(ZELDownloadManagerDownload::kEntityName));
    if (!download)
        return nullptr;
    download->setAddress(
        ZELDownloadAddress::addressToKeep(request.url, CBMapStoreURLManager::baseURL()));
    download->setDestinationPath(request.destinationPath);
    download->setValueForKey("identifier", request.identifier);
    download->setValueForKey("type", request.type);
    if (request.title)
        download->setValueForKey("title", *request.title);
    if (request.subTitle)
        download->setValueForKey("subTitle", *request.subTitle);
    download->setDownloadSize(request.downloadSize);
    download->setValueForKey("priority", request.priority);
    if (request.payLoad)
        download->setValueForKey("payLoad", *request.payLoad);
    download->setValueForKey("progressReservedForPostProcessing",
                             std::clamp(request.progressReservedForPostProcessing, 0.0, 1.0));
    download->setValueForKey("dateAdded", NSDate::date());
    download->setDownloadState(ZELDownloadStateWaiting);
    if (!saveChanges()) {
        context_->deleteObject(download);
        return nullptr;
    }
    tellDelegates([&](auto& delegate) { delegate.downloadManagerDidAdd(*this, download); });
    tellStatus(download);
    return download;
}

ZELDownloadManagerEngine::Download ZELDownloadManagerEngine::
    addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
        const std::string& url, const std::string& destinationPath, const std::string& identifier,
        const std::optional<std::string>& title, const std::optional<std::string>& subTitle,
        std::optional<int64_t> downloadSize, const std::string& type, int priority,
        const std::optional<std::string>& payLoad,
        std::optional<double> progressReservedForPostProcessing) {
    return addDownload(
        {.url = url,
         .destinationPath = destinationPath,
         .identifier = identifier,
         .type = type,
         .title = title,
         .subTitle = subTitle,
         .downloadSize = downloadSize,
         .priority = priority,
         .payLoad = payLoad,
         .progressReservedForPostProcessing = progressReservedForPostProcessing.value_or(0.0)});
}

ZELDownloadManagerEngine::Download ZELDownloadManagerEngine::downloadForIdentifierOfType(
    const std::optional<std::string>& identifier, const std::string& type) {
    if (!identifier)
        return nullptr;
    const auto found =
        fetch("identifier == %@ && type == %@", 1, {Value(*identifier), Value(type)});
    return found && !found->empty() ? found->front() : nullptr;
}

std::optional<std::vector<ZELDownloadManagerEngine::Download>>
ZELDownloadManagerEngine::currentQueue() {
    return fetch("", 0);
}

size_t ZELDownloadManagerEngine::currentQueueLength() {
    const auto queue = currentQueue();
    return queue ? queue->size() : 0;
}

bool ZELDownloadManagerEngine::isDownloading() const {
    return running_ != nullptr;
}

void ZELDownloadManagerEngine::setResumeDisabled(bool disabled) {
    if (resumeDisabled_ == disabled)
        return;
    resumeDisabled_ = disabled;
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerDidChangeResumeDisabledStateTo(*this, disabled);
    });
}

void ZELDownloadManagerEngine::resumeDownloads() {
    if (paused_) {
        paused_ = false;
        tellStatusOfWaitingDownloads();
    }
    startFirstDownloadInStates({ZELDownloadStateWaiting, ZELDownloadStatePostProcessingInterrupted,
                                ZELDownloadStateFailed, ZELDownloadStateUnzipFailed});
}

// After a download ends the engine goes on with those that wait; failed ones
// wait for the next explicit resume, so a dead server is not asked in a loop.
void ZELDownloadManagerEngine::continueWithNextDownload() {
    startFirstDownloadInStates(
        {ZELDownloadStateWaiting, ZELDownloadStatePostProcessingInterrupted});
}

void ZELDownloadManagerEngine::startFirstDownloadInStates(std::initializer_list<int> states) {
    if (resumeDisabled_ || paused_ || running_)
        return;
    const auto queue = currentQueue();
    if (!queue)
        return;
    for (const auto& download : *queue) {
        const int state = download->downloadState();
        const bool failed = state == ZELDownloadStateFailed || state == ZELDownloadStateUnzipFailed;
        if (failed && !ZELDownloadFailureIsCurableByRetry(download->failure()))
            continue;
        if (std::find(states.begin(), states.end(), state) != states.end() &&
            startDownload(download))
            return;
    }
}

int64_t ZELDownloadManagerEngine::maximumSizeForExpectedSize(std::optional<int64_t> expectedSize) {
    if (!expectedSize || *expectedSize <= 0 ||
        *expectedSize >= kMaximumSizeWithoutExpectedSize - kSizeMarginBytes)
        return kMaximumSizeWithoutExpectedSize;
    return *expectedSize + *expectedSize / kSizeMarginDivisor + kSizeMarginBytes;
}

bool ZELDownloadManagerEngine::startDownload(const Download& download) {
    const auto address = download->address();
    const auto resolved = ZELDownloadAddress::urlToLoad(address, CBMapStoreURLManager::baseURL());
    if (!resolved.url) {
        fail(download, ZELDownloadStateFailed,
             ZELDownloadErrorMake(ZELDownloadFailure::RefusedAddress,
                                  "The address " + address + " is refused: " + resolved.refusal),
             ZELDownloadFailure::RefusedAddress);
        return false;
    }
    running_ = download;
    download->setDownloadState(ZELDownloadStateLoading);
    setFailure(download, std::nullopt, ZELDownloadFailure::None);
    saveChanges();
    tellDelegates(
        [&](auto& delegate) { delegate.downloadManagerWillStartLoading(*this, download); });
    tellStatus(download);
    download->setReportedProgress(download->progress());

    ZELDownloadTransferStart start;
    start.url = *resolved.url;
    start.path = download->zipPath();
    start.bytesLoaded = download->bytesLoaded().value_or(0);
    start.size = download->downloadSize();
    start.tags = {download->integrityTag(), download->entityTag(), download->lastModified(),
                  download->md5Hash()};
    start.maximumSize = maximumSizeForExpectedSize(download->downloadSize());
    const uint64_t generation = ++transferGeneration_;
    std::weak_ptr<ZELDownloadManagerEngine> weakSelf = weak_from_this();
    auto main = DispatchQueue::main();
    transfer_ = ZELDownloadTransfer::start(
        std::move(start), queue_,
        [weakSelf, main, download, generation](int64_t bytes, std::optional<int64_t> size,
                                               const ZELDownloadServerTags& tags) {
            main->async([weakSelf, download, generation, bytes, size, tags] {
                auto self = weakSelf.lock();
                if (self && self->transferGeneration_ == generation && self->running_ == download)
                    self->transferProgressed(download, bytes, size, tags);
            });
        },
        [weakSelf, main, download, generation](ZELDownloadTransferResult result) {
            main->async([weakSelf, download, generation, result = std::move(result)] {
                auto self = weakSelf.lock();
                if (self && self->transferGeneration_ == generation && self->running_ == download)
                    self->transferFinished(download, result);
            });
        });
    return true;
}

void ZELDownloadManagerEngine::setFailure(const Download& download, std::optional<NSError> error,
                                          ZELDownloadFailure failure) {
    if (error)
        failures_->setEntryForDownload(download->type(), download->identifier(), {failure, *error});
    else
        failures_->removeEntryForDownload(download->type(), download->identifier());
    download->setLastError(std::move(error), failure);
}

void ZELDownloadManagerEngine::stopTransfer() {
    ++transferGeneration_;
    if (transfer_)
        transfer_->cancel();
    transfer_.reset();
    running_.reset();
}

void ZELDownloadManagerEngine::transferProgressed(const Download& download, int64_t bytesLoaded,
                                                  std::optional<int64_t> size,
                                                  const ZELDownloadServerTags& tags) {
    download->setBytesLoaded(bytesLoaded);
    keepServerSize(*download, size);
    // A resume after a crash needs the server's tags: saved as soon as they
    // change; the byte count only now and then (a count behind the file is
    // safe, the file is cut to it).
    const bool newTags =
        download->integrityTag() != tags.integrityTag || download->entityTag() != tags.entityTag ||
        download->lastModified() != tags.lastModified || download->md5Hash() != tags.md5Hash;
    if (newTags)
        download->setServerTags(tags.integrityTag, tags.entityTag, tags.lastModified, tags.md5Hash);
    const NSDate now = NSDate::date();
    if (newTags || now.timeIntervalSinceDate(lastSave_) > kSaveInterval) {
        lastSave_ = now;
        saveChanges();
    }
    reportProgress(download, false);
}

void ZELDownloadManagerEngine::reportProgress(const Download& download, bool lastOfPhase) {
    const double progress = download->progress();
    if (!lastOfPhase && std::fabs(progress - download->reportedProgress()) <= kProgressStep)
        return;
    download->setReportedProgress(progress);
    if (lastOfPhase)
        saveChanges();
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerUpdatedProgressToForDownload(*this, progress, download);
    });
}

void ZELDownloadManagerEngine::transferFinished(const Download& download,
                                                const ZELDownloadTransferResult& result) {
    transfer_.reset();
    running_.reset();
    download->setBytesLoaded(result.bytesLoaded);
    keepServerSize(*download, result.size);
    download->setServerTags(result.tags.integrityTag, result.tags.entityTag,
                            result.tags.lastModified, result.tags.md5Hash);
    // The transfer phase ends either way: its last value is always reported.
    reportProgress(download, true);
    if (result.error) {
        download->setFailedConnectionsCount(download->failedConnectionsCount() + 1);
        fail(download, ZELDownloadStateFailed, *result.error,
             failureOf(*result.error, ZELDownloadFailure::ConnectionLost));
        continueWithNextDownload();
        return;
    }
    tellDelegates(
        [&](auto& delegate) { delegate.downloadManagerFinishedLoadingDownload(*this, download); });
    startUnzipping(download);
    continueWithNextDownload();
}

void ZELDownloadManagerEngine::fail(const Download& download, int state, const NSError& error,
                                    ZELDownloadFailure failure) {
    NSLogWithLevel(NSLogLevel::Warning, "Download %s (%s) failed: %s",
                   download->identifier().c_str(), download->type().c_str(),
                   error.description().c_str());
    download->setDownloadState(state);
    setFailure(download, error, failure);
    if (ZELDownloadFailureDiscardsFile(failure))
        discardFileOfFailedDownload(download);
    saveChanges();
    tellDelegates(
        [&](auto& delegate) { delegate.downloadManagerFailedToLoadDownload(*this, download); });
    tellStatus(download);
}

// Runs only once the transfer, unpacking or install of the download has
// ended, so no one writes the file any more.
void ZELDownloadManagerEngine::discardFileOfFailedDownload(const Download& download) {
    removeQuietly(download->zipPath());
    removeQuietly(download->stagingPath());
    download->setBytesLoaded(0);
    download->setServerTags(std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

bool ZELDownloadManagerEngine::delegatesLetUnzipDownload(const Download& download) {
    bool unzip = true;
    tellDelegates([&](auto& delegate) {
        const auto answer = delegate.downloadManagerShouldUnzipDownload(*this, download);
        if (answer && !*answer)
            unzip = false;
    });
    return unzip;
}

void ZELDownloadManagerEngine::startUnzipping(const Download& download) {
    if (!delegatesLetUnzipDownload(download)) {
        // The loaded file stays for a retry, which asks again.
        fail(download, ZELDownloadStateFailed,
             ZELDownloadErrorMake(ZELDownloadFailure::NotUnpacked,
                                  "The package was not to be unpacked"),
             ZELDownloadFailure::NotUnpacked);
        return;
    }
    download->setDownloadState(ZELDownloadStateUnzipping);
    saveChanges();
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerWillStartUnzippingDownload(*this, download);
    });
    tellStatus(download);
    std::weak_ptr<ZELDownloadManagerEngine> weakSelf = weak_from_this();
    const std::string zip = download->zipPath();
    const std::string staging = download->stagingPath();
    // A map package is one folder named after the map; a package of several
    // items (a Wikipedia package) has its names from the installer of its
    // type; other packages (a catalogue) are one item of any name.
    const std::optional<std::string> name = download->type() == "map"
                                                ? std::optional<std::string>(download->identifier())
                                                : std::nullopt;
    std::optional<std::vector<std::string>> names;
    if (auto installer = installerForType(download->type()))
        names = installer->downloadManagerStagedItemNamesForDownload(*this, download);
    DispatchQueue::global()->async([weakSelf, download, zip, staging, name, names] {
        NSError error;
        const bool ok =
            names ? ZELZipArchive::unzipFileToStagingPathWithTopLevelNames(zip, staging, *names,
                                                                           &error)
                        .has_value()
                  : ZELZipArchive::unzipFileToStagingPath(zip, staging, name, &error).has_value();
        DispatchQueue::main()->async([weakSelf, download, ok, error] {
            if (auto self = weakSelf.lock())
                self->unzipFinished(download, ok ? std::nullopt : std::optional<NSError>(error));
        });
    });
}

void ZELDownloadManagerEngine::unzipFinished(const Download& download,
                                             std::optional<NSError> error) {
    if (download->downloadState() != ZELDownloadStateUnzipping)
        return;
    if (error) {
        removeQuietly(download->stagingPath());
        fail(download, ZELDownloadStateUnzipFailed, *error,
             failureOf(*error, ZELDownloadFailure::DamagedPackage));
        return;
    }
    download->setDownloadState(ZELDownloadStateUnzipped);
    saveChanges();
    startPostProcessing(download);
}

void ZELDownloadManagerEngine::startPostProcessing(const Download& download) {
    download->setDownloadState(ZELDownloadStateAwaitingPostProcessing);
    download->setPostProcessingProgress(0.0);
    saveChanges();
    setStateAndTellStatus(download, ZELDownloadStatePostProcessing);
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerDidStartPostProcessingForDownload(*this, download);
    });
    if (auto installer = installerForType(download->type()))
        installer->downloadManagerInstallDownload(*this, download);
    else
        ZELDownloadInstaller().downloadManagerInstallDownload(*this, download);
}

void ZELDownloadManagerEngine::setPostProcessingProgressForDownload(double progress,
                                                                    const Download& download) {
    if (!download || download->downloadState() != ZELDownloadStatePostProcessing)
        return;
    download->setPostProcessingProgress(progress);
    reportProgress(download, false);
}

void ZELDownloadManagerEngine::postProcessingFinishedForDownload(
    const Download& download, const std::optional<NSError>& error) {
    if (!download || download->downloadState() != ZELDownloadStatePostProcessing)
        return;
    removeQuietly(download->stagingPath());
    if (error) {
        // Unless the package itself was refused, the zip stays: a retry asks
        // the server whether the file is still the same, and loads it anew
        // when it changed.
        fail(download, ZELDownloadStateFailed, *error,
             failureOf(*error, ZELDownloadFailure::DamagedPackage));
        return;
    }
    download->setPostProcessingProgress(1.0);
    reportProgress(download, true);
    setStateAndTellStatus(download, ZELDownloadStateLoadedAndMoved);
    removeQuietly(download->zipPath());
    removeDownload(download, false);
}

void ZELDownloadManagerEngine::removeDownload(const Download& download, bool cancelled) {
    const std::string identifier = download->identifier();
    const std::string type = download->type();
    tellDelegates([&](auto& delegate) { delegate.downloadManagerWillRemove(*this, download); });
    failures_->removeEntryForDownload(type, identifier);
    context_->deleteObject(download);
    saveChanges();
    if (cancelled) {
        tellDelegates([&](auto& delegate) {
            delegate.downloadManagerDidCancelDownloadWithIdentifierAndType(*this, identifier, type);
        });
    }
    tellDelegates([&](auto& delegate) {
        delegate.downloadManagerDidRemoveDownloadWithIdentifierAndType(*this, identifier, type);
    });
}

void ZELDownloadManagerEngine::pauseDownloads() {
    if (!running_ || running_->downloadState() != ZELDownloadStateLoading)
        return;
    const Download download = running_;
    stopTransfer();
    download->setDownloadState(ZELDownloadStateWaiting);
    paused_ = true;
    reportProgress(download, true);
    tellDelegates(
        [&](auto& delegate) { delegate.downloadManagerWillPauseLoading(*this, download); });
    tellStatusOfWaitingDownloads();
}

void ZELDownloadManagerEngine::retryDownload(const Download& download) {
    const int state = download ? download->downloadState() : ZELDownloadStateDeleted;
    if (state == ZELDownloadStateFailed || state == ZELDownloadStateUnzipFailed) {
        setFailure(download, std::nullopt, ZELDownloadFailure::None);
        setStateAndTellStatus(download, ZELDownloadStateWaiting);
    }
    resumeDownloads();
}

void ZELDownloadManagerEngine::cancelDownloads(const std::vector<Download>& downloads) {
    bool stoppedRunning = false;
    for (const auto& download : downloads) {
        // Unpacking and installing work on the files; they finish first.
        const ZELDownloadStatus status = statusForDownload(download);
        if (!status.isQueued() || status.holdsPackage())
            continue;
        if (download == running_) {
            stopTransfer();
            stoppedRunning = true;
        }
        // On the downloader queue, after the stopped transfer has closed the file.
        queue_->async([zip = download->zipPath(), staging = download->stagingPath()] {
            removeQuietly(zip);
            removeQuietly(staging);
        });
        removeDownload(download, true);
    }
    if (stoppedRunning)
        continueWithNextDownload();
}

void ZELDownloadManagerEngine::moveDownloadsOfTypeToDestinationPath(const std::string& type,
                                                                    const std::string& path) {
    const auto queue = currentQueue();
    if (!queue)
        return;
    std::vector<Download> moved;
    for (const auto& download : *queue) {
        const int state = download->downloadState();
        if (download->type() != type || state == ZELDownloadStateLoadedAndMoved)
            continue;
        download->setDestinationPath(path);
        if (state == ZELDownloadStateWaiting || state == ZELDownloadStateLoading)
            continue;
        // Its zip and staging folder were in the old folder.
        if (state != ZELDownloadStateFailed && state != ZELDownloadStateUnzipFailed) {
            setFailure(
                download,
                ZELDownloadErrorMake(ZELDownloadFailure::Interrupted,
                                     "The package was being installed when the folders moved"),
                ZELDownloadFailure::Interrupted);
        }
        download->setDownloadState(ZELDownloadStateFailed);
        download->setBytesLoaded(0);
        moved.push_back(download);
    }
    saveChanges();
    for (const auto& download : moved)
        tellStatus(download);
}
