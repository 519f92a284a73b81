#include <gtest/gtest.h>

#include "SdkTestSupport.h"
#include "sdk/BITData.h"
#include "sdk/BITEnvelope.h"
#include "sdk/BITEventData.h"
#include "sdk/BITSession.h"
#include "sdk/BITSessionStateData.h"
#include "sdk/BITUser.h"

namespace {

constexpr const char* kSerializationError =
    "Some of the telemetry data was not NSJSONSerialization compatible";

// The envelope the channel builds around an item (without context).
Value::Dictionary envelopeOf(const std::shared_ptr<BITTelemetryData>& item) {
    auto data = std::make_shared<BITData>();
    data->baseData = item;
    data->baseType = item->dataTypeName;
    BITEnvelope envelope;
    envelope.name = item->envelopeTypeName;
    envelope.data = data;
    return envelope.serializeToDictionary();
}

TEST(BITTelemetryContractsTest, SessionStartEnvelopeShape) {
    const Value envelope(envelopeOf(std::make_shared<BITSessionStateData>()));
    EXPECT_EQ(*envelope.get("ver"), Value(1));
    EXPECT_EQ(*envelope.get("sampleRate"), Value(100.0));
    EXPECT_EQ(*envelope.get("name"), Value("Zizava.Telemetry.SessionState"));
    EXPECT_EQ(envelope.get("tags")->count(), 0u);
    const Value* data = envelope.get("data");
    ASSERT_TRUE(data);
    EXPECT_EQ(*data->get("baseType"), Value("SessionStateData"));
    EXPECT_FALSE(data->get("ver"));  // BITData has no version
    const Value* baseData = data->get("baseData");
    ASSERT_TRUE(baseData);
    EXPECT_EQ(*baseData->get("ver"), Value(2));
    EXPECT_EQ(*baseData->get("state"), Value(0));  // present although 0
    EXPECT_EQ(baseData->count(), 2u);
    for (const char* never :
         {"seq", "flags", "deviceId", "os", "osVer", "appId", "appVer", "userId", "iKey", "time"})
        EXPECT_FALSE(envelope.get(never)) << never;
}

TEST(BITTelemetryContractsTest, EventDefaultsAndMissingName) {
    const Value plain(envelopeOf(std::make_shared<BITEventData>()));
    EXPECT_EQ(*plain.get("name"), Value("Zizava.Telemetry.Event"));
    const Value* baseData = plain.get("data")->get("baseData");
    EXPECT_EQ(*baseData->get("properties"), Value(Value::Dictionary{}));
    EXPECT_EQ(*baseData->get("measurements"), Value(Value::Dictionary{}));
    EXPECT_FALSE(baseData->get("name"));

    auto named = std::make_shared<BITEventData>();
    named->name = "Karte geöffnet";
    named->measurements.reset();  // a nil dictionary leaves its key out
    const Value withName(envelopeOf(named));
    EXPECT_EQ(*withName.get("data")->get("baseData")->get("name"), Value("Karte geöffnet"));
    EXPECT_FALSE(withName.get("data")->get("baseData")->get("measurements"));
}

TEST(BITTelemetryContractsTest, NonJSONPropertiesLeaveOutTheItemAndLogOnce) {
    LogCapture log;
    auto event = std::make_shared<BITEventData>();
    event->properties = Value::Dictionary{{"when", Value(NSDate::date())}};
    const Value envelope(envelopeOf(event));
    EXPECT_EQ(*envelope.get("data"), Value(Value::Dictionary{{"baseType", "EventData"}}));
    int errors = 0;
    for (const auto& [level, message] : log.messages())
        errors += message.find(kSerializationError) != std::string::npos;
    EXPECT_EQ(errors, 1);

    auto infinite = std::make_shared<BITEventData>();
    infinite->measurements = Value::Dictionary{{"x", Value(1.0 / 0.0)}};
    EXPECT_FALSE(Value(envelopeOf(infinite)).get("data")->get("baseData"));
}

TEST(BITTelemetryContractsTest, UserEqualityNeedsPresentEqualFields) {
    BITUser empty, otherEmpty;
    EXPECT_TRUE(empty.isEqualToUser(&empty));
    EXPECT_FALSE(empty.isEqualToUser(&otherEmpty));
    EXPECT_FALSE(empty.isEqualToUser(nullptr));

    const auto filled = [](const std::string& id) {
        BITUser user;
        for (auto member :
             {&BITUser::userId, &BITUser::authUserId, &BITUser::accountId,
              &BITUser::anonUserAcquisitionDate, &BITUser::authUserAcquisitionDate,
              &BITUser::accountAcquisitionDate, &BITUser::userAgent, &BITUser::storeRegion})
            user.*member = "v";
        user.userId = id;
        return user;
    };
    const BITUser a = filled("a"), alsoA = filled("a"), b = filled("b");
    EXPECT_TRUE(a.isEqualToUser(&alsoA));
    EXPECT_FALSE(a.isEqualToUser(&b));
    BITSession notAUser;
    EXPECT_FALSE(a.isEqualToUser(&notAUser));
}

TEST(BITTelemetryContractsTest, CodingRestoresTheFields) {
    BITUser user;
    user.userId = "anon";
    user.storeRegion = "de";
    Value::Dictionary coder;
    user.encodeWithCoder(coder);
    EXPECT_EQ(coder.at("self.userId"), Value("anon"));
    BITUser restored;
    restored.initWithCoder(coder);
    EXPECT_EQ(restored.userId, "anon");
    EXPECT_EQ(restored.storeRegion, "de");
    EXPECT_FALSE(restored.accountId);

    auto event = std::make_shared<BITEventData>();
    event->name = "tap";
    event->measurements = Value::Dictionary{{"n", Value(3)}};
    const auto decoded = std::dynamic_pointer_cast<BITEventData>(
        bit_decodeTelemetryItem(bit_encodeTelemetryItem(*event)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->serializeToDictionary(), event->serializeToDictionary());
    EXPECT_FALSE(bit_decodeTelemetryItem({{"$class", "NSObject"}}));
}

}  // namespace
