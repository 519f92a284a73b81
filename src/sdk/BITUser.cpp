#include "sdk/BITUser.h"

#include <array>

#include "sdk/BITTelemetryStringFields.h"

namespace {

const std::array<BITTelemetryStringField<BITUser>, 8> kFields{{
    {"ai.user.accountAcquisitionDate", "self.accountAcquisitionDate",
     &BITUser::accountAcquisitionDate},
    {"ai.user.accountId", "self.accountId", &BITUser::accountId},
    {"ai.user.userAgent", "self.userAgent", &BITUser::userAgent},
    {"ai.user.id", "self.userId", &BITUser::userId},
    {"ai.user.storeRegion", "self.storeRegion", &BITUser::storeRegion},
    {"ai.user.authUserId", "self.authUserId", &BITUser::authUserId},
    {"ai.user.anonUserAcquisitionDate", "self.anonUserAcquisitionDate",
     &BITUser::anonUserAcquisitionDate},
    {"ai.user.authUserAcquisitionDate", "self.authUserAcquisitionDate",
     &BITUser::authUserAcquisitionDate},
}};

}  // namespace

Value::Dictionary BITUser::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    bit_serializeStringFields(*this, kFields, dictionary);
    return dictionary;
}

void BITUser::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeStringFields(*this, kFields, coder);
}

void BITUser::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    bit_decodeStringFields(*this, kFields, coder);
}

bool BITUser::isEqualToUser(const BITTelemetryObject* other) const {
    if (other == this)
        return true;
    const auto* user = dynamic_cast<const BITUser*>(other);
    if (!user)
        return false;
    for (const auto member :
         {&BITUser::userId, &BITUser::authUserId, &BITUser::accountId,
          &BITUser::anonUserAcquisitionDate, &BITUser::authUserAcquisitionDate,
          &BITUser::accountAcquisitionDate, &BITUser::userAgent, &BITUser::storeRegion}) {
        const auto& mine = this->*member;
        if (!mine || mine != user->*member)
            return false;
    }
    return true;
}
