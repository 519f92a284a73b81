#include "sdk/BITZizavaBaseManager.h"

#include <gtest/gtest.h>

#include "SdkTestSupport.h"

TEST(BITZizavaBaseManager, RFC3339DatesNeedTheTAndTheZ) {
    const BITZizavaBaseManager manager("0123456789abcdef0123456789abcdef", BITAppEnvironmentOther);
    const auto date = manager.parseRFC3339Date(std::string("2016-03-01T12:30:05Z"));
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeIntervalSince1970(), 1456835405.0);
    LogCapture log;
    EXPECT_FALSE(manager.parseRFC3339Date(std::string("2016-03-01 12:30:05Z")));
    EXPECT_TRUE(log.contains("WARNING: Invalid date '2016-03-01 12:30:05Z' string"));
    EXPECT_FALSE(manager.parseRFC3339Date(std::string("2016-03-01T12:30:05Zjunk")));
    EXPECT_FALSE(manager.parseRFC3339Date(std::nullopt));
}

TEST(BITZizavaBaseManager, TheExecutableIsIdentifiedByItsBuildID) {
    const BITZizavaBaseManager manager("0123456789abcdef0123456789abcdef", BITAppEnvironmentOther);
    const std::string identifier = manager.executableUUID();
    EXPECT_GE(identifier.size(), 32u);
    EXPECT_EQ(identifier.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(manager.executableUUID(), identifier);
    EXPECT_EQ(manager.encodedAppIdentifier(), "0123456789abcdef0123456789abcdef");
}

TEST(BITZizavaBaseManager, TheBarLookFollowsThePlatformGeneration) {
    const BITZizavaBaseManager manager("0123456789abcdef0123456789abcdef", BITAppEnvironmentOther);
    EXPECT_EQ(manager.isPreiOS7Environment(), bit_isPreiOS7Environment());
    EXPECT_EQ(manager.barStyle(),
              manager.isPreiOS7Environment() ? UIBarStyleBlack : UIBarStyleDefault);
}
