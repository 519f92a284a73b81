#include "CBGeoData/NSString+CityStringAddition.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSBundle.h"

namespace {

class CityStringAdditionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvcity.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        std::filesystem::create_directories(directory_ + "/en.lproj");
        std::ofstream(directory_ + "/en.lproj/Localizable.strings")
            << "\"muenchen\" = \"München\";\n\"mainz\" = \"Mainz\";\n\"muotathal\" = "
               "\"Muotathal\";\n";
        std::ofstream(directory_ + "/en.lproj/countrycodes.strings")
            << "\"DE\" = \"Germany\";\n\"AT\" = \"Österreich\";\n\"EU\" = \"Europe\";\n\"PE\" = "
               "\"Peru\";\n";
        NSBundle::setMainBundlePath(directory_);
    }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
        std::filesystem::remove_all(directory_);
    }
    std::string directory_;
};

TEST_F(CityStringAdditionTest, NamesFromTheStringTables) {
    EXPECT_EQ(localizedName("muenchen"), "München");
    EXPECT_EQ(localizedCountryCode("DE"), "Germany");
    EXPECT_EQ(localizedContinent("EU"), "Europe");
    EXPECT_EQ(localizedName("unknown"), "unknown");
}

TEST_F(CityStringAdditionTest, ComparisonsIgnoreDiacritics) {
    // "München" sorts as "Munchen": before "Muotathal".
    EXPECT_LT(compareLocalized("muenchen", "muotathal"), 0);
    EXPECT_GT(compareLocalized("muenchen", "mainz"), 0);
    EXPECT_EQ(compareLocalized("mainz", "mainz"), 0);
    // "Österreich" sorts as "Osterreich": before "Peru".
    EXPECT_LT(compareLocalizedCountryCode("AT", "PE"), 0);
    EXPECT_GT(compareLocalizedCountryCode("AT", "DE"), 0);
}

}  // namespace
