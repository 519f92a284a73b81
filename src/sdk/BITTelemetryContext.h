#pragma once

#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>

#include "Foundation/Value.h"
#include "sdk/BITApplication.h"
#include "sdk/BITDevice.h"
#include "sdk/BITInternal.h"
#include "sdk/BITSession.h"
#include "sdk/BITUser.h"

class BITPersistence;

inline constexpr const char* kBITUserMetaData = "BITUserMetaData";

// What every telemetry envelope says about where it comes from: the fixed
// application, device and SDK facts (computed once), the current session and
// the anonymous user (kept across launches in the telemetry meta data).
// Readers may run side by side; each write runs alone.
class BITTelemetryContext {
  public:
    BITTelemetryContext();
    BITTelemetryContext(std::optional<std::string> appIdentifier,
                        std::shared_ptr<BITPersistence> persistence);

    std::shared_ptr<BITUser> newUser() const;
    void saveUser(const std::shared_ptr<BITUser>& user);
    std::shared_ptr<BITUser> loadUser();

    // The static tags: application, SDK and device, fixed at first use.
    Value::Dictionary tags();
    // The tag map of one envelope: the static tags, the session's and the user's.
    Value::Dictionary contextDictionary();

    std::optional<std::string> appIdentifier() const;
    void setAppIdentifier(std::optional<std::string> value);
    std::optional<std::string> screenResolution() const;
    void setScreenResolution(std::optional<std::string> value);
    std::optional<std::string> appVersion() const;
    void setAppVersion(std::optional<std::string> value);
    std::optional<std::string> anonymousUserId() const;
    void setAnonymousUserId(std::optional<std::string> value);
    std::optional<std::string> anonymousUserAquisitionDate() const;
    void setAnonymousUserAquisitionDate(std::optional<std::string> value);
    std::optional<std::string> sdkVersion() const;
    void setSdkVersion(std::optional<std::string> value);
    std::optional<std::string> sessionId() const;
    void setSessionId(std::optional<std::string> value);
    std::optional<std::string> isFirstSession() const;
    void setIsFirstSession(std::optional<std::string> value);
    std::optional<std::string> isNewSession() const;
    void setIsNewSession(std::optional<std::string> value);
    std::optional<std::string> osVersion() const;
    void setOsVersion(std::optional<std::string> value);
    std::optional<std::string> osName() const;
    void setOsName(std::optional<std::string> value);
    std::optional<std::string> deviceModel() const;
    void setDeviceModel(std::optional<std::string> value);
    std::optional<std::string> deviceOemName() const;
    void setDeviceOemName(std::optional<std::string> value);
    std::optional<std::string> osLocale() const;
    void setOsLocale(std::optional<std::string> value);
    std::optional<std::string> osLanguage() const;
    void setOsLanguage(std::optional<std::string> value);
    std::optional<std::string> deviceId() const;
    void setDeviceId(std::optional<std::string> value);
    std::optional<std::string> deviceType() const;
    void setDeviceType(std::optional<std::string> value);

    const std::shared_ptr<BITPersistence>& persistence() const { return persistence_; }
    std::shared_ptr<BITApplication> application() const { return application_; }
    std::shared_ptr<BITDevice> device() const { return device_; }
    std::shared_ptr<BITSession> session() const { return session_; }
    std::shared_ptr<BITUser> user() const { return user_; }
    std::shared_ptr<BITInternal> internal() const { return internal_; }

  private:
    std::optional<std::string> read(const std::optional<std::string>& field) const;
    void write(std::optional<std::string>& field, std::optional<std::string> value);

    mutable std::shared_mutex mutex_;
    std::optional<std::string> appIdentifier_;
    std::shared_ptr<BITPersistence> persistence_;
    std::shared_ptr<BITApplication> application_ = std::make_shared<BITApplication>();
    std::shared_ptr<BITDevice> device_ = std::make_shared<BITDevice>();
    std::shared_ptr<BITSession> session_ = std::make_shared<BITSession>();
    std::shared_ptr<BITUser> user_ = std::make_shared<BITUser>();
    std::shared_ptr<BITInternal> internal_ = std::make_shared<BITInternal>();
    std::optional<Value::Dictionary> tags_;
};
