#pragma once

#include <memory>
#include <optional>
#include <string>

class NSBundle;

// Where the application came from: the store, its beta channel, or a build
// installed some other way (development, ad hoc).
enum BITAppEnvironment : int {
    BITAppEnvironmentAppStore = 0,
    BITAppEnvironmentTestFlight = 1,
    BITAppEnvironmentOther = 99,
};

// Posted by the host when the network comes back; managers retry then.
inline constexpr const char* BITZizavaNetworkDidBecomeReachableNotification =
    "BITZizavaNetworkDidBecomeReachable";

class BITZizavaHelper {
  public:
    static bool isURLSessionSupported();
    static bool isPhotoAccessPossible();
};

// Facts about the running program; each is worked out once per process.
bool bit_isRunningInAppExtension();
bool bit_isPreiOS7Environment();
bool bit_isPreiOS8Environment();
bool bit_isPreiOS10Environment();
bool bit_hasEmbeddedMobileProvision();
bool bit_isAppStoreReceiptSandbox();
// KELVARA_APP_ENVIRONMENT ("appstore", "testflight" or "other") when set;
// else 99 with a provisioning marker in the bundle, 1 with a sandbox receipt
// marker, 0 otherwise.
BITAppEnvironment bit_currentAppEnvironment();
bool bit_isDebuggerAttached();

// <Caches>/<the SDK's folder>, created (0755) when missing.
std::string bit_settingsDir();
std::string bit_mainBundleIdentifier();
// A string value of the main bundle's Info.plist; nullopt when absent or not a string.
std::optional<std::string> bit_mainBundleInfoString(const std::string& key);
// "<bundle identifier>.ZizavaSDK": the service of every SDK keychain item.
std::string bit_keychainServiceName();
// The platform can keep a folder out of backups; Linux has no such mark, so
// this only honours the switch in the user defaults.
void bit_fixBackupAttributeForURL(const std::optional<std::string>& path);
// The anonymous installation id kept in the keychain ("appAnonID").
std::string bit_appAnonID(bool forceNew);

// The SDK's resource bundle "ZizavaSDKResources.bundle" in the main bundle.
std::shared_ptr<NSBundle> bit_resourceBundle();
// The main bundle's translation when it has one, else the SDK table "ZizavaSDK".
std::string bit_localizedString(const std::optional<std::string>& key);
// The localised format of `key` filled with its one text argument.
std::string bit_localizedStringWithFormat(const std::string& key, const std::string& argument);
