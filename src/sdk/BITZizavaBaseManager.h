#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "sdk/BITZizavaHelper.h"

class BITZizavaManagerDelegate;

// The base of the SDK's component managers (crash, beta update, store
// update, feedback, telemetry): identifier, environment, server URL, keychain
// access under the SDK's service, and the facts every manager reports.
class BITZizavaBaseManager : public std::enable_shared_from_this<BITZizavaBaseManager> {
  public:
    // The service's SDK endpoint, shared with the front.
    static constexpr const char* kDefaultServerURL = "https://sdk.zizava.app/";

    BITZizavaBaseManager(std::string appIdentifier, BITEnvironment appEnvironment);
    virtual ~BITZizavaBaseManager() = default;

    // Each manager starts its own work.
    virtual void startManager() {}

    // Settings the front passes on; a manager overrides those that are its own.
    virtual void setDelegate(std::weak_ptr<BITZizavaManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    virtual void setDisableUpdateManager(bool) {}
    virtual void setEnableStoreUpdateManager(bool) {}
    virtual void setDisableFeedbackManager(bool) {}
    virtual void setDisabled(bool) {}

    std::shared_ptr<BITZizavaManagerDelegate> delegate() const { return delegate_.lock(); }
    const std::string& serverURL() const { return serverURL_; }
    virtual void setServerURL(std::string serverURL) { serverURL_ = std::move(serverURL); }
    const std::string& appIdentifier() const { return appIdentifier_; }
    void setAppIdentifier(std::string identifier) { appIdentifier_ = std::move(identifier); }
    BITEnvironment appEnvironment() const { return appEnvironment_; }

    void reportError(const NSError& error) const;
    std::string encodedAppIdentifier() const;
    std::string getDevicePlatform() const;
    // The GNU build-id of the running executable as lower-case hexadecimal;
    // "" when it has none.
    std::string executableUUID() const;
    // "yyyy-MM-ddTHH:mm:ssZ" in UTC; nullopt (and a warning) otherwise.
    std::optional<NSDate> parseRFC3339Date(const std::optional<std::string>& text) const;

    bool addStringValueToKeychainForKey(const std::optional<std::string>& value,
                                        const std::optional<std::string>& key);
    bool addStringValueToKeychainForThisDeviceOnlyForKey(const std::optional<std::string>& value,
                                                         const std::optional<std::string>& key);
    std::optional<std::string> stringValueFromKeychainForKey(
        const std::optional<std::string>& key) const;
    bool removeKeyFromKeychain(const std::optional<std::string>& key);

  private:
    std::string appIdentifier_;
    BITEnvironment appEnvironment_;
    std::string serverURL_ = kDefaultServerURL;
    std::weak_ptr<BITZizavaManagerDelegate> delegate_;
};
