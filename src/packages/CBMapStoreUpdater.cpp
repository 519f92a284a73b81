#include "packages/CBMapStoreUpdater.h"

#include <sys/stat.h>
#include <time.h>

#include <filesystem>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFetch.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "uiadditions/UIAlertView+ZELActivity.h"

namespace {

// An HTTP date ("Sun, 06 Dec 2026 21:39:05 GMT").
std::optional<NSDate> dateFromHTTPDate(const std::string& text) {
    struct tm parts {};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (!end || *end != '\0')
        return std::nullopt;
    return NSDate::dateWithTimeIntervalSince1970(double(timegm(&parts)));
}

std::optional<NSDate> fileDate(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return NSDate::dateWithTimeIntervalSince1970(double(status.st_mtime));
}

}  // namespace

CBMapStoreUpdater::CBMapStoreUpdater(std::shared_ptr<ZELDownloadManagerEngine> downloadManager)
    : downloadManager_(std::move(downloadManager)) {}

CBMapStoreUpdater::~CBMapStoreUpdater() = default;

std::shared_ptr<CBMapStoreUpdater> CBMapStoreUpdater::createWithDownloadManager(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager) {
    auto updater = std::make_shared<CBMapStoreUpdater>(downloadManager);
    if (downloadManager) {
        downloadManager->addDelegate(updater);
        // A catalogue queued in an earlier run is installed by the first
        // updater that lives; one that queues a catalogue installs it.
        if (!downloadManager->installerForType(kDownloadType))
            downloadManager->setInstallerForType(updater, kDownloadType);
    }
    return updater;
}

std::optional<NSDate> CBMapStoreUpdater::installedCatalogueDate() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (auto stored = defaults->objectForKey(kCatalogueDateKey)) {
        std::error_code ignored;
        if (stored->dateValue() &&
            std::filesystem::exists(CBMapStoreEngine::downloadedCataloguePath(), ignored))
            return stored->dateValue();
    }
    auto bundled = CBMapStoreEngine::bundledCataloguePath();
    return bundled ? fileDate(*bundled) : std::nullopt;
}

void CBMapStoreUpdater::startPeriodicUpdateIfNeeded() {
    auto last = NSUserDefaults::standardUserDefaults()->objectForKey(kPeriodicCheckDateKey);
    if (last && last->dateValue() &&
        -last->dateValue()->timeIntervalSinceNow() < kPeriodicCheckInterval)
        return;
    check(false);
}

void CBMapStoreUpdater::startManualUpdate() {
    if (auto engine = engine_.lock())
        engine->expireStoredInfos();
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(NSDate::date()),
                                                            kPeriodicCheckDateKey);
    checkingAlert_ = ZELShowActivityAlertViewWithTitle(NSLocalizedString("CheckingForUpdates"));
    check(true);
}

void CBMapStoreUpdater::check(bool manual) {
    if (checking_)
        return;
    auto url = CBMapStoreURLManager::stringForCatalogueURL();
    if (!url) {
        finishCheck(std::nullopt, false, manual);
        return;
    }
    checking_ = true;
    auto self = shared_from_this();
    CBMapStoreFetch::fetch(
        *url, "HEAD",
        [self, manual](std::optional<Value::Data> body, std::optional<NSHTTPURLResponse> response) {
            std::optional<NSDate> date;
            if (body && response) {
                if (auto modified = response->valueForHTTPHeaderField("Last-Modified"))
                    date = dateFromHTTPDate(*modified);
            }
            self->finishCheck(date, body.has_value(), manual);
        });
}

void CBMapStoreUpdater::finishCheck(std::optional<NSDate> serverDate, bool answered, bool manual) {
    checking_ = false;
    if (checkingAlert_) {
        checkingAlert_->dismissWithClickedButtonIndexAnimated(0, true);
        checkingAlert_.reset();
    }
    if (!answered) {
        NSLog("CBMapStoreUpdater: the catalogue could not be checked");
        // Asked for by the user: say so, with a way to ask again.
        if (manual) {
            retryAlert_ = std::make_shared<UIAlertView>(
                NSLocalizedString("MapStoreUnavailableTitle"),
                NSLocalizedString(CBMapStoreURLManager::baseURL() ? "MapStoreCatalogueNotChecked"
                                                                  : "MapStoreNoAddress"),
                weak_from_this(), NSLocalizedString("Cancel"),
                std::vector<std::string>{NSLocalizedString("TryAgain")});
            retryAlert_->show();
        }
        return;
    }
    // A silent check counts once the server has answered.
    if (!manual)
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(NSDate::date()),
                                                                kPeriodicCheckDateKey);
    auto installed = installedCatalogueDate();
    if (serverDate && (!installed || serverDate->timeIntervalSinceDate(*installed) > 0))
        offerUpdate(*serverDate);
}

void CBMapStoreUpdater::offerUpdate(NSDate serverDate) {
    offeredDate_ = serverDate;
    offerAlert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("NewMapStoreAvailableTitle"),
        NSLocalizedString("NewMapStoreAvailableMessage"), weak_from_this(),
        NSLocalizedString("Later"), std::vector<std::string>{NSLocalizedString("Update")});
    offerAlert_->show();
}

void CBMapStoreUpdater::alertViewClickedButtonAtIndex(UIAlertView& alert, long index) {
    if (&alert == retryAlert_.get()) {
        retryAlert_.reset();
        if (index != alert.cancelButtonIndex())
            startManualUpdate();
        return;
    }
    if (&alert != offerAlert_.get())
        return;
    offerAlert_.reset();
    if (index != alert.cancelButtonIndex())
        startCatalogueDownload(offeredDate_);
}

void CBMapStoreUpdater::startCatalogueDownload(const std::optional<NSDate>& date) {
    auto url = CBMapStoreURLManager::stringForCatalogueURL();
    if (!downloadManager_ || !url)
        return;
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (date)
        defaults->setObjectForKey(Value(*date), kPendingCatalogueDateKey);
    else
        defaults->removeObjectForKey(kPendingCatalogueDateKey);
    auto download = downloadManager_->addDownload(
        {.url = *url,
         .destinationPath = CBMapStoreEngine::applicationCachesDirectory() + "/mapStoreUpdate",
         .identifier = kDownloadIdentifier,
         .type = kDownloadType,
         .title = NSLocalizedString("MapCatalogue"),
         .priority = 1,
         .progressReservedForPostProcessing = 0.1});
    if (!download)
        return;
    keepAlive_ = shared_from_this();
    downloadManager_->setInstallerForType(keepAlive_, kDownloadType);
    downloadManager_->resumeDownloads();
}

void CBMapStoreUpdater::downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                                       const Download& download) {
    auto pending = NSUserDefaults::standardUserDefaults()->objectForKey(kPendingCatalogueDateKey);
    std::optional<NSDate> date;
    if (pending)
        date = pending->dateValue();
    std::optional<NSError> error;
    if (!installCatalogueFromStagedItem(download->stagedItemPath(), date)) {
        NSError refused;
        NSError::setCocoaError(&refused, 0, "The downloaded catalogue was refused");
        error = refused;
    }
    engine.postProcessingFinishedForDownload(download, error);
}

void CBMapStoreUpdater::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string&, const std::string& type) {
    if (type != kDownloadType)
        return;
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(kPendingCatalogueDateKey);
    keepAlive_.reset();
}

bool CBMapStoreUpdater::installCatalogueFromStagedItem(const std::string& path,
                                                       const std::optional<NSDate>& date) {
    auto engine = engine_.lock();
    if (!engine)
        return false;
    std::error_code ignored;
    const std::string file = std::filesystem::is_directory(path, ignored)
                                 ? path + "/" + CBMapStoreEngine::kCatalogueFileName
                                 : path;
    if (!engine->installCatalogueFromPath(file))
        return false;
    if (date)
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(*date), kCatalogueDateKey);
    return true;
}
