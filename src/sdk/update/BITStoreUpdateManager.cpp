#include "sdk/update/BITStoreUpdateManager.h"

#include <cmath>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSError.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSLocale.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSUserDefaults.h"
#include "Net/NSURL.h"
#include "Net/NSURLSession.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"

namespace {

constexpr const char* kDateOfLastCheck = "BITStoreUpdateDateOfLastCheck";
constexpr const char* kLastStoreVersion = "BITStoreUpdateLastStoreVersion";
constexpr const char* kLastUUID = "BITStoreUpdateLastUUID";
constexpr const char* kIgnoredVersion = "BITStoreUpdateIgnoredVersion";
constexpr double kSecondsPerDay = 86400;
// Real version strings are short; the answer comes from the network and its
// version is shown, stored and compared, so a longer one is cut.
constexpr size_t kLongestVersion = 64;

std::string cappedVersion(const std::string& version) {
    if (version.size() <= kLongestVersion)
        return version;
    size_t end = kLongestVersion;
    while (end > 0 && (static_cast<unsigned char>(version[end]) & 0xC0) == 0x80)
        --end;
    return version.substr(0, end);
}

}  // namespace

BITStoreUpdateManager::BITStoreUpdateManager(std::string appIdentifier,
                                             BITAppEnvironment appEnvironment)
    : BITZizavaBaseManager(std::move(appIdentifier), appEnvironment),
      currentUUID_(executableUUID()),
      mainBundle_(NSBundle::mainBundle()),
      currentLocale_(NSLocale::currentLocale()),
      userDefaults_(NSUserDefaults::standardUserDefaults()) {
    if (!bit_resourceBundle())
        BITZizavaLogWarning("[ZizavaSDK] WARNING: %s is missing, built in UI is deactivated!",
                            "ZizavaSDKResources.bundle");
}

void BITStoreUpdateManager::registerComponent() {
    BITZizavaManager::registerComponentFactory(
        BITZizavaComponent::StoreUpdateManager,
        [](const std::string& appIdentifier, BITAppEnvironment appEnvironment, BITZizavaManager&) {
            return std::make_shared<BITStoreUpdateManager>(appIdentifier, appEnvironment);
        });
}

BITStoreUpdateManager::~BITStoreUpdateManager() {
    unregisterObservers();
}

void BITStoreUpdateManager::setLastCheck(const NSDate& date) {
    if (lastCheck_ && *lastCheck_ == date)
        return;
    lastCheck_ = date;
    userDefaults_->setObjectForKey(Value(date), kDateOfLastCheck);
}

bool BITStoreUpdateManager::shouldCancelProcessing() const {
    if (appEnvironment() != BITAppEnvironmentAppStore) {
        BITZizavaLogWarning(
            "WARNING: StoreUpdateManager is cancelled because it's not running in "
            "an AppStore environment");
        return true;
    }
    return !enableStoreUpdateManager_;
}

bool BITStoreUpdateManager::shouldAutoCheckForUpdates() const {
    const double days =
        std::fabs(lastCheck_.value_or(NSDate::distantPast()).timeIntervalSinceNow()) /
        kSecondsPerDay;
    if (updateSetting_ == 0)
        return days >= 1.0;
    if (updateSetting_ == 1)
        return days >= 7.0;
    return false;
}

std::string BITStoreUpdateManager::lookupURL(const std::string& countryCode) const {
    std::string base = storeLookupBaseURL_.empty() ? serverURL() : storeLookupBaseURL_;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    const auto identifier = mainBundle_->objectForInfoDictionaryKey("CFBundleIdentifier");
    const std::string* bundleId = identifier ? identifier->stringValue() : nullptr;
    return base + "/lookup?bundleId=" + bit_URLEncodedString(bundleId ? *bundleId : "") +
           "&country=" + countryCode;
}

void BITStoreUpdateManager::checkForUpdateManual(bool manual) {
    if (shouldCancelProcessing() || checkInProgress_)
        return;
    checkInProgress_ = true;
    if (!manual && !shouldAutoCheckForUpdates()) {
        BITZizavaLogDebug("INFO: Update check not needed right now");
        checkInProgress_ = false;
        return;
    }
    const std::optional<std::string> country =
        countryCode_ ? countryCode_ : currentLocale_->countryCode();
    if (!country || country->empty()) {
        BITZizavaLogError("ERROR: Locale returned nil, can't determine the store to use!");
        checkInProgress_ = false;
        return;
    }
    const std::string url = lookupURL(*country);
    BITZizavaLogDebug("INFO: Sending request to %s", url.c_str());
    const auto parsed = NSURL::URLWithString(url);
    if (!parsed) {
        checkInProgress_ = false;
        reportError("the store lookup URL " + url + " is not valid");
        return;
    }
    NSMutableURLRequest request(*parsed);
    request.setCachePolicy(NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    request.setTimeoutInterval(10);
    request.setHTTPMethod("GET");
    request.setValueForHTTPHeaderField("gzip", "Accept-Encoding");

    const uint64_t generation = ++checkGeneration_;
    std::weak_ptr<BITStoreUpdateManager> weakSelf =
        std::static_pointer_cast<BITStoreUpdateManager>(shared_from_this());
    auto session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration());
    auto task = session->dataTaskWithRequest(
        request, [session, weakSelf, generation](std::optional<Value::Data> data,
                                                 std::optional<NSHTTPURLResponse> response,
                                                 std::optional<NSError> error) {
            session->finishTasksAndInvalidate();
            const long status = response ? response->statusCode() : 0;
            // The state belongs to the main thread; a superseded check's reply is dropped.
            DispatchQueue::main()->async([weakSelf, generation, data, status, error] {
                const auto self = weakSelf.lock();
                if (self && self->checkGeneration_ == generation)
                    self->handleResponeWithDataError(data, status, error);
            });
        });
    if (!task) {
        checkInProgress_ = false;
        reportError("the store lookup could not be started");
        return;
    }
    task->resume();
}

void BITStoreUpdateManager::handleResponeWithDataError(const std::optional<Value::Data>& data,
                                                       long status,
                                                       const std::optional<NSError>& error) {
    checkInProgress_ = false;
    if (error) {
        reportError(error->localizedDescription());
        return;
    }
    if (status < 200 || status > 299) {
        reportError("the store lookup answered HTTP status " + std::to_string(status));
        return;
    }
    if (!data || data->empty())
        return;
    const std::string text(data->begin(), data->end());
    BITZizavaLogWarning("INFO: Received API response: %s", bit_loggedBody(text).c_str());
    processStoreResponseWithString(text);
}

void BITStoreUpdateManager::reportError(const std::string& description) {
    BITZizavaLogError("ERROR: %s", description.c_str());
    lastCheckFailed_ = true;
}

bool BITStoreUpdateManager::processStoreResponseWithString(const std::optional<std::string>& text) {
    if (!text)
        return false;
    NSError parseError;
    const auto reply = NSJSONSerialization::JSONObjectWithData(
        Value::Data(text->begin(), text->end()), &parseError);
    if (!reply) {
        BITZizavaLogError("ERROR: Invalid JSON string. %s", parseError.description().c_str());
        return false;
    }
    setLastCheck(NSDate::date());
    updateAvailable_ = hasNewVersion(*reply);
    BITZizavaLogDebug("INFO: Update available: %i", int(updateAvailable_));
    if (lastCheckFailed_) {
        BITZizavaLogError("ERROR: Last check failed");
        return false;
    }
    if (updateAvailable_) {
        if (const auto delegate = storeDelegate_.lock())
            delegate->detectedUpdateFromStoreUpdateManagerNewVersionStoreURL(
                *this, newStoreVersion_.value_or(""), appStoreURLString_.value_or(""));
        if (updateUIEnabled_ && bit_resourceBundle())
            showUpdateAlert();
        else
            userDefaults_->setObjectForKey(Value(*newStoreVersion_), kIgnoredVersion);
    }
    return true;
}

bool BITStoreUpdateManager::hasNewVersion(const Value& reply) {
    lastCheckFailed_ = true;
    const std::optional<std::string> baseline = lastStoreVersion();
    const Value* results = reply.get("results");
    const Value::Array* list = results ? results->arrayValue() : nullptr;
    if (!list || list->empty())
        return false;
    lastCheckFailed_ = false;
    const Value* version = list->front().get("version");
    const Value* page = list->front().get("trackViewUrl");
    newStoreVersion_ = version && version->stringValue()
                           ? std::optional<std::string>(cappedVersion(*version->stringValue()))
                           : std::nullopt;
    appStoreURLString_ = page && page->stringValue()
                             ? std::optional<std::string>(*page->stringValue())
                             : std::nullopt;
    const std::optional<std::string> ignored = userDefaults_->stringForKey(kIgnoredVersion);
    if (ignored)
        BITZizavaLogDebug("INFO: Ignored version: %s", ignored->c_str());
    if (!newStoreVersion_ || !appStoreURLString_)
        return false;
    if (ignored && *ignored == *newStoreVersion_)
        return false;
    if (baseline) {
        BITZizavaLogDebug("INFO: Compare new version string %s with %s", newStoreVersion_->c_str(),
                          baseline->c_str());
        return bit_versionCompare(*newStoreVersion_, *baseline) == BITOrderedDescending;
    }
    userDefaults_->setObjectForKey(Value(currentUUID_), kLastUUID);
    userDefaults_->setObjectForKey(Value(*newStoreVersion_), kLastStoreVersion);
    return false;
}

std::optional<std::string> BITStoreUpdateManager::lastStoreVersion() {
    const std::optional<std::string> baseline = userDefaults_->stringForKey(kLastStoreVersion);
    const std::optional<std::string> uuid = userDefaults_->stringForKey(kLastUUID);
    if (uuid && !uuid->empty() && *uuid != currentUUID_) {
        // A new build: its baseline is the next store version seen.
        userDefaults_->setObjectForKey(Value(currentUUID_), kLastUUID);
        if (baseline)
            userDefaults_->removeObjectForKey(kLastStoreVersion);
        return std::nullopt;
    }
    return baseline;
}

void BITStoreUpdateManager::showUpdateAlert() {
    std::weak_ptr<BITStoreUpdateManager> weakSelf =
        std::static_pointer_cast<BITStoreUpdateManager>(shared_from_this());
    DispatchQueue::main()->async([weakSelf] {
        const auto self = weakSelf.lock();
        if (!self || self->updateAlertShowing_)
            return;
        const std::string versionText =
            bit_localizedString("UpdateVersion") + " " + self->newStoreVersion_.value_or("");
        auto alert = std::make_shared<UIAlertView>(
            bit_localizedString("UpdateAvailable"),
            bit_localizedStringWithFormat("UpdateAlertTextWithAppVersion", versionText), weakSelf,
            bit_localizedString("UpdateIgnore"),
            std::vector<std::string>{bit_localizedString("UpdateRemindMe"),
                                     bit_localizedString("UpdateShow")});
        alert->show();
        self->updateAlert_ = alert;
        self->updateAlertShowing_ = true;
    });
}

void BITStoreUpdateManager::alertViewDidDismissWithButtonIndex(UIAlertView& alert,
                                                               long buttonIndex) {
    if (buttonIndex == alert.cancelButtonIndex())
        ignoreAction();
    else if (buttonIndex == alert.firstOtherButtonIndex())
        remindAction();
    else if (buttonIndex == alert.firstOtherButtonIndex() + 1)
        showAction();
}

void BITStoreUpdateManager::ignoreAction() {
    updateAlertShowing_ = false;
    updateAlert_.reset();
    if (newStoreVersion_)
        userDefaults_->setObjectForKey(Value(*newStoreVersion_), kIgnoredVersion);
}

void BITStoreUpdateManager::remindAction() {
    updateAlertShowing_ = false;
    updateAlert_.reset();
}

void BITStoreUpdateManager::showAction() {
    ignoreAction();
    if (!appStoreURLString_) {
        BITZizavaLogWarning(
            "WARNING: The app store page couldn't be opened, since we did not get "
            "a valid URL from the store API.");
        return;
    }
    // The address comes from the network: anything but the store's own page
    // (a local file, a mail with an attachment, a program) is not opened.
    if (!isStorePage(*appStoreURLString_)) {
        BITZizavaLogError("ERROR: The app store page %s is not on the store's host; not opened.",
                          appStoreURLString_->c_str());
        return;
    }
    UIApplication::sharedApplication()->openURL(*appStoreURLString_);
}

bool BITStoreUpdateManager::isStorePage(const std::string& url) const {
    const auto page = NSURL::URLWithString(url);
    const auto lookup = NSURL::URLWithString(lookupURL(""));
    return page && lookup && (page->scheme() == "http" || page->scheme() == "https") &&
           !page->host().empty() && page->host() == lookup->host();
}

void BITStoreUpdateManager::startManager() {
    if (shouldCancelProcessing())
        return;
    BITZizavaLogDebug("INFO: Start UpdateManager");
    const auto stored = userDefaults_->objectForKey(kDateOfLastCheck);
    const auto date = stored ? stored->dateValue() : std::nullopt;
    setLastCheck(date.value_or(NSDate::distantPast()));
    registerObservers();
    if (UIApplication::sharedApplication()->applicationState() == UIApplicationStateActive)
        didBecomeActiveActions();
}

void BITStoreUpdateManager::registerObservers() {
    if (!observers_.empty())
        return;
    const auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<BITStoreUpdateManager> weakSelf =
        std::static_pointer_cast<BITStoreUpdateManager>(shared_from_this());
    for (const char* name :
         {UIApplicationDidBecomeActiveNotification, BITZizavaNetworkDidBecomeReachableNotification})
        observers_.push_back(center->addObserverForName(
            name, nullptr, DispatchQueue::main()->scheduler(), [weakSelf](const NSNotification&) {
                if (const auto self = weakSelf.lock())
                    self->didBecomeActiveActions();
            }));
}

void BITStoreUpdateManager::unregisterObservers() {
    NSNotificationCenter::defaultCenter()->removeObservers(observers_);
}

void BITStoreUpdateManager::didBecomeActiveActions() {
    if (shouldCancelProcessing() || !checkForUpdateOnLaunch_ || !shouldAutoCheckForUpdates())
        return;
    std::weak_ptr<BITStoreUpdateManager> weakSelf =
        std::static_pointer_cast<BITStoreUpdateManager>(shared_from_this());
    DispatchQueue::main()->after(1.0, [weakSelf] {
        if (const auto self = weakSelf.lock())
            self->checkForUpdateDelayed();
    });
}
