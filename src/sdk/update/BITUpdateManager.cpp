#include "sdk/update/BITUpdateManager.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSString+PercentEncoding.h"
#include "Foundation/NSUserDefaults.h"
#include "Net/NSURLSession.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITZizavaBaseViewController.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/update/BITUpdateViewController.h"

namespace {

constexpr double kSecondsPerDay = 86400;

NSError updaterError(long code, const std::string& message) {
    return NSError::errorWithDomain(BITUpdaterErrorDomain, code,
                                    {{NSError::NSLocalizedDescriptionKey, Value(message)}});
}

bool isSuccess(long status) {
    return status >= 200 && status <= 299;
}

// One GET on a session of its own; the answer comes back on the main queue.
bool sendRequest(
    const NSURLRequest& request,
    std::function<void(std::optional<Value::Data>, long, std::optional<NSError>)> completion) {
    auto session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration());
    auto task = session->dataTaskWithRequest(
        request, [session, completion](std::optional<Value::Data> data,
                                       std::optional<NSHTTPURLResponse> response,
                                       std::optional<NSError> error) {
            session->finishTasksAndInvalidate();
            const long status = response ? response->statusCode() : 0;
            DispatchQueue::main()->async([completion, data = std::move(data), status, error] {
                completion(data, status, error);
            });
        });
    if (!task)
        return false;
    task->resume();
    return true;
}

std::optional<std::string> packageURLOfManifest(const Value& manifest) {
    const Value* items = manifest.get("items");
    const Value* item = items && items->count() > 0 ? items->at(0) : nullptr;
    const Value* assets = item ? item->get("assets") : nullptr;
    for (size_t i = 0; assets && i < assets->count(); ++i) {
        const Value* kind = assets->at(i)->get("kind");
        const Value* url = assets->at(i)->get("url");
        if (kind && kind->stringValue() && *kind->stringValue() == "software-package" && url &&
            url->stringValue())
            return *url->stringValue();
    }
    return std::nullopt;
}

bool isWebURL(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

}  // namespace

BITUpdateManager::BITUpdateManager(std::string appIdentifier, BITAppEnvironment appEnvironment)
    : BITZizavaBaseManager(std::move(appIdentifier), appEnvironment),
      currentAppVersion_(bit_mainBundleInfoString("CFBundleVersion").value_or("")),
      uuid_(executableUUID()) {
    const auto defaults = NSUserDefaults::standardUserDefaults();
    const auto stored = defaults->objectForKey("BITUpdateDateOfLastCheck");
    const auto date = stored ? stored->dateValue() : std::nullopt;
    setLastCheck(date.value_or(NSDate::distantPast()));
    if (!bit_resourceBundle())
        BITZizavaLogWarning("[ZizavaSDK] WARNING: %s is missing, make sure it is added!",
                            "ZizavaSDKResources.bundle");
    usageDataFile_ = bit_settingsDir() + "/BITUpdateManager.plist";
    loadAppCache();
    loadAppVersionUsageData();
    startUsage();
}

BITUpdateManager::~BITUpdateManager() {
    unregisterObservers();
    NSNotificationCenter::defaultCenter()->removeObservers(usageObservers_);
    if (urlConnection_)
        urlConnection_->cancel();
}

void BITUpdateManager::registerComponent() {
    BITZizavaManager::registerComponentFactory(
        BITZizavaComponent::UpdateManager,
        [](const std::string& appIdentifier, BITAppEnvironment appEnvironment, BITZizavaManager&) {
            auto manager = std::make_shared<BITUpdateManager>(appIdentifier, appEnvironment);
            // Usage stops counting while the application is inactive or gone.
            std::weak_ptr<BITUpdateManager> weak = manager;
            const auto center = NSNotificationCenter::defaultCenter();
            for (const char* name : {UIApplicationWillTerminateNotification,
                                     UIApplicationWillResignActiveNotification})
                manager->usageObservers_.push_back(
                    center->addObserverForName(name, nullptr, DispatchQueue::main()->scheduler(),
                                               [weak](const NSNotification&) {
                                                   if (const auto self = weak.lock())
                                                       self->stopUsage();
                                               }));
            return manager;
        });
}

std::shared_ptr<BITUpdateManager> BITUpdateManager::self() {
    return std::static_pointer_cast<BITUpdateManager>(shared_from_this());
}

std::shared_ptr<BITUpdateManagerDelegate> BITUpdateManager::updateDelegate() const {
    if (const auto own = updateDelegate_.lock())
        return own;
    return std::dynamic_pointer_cast<BITUpdateManagerDelegate>(delegate());
}

void BITUpdateManager::setDisableUpdateManager(bool disable) {
    disableUpdateManager_ = disable;
    if (disable && checkInProgress_) {
        // The running check stops and its reply no longer counts.
        std::shared_ptr<NSURLSessionTask> task;
        {
            std::lock_guard lock(transferMutex_);
            task = checkTask_.lock();
            checkTask_.reset();
            receivedData_.clear();
        }
        if (task)
            task->cancel();
        if (urlConnection_)
            std::exchange(urlConnection_, nullptr)->cancel();
        setCheckInProgress(false);
    }
}

void BITUpdateManager::addObserver(const std::shared_ptr<BITUpdateManagerObserver>& observer) {
    changeObservers_.push_back(observer);
}

void BITUpdateManager::removeObserver(const BITUpdateManagerObserver* observer) {
    std::erase_if(changeObservers_, [observer](const auto& entry) {
        const auto live = entry.lock();
        return !live || live.get() == observer;
    });
}

void BITUpdateManager::notify(const std::string& key) {
    const auto observers = changeObservers_;
    for (const auto& entry : observers)
        if (const auto observer = entry.lock())
            observer->updateManagerDidChangeValueForKey(*this, key);
}

void BITUpdateManager::setCheckInProgress(bool inProgress) {
    if (checkInProgress_ == inProgress)
        return;
    checkInProgress_ = inProgress;
    notify("checkInProgress");
}

void BITUpdateManager::setUpdateAvailable(bool available) {
    if (updateAvailable_ == available)
        return;
    updateAvailable_ = available;
    notify("updateAvailable");
}

void BITUpdateManager::setLastCheck(const NSDate& date) {
    lastCheck_ = date;
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(date),
                                                            "BITUpdateDateOfLastCheck");
}

void BITUpdateManager::setAppVersions(
    std::vector<std::shared_ptr<BITAppVersionMetaInfo>> versions) {
    if (!versions.empty() && versions == appVersions_)
        return;
    if (versions.empty()) {
        auto placeholder = std::make_shared<BITAppVersionMetaInfo>();
        placeholder->name = bit_appName(bit_localizedString("ZizavaAppNamePlaceholder"));
        placeholder->version = currentAppVersion_;
        placeholder->shortVersion = bit_mainBundleInfoString("CFBundleShortVersionString");
        versions.push_back(std::move(placeholder));
    }
    appVersions_ = std::move(versions);
    notify("appVersions");
}

std::shared_ptr<BITAppVersionMetaInfo> BITUpdateManager::newestAppVersion() const {
    return appVersions_.empty() ? nullptr : appVersions_.front();
}

bool BITUpdateManager::shouldCheckForUpdates() const {
    switch (updateSetting_) {
        case BITUpdateCheckStartup:
            return true;
        case BITUpdateCheckDaily:
            return std::fabs(lastCheck_.timeIntervalSinceNow()) / kSecondsPerDay >= 1.0;
        default:
            return false;
    }
}

void BITUpdateManager::checkForUpdate() {
    if (appEnvironment() != BITAppEnvironmentOther || disableUpdateManager_)
        return;
    if (updateAvailable_ && hasNewerMandatoryVersion())
        showCheckForUpdateAlert();
    checkForUpdateShowFeedback(false);
}

std::optional<NSMutableURLRequest> BITUpdateManager::requestForUpdateCheck() const {
    const auto encoded = [](const std::string& value) {
        return stringByAddingPercentEncodingForQueryValue(value);
    };
    std::string query = "?format=json&extended=true&sdk=ZizavaSDK&sdk_version=" +
                        encoded(BITZizavaManager::version()) + "&uuid=" + encoded(uuid_);
    if (sendUsageData_) {
        const auto languages = NSBundle::preferredLocalizations();
        query += "&app_version=" + encoded(currentAppVersion_) +
                 "&os=iOS&os_version=" + encoded(bit_osVersion()) +
                 "&device=" + encoded(getDevicePlatform()) +
                 "&lang=" + encoded(languages.empty() ? std::string("en") : languages.front()) +
                 "&first_start_at=" + encoded(installationDateString()) +
                 "&usage_time=" + encoded(currentUsageString());
    }
    const std::string url =
        serverURL() + "api/2/apps/" + bit_URLEncodedString(appIdentifier()) + query;
    BITZizavaLogDebug("INFO: Sending api request to %s", url.c_str());
    const auto parsed = NSURL::URLWithString(url);
    if (!parsed)
        return std::nullopt;
    NSMutableURLRequest request(*parsed);
    request.setCachePolicy(NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    request.setTimeoutInterval(10);
    request.setHTTPMethod("GET");
    request.setValueForHTTPHeaderField("Zizava/iOS", "User-Agent");
    request.setValueForHTTPHeaderField("gzip", "Accept-Encoding");
    return request;
}

void BITUpdateManager::checkForUpdateShowFeedback(bool feedback) {
    if (appEnvironment() != BITAppEnvironmentOther || checkInProgress_)
        return;
    showFeedback_ = feedback;
    setCheckInProgress(true);
    if (!currentZizavaViewController() && !shouldCheckForUpdates() &&
        updateSetting_ != BITUpdateCheckManually) {
        BITZizavaLogDebug("INFO: Update not needed right now");
        setCheckInProgress(false);
        return;
    }
    const auto request = requestForUpdateCheck();
    bool started = false;
    if (request && BITZizavaHelper::isURLSessionSupported()) {
        const auto session = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
            NSURLSessionConfiguration::defaultSessionConfiguration(), self(), nullptr);
        if (const auto task = session->dataTaskWithRequest(*request)) {
            {
                std::lock_guard lock(transferMutex_);
                checkTask_ = task;
            }
            task->resume();
            started = true;
        }
    } else if (request) {
        urlConnection_ = NSURLConnection::connectionWithRequestDelegate(*request, self());
        started = true;
    }
    if (!started) {
        setCheckInProgress(false);
        reportError(updaterError(BITUpdateAPIClientCannotCreateConnection,
                                 "Url Connection could not be created."));
    }
}

bool BITUpdateManager::isCheckTask(const NSURLSessionTask& task) {
    std::lock_guard lock(transferMutex_);
    return checkTask_.lock().get() == &task;
}

void BITUpdateManager::URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
    const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
    const NSHTTPURLResponse&, const NSURLRequest&,
    std::function<void(std::optional<NSURLRequest>)> completionHandler) {
    // A redirect is an answer of its own, never a reason to ask elsewhere.
    completionHandler(std::nullopt);
}

void BITUpdateManager::URLSessionDataTaskDidReceiveResponseCompletionHandler(
    const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>& dataTask,
    const NSHTTPURLResponse& response,
    std::function<void(NSURLSessionResponseDisposition)> completionHandler) {
    if (!isSuccess(response.statusCode())) {
        // Reported before the cancelled task ends, whose end is then only logged.
        std::weak_ptr<BITUpdateManager> weakSelf = self();
        DispatchQueue::main()->async([weakSelf, dataTask, status = response.statusCode()] {
            const auto manager = weakSelf.lock();
            if (manager && manager->isCheckTask(*dataTask))
                manager->rejectResponse(status);
        });
        completionHandler(NSURLSessionResponseDisposition::Cancel);
        return;
    }
    {
        std::lock_guard lock(transferMutex_);
        if (checkTask_.lock() == dataTask)
            receivedData_.clear();
    }
    completionHandler(NSURLSessionResponseDisposition::Allow);
}

void BITUpdateManager::URLSessionDataTaskDidReceiveData(
    const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>& dataTask,
    const Value::Data& data) {
    std::lock_guard lock(transferMutex_);
    if (checkTask_.lock() == dataTask)
        receivedData_.insert(receivedData_.end(), data.begin(), data.end());
}

void BITUpdateManager::URLSessionTaskDidCompleteWithError(
    const std::shared_ptr<NSURLSession>& session, const std::shared_ptr<NSURLSessionTask>& task,
    const std::optional<NSError>& error) {
    std::weak_ptr<BITUpdateManager> weakSelf = self();
    DispatchQueue::main()->async([weakSelf, session, task, error] {
        session->finishTasksAndInvalidate();
        const auto manager = weakSelf.lock();
        if (!manager || !manager->isCheckTask(*task))
            return;  // a check no longer current
        if (error)
            manager->handleError(*error);
        else
            manager->finishLoading();
    });
}

std::optional<NSURLRequest> BITUpdateManager::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<NSURLConnection>&, const NSURLRequest&, const NSHTTPURLResponse&) {
    return std::nullopt;
}

void BITUpdateManager::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>& connection, const NSHTTPURLResponse& response) {
    if (!isSuccess(response.statusCode())) {
        connection->cancel();
        rejectResponse(response.statusCode());
        return;
    }
    std::lock_guard lock(transferMutex_);
    receivedData_.clear();
}

void BITUpdateManager::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                                const Value::Data& data) {
    std::lock_guard lock(transferMutex_);
    receivedData_.insert(receivedData_.end(), data.begin(), data.end());
}

void BITUpdateManager::connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                                  const NSError& error) {
    handleError(error);
}

void BITUpdateManager::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) {
    finishLoading();
}

// An error page (500, an HTML page of a proxy, a refused redirect) is no
// answer of the service: the check ends at its response, as for a 404.
void BITUpdateManager::rejectResponse(long status) {
    handleError(updaterError(BITUpdateAPIServerReturnedInvalidStatus,
                             "Zizava API received HTTP Status Code " + std::to_string(status)));
}

void BITUpdateManager::handleError(const NSError& error) {
    {
        std::lock_guard lock(transferMutex_);
        receivedData_.clear();
    }
    urlConnection_.reset();
    setCheckInProgress(false);
    reportError(error);
}

void BITUpdateManager::reportError(const NSError& error) {
    BITZizavaLogError("ERROR: %s", error.localizedDescription().c_str());
    if (!showFeedback_)
        return;
    showFeedback_ = false;
    showFeedbackAlert(bit_localizedString("UpdateError"), error.localizedDescription());
}

void BITUpdateManager::showFeedbackAlert(const std::string& title, const std::string& message) {
    feedbackAlert_ = std::make_shared<UIAlertView>(
        title, message, std::weak_ptr<UIAlertViewDelegate>(), bit_localizedString("ZizavaOK"));
    feedbackAlert_->show();
}

void BITUpdateManager::endCheck() {
    showFeedback_ = false;
}

void BITUpdateManager::finishLoading() {
    setCheckInProgress(false);
    // The reply is taken whole: the transfer's state is clear from here on.
    Value::Data body;
    {
        std::lock_guard lock(transferMutex_);
        body.swap(receivedData_);
    }
    urlConnection_.reset();
    if (body.empty()) {
        reportError(updaterError(BITUpdateAPIServerReturnedEmptyResponse,
                                 "Server returned an empty response."));
        return endCheck();
    }
    BITZizavaLogDebug("INFO: Received API response: %s", bit_loggedBody(body).c_str());
    const auto reply = NSJSONSerialization::JSONObjectWithData(body);
    if (!reply || !reply->dictionaryValue()) {
        reportError(updaterError(BITUpdateAPIServerReturnedInvalidData,
                                 "Invalid data received from server."));
        return endCheck();
    }
    const Value* company = reply->get("company");
    companyName_ = company && company->stringValue()
                       ? std::optional<std::string>(*company->stringValue())
                       : std::nullopt;
    if (appEnvironment() != BITAppEnvironmentOther)
        return endCheck();

    setLastCheck(NSDate::date());
    const Value* versions = reply->get("versions");
    const Value::Array* list = versions ? versions->arrayValue() : nullptr;
    if (!list || list->empty()) {
        BITZizavaLogDebug("WARNING: No versions available for download on ZizavaApp.");
        return endCheck();
    }
    const auto previousNewest = newestAppVersion();
    const std::optional<std::string> previousVersion =
        previousNewest ? previousNewest->version : std::nullopt;

    std::vector<std::shared_ptr<BITAppVersionMetaInfo>> fresh;
    const std::string osVersion = bit_osVersion();
    for (const Value& element : *list) {
        auto record = BITAppVersionMetaInfo::appVersionMetaInfoFromDict(element);
        if (!record->isValid()) {
            reportError(updaterError(BITUpdateAPIServerReturnedInvalidData,
                                     "Invalid data received from server."));
            continue;
        }
        if (record->minOSVersion &&
            bit_versionCompare(*record->minOSVersion, osVersion) == BITOrderedDescending)
            continue;
        fresh.push_back(std::move(record));
    }
    const bool same =
        fresh.size() == appVersions_.size() &&
        std::equal(fresh.begin(), fresh.end(), appVersions_.begin(),
                   [](const auto& a, const auto& b) { return a->isEqualToAppVersionMetaInfo(*b); });
    if (!same)
        setAppVersions(std::move(fresh));
    saveAppCache();
    checkUpdateAvailable();

    const auto newest = newestAppVersion();
    if (showFeedback_ && !updateAvailable_) {
        const auto shortVersion = bit_mainBundleInfoString("CFBundleShortVersionString");
        const std::string marketing = shortVersion ? *shortVersion + " " : std::string();
        const std::string build =
            marketing.empty() ? currentAppVersion_ : "(" + currentAppVersion_ + ")";
        const std::string versionText = newest->name.value_or("") + " " +
                                        bit_localizedString("UpdateVersion") + " " + marketing +
                                        build;
        showFeedbackAlert(
            bit_localizedString("UpdateNoUpdateAvailableTitle"),
            bit_localizedStringWithFormat("UpdateNoUpdateAvailableMessage", versionText));
    }
    if (updateAvailable_ &&
        (newest->version != previousVersion || alwaysShowUpdateReminder_ ||
         hasNewerMandatoryVersion()) &&
        !currentZizavaViewController())
        showCheckForUpdateAlert();
    endCheck();
}

void BITUpdateManager::adoptInstalledBuild(const BITAppVersionMetaInfo& record) {
    versionUUID_ = uuid_;
    versionID_ = record.versionID;
    saveAppCache();
}

void BITUpdateManager::checkUpdateAvailable() {
    const auto newest = newestAppVersion();
    if (!newest || !newest->version)
        return;
    const BITComparisonResult order = bit_versionCompare(*newest->version, currentAppVersion_);
    if (order == BITOrderedDescending) {
        setUpdateAvailable(true);
        return;
    }
    // Nothing newer is listed any more (a newer build was withdrawn):
    // installing the newest would go back to an older build.
    setUpdateAvailable(false);
    if (order == BITOrderedAscending)
        return;
    if (firstStartAfterInstall_) {
        if (newest->hasUUID(uuid_)) {
            adoptInstalledBuild(*newest);
            return;
        }
        for (size_t i = 1; i < appVersions_.size(); ++i) {
            const auto& record = *appVersions_[i];
            if (record.hasUUID(uuid_)) {
                adoptInstalledBuild(record);
                setUpdateAvailable(true);
                break;
            }
            if (!record.version ||
                bit_versionCompare(*record.version, currentAppVersion_) != BITOrderedSame)
                break;
        }
        return;
    }
    if (newest->versionID && versionID_ && *newest->versionID > *versionID_)
        setUpdateAvailable(true);
}

bool BITUpdateManager::hasNewerMandatoryVersion() const {
    bool mandatory = false;
    for (const auto& record : appVersions_) {
        const std::string version = record->version.value_or("");
        if (version == currentAppVersion_ ||
            bit_versionCompare(version, currentAppVersion_) == BITOrderedAscending)
            break;
        mandatory = mandatory || record->mandatory.value_or(false);
    }
    return mandatory;
}

void BITUpdateManager::showCheckForUpdateAlert() {
    if (appEnvironment() != BITAppEnvironmentOther || disableUpdateManager_)
        return;
    const auto newest = newestAppVersion();
    if (!newest)
        return;
    if (const auto delegate = updateDelegate()) {
        const auto answer =
            delegate->shouldDisplayUpdateAlertForUpdateManagerForShortVersionForVersion(
                *this, newest->shortVersion.value_or(""), newest->version.value_or(""));
        if (answer && !*answer)
            return;
    }
    if (updateAlertShowing_)
        return;
    const bool mandatory = hasNewerMandatoryVersion();
    const std::string message = bit_localizedStringWithFormat(
        mandatory ? "UpdateAlertMandatoryTextWithAppVersion" : "UpdateAlertTextWithAppVersion",
        newest->nameAndVersionString());
    std::vector<std::string> buttons{bit_localizedString("UpdateShow")};
    if (mandatory || showDirectInstallOption_)
        buttons.push_back(bit_localizedString("UpdateInstall"));
    updateAlert_ = std::make_shared<UIAlertView>(
        bit_localizedString("UpdateAvailable"), message, self(),
        mandatory ? std::nullopt : std::optional<std::string>(bit_localizedString("UpdateIgnore")),
        buttons);
    updateAlert_->setTag(mandatory ? kMandatoryAlertTag : kUpdateAlertTag);
    updateAlert_->show();
    updateAlertShowing_ = true;
}

void BITUpdateManager::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long buttonIndex) {
    if (alert.tag() != kUpdateAlertTag && alert.tag() != kMandatoryAlertTag)
        return;
    updateAlertShowing_ = false;
    updateAlert_.reset();
    const long first = alert.firstOtherButtonIndex();
    if (buttonIndex == first)
        showUpdateView();
    else if (first >= 0 && buttonIndex == first + 1)
        initiateAppDownload();
}

void BITUpdateManager::showUpdateView() {
    if (appEnvironment() != BITAppEnvironmentOther) {
        BITZizavaLogWarning("[ZizavaSDK] This should not be called from an app store build!");
        return;
    }
    if (currentZizavaViewController()) {
        BITZizavaLogDebug("INFO: Update view already visible, aborting");
        return;
    }
    const auto screen = zizavaViewController(true);
    if (const auto update = std::dynamic_pointer_cast<BITUpdateViewController>(screen)) {
        if (hasNewerMandatoryVersion())
            update->setMandatoryUpdate(true);
        // Registered at once, so a second request before it appears is refused.
        currentZizavaViewController_ = update;
    }
    std::weak_ptr<BITUpdateManager> weakSelf = self();
    DispatchQueue::main()->async([weakSelf, screen] {
        if (const auto manager = weakSelf.lock())
            manager->showView(screen);
    });
}

std::shared_ptr<UIViewController> BITUpdateManager::zizavaViewController(bool modal) {
    if (appEnvironment() != BITAppEnvironmentOther) {
        BITZizavaLogWarning("[ZizavaSDK] This should not be called from an app store build!");
        return std::make_shared<BITZizavaBaseViewController>(modal);
    }
    return std::make_shared<BITUpdateViewController>(self(), modal);
}

std::string BITUpdateManager::manifestURLString() const {
    const auto newest = newestAppVersion();
    const std::string build =
        newest && newest->versionID ? std::to_string(*newest->versionID) : std::string();
    return serverURL() + "api/2/apps/" + encodedAppIdentifier() + "/app_versions/" + build +
           "?format=plist";
}

bool BITUpdateManager::initiateAppDownload(std::function<void(bool)> done) {
    if (appEnvironment() != BITAppEnvironmentOther) {
        BITZizavaLogWarning("[ZizavaSDK] This should not be called from an app store build!");
        return false;
    }
    const auto newest = newestAppVersion();
    if (!updateAvailable_ || !newest || !newest->versionID) {
        BITZizavaLogWarning("WARNING: No update available. Aborting.");
        return false;
    }
    const std::string manifest = manifestURLString();
    const auto url = NSURL::URLWithString(manifest);
    if (!url)
        return false;
    if (const auto delegate = updateDelegate())
        delegate->willStartDownloadAndUpdate(*this);
    BITZizavaLogDebug("INFO: API Server Call: %s, reading the package's address", manifest.c_str());
    NSMutableURLRequest request(*url);
    request.setCachePolicy(NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    request.setTimeoutInterval(10);
    request.setValueForHTTPHeaderField("Zizava/iOS", "User-Agent");
    request.setHTTPShouldFollowRedirects(false);
    std::weak_ptr<BITUpdateManager> weakSelf = self();
    return sendRequest(request, [weakSelf, done](auto data, long status, auto) {
        if (const auto manager = weakSelf.lock())
            manager->openPackageFromManifest(data, status, done);
    });
}

void BITUpdateManager::openPackageFromManifest(const std::optional<Value::Data>& data, long status,
                                               const std::function<void(bool)>& done) {
    std::optional<std::string> package;
    if (isSuccess(status) && data) {
        if (const auto manifest = NSPropertyListSerialization::propertyListWithData(*data))
            package = packageURLOfManifest(*manifest);
    }
    bool opened = false;
    if (!package || !isWebURL(*package)) {
        // Only a web address goes to the desktop: a manifest naming a local
        // program or file is not followed.
        showFeedback_ = true;
        reportError(updaterError(BITUpdateAPIServerReturnedInvalidData,
                                 "Invalid data received from server."));
    } else {
        opened = UIApplication::sharedApplication()->openURL(*package);
        BITZizavaLogDebug("INFO: System returned: %d", int(opened));
    }
    didStartUpdateProcess_ = opened;
    if (done)
        done(opened);
}
