#include "packages/CBMapStoreUpdater.h"

#include <sys/stat.h>
#include <time.h>

#include <filesystem>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"
#include "foundation/UIAlertView+ZELActivity.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFetch.h"
#include "packages/CBMapStoreURLManager.h"

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
    if (&alert != offerAlert_.get())
        return;
    offerAlert_.reset();
    if (index == alert.cancelButtonIndex())
        return;
    NSLog("CBMapStoreUpdater: the catalogue update is taken by the download engine");
}

bool CBMapStoreUpdater::installCatalogueFromFolder(const std::string& folder,
                                                   const std::optional<NSDate>& date) {
    auto engine = engine_.lock();
    if (!engine)
        return false;
    if (!engine->installCatalogueFromPath(folder + "/" + CBMapStoreEngine::kCatalogueFileName))
        return false;
    if (date)
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(*date), kCatalogueDateKey);
    return true;
}
