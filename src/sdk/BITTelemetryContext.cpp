#include "sdk/BITTelemetryContext.h"

#include <mutex>

#include "sdk/BITPersistence.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"

namespace {

std::optional<std::string> nonEmpty(std::string text) {
    if (text.empty())
        return std::nullopt;
    return text;
}

}  // namespace

BITTelemetryContext::BITTelemetryContext() = default;

BITTelemetryContext::BITTelemetryContext(std::optional<std::string> appIdentifier,
                                         std::shared_ptr<BITPersistence> persistence)
    : appIdentifier_(std::move(appIdentifier)), persistence_(std::move(persistence)) {
    device_->model = nonEmpty(bit_devicePlatform());
    device_->type = bit_deviceType();
    device_->screenResolution = bit_screenSize();
    device_->osVersion = bit_osVersionBuild();
    device_->os = nonEmpty(bit_osName());
    device_->deviceId = nonEmpty(bit_appAnonID(false));
    device_->locale = nonEmpty(bit_deviceLocale());
    device_->language = nonEmpty(bit_deviceLanguage());
    device_->oemName = "Apple";
    internal_->sdkVersion = nonEmpty(bit_sdkVersion());
    application_->version = nonEmpty(bit_appVersion());
    if (auto stored = loadUser()) {
        user_ = std::move(stored);
    } else {
        user_ = newUser();
        saveUser(user_);
    }
    tags();
}

std::shared_ptr<BITUser> BITTelemetryContext::newUser() const {
    auto user = std::make_shared<BITUser>();
    user->userId = nonEmpty(bit_appAnonID(false));
    return user;
}

void BITTelemetryContext::saveUser(const std::shared_ptr<BITUser>& user) {
    if (!persistence_ || !user)
        return;
    Value::Dictionary coded;
    user->encodeWithCoder(coded);
    persistence_->persistMetaData({{kBITUserMetaData, Value(coded)}});
}

std::shared_ptr<BITUser> BITTelemetryContext::loadUser() {
    if (!persistence_)
        return nullptr;
    const Value::Dictionary metaData = persistence_->metaData();
    const auto found = metaData.find(kBITUserMetaData);
    if (found == metaData.end() || !found->second.dictionaryValue())
        return nullptr;
    auto user = std::make_shared<BITUser>();
    user->initWithCoder(*found->second.dictionaryValue());
    return user;
}

Value::Dictionary BITTelemetryContext::tags() {
    {
        std::shared_lock lock(mutex_);
        if (tags_)
            return *tags_;
    }
    std::unique_lock lock(mutex_);
    if (!tags_) {
        Value::Dictionary tags = application_->serializeToDictionary();
        tags.merge(internal_->serializeToDictionary());
        tags.merge(device_->serializeToDictionary());
        tags_ = std::move(tags);
    }
    return *tags_;
}

Value::Dictionary BITTelemetryContext::contextDictionary() {
    Value::Dictionary dictionary = tags();
    std::shared_lock lock(mutex_);
    for (auto& [key, value] : session_->serializeToDictionary())
        dictionary[key] = std::move(value);
    for (auto& [key, value] : user_->serializeToDictionary())
        dictionary[key] = std::move(value);
    return dictionary;
}

std::optional<std::string> BITTelemetryContext::read(
    const std::optional<std::string>& field) const {
    std::shared_lock lock(mutex_);
    return field;
}

void BITTelemetryContext::write(std::optional<std::string>& field,
                                std::optional<std::string> value) {
    std::unique_lock lock(mutex_);
    field = std::move(value);
}

#define BIT_CONTEXT_ACCESSORS(getter, setter, field)                     \
    std::optional<std::string> BITTelemetryContext::getter() const {     \
        return read(field);                                              \
    }                                                                    \
    void BITTelemetryContext::setter(std::optional<std::string> value) { \
        write(field, std::move(value));                                  \
    }

BIT_CONTEXT_ACCESSORS(appIdentifier, setAppIdentifier, appIdentifier_)
BIT_CONTEXT_ACCESSORS(screenResolution, setScreenResolution, device_->screenResolution)
BIT_CONTEXT_ACCESSORS(appVersion, setAppVersion, application_->version)
BIT_CONTEXT_ACCESSORS(anonymousUserId, setAnonymousUserId, user_->userId)
BIT_CONTEXT_ACCESSORS(anonymousUserAquisitionDate, setAnonymousUserAquisitionDate,
                      user_->anonUserAcquisitionDate)
BIT_CONTEXT_ACCESSORS(sdkVersion, setSdkVersion, internal_->sdkVersion)
BIT_CONTEXT_ACCESSORS(sessionId, setSessionId, session_->sessionId)
BIT_CONTEXT_ACCESSORS(isFirstSession, setIsFirstSession, session_->isFirst)
BIT_CONTEXT_ACCESSORS(isNewSession, setIsNewSession, session_->isNew)
BIT_CONTEXT_ACCESSORS(osVersion, setOsVersion, device_->osVersion)
BIT_CONTEXT_ACCESSORS(osName, setOsName, device_->os)
BIT_CONTEXT_ACCESSORS(deviceModel, setDeviceModel, device_->model)
BIT_CONTEXT_ACCESSORS(deviceOemName, setDeviceOemName, device_->oemName)
BIT_CONTEXT_ACCESSORS(osLocale, setOsLocale, device_->locale)
BIT_CONTEXT_ACCESSORS(osLanguage, setOsLanguage, device_->language)
BIT_CONTEXT_ACCESSORS(deviceId, setDeviceId, device_->deviceId)
BIT_CONTEXT_ACCESSORS(deviceType, setDeviceType, device_->type)
