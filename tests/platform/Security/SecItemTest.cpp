#include "Security/SecItem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ChildTestProcess.h"
#include "Foundation/NSFileManager+SetAside.h"
#include "Foundation/NSPathUtilities.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildHomeVariable = "KELVARA_KEYCHAIN_CHILD_HOME";

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

Value::Dictionary item(const std::string& account, const std::string& service = "svc") {
    return {{kSecClass, kSecClassGenericPassword},
            {kSecAttrAccount, account},
            {kSecAttrService, service}};
}

std::optional<std::string> password(const std::string& account,
                                    const std::string& service = "svc") {
    Value::Dictionary query = item(account, service);
    query[kSecReturnData] = true;
    Value result;
    if (SecItemCopyMatching(query, &result) != errSecSuccess || !result.dataValue())
        return std::nullopt;
    return std::string(result.dataValue()->begin(), result.dataValue()->end());
}

class SecItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() /
               ("kelvara-keychain-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        NSSetApplicationHome(home.string());
    }
    void TearDown() override {
        NSSetApplicationHome("");
        fs::remove_all(home);
    }

    fs::path home;
};

}  // namespace

TEST_F(SecItemTest, AddFindUpdateDelete) {
    Value::Dictionary add = item("user");
    add[kSecValueData] = bytes("secret");
    add[kSecAttrLabel] = "svc";
    add[kSecAttrAccessible] = kSecAttrAccessibleAlwaysThisDeviceOnly;
    ASSERT_EQ(SecItemAdd(add), errSecSuccess);
    EXPECT_EQ(SecItemAdd(add), errSecDuplicateItem);
    EXPECT_EQ(password("user"), "secret");
    EXPECT_EQ(password("user", "other"), std::nullopt);

    Value::Dictionary attributesQuery = item("user");
    attributesQuery[kSecReturnAttributes] = true;
    Value attributes;
    ASSERT_EQ(SecItemCopyMatching(attributesQuery, &attributes), errSecSuccess);
    EXPECT_EQ(*attributes.get(kSecAttrAccessible)->stringValue(),
              kSecAttrAccessibleAlwaysThisDeviceOnly);
    EXPECT_EQ(*attributes.get(kSecAttrLabel)->stringValue(), "svc");
    EXPECT_EQ(attributes.get(kSecValueData), nullptr);
    EXPECT_TRUE(attributes.get(kSecAttrCreationDate)->dateValue());

    EXPECT_EQ(SecItemUpdate(item("user"), {{kSecValueData, bytes("changed")}}), errSecSuccess);
    EXPECT_EQ(password("user"), "changed");
    EXPECT_EQ(SecItemUpdate(item("nobody"), {{kSecValueData, bytes("x")}}), errSecItemNotFound);

    EXPECT_EQ(SecItemDelete(item("user")), errSecSuccess);
    EXPECT_EQ(SecItemDelete(item("user")), errSecItemNotFound);
    Value result = "untouched";
    EXPECT_EQ(SecItemCopyMatching(item("user"), &result), errSecItemNotFound);
    EXPECT_TRUE(result.isNull());
}

TEST_F(SecItemTest, AnUpdateThatWouldMakeTwoItemsOneIsRefused) {
    ASSERT_EQ(SecItemAdd(item("a")), errSecSuccess);
    ASSERT_EQ(SecItemAdd(item("b")), errSecSuccess);
    EXPECT_EQ(SecItemUpdate(item("a"), {{kSecAttrAccount, "b"}}), errSecDuplicateItem);
    EXPECT_EQ(password("a"), "");
}

TEST_F(SecItemTest, MalformedQueriesAreParameterErrors) {
    EXPECT_EQ(SecItemAdd({{kSecAttrAccount, "a"}}), errSecParam);
    EXPECT_EQ(SecItemAdd({{kSecClass, "internetPassword"}}), errSecUnimplemented);
    Value::Dictionary wrongKind = item("a");
    wrongKind[kSecValueData] = "not data";
    EXPECT_EQ(SecItemAdd(wrongKind), errSecParam);
    wrongKind = item("a");
    wrongKind[kSecAttrService] = 7;
    EXPECT_EQ(SecItemDelete(wrongKind), errSecParam);
    EXPECT_EQ(SecItemUpdate(item("a"), {{kSecValueData, 1}}), errSecParam);
}

TEST_F(SecItemTest, MatchLimitAllAnswersEveryItemOfTheService) {
    for (const char* account : {"a", "b", "c"})
        ASSERT_EQ(SecItemAdd(item(account)), errSecSuccess);
    ASSERT_EQ(SecItemAdd(item("d", "elsewhere")), errSecSuccess);
    Value::Dictionary query{{kSecClass, kSecClassGenericPassword},
                            {kSecAttrService, "svc"},
                            {kSecMatchLimit, kSecMatchLimitAll},
                            {kSecReturnAttributes, true}};
    Value result;
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    EXPECT_EQ(result.count(), 3u);
    EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "svc"}}),
              errSecSuccess);
    EXPECT_EQ(password("d", "elsewhere"), "");
}

TEST_F(SecItemTest, TheFileIsPrivateAndADamagedOneIsSetAside) {
    Value::Dictionary add = item("user");
    add[kSecValueData] = Value::Data{0, 255, '\n', 0};
    ASSERT_EQ(SecItemAdd(add), errSecSuccess);
    struct stat info {};
    ASSERT_EQ(::stat(SecKeychainFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(password("user"), std::string("\0\xff\n\0", 4));

    std::ofstream(SecKeychainFilePath(), std::ios::binary | std::ios::trunc) << "bplist00 garbage";
    EXPECT_EQ(password("user"), std::nullopt);
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(SecKeychainFilePath()).size(), 1u);
    EXPECT_EQ(SecItemAdd(item("fresh")), errSecSuccess);
    EXPECT_EQ(password("fresh"), "");
    // A second damage keeps the first copy.
    std::ofstream(SecKeychainFilePath(), std::ios::binary | std::ios::trunc) << "bplist00 again";
    EXPECT_EQ(password("fresh"), std::nullopt);
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(SecKeychainFilePath()).size(), 2u);
}

TEST_F(SecItemTest, WritersOnManyThreadsLoseNothing) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i) {
                Value::Dictionary add = item(std::to_string(t) + "-" + std::to_string(i));
                add[kSecValueData] = bytes(std::to_string(i));
                SecItemAdd(add);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    Value result;
    ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                   {kSecMatchLimit, kSecMatchLimitAll},
                                   {kSecReturnData, true}},
                                  &result),
              errSecSuccess);
    EXPECT_EQ(result.count(), 40u);
}

// Items written by another process are there for this one: the test runs
// this program again with only the writer below enabled.
TEST_F(SecItemTest, ItemsOutliveTheProcessThatWroteThem) {
    const int status = runTestInChildProcess("SecItemChild.WritesAnItem",
                                             std::string(kChildHomeVariable) + "=" + home.string());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(password("written by child"), "kept");
}

TEST(SecItemChild, WritesAnItem) {
    const char* home = std::getenv(kChildHomeVariable);
    if (!home)
        GTEST_SKIP() << "runs only as the child of ItemsOutliveTheProcessThatWroteThem";
    NSSetApplicationHome(home);
    Value::Dictionary add = item("written by child");
    add[kSecValueData] = bytes("kept");
    ASSERT_EQ(SecItemAdd(add), errSecSuccess);
}
