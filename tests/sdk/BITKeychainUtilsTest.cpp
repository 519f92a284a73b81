#include "sdk/BITKeychainUtils.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "ChildTestProcess.h"
#include "Foundation/NSPathUtilities.h"
#include "SdkTestSupport.h"
#include "Security/SecItem.h"

namespace {

constexpr const char* kService = "org.kelvara.sdktests.ZizavaSDK";
constexpr const char* kChildVariable = "KELVARA_SDK_KEYCHAIN_CHILD";

using Keychain = BITKeychainUtils;

std::optional<std::string> read(const std::string& username,
                                std::optional<NSError>* error = nullptr) {
    std::optional<NSError> ignored;
    return Keychain::getPasswordForUsernameAndServiceNameError(username, std::string(kService),
                                                               error ? error : &ignored);
}

std::optional<NSDate> modificationDate(const std::string& username) {
    Value result;
    SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                         {kSecAttrAccount, username},
                         {kSecAttrService, kService},
                         {kSecReturnAttributes, true}},
                        &result);
    const Value* date = result.get(kSecAttrModificationDate);
    return date ? date->dateValue() : std::nullopt;
}

class BITKeychainUtilsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::optional<NSError> error;
        Keychain::purgeItemsForServiceNameError(std::string(kService), &error);
    }
};

}  // namespace

TEST_F(BITKeychainUtilsTest, AMissingItemIsNilWithoutAnError) {
    std::optional<NSError> error = NSError::errorWithDomain("stale", 1);
    EXPECT_EQ(read("never stored", &error), std::nullopt);
    EXPECT_FALSE(error);
}

TEST_F(BITKeychainUtilsTest, MissingArgumentsAreError2000) {
    std::optional<NSError> error;
    EXPECT_FALSE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::nullopt, std::string(kService), true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "BITKeychainUtilsErrorDomain");
    EXPECT_EQ(error->code, -2000);
    EXPECT_FALSE(Keychain::getPasswordForUsernameAndServiceNameError(
        std::nullopt, std::string(kService), &error));
    EXPECT_EQ(error->code, -2000);
    EXPECT_FALSE(Keychain::deleteItemForUsernameAndServiceNameError(std::string("user"),
                                                                    std::nullopt, &error));
    EXPECT_EQ(error->code, -2000);
    EXPECT_FALSE(Keychain::purgeItemsForServiceNameError(std::nullopt, &error));
    EXPECT_EQ(error->code, -2000);
}

TEST_F(BITKeychainUtilsTest, StoringTheSameValueTwiceWritesOnceAndNoUpdateKeepsTheOld) {
    std::optional<NSError> error;
    ASSERT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::string("one"), std::string(kService), true, &error));
    const auto written = modificationDate("user");
    ASSERT_TRUE(written);
    EXPECT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::string("one"), std::string(kService), true, &error));
    EXPECT_EQ(modificationDate("user"), written);

    EXPECT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::string("two"), std::string(kService), false, &error));
    EXPECT_FALSE(error);
    EXPECT_EQ(read("user"), "one");
    EXPECT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::string("two"), std::string(kService), true, &error));
    EXPECT_EQ(read("user"), "two");
}

TEST_F(BITKeychainUtilsTest, AnItemWrittenWithOtherAccessibilityIsStillUpdated) {
    std::optional<NSError> error;
    ASSERT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
        std::string("user"), std::string("old"), std::string(kService), true,
        kSecAttrAccessibleAlwaysThisDeviceOnly, &error));
    EXPECT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("user"), std::string("new"), std::string(kService), true, &error));
    EXPECT_FALSE(error);
    EXPECT_EQ(read("user"), "new");
}

TEST_F(BITKeychainUtilsTest, AnUnreadableItemIsError1999AndIsReplacedOnStore) {
    ASSERT_EQ(SecItemAdd({{kSecClass, kSecClassGenericPassword},
                          {kSecAttrAccount, "broken"},
                          {kSecAttrService, kService},
                          {kSecValueData, Value::Data{0xC3, 0x28, 0xFF}}}),
              errSecSuccess);
    std::optional<NSError> error;
    EXPECT_EQ(read("broken", &error), std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1999);
    EXPECT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("broken"), std::string("mended"), std::string(kService), false, &error));
    EXPECT_EQ(read("broken"), "mended");
}

TEST_F(BITKeychainUtilsTest, DeleteAndPurge) {
    std::optional<NSError> error;
    for (const char* user : {"a", "b"}) {
        Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
            std::string(user), std::string("x"), std::string(kService), true, &error);
    }
    EXPECT_TRUE(Keychain::deleteItemForUsernameAndServiceNameError(std::string("a"),
                                                                   std::string(kService), &error));
    EXPECT_FALSE(Keychain::deleteItemForUsernameAndServiceNameError(std::string("a"),
                                                                    std::string(kService), &error));
    EXPECT_EQ(error->code, errSecItemNotFound);
    EXPECT_TRUE(Keychain::purgeItemsForServiceNameError(std::string(kService), &error));
    EXPECT_EQ(read("b"), std::nullopt);
}

// A value stored by one process is read by the next: this program runs
// again with only the writer below enabled, in the same home.
TEST_F(BITKeychainUtilsTest, ValuesOutliveTheProcess) {
    const int status =
        runTestInChildProcess("BITKeychainUtilsChild.StoresAValue",
                              std::string(kChildVariable) + "=" +
                                  NSSearchPathForDirectory(NSSearchPathDirectory::Library));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read("BITZizavaMetaUserName"), "Ada from another process");
}

TEST(BITKeychainUtilsChild, StoresAValue) {
    const char* library = std::getenv(kChildVariable);
    if (!library)
        GTEST_SKIP() << "runs only as the child of ValuesOutliveTheProcess";
    // The child's own test home holds a Library folder; write the parent's.
    NSSetApplicationHome(std::string(library) + "/..");
    std::optional<NSError> error;
    ASSERT_TRUE(Keychain::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("BITZizavaMetaUserName"), std::string("Ada from another process"),
        std::string(kService), true, &error));
}
