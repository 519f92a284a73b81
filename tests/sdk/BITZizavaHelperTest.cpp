#include "sdk/BITZizavaHelper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSPathUtilities.h"
#include "SdkTestSupport.h"
#include "sdk/BITKeychainUtils.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaFormatting.h"

TEST(BITZizavaHelper, AppIdentifierToGuidInsertsDashesAfterTrimming) {
    EXPECT_EQ(bit_appIdentifierToGuid("0123456789abcdef0123456789abcdef"),
              "01234567-89ab-cdef-0123-456789abcdef");
    EXPECT_EQ(bit_appIdentifierToGuid("  0123456789abcdef0123456789abcdef\n"),
              "01234567-89ab-cdef-0123-456789abcdef");
    EXPECT_EQ(bit_appIdentifierToGuid("0123456789abcdef0123456789abcde"), std::nullopt);
    EXPECT_EQ(bit_appIdentifierToGuid("   "), std::nullopt);
}

TEST(BITZizavaHelper, URLEncodingEscapesTheReservedSetAndLeavesLettersAndDigits) {
    EXPECT_EQ(bit_URLEncodedString("a b/c"), "a%20b%2Fc");
    EXPECT_EQ(bit_URLEncodedString("AZaz09"), "AZaz09");
    EXPECT_EQ(bit_URLEncodedString("!*'();:@&=+$,/?%#[] {}"),
              "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20%7B%7D");
    EXPECT_EQ(bit_encodeAppIdentifier(std::nullopt), kTestBundleIdentifier);
}

TEST(BITZizavaHelper, VersionsCompareNumbersAsNumbersThenTheWholeString) {
    EXPECT_EQ(bit_versionCompare("1.2", "1.10"), BITOrderedAscending);
    EXPECT_EQ(bit_versionCompare("1.10", "1.2"), BITOrderedDescending);
    EXPECT_EQ(bit_versionCompare("1.2b3", "1.2"), BITOrderedDescending);
    EXPECT_EQ(bit_versionCompare("1.2", "1.2b3"), BITOrderedAscending);
    EXPECT_EQ(bit_versionCompare("2.01", "2.1"), BITOrderedSame);
    EXPECT_EQ(bit_versionCompare("", ""), BITOrderedSame);
    EXPECT_EQ(bit_versionCompare("99999999999999999999999.1", "3"), BITOrderedDescending);
}

TEST(BITZizavaHelper, EmailValidationFollowsTheAddressPattern) {
    for (const char* good :
         {"someone@example.org", "Some.One+tag@Example.ORG", "\"quoted,local\"@example.org",
          "user@[192.168.0.1]", "a@b-c.example"}) {
        EXPECT_TRUE(bit_validateEmail(good)) << good;
    }
    for (const char* bad :
         {"", "plain", "@example.org", "user@", "user@localhost", "two@@example.org",
          "user@-example.org", "user@[300.1.1.1]", "a b@example.org"}) {
        EXPECT_FALSE(bit_validateEmail(bad)) << bad;
    }
    // Long hostile input is turned down without a long search.
    EXPECT_FALSE(bit_validateEmail(std::string(5000, 'a') + "@" + std::string(5000, 'b')));
    EXPECT_FALSE(bit_validateEmail("a@" + std::string(300, 'a') + "!"));
}

TEST(BITZizavaHelper, UTCDateStringKeepsMilliseconds) {
    const NSDate date = NSDate::dateWithTimeIntervalSince1970(1700000000.25);
    EXPECT_EQ(bit_utcDateString(date), "2023-11-14T22:13:20.250Z");
    EXPECT_EQ(bit_utcDateString(NSDate::dateWithTimeIntervalSince1970(0)),
              "1970-01-01T00:00:00.000Z");
}

TEST(BITZizavaHelper, BundleFactsComeFromInfoPlist) {
    EXPECT_EQ(bit_mainBundleIdentifier(), kTestBundleIdentifier);
    EXPECT_EQ(bit_keychainServiceName(), std::string(kTestBundleIdentifier) + ".ZizavaSDK");
    EXPECT_EQ(bit_appVersion(), "1.0 (42)");
    EXPECT_EQ(bit_appName("placeholder"), "Kelvara Tests");
    EXPECT_EQ(bit_sdkVersion(), "ios:4.1.4");
}

TEST(BITZizavaHelper, LocalizedStringsPreferTheApplicationsTranslation) {
    EXPECT_EQ(bit_localizedString(std::string("AppKey")), "From the app");
    EXPECT_EQ(bit_localizedString(std::string("SdkKey")), "SDK text");
    EXPECT_EQ(bit_localizedString(std::string("Missing")), "Missing");
    EXPECT_EQ(bit_localizedString(std::nullopt), "");
}

TEST(BITZizavaHelper, SettingsFolderIsMadeUnderCaches) {
    const std::string folder = bit_settingsDir();
    EXPECT_EQ(folder.rfind(NSSearchPathForDirectory(NSSearchPathDirectory::Caches), 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(BITZizavaHelper, AnonymousIDIsStableUntilReplaced) {
    const std::string first = bit_appAnonID(false);
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(bit_appAnonID(false), first);
    const std::string fresh = bit_appAnonID(true);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(bit_appAnonID(false), fresh);
    // The keychain gets the id in the background, the newest last.
    const auto stored = [] {
        std::optional<NSError> error;
        return BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
            std::string("appAnonID"), bit_keychainServiceName(), &error);
    };
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return stored() == fresh; }, 10));
    runMainLoopFor(0.1);
    EXPECT_EQ(stored(), fresh);
}

TEST(BITZizavaHelper, LinuxStandsInForThePlatformFacts) {
    EXPECT_FALSE(bit_isRunningInAppExtension());
    EXPECT_TRUE(BITZizavaHelper::isURLSessionSupported());
    EXPECT_FALSE(bit_isPreiOS7Environment());
    EXPECT_FALSE(bit_devicePlatform().empty());
    EXPECT_EQ(bit_osName(), "Linux");
    ASSERT_TRUE(bit_osVersionBuild());
    EXPECT_NE(bit_osVersionBuild()->find(" ("), std::string::npos);
}
