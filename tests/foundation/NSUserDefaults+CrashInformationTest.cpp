#include "foundation/NSUserDefaults+CrashInformation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"

namespace {

// The user defaults of a home of the test's own.
class CrashInformationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() /
                ("kelvara-crumbs-" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        NSSetApplicationHome(home_.string());
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        std::filesystem::remove_all(home_);
    }
    std::filesystem::path home_;
};

}  // namespace

TEST_F(CrashInformationTest, CrashBreadcrumbsNameTheScreenAndTheMapAndRotateAtLaunch) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    CrashInformation::crashInformationSetCurrentViewController("CBMapViewController");
    CrashInformation::crashInformationDidEnterMapWithIdentifierDateAdded(std::nullopt,
                                                                         std::nullopt);
    auto crumbs = defaults->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBMapViewController")));
    EXPECT_FALSE(crumbs->count("map"));
    CrashInformation::crashInformationDidEnterMapWithIdentifierDateAdded("neubrandenburg",
                                                                         std::nullopt);
    crumbs = defaults->dictionaryForKey(CrashInformation::kDictionaryKey);
    EXPECT_EQ(crumbs->at("map"), Value(std::string("neubrandenburg")));

    CrashInformation::rotate();
    EXPECT_FALSE(defaults->dictionaryForKey(CrashInformation::kDictionaryKey));
    auto previous = defaults->dictionaryForKey(CrashInformation::kPreviousDictionaryKey);
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->at("vc"), Value(std::string("CBMapViewController")));
}
