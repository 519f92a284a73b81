#include "CBGeoData/CBGeoTag.h"

#include <fstream>

#include "Foundation/NSBundle.h"
#include "GeoEntityFixture.h"
#include "LogCapture.h"

namespace {

class CBGeoTagTest : public GeoEntityTest {
  protected:
    void SetUp() override {
        GeoEntityTest::SetUp();
        std::filesystem::create_directories(directory_ + "/bundle/en.lproj");
        std::ofstream strings(directory_ + "/bundle/en.lproj/Localizable.strings");
        strings << "\"MO.\" = \"Mon\";\n\"FR.\" = \"Fri\";\n\"SU.\" = \"Sun\";\n"
                   "\"DAYOFF\" = \"closed\";\n\"MONDAY\" = \"Monday\";\n";
        strings.close();
        NSBundle::setMainBundlePath(directory_ + "/bundle");
    }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
        GeoEntityTest::TearDown();
    }
    std::shared_ptr<CBGeoTag> tag(const std::string& key, const std::string& attribute) {
        return CBGeoTag::tagWithKeyAndAttributeInContext(key, attribute, context_);
    }
};

TEST_F(CBGeoTagTest, CreationAndLookup) {
    auto blank = CBGeoTag::tagWithKeyAndAttributeInContext(std::nullopt, std::nullopt, context_);
    EXPECT_EQ(blank->key(), "");
    EXPECT_EQ(blank->attribute(), "");
    LogCapture log;
    EXPECT_EQ(CBGeoTag::tagWithKeyAndAttributeInContext("a", "b", nullptr), nullptr);
    EXPECT_TRUE(log.contains("WARNING: no context to create tag"));

    tag("amenity", "pub");
    ASSERT_TRUE(context_->save());
    auto found = CBGeoTag::getTagWithKeyAndAttributeFromContext("amenity", "pub", context_);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->attribute(), "pub");
    EXPECT_EQ(CBGeoTag::getTagWithKeyAndAttributeFromContext("amenity", "bar", context_), nullptr);
    EXPECT_EQ(found->debugDescription(), "---------\rk: amenity\rv: pub");
}

TEST_F(CBGeoTagTest, Translations) {
    Value dictionary(Value::Dictionary{
        {"amenity",
         Value(Value::Dictionary{{"description", Value("Amenity")}, {"pub", Value("Pub")}})},
        {"cuisine", Value("Cuisine")}});
    auto pub = tag("amenity", "pub");
    EXPECT_EQ(pub->translatedKeyFromDictionary(&dictionary), "Amenity");
    EXPECT_EQ(pub->translatedAttributeFromDictionary(&dictionary), "Pub");
    auto bar = tag("amenity", "bar");
    EXPECT_EQ(bar->translatedAttributeFromDictionary(&dictionary), "bar");
    auto cuisine = tag("cuisine", "thai");
    EXPECT_EQ(cuisine->translatedKeyFromDictionary(&dictionary), "Cuisine");
    EXPECT_EQ(cuisine->translatedAttributeFromDictionary(&dictionary), "thai");
    EXPECT_FALSE(tag("unknown", "x")->translatedKeyFromDictionary(&dictionary));
    EXPECT_FALSE(pub->translatedKeyFromDictionary(nullptr));
}

TEST_F(CBGeoTagTest, OpeningHoursAreLocalised) {
    Value dictionary(Value::Dictionary{});
    EXPECT_TRUE(CBGeoTag::translatesOpeningHourAttributeForKey("collection_times"));
    EXPECT_EQ(
        tag("opening_hours", "Mo-Fr 09:00-18:00")->translatedAttributeFromDictionary(&dictionary),
        "Mo-Fr 09:00-18:00");
    auto stored = tag("opening_hours", "MO.-FR. 9-18; SU. xDAYOFFx; MONDAY");
    EXPECT_EQ(stored->translatedAttributeFromDictionary(&dictionary),
              "Mon-Fri 9-18; Sun closed; Monday");
    EXPECT_FALSE(stored->translatedAttributeFromDictionary(nullptr));
}

TEST_F(CBGeoTagTest, IconNamesFromTheIconTable) {
    NSBundle::setMainBundlePath(resourcesPath());
    auto pub = tag("amenity", "pub");
    ASSERT_TRUE(pub->iconImageName());
    auto other = tag("amenity", "no_such_amenity");
    EXPECT_TRUE(other->iconImageName());
    EXPECT_NE(pub->iconImageName(), other->iconImageName());
    EXPECT_FALSE(tag("no_such_key", "x")->iconImageName());
}

}  // namespace
