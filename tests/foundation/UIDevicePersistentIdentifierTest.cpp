#include "foundation/UIDevice+PersistentIdentifier.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"

namespace {

class PersistentIdentifierTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() /
                ("kelvara-identifier-" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        useHome(home_);
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        std::filesystem::remove_all(home_);
    }
    static void useHome(const std::filesystem::path& home) {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome(home.string());
    }

    std::filesystem::path home_;
};

}  // namespace

TEST_F(PersistentIdentifierTest, SurvivesAReloadOfTheDefaults) {
    const std::string identifier = zel_persistentIdentifier();
    EXPECT_TRUE(
        std::regex_match(identifier, std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")))
        << identifier;
    EXPECT_EQ(zel_persistentIdentifier(), identifier);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("ZELPersistentIdentifier"),
              identifier);

    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(NSUserDefaults(NSUserDefaultsFilePath()).stringForKey("ZELPersistentIdentifier"),
              identifier);
    EXPECT_EQ(zel_persistentIdentifier(), identifier);

    // Another application home has its own defaults and so its own identifier.
    const auto otherHome = home_ / "other";
    std::filesystem::create_directories(otherHome);
    useHome(otherHome);
    EXPECT_NE(zel_persistentIdentifier(), identifier);
}
