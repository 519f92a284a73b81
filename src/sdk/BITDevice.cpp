#include "sdk/BITDevice.h"

#include <array>

#include "sdk/BITTelemetryStringFields.h"

namespace {

const std::array<BITTelemetryStringField<BITDevice>, 16> kFields{{
    {"ai.device.id", "self.deviceId", &BITDevice::deviceId},
    {"ai.device.ip", "self.ip", &BITDevice::ip},
    {"ai.device.language", "self.language", &BITDevice::language},
    {"ai.device.locale", "self.locale", &BITDevice::locale},
    {"ai.device.model", "self.model", &BITDevice::model},
    {"ai.device.network", "self.network", &BITDevice::network},
    {"ai.device.networkName", "self.networkName", &BITDevice::networkName},
    {"ai.device.oemName", "self.oemName", &BITDevice::oemName},
    {"ai.device.os", "self.os", &BITDevice::os},
    {"ai.device.osVersion", "self.osVersion", &BITDevice::osVersion},
    {"ai.device.roleInstance", "self.roleInstance", &BITDevice::roleInstance},
    {"ai.device.roleName", "self.roleName", &BITDevice::roleName},
    {"ai.device.screenResolution", "self.screenResolution", &BITDevice::screenResolution},
    {"ai.device.type", "self.type", &BITDevice::type},
    {"ai.device.machineName", "self.machineName", &BITDevice::machineName},
    {"ai.device.vmName", "self.vmName", &BITDevice::vmName},
}};

}  // namespace

Value::Dictionary BITDevice::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    bit_serializeStringFields(*this, kFields, dictionary);
    return dictionary;
}

void BITDevice::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeStringFields(*this, kFields, coder);
}

void BITDevice::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    bit_decodeStringFields(*this, kFields, coder);
}
