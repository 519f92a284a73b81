#include "sdk/BITZizavaHelper.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSStringFormat.h"
#include "Foundation/NSUserDefaults.h"
#include "Security/SecItem.h"
#include "sdk/BITKeychainUtils.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaLogger.h"

namespace {

// The SDK's folder under <Caches>.
constexpr const char* kSettingsFolderName = "app.zizava.sdk";

std::string infoString(const char* key) {
    const auto value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string();
}

std::string executablePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace

bool BITZizavaHelper::isURLSessionSupported() {
    return !bit_isRunningInAppExtension();
}

bool BITZizavaHelper::isPhotoAccessPossible() {
    if (bit_isPreiOS10Environment())
        return true;
    return !infoString("NSPhotoLibraryUsageDescription").empty();
}

bool bit_isRunningInAppExtension() {
    static const bool extension = [] {
        const std::string path = executablePath();
        return path.empty() || path.find(".appex/") != std::string::npos;
    }();
    return extension;
}

// The stand-in platform is always of the newest generation.
bool bit_isPreiOS7Environment() {
    return false;
}

bool bit_isPreiOS8Environment() {
    return false;
}

bool bit_isPreiOS10Environment() {
    return false;
}

bool bit_hasEmbeddedMobileProvision() {
    return NSBundle::mainBundle()->pathForResource("embedded", "mobileprovision").has_value();
}

bool bit_isAppStoreReceiptSandbox() {
    return NSBundle::mainBundle()->pathForResource("sandboxReceipt", "", "StoreKit").has_value();
}

BITAppEnvironment bit_currentAppEnvironment() {
    static const BITAppEnvironment environment = [] {
        if (const char* chosen = std::getenv("KELVARA_APP_ENVIRONMENT")) {
            const std::string name = chosen;
            if (name == "appstore")
                return BITAppEnvironmentAppStore;
            if (name == "testflight")
                return BITAppEnvironmentTestFlight;
            if (name == "other")
                return BITAppEnvironmentOther;
        }
        if (bit_hasEmbeddedMobileProvision())
            return BITAppEnvironmentOther;
        if (bit_isPreiOS7Environment())
            return BITAppEnvironmentAppStore;
        if (bit_isAppStoreReceiptSandbox())
            return BITAppEnvironmentTestFlight;
        return BITAppEnvironmentAppStore;
    }();
    return environment;
}

bool bit_isDebuggerAttached() {
    static const bool attached = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (status && std::getline(status, line)) {
            if (line.rfind("TracerPid:", 0) == 0)
                return std::atol(line.c_str() + 10) != 0;
        }
        BITZizavaLogError(
            "[ZizavaSDK] ERROR: Checking for a running debugger via sysctl() failed.");
        return false;
    }();
    return attached;
}

std::string bit_settingsDir() {
    static const std::string folder = [] {
        const std::string path =
            NSSearchPathForDirectory(NSSearchPathDirectory::Caches) + "/" + kSettingsFolderName;
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            std::filesystem::create_directories(path, error);
            std::filesystem::permissions(
                path,
                std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                    std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                    std::filesystem::perms::others_exec,
                error);
        }
        return path;
    }();
    return folder;
}

std::string bit_mainBundleIdentifier() {
    return infoString("CFBundleIdentifier");
}

std::string bit_keychainServiceName() {
    static const std::string service = bit_mainBundleIdentifier() + ".ZizavaSDK";
    return service;
}

void bit_fixBackupAttributeForURL(const std::optional<std::string>& path) {
    if (!path || NSUserDefaults::standardUserDefaults()->boolForKey(
                     "kBITExcludeApplicationSupportFromBackup"))
        return;
    // Nothing is excluded from backups on Linux, so the folder is backed up already.
}

std::string bit_appAnonID(bool forceNew) {
    static std::mutex mutex;
    static std::optional<std::string> cached;
    // One serial queue, so a replaced id can never be stored after its successor.
    static const auto storeQueue = DispatchQueue::createSerial("app.zizava.sdk.anonid");
    const auto store = [](const std::string& identifier) {
        storeQueue->async([identifier] {
            std::optional<NSError> error;
            BITKeychainUtils::
                storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
                    std::string("appAnonID"), identifier, bit_keychainServiceName(), true,
                    kSecAttrAccessibleAlwaysThisDeviceOnly, &error);
        });
    };
    std::lock_guard lock(mutex);
    if (forceNew) {
        cached = bit_UUID();
        store(*cached);
        return *cached;
    }
    if (!cached) {
        std::optional<NSError> error;
        cached = BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
            std::string("appAnonID"), bit_keychainServiceName(), &error);
        if (!cached) {
            cached = bit_UUID();
            store(*cached);
        }
    }
    return *cached;
}

std::shared_ptr<NSBundle> bit_resourceBundle() {
    static const std::shared_ptr<NSBundle> bundle = NSBundle::bundleWithPath(
        NSBundle::mainBundle()->resourcePath() + "/ZizavaSDKResources.bundle");
    return bundle;
}

std::string bit_localizedString(const std::optional<std::string>& key) {
    if (!key)
        return "";
    const std::string translated = NSBundle::mainBundle()->localizedStringForKey(*key);
    if (translated != *key)
        return translated;
    if (const auto bundle = bit_resourceBundle())
        return bundle->localizedStringForKey(*key, "", "ZizavaSDK");
    return *key;
}

std::string bit_localizedStringWithFormat(const std::string& key, const std::string& argument) {
    const std::string format = bit_localizedString(key);
    // A translation that does not take the one text argument shows as it stands.
    return NSStringWithFormat(format, {argument}).value_or(format);
}

std::optional<std::string> bit_mainBundleInfoString(const std::string& key) {
    const auto value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}
