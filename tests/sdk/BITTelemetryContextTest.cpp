#include "sdk/BITTelemetryContext.h"

#include <gtest/gtest.h>

#include "SdkTestSupport.h"
#include "TelemetryTestSupport.h"
#include "UIKit/UIScreen.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITZizavaHelper.h"

namespace {

constexpr const char* kGuid = "01234567-89ab-cdef-0123-456789abcdef";

class BITTelemetryContextTest : public ::testing::Test {
  protected:
    void SetUp() override { resetTelemetryStorage(); }
    // The user is stored in the background; let it land before the folder goes.
    void TearDown() override { persistence->waitForPendingWrites(); }

    std::shared_ptr<BITPersistence> persistence = std::make_shared<BITPersistence>();
};

TEST_F(BITTelemetryContextTest, UserIsKeptAcrossLaunches) {
    std::string firstId;
    {
        BITTelemetryContext first(kGuid, persistence);
        ASSERT_TRUE(first.anonymousUserId());
        firstId = *first.anonymousUserId();
        EXPECT_EQ(firstId, bit_appAnonID(false));
    }
    persistence->waitForPendingWrites();
    // The stored user wins over whatever the installation id is now.
    auto stored = persistence->metaData();
    ASSERT_TRUE(stored.count(kBITUserMetaData));
    stored[kBITUserMetaData].mutableDictionary()["self.userId"] = "stored-user";
    persistence->persistMetaData(stored);
    persistence->waitForPendingWrites();
    BITTelemetryContext next(kGuid, persistence);
    EXPECT_EQ(next.anonymousUserId(), "stored-user");
    EXPECT_EQ(*next.contextDictionary()["ai.user.id"].stringValue(), "stored-user");
}

TEST_F(BITTelemetryContextTest, TagsOfAnEnvelope) {
    BITTelemetryContext context(kGuid, persistence);
    const Value::Dictionary before = context.contextDictionary();
    for (const char* key : {"ai.session.id", "ai.session.isFirst", "ai.session.isNew"})
        EXPECT_FALSE(before.count(key)) << key;
    for (const char* key : {"ai.application.ver", "ai.internal.sdkVersion", "ai.device.id",
                            "ai.device.model", "ai.device.oemName", "ai.device.os",
                            "ai.device.osVersion", "ai.device.type", "ai.user.id"})
        EXPECT_TRUE(before.count(key)) << key;
    EXPECT_EQ(before.at("ai.internal.sdkVersion"), Value("ios:4.1.4"));

    context.setSessionId(std::string("s-1"));
    EXPECT_EQ(context.sessionId(), "s-1");
    context.setIsFirstSession(std::string("true"));
    const Value::Dictionary after = context.contextDictionary();
    EXPECT_EQ(after.at("ai.session.id"), Value("s-1"));
    EXPECT_EQ(after.at("ai.session.isFirst"), Value("true"));
    EXPECT_EQ(context.appIdentifier(), kGuid);
}

TEST_F(BITTelemetryContextTest, StaticTagsAreFixedAtConstruction) {
    UIScreen::mainScreen()->setBoundsSize({320, 568});
    UIScreen::mainScreen()->setScale(2);
    BITTelemetryContext context(kGuid, persistence);
    EXPECT_EQ(context.contextDictionary().at("ai.device.type"), Value("Phone"));
    context.setScreenResolution(std::string("1x1"));
    EXPECT_EQ(context.screenResolution(), "1x1");
    EXPECT_EQ(context.contextDictionary().at("ai.device.screenResolution"), Value("1136x640"));
    context.setDeviceModel(std::string("other"));
    EXPECT_NE(context.contextDictionary().at("ai.device.model"), Value("other"));
}

}  // namespace
