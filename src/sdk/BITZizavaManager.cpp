#include "sdk/BITZizavaManager.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSThread.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSPathUtilities.h"
#include "Net/NSURLSession.h"
#include "Security/SecItem.h"
#include "sdk/BITCategoryContainer.h"
#include "sdk/BITKeychainUtils.h"
#include "sdk/BITZizavaFormatting.h"

namespace {

// The SDK's version record, twice, in sections of their own where tools that
// inspect the binary find it: a marker byte, the version and the build, each
// NUL-padded to 16 bytes.
struct BITZizavaVersionRecord {
    char marker;
    char version[16];
    char build[16];
};
static_assert(sizeof(BITZizavaVersionRecord) == 33);

[[gnu::used, gnu::section("__bit_zizava")]] const BITZizavaVersionRecord zizavaVersionRecord = {
    1, "4.1.4", "99"};
[[gnu::used, gnu::section("__bit_ios")]] const BITZizavaVersionRecord iosVersionRecord = {
    1, "4.1.4", "99"};

constexpr const char* kComponentNames[] = {"CrashManager", "UpdateManager", "StoreUpdateManager",
                                           "FeedbackManager", "MetricsManager"};

std::mutex factoriesMutex;
std::map<BITZizavaComponent, BITZizavaManager::ComponentFactory>& factories() {
    static std::map<BITZizavaComponent, BITZizavaManager::ComponentFactory> registered;
    return registered;
}

BITZizavaManager::ComponentFactory factoryFor(BITZizavaComponent component) {
    std::lock_guard lock(factoriesMutex);
    const auto found = factories().find(component);
    return found == factories().end() ? nullptr : found->second;
}

size_t indexOf(BITZizavaComponent component) {
    return static_cast<size_t>(component);
}

// "yyyy-MM-dd'T'HH:mm:ssZ": the zone as +hhmm, -hhmm, +hh:mm or Z.
std::optional<double> parseIntegrationTime(const std::string& text) {
    std::tm parts{};
    int zoneHours = 0;
    int zoneMinutes = 0;
    char sign = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6 ||
        consumed != 19)
        return std::nullopt;
    const std::string zone = text.substr(19);
    if (zone != "Z") {
        int zoneConsumed = 0;
        const bool parsed =
            std::sscanf(zone.c_str(), "%c%2d%n", &sign, &zoneHours, &zoneConsumed) == 2 &&
            zoneConsumed == 3 && (sign == '+' || sign == '-');
        std::string minutes = parsed ? zone.substr(3) : std::string();
        if (!minutes.empty() && minutes[0] == ':')
            minutes.erase(0, 1);
        if (!parsed || minutes.size() != 2 ||
            !std::isdigit(static_cast<unsigned char>(minutes[0])) ||
            !std::isdigit(static_cast<unsigned char>(minutes[1])))
            return std::nullopt;
        zoneMinutes = std::stoi(minutes);
    }
    if (parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60 || zoneHours > 23 ||
        zoneMinutes > 59)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const double offset = (zoneHours * 3600.0 + zoneMinutes * 60.0) * (sign == '-' ? -1 : 1);
    return static_cast<double>(timegm(&parts)) - offset;
}

std::string infoString(const char* key) {
    const auto value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string();
}

}  // namespace

void BITZizavaManager::registerComponentFactory(BITZizavaComponent component,
                                                ComponentFactory factory) {
    std::lock_guard lock(factoriesMutex);
    if (factory)
        factories()[component] = std::move(factory);
    else
        factories().erase(component);
}

std::shared_ptr<BITZizavaManager> BITZizavaManager::sharedZizavaManager() {
    // Lives as long as the process: its managers must not be torn down at
    // exit after the notification centre and queues they use are gone.
    static const auto* shared =
        new std::shared_ptr<BITZizavaManager>(create(bit_currentAppEnvironment()));
    return *shared;
}

std::shared_ptr<BITZizavaManager> BITZizavaManager::create(BITAppEnvironment appEnvironment) {
    auto manager = std::make_shared<BITZizavaManager>(appEnvironment);
    // After the launch code that configures and starts the SDK.
    std::weak_ptr<BITZizavaManager> weak = manager;
    DispatchQueue::main()->async([weak] {
        if (const auto self = weak.lock())
            self->validateStartManagerIsInvoked();
    });
    return manager;
}

BITZizavaManager::BITZizavaManager(BITAppEnvironment appEnvironment)
    : appEnvironment_(appEnvironment), installString_(bit_appAnonID(false)) {}

std::string BITZizavaManager::version() {
    return std::string(zizavaVersionRecord.version,
                       strnlen(zizavaVersionRecord.version, sizeof zizavaVersionRecord.version));
}

std::string BITZizavaManager::build() {
    return std::string(iosVersionRecord.build,
                       strnlen(iosVersionRecord.build, sizeof iosVersionRecord.build));
}

// A repeated configuration changes nothing; initializeModules says so.
void BITZizavaManager::configureWithIdentifier(const std::optional<std::string>& appIdentifier) {
    if (!managersInitialized_)
        appIdentifier_ = appIdentifier;
    initializeModules();
}

void BITZizavaManager::configureWithIdentifierDelegate(
    const std::optional<std::string>& appIdentifier,
    std::weak_ptr<BITZizavaManagerDelegate> delegate) {
    if (!managersInitialized_) {
        delegate_ = std::move(delegate);
        appIdentifier_ = appIdentifier;
    }
    initializeModules();
}

void BITZizavaManager::configureWithBetaIdentifierLiveIdentifierDelegate(
    const std::optional<std::string>& betaIdentifier,
    const std::optional<std::string>& liveIdentifier,
    std::weak_ptr<BITZizavaManagerDelegate> delegate) {
    if (managersInitialized_) {
        initializeModules();
        return;
    }
    delegate_ = std::move(delegate);
    if (!checkValidityOfAppIdentifier(liveIdentifier)) {
        logInvalidIdentifier("liveIdentifier");
        liveIdentifier_ = liveIdentifier;
    }
    appIdentifier_ = shouldUseLiveIdentifier() ? liveIdentifier : betaIdentifier;
    initializeModules();
}

bool BITZizavaManager::checkValidityOfAppIdentifier(
    const std::optional<std::string>& identifier) const {
    return identifier && identifier->size() == 32 &&
           identifier->find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool BITZizavaManager::shouldUseLiveIdentifier() {
    if (const auto delegate = delegate_.lock()) {
        if (const auto answer = delegate->shouldUseLiveIdentifierForZizavaManager(*this))
            return *answer;
    }
    return appEnvironment_ == BITAppEnvironmentAppStore;
}

void BITZizavaManager::logInvalidIdentifier(const std::string& label) const {
    if (appEnvironment_ == BITAppEnvironmentAppStore)
        return;
    if (label == "liveIdentifier") {
        BITZizavaLogWarning(
            "[ZizavaSDK] WARNING: The liveIdentifier is invalid! The SDK will be disabled when "
            "deployed to the App Store without setting a valid app identifier!");
    } else {
        BITZizavaLogError(
            "[ZizavaSDK] ERROR: The %s is invalid! Please use the ZizavaApp app identifier you "
            "find "
            "on the apps website on ZizavaApp! The SDK is disabled!",
            label.c_str());
    }
}

bool BITZizavaManager::isSetUpOnMainThread() const {
    if (NSThread::isMainThread())
        return true;
    BITZizavaLogError("%s", "ERROR: ZizavaSDK has to be setup on the main thread!");
    return false;
}

void BITZizavaManager::initializeModules() {
    if (managersInitialized_) {
        BITZizavaLogWarning(
            "[ZizavaSDK] Warning: The SDK should only be initialized once! This call is ignored.");
        return;
    }
    validAppIdentifier_ = checkValidityOfAppIdentifier(appIdentifier_);
    if (!isSetUpOnMainThread())
        return;
    startManagerIsInvoked_ = false;
    if (!validAppIdentifier_) {
        logInvalidIdentifier("app identifier");
        return;
    }

    for (size_t i = 0; i < kComponentCount; ++i) {
        const auto component = static_cast<BITZizavaComponent>(i);
        const ComponentFactory factory = factoryFor(component);
        if (!factory) {
            BITZizavaLogDebug("INFO: %s is not part of this build", kComponentNames[i]);
            continue;
        }
        BITZizavaLogDebug("INFO: Setup %s", kComponentNames[i]);
        if (component == BITZizavaComponent::CrashManager)
            zizavaAppClient();
        const bool isMetrics = component == BITZizavaComponent::MetricsManager;
        const std::string identifier =
            isMetrics ? bit_appIdentifierToGuid(*appIdentifier_).value_or(*appIdentifier_)
                      : *appIdentifier_;
        managers_[i] = factory(identifier, appEnvironment_, *this);
        if (managers_[i] && !isMetrics)
            managers_[i]->setDelegate(delegate_);
    }

    if (appEnvironment_ != BITAppEnvironmentAppStore) {
        const auto timeString = integrationFlowTimeString();
        if (timeString && integrationFlowStartedWithTimeString(timeString))
            pingServerForIntegrationStartWorkflowWithTimeStringAppIdentifier(timeString,
                                                                             appIdentifier_);
    }
    managersInitialized_ = true;
}

void BITZizavaManager::startManager() {
    if (!validAppIdentifier_)
        return;
    if (startManagerIsInvoked_) {
        BITZizavaLogWarning(
            "[ZizavaSDK] Warning: startManager should only be invoked once! This call is ignored.");
        return;
    }
    bit_fixBackupAttributeForURL(NSSearchPathForDirectory(NSSearchPathDirectory::Library));
    if (!isSetUpOnMainThread())
        return;
    if (appEnvironment_ == BITAppEnvironmentAppStore && disableInstallTracking_)
        installString_ = bit_appAnonID(true);

    BITZizavaLogDebug("INFO: Starting ZizavaManager");
    startManagerIsInvoked_ = true;

    if (const auto crash = crashManager(); crash && !disableCrashManager_) {
        BITZizavaLogDebug("INFO: Start CrashManager");
        crash->startManager();
    }
    if (bit_isRunningInAppExtension())
        return;
    if (const auto storeUpdate = storeUpdateManager(); storeUpdate && enableStoreUpdateManager_) {
        BITZizavaLogDebug("INFO: Start StoreUpdateManager");
        storeUpdate->setServerURL(serverURL_);
        startLater(storeUpdate, 0.5);
    }
    if (const auto feedback = feedbackManager(); feedback && !disableFeedbackManager_) {
        BITZizavaLogDebug("INFO: Start FeedbackManager");
        feedback->setServerURL(serverURL_);
        startLater(feedback, 1.0);
    }
    if (appEnvironment_ != BITAppEnvironmentAppStore && !disableUpdateManager_)
        invokeStartUpdateManager();
    if (const auto metrics = metricsManager(); metrics && !disableMetricsManager_) {
        BITZizavaLogDebug("INFO: Start MetricsManager");
        metrics->startManager();
        BITCategoryContainer::activateCategory();
    }
}

void BITZizavaManager::invokeStartUpdateManager() {
    const auto update = updateManager();
    if (startUpdateManagerIsInvoked_ || !update)
        return;
    startUpdateManagerIsInvoked_ = true;
    BITZizavaLogDebug("INFO: Start UpdateManager");
    update->setServerURL(serverURL_);
    startLater(update, 0.5);
}

void BITZizavaManager::startLater(const std::shared_ptr<BITZizavaBaseManager>& manager,
                                  double seconds) {
    std::weak_ptr<BITZizavaBaseManager> weak = manager;
    DispatchQueue::main()->after(seconds, [weak] {
        if (const auto target = weak.lock())
            target->startManager();
    });
}

void BITZizavaManager::validateStartManagerIsInvoked() const {
    if (validAppIdentifier_ && appEnvironment_ != BITAppEnvironmentAppStore &&
        !startManagerIsInvoked_) {
        BITZizavaLogError(
            "[ZizavaSDK] ERROR: You did not call [[BITZizavaManager sharedZizavaManager] "
            "startManager] to startup the ZizavaSDK! Please do so after setting up all properties. "
            "The SDK is NOT running.");
    }
}

void BITZizavaManager::setServerURL(const std::optional<std::string>& serverURL) {
    // Without a value the default comes back; appending "/" to nothing would
    // store a URL that leads nowhere.
    std::string value =
        serverURL && !serverURL->empty() ? *serverURL : BITZizavaBaseManager::kDefaultServerURL;
    if (!value.ends_with('/'))
        value += "/";
    if (value == serverURL_)
        return;
    const auto url = NSURL::URLWithString(value);
    if (!url) {
        BITZizavaLogError("ERROR: The server URL %s is not a URL; it is ignored.", value.c_str());
        return;
    }
    serverURL_ = value;
    if (zizavaAppClient_)
        zizavaAppClient_->setBaseURL(*url);
}

void BITZizavaManager::setDelegate(std::weak_ptr<BITZizavaManagerDelegate> delegate) {
    if (appEnvironment_ != BITAppEnvironmentAppStore && startManagerIsInvoked_) {
        BITZizavaLogError(
            "[ZizavaSDK] ERROR: The `delegate` property has to be set before calling "
            "[[BITZizavaManager sharedZizavaManager] startManager] !");
    }
    if (!delegate.owner_before(delegate_) && !delegate_.owner_before(delegate))
        return;
    delegate_ = delegate;
    for (const auto component :
         {BITZizavaComponent::CrashManager, BITZizavaComponent::UpdateManager,
          BITZizavaComponent::FeedbackManager, BITZizavaComponent::StoreUpdateManager}) {
        if (const auto manager = this->component(component))
            manager->setDelegate(delegate);
    }
}

void BITZizavaManager::setDisableUpdateManager(bool disable) {
    if (const auto manager = updateManager())
        manager->setDisableUpdateManager(disable);
    disableUpdateManager_ = disable;
}

void BITZizavaManager::setEnableStoreUpdateManager(bool enable) {
    if (const auto manager = storeUpdateManager())
        manager->setEnableStoreUpdateManager(enable);
    enableStoreUpdateManager_ = enable;
}

void BITZizavaManager::setDisableFeedbackManager(bool disable) {
    if (const auto manager = feedbackManager())
        manager->setDisableFeedbackManager(disable);
    disableFeedbackManager_ = disable;
}

void BITZizavaManager::setDisableMetricsManager(bool disable) {
    if (const auto manager = metricsManager())
        manager->setDisabled(disable);
    disableMetricsManager_ = disable;
}

void BITZizavaManager::setDebugLogEnabled(bool enabled) {
    debugLogEnabled_ = enabled;
    setLogLevel(enabled ? BITLogLevelDebug : BITLogLevelWarning);
}

void BITZizavaManager::setLogHandler(BITZizavaLogger::LogHandler handler) {
    BITZizavaLogger::setLogHandler(std::move(handler));
}

void BITZizavaManager::setUserID(const std::optional<std::string>& userID) {
    userID_ = userID;
    modifyKeychainUserValueForKey(userID, "BITZizavaMetaUserID");
}

void BITZizavaManager::setUserName(const std::optional<std::string>& userName) {
    userName_ = userName;
    modifyKeychainUserValueForKey(userName, "BITZizavaMetaUserName");
}

void BITZizavaManager::setUserEmail(const std::optional<std::string>& userEmail) {
    userEmail_ = userEmail;
    modifyKeychainUserValueForKey(userEmail, "BITZizavaMetaUserEmail");
}

void BITZizavaManager::modifyKeychainUserValueForKey(const std::optional<std::string>& value,
                                                     const std::string& key) {
    std::optional<NSError> error;
    bool success = true;
    const char* action = "update";
    if (value) {
        success = BITKeychainUtils::
            storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
                key, value, bit_keychainServiceName(), true, kSecAttrAccessibleAlwaysThisDeviceOnly,
                &error);
    } else {
        action = "delete";
        std::optional<NSError> readError;
        if (!BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
                key, bit_keychainServiceName(), &readError) &&
            !readError)
            return;
        success = BITKeychainUtils::deleteItemForUsernameAndServiceNameError(
            key, bit_keychainServiceName(), &error);
    }
    if (!success) {
        BITZizavaLogError("ERROR: Couldn't %s key %s in the keychain. %s", action, key.c_str(),
                          error ? error->description().c_str() : "");
    }
}

std::shared_ptr<BITZizavaAppClient> BITZizavaManager::zizavaAppClient() {
    if (!zizavaAppClient_) {
        const auto url = NSURL::URLWithString(serverURL_);
        zizavaAppClient_ = std::make_shared<BITZizavaAppClient>(
            url.value_or(*NSURL::URLWithString(BITZizavaBaseManager::kDefaultServerURL)));
    }
    return zizavaAppClient_;
}

void BITZizavaManager::testIdentifier() {
    if (!appIdentifier_ || appEnvironment_ == BITAppEnvironmentAppStore)
        return;
    const std::string timeString = bit_format("%.0f", NSDate::date().timeIntervalSince1970());
    pingServerForIntegrationStartWorkflowWithTimeStringAppIdentifier(timeString, appIdentifier_);
    if (liveIdentifier_)
        pingServerForIntegrationStartWorkflowWithTimeStringAppIdentifier(timeString,
                                                                         liveIdentifier_);
}

std::optional<std::string> BITZizavaManager::integrationFlowTimeString() const {
    const auto value =
        NSBundle::mainBundle()->objectForInfoDictionaryKey("BITIntegrationFlowStartTimestamp");
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

bool BITZizavaManager::integrationFlowStartedWithTimeString(
    const std::optional<std::string>& timeString) const {
    if (!timeString || appEnvironment_ == BITAppEnvironmentAppStore)
        return false;
    const auto started = parseIntegrationTime(*timeString);
    if (!started)
        return false;
    return *started > NSDate::date().timeIntervalSince1970() - 600.0;
}

void BITZizavaManager::pingServerForIntegrationStartWorkflowWithTimeStringAppIdentifier(
    const std::optional<std::string>& timeString, const std::optional<std::string>& appIdentifier) {
    if (!appIdentifier || appEnvironment_ == BITAppEnvironmentAppStore)
        return;
    const std::string path =
        bit_format("api/3/apps/%s/integration", bit_URLEncodedString(*appIdentifier).c_str());
    BITZizavaLogDebug("INFO: Sending integration workflow ping to %s", path.c_str());
    const BITZizavaAppClient::Parameters parameters{
        {"timestamp", timeString.value_or("")},
        {"sdk", "ZizavaSDK"},
        {"sdk_version", "4.1.4"},
        {"bundle_version", infoString("CFBundleVersion")}};
    if (BITZizavaHelper::isURLSessionSupported()) {
        const NSURLRequest request =
            zizavaAppClient()->requestWithMethodPathParameters("POST", path, parameters);
        auto session = NSURLSession::sessionWithConfiguration(
            NSURLSessionConfiguration::defaultSessionConfiguration());
        auto task = session->dataTaskWithRequest(
            request, [session](auto, std::optional<NSHTTPURLResponse> response, auto) {
                session->finishTasksAndInvalidate();
                logPingMessageForStatusCode(response ? response->statusCode() : 0);
            });
        if (task)
            task->resume();
        return;
    }
    zizavaAppClient()->postPathParametersCompletion(
        path, parameters, [](const std::shared_ptr<BITHTTPOperation>& operation, auto, auto) {
            const auto response = operation->response();
            logPingMessageForStatusCode(response ? response->statusCode() : 0);
        });
}

void BITZizavaManager::logPingMessageForStatusCode(long statusCode) {
    switch (statusCode) {
        case 400:
            BITZizavaLogError("ERROR: App ID not found");
            break;
        case 201:
            BITZizavaLogDebug("INFO: Ping accepted.");
            break;
        case 200:
            BITZizavaLogDebug("INFO: Ping accepted. Server already knows.");
            break;
        default:
            BITZizavaLogError("ERROR: Unknown error");
            break;
    }
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::component(
    BITZizavaComponent component) const {
    return managers_[indexOf(component)];
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::crashManager() const {
    return component(BITZizavaComponent::CrashManager);
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::updateManager() const {
    return component(BITZizavaComponent::UpdateManager);
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::storeUpdateManager() const {
    return component(BITZizavaComponent::StoreUpdateManager);
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::feedbackManager() const {
    return component(BITZizavaComponent::FeedbackManager);
}

std::shared_ptr<BITZizavaBaseManager> BITZizavaManager::metricsManager() const {
    return component(BITZizavaComponent::MetricsManager);
}
