// The beta update manager's lasting state (the builds of the last check, the
// installed build, the usage time) and its life with the application.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITCrashManager.h"
#include "sdk/update/BITUpdateManager.h"

namespace {

constexpr const char* kUsageTimeKey = "BITUpdateUsageTimeOfCurrentVersion";
constexpr const char* kUsageUUIDKey = "BITUpdateUsageTimeForUUID";
constexpr const char* kInstallationDateKey = "BITUpdateDateOfVersionInstallation";
constexpr const char* kArrayOfLastCheckKey = "BITUpdateArrayOfLastCheck";

std::shared_ptr<NSUserDefaults> defaults() {
    return NSUserDefaults::standardUserDefaults();
}

}  // namespace

void BITUpdateManager::loadAppVersionUsageData() {
    usageTime_ = 0;
    if (defaults()->stringForKey(kUsageUUIDKey) == uuid_) {
        const auto archive =
            NSPropertyListSerialization::propertyListWithContentsOfFile(usageDataFile_);
        const Value* seconds = archive ? archive->get(kUsageTimeKey) : nullptr;
        if (seconds && seconds->isNumber())
            usageTime_ = seconds->doubleValue().value_or(0);
        return;
    }
    defaults()->setDoubleForKey(NSDate::date().timeIntervalSinceReferenceDate(),
                                kInstallationDateKey);
    defaults()->setObjectForKey(Value(uuid_), kUsageUUIDKey);
    storeUsageTimeForCurrentVersion(0);
}

void BITUpdateManager::startUsage() {
    usageStartTimestamp_ = NSDate::date();
}

void BITUpdateManager::stopUsage() {
    if (appEnvironment() != BITAppEnvironmentOther)
        return;
    storeUsageTimeForCurrentVersion(NSDate::date().timeIntervalSinceDate(usageStartTimestamp_) +
                                    usageTime_);
    // The next stretch counts from here, so a second stop adds nothing twice.
    startUsage();
}

void BITUpdateManager::storeUsageTimeForCurrentVersion(double seconds) {
    if (appEnvironment() != BITAppEnvironmentOther)
        return;
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(Value::Dictionary{{kUsageTimeKey, Value(seconds)}}), usageDataFile_,
            NSPropertyListSerialization::Format::Binary, &error))
        BITZizavaLogError("ERROR: %s", error.localizedDescription().c_str());
    usageTime_ = seconds;
}

std::string BITUpdateManager::currentUsageString() const {
    if (usageTime_ <= 0)
        return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", std::ceil(usageTime_ / 60.0) * 60.0);
    return text;
}

std::string BITUpdateManager::installationDateString() const {
    const double stored = defaults()->doubleForKey(kInstallationDateKey);
    NSDateFormatter formatter;
    formatter.setDateFormat("MM/dd/yyyy");
    return formatter.stringFromDate(
        stored > 0 ? NSDate::dateWithTimeIntervalSinceReferenceDate(stored) : NSDate::date());
}

void BITUpdateManager::loadAppCache() {
    versionUUID_ = defaults()->stringForKey("BITUpdateInstalledUUID");
    firstStartAfterInstall_ = !versionUUID_ || *versionUUID_ != uuid_;
    const auto storedID = defaults()->objectForKey("BITUpdateInstalledVersionID");
    versionID_ = storedID && storedID->isNumber() ? storedID->integerValue() : std::nullopt;
    companyName_ = defaults()->stringForKey("BITUpdateCurrentCompanyName");
    const auto data = defaults()->dataForKey(kArrayOfLastCheckKey);
    const auto archive =
        data ? NSPropertyListSerialization::propertyListWithData(*data) : std::nullopt;
    const Value::Array* list = archive ? archive->arrayValue() : nullptr;
    std::vector<std::shared_ptr<BITAppVersionMetaInfo>> versions;
    for (size_t i = 0; list && i < list->size(); ++i)
        if (auto record = BITAppVersionMetaInfo::createWithCoder((*list)[i]))
            versions.push_back(std::move(record));
    setAppVersions(std::move(versions));
    if (list)
        checkUpdateAvailable();
}

void BITUpdateManager::saveAppCache() {
    if (companyName_)
        defaults()->setObjectForKey(Value(*companyName_), "BITUpdateCurrentCompanyName");
    if (versionUUID_)
        defaults()->setObjectForKey(Value(*versionUUID_), "BITUpdateInstalledUUID");
    if (versionID_)
        defaults()->setObjectForKey(Value(*versionID_), "BITUpdateInstalledVersionID");
    Value::Array archive;
    for (const auto& record : appVersions_)
        archive.emplace_back(record->encodeWithCoder());
    NSError error;
    const auto data = NSPropertyListSerialization::dataWithPropertyList(
        Value(std::move(archive)), NSPropertyListSerialization::Format::Binary, &error);
    if (data)
        defaults()->setObjectForKey(Value(*data), kArrayOfLastCheckKey);
    else
        BITZizavaLogError("ERROR: %s", error.localizedDescription().c_str());
}

void BITUpdateManager::startManager() {
    if (appEnvironment() == BITAppEnvironmentOther) {
        if (disableUpdateManager_)
            return;
        BITZizavaLogDebug("INFO: Starting UpdateManager");
        if (const auto delegate = updateDelegate())
            if (const auto send = delegate->updateManagerShouldSendUsageData(*this))
                sendUsageData_ = *send;
        if (checkForUpdateOnLaunch_ && shouldCheckForUpdates()) {
            if (UIApplication::sharedApplication()->applicationState() != UIApplicationStateActive)
                return;
            std::weak_ptr<BITUpdateManager> weakSelf =
                std::static_pointer_cast<BITUpdateManager>(shared_from_this());
            DispatchQueue::main()->after(1.0, [weakSelf] {
                if (const auto manager = weakSelf.lock())
                    manager->checkForUpdate();
            });
        }
    }
    registerObservers();
}

void BITUpdateManager::registerObservers() {
    if (!observers_.empty())
        return;
    const auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<BITUpdateManager> weakSelf =
        std::static_pointer_cast<BITUpdateManager>(shared_from_this());
    const auto observe = [&](const char* name, void (BITUpdateManager::*action)()) {
        observers_.push_back(
            center->addObserverForName(name, nullptr, DispatchQueue::main()->scheduler(),
                                       [weakSelf, action](const NSNotification&) {
                                           if (const auto manager = weakSelf.lock())
                                               ((*manager).*action)();
                                       }));
    };
    observe(UIApplicationDidEnterBackgroundNotification,
            &BITUpdateManager::didEnterBackgroundActions);
    observe(UIApplicationDidBecomeActiveNotification, &BITUpdateManager::didBecomeActiveActions);
    observe(BITZizavaNetworkDidBecomeReachableNotification,
            &BITUpdateManager::didBecomeActiveActions);
}

void BITUpdateManager::unregisterObservers() {
    NSNotificationCenter::defaultCenter()->removeObservers(observers_);
}

void BITUpdateManager::didEnterBackgroundActions() {
    didEnterBackgroundState_ =
        UIApplication::sharedApplication()->applicationState() == UIApplicationStateBackground;
}

void BITUpdateManager::didBecomeActiveActions() {
    if (disableUpdateManager_)
        return;
    if (didStartUpdateProcess_) {
        // The user went to install the new build: this one makes way for it.
        didStartUpdateProcess_ = false;
        if (const auto delegate = updateDelegate())
            delegate->updateManagerWillExitApp(*this);
        if (const auto crash = std::dynamic_pointer_cast<BITCrashManager>(
                BITZizavaManager::sharedZizavaManager()->crashManager()))
            crash->leavingAppSafely();
        DispatchQueue::exitProgram(0);
    }
    if (!didEnterBackgroundState_)
        return;
    didEnterBackgroundState_ = false;
    startUsage();
    if (checkForUpdateOnLaunch_ && shouldCheckForUpdates())
        checkForUpdate();
}
