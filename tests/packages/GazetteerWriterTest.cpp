// The offline place list the content tool writes, read back as the local
// search reads it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "MapKit/MKGazetteer.h"

#ifdef KELVARA_GENERATED_RESOURCES

#include "GazetteerWriter.h"

namespace {

using Tags = std::map<std::string, std::string>;

const MKGazetteer::Place* find(const MKGazetteer& gazetteer, const std::string& name) {
    for (const auto& place : gazetteer.places())
        if (place.name == name)
            return &place;
    return nullptr;
}

TEST(GazetteerWriterTest, APlaceKnowsItsLocalityPostalCodeAndWaysToReachIt) {
    const CLLocationCoordinate2D point{53.55, 13.26};
    // A settlement is its own locality; an imported list of postal codes
    // gives its first.
    auto town = GazetteerWriter::placeOfKind("Neubrandenburg", point, "city",
                                             Tags{{"is_in", "Mecklenburg-Vorpommern, Germany"},
                                                  {"openGeoDB:postal_codes", "17033,17034,17036"}},
                                             {});
    EXPECT_EQ(town.locality, "Neubrandenburg");
    EXPECT_EQ(town.postalCode, "17033");
    EXPECT_EQ(town.radius, 6000);

    // A part of a town lies in the place its "is_in" names first; its own
    // postal code and address come before the imported list.
    auto suburb = GazetteerWriter::placeOfKind("Datzeberg", point, "suburb",
                                               Tags{{"is_in", " Neubrandenburg ;Germany"},
                                                    {"postal_code", "17034"},
                                                    {"openGeoDB:postal_codes", "17033"},
                                                    {"phone", "+49 395 1; +49 395 2"},
                                                    {"website", "www.example.org/datzeberg"}},
                                               {"Ziolkowskistraße", "17035", "Nowhere"});
    EXPECT_EQ(suburb.locality, "Neubrandenburg");
    EXPECT_EQ(suburb.thoroughfare, "Ziolkowskistraße");
    EXPECT_EQ(suburb.postalCode, "17034");
    EXPECT_EQ(suburb.phoneNumber, "+49 395 1");
    EXPECT_EQ(suburb.url, "http://www.example.org/datzeberg") << "a scheme is added";

    // Without "is_in" the address's city is the locality; a larger area
    // has none of its own.
    auto quarter = GazetteerWriter::placeOfKind("Am See", point, "neighbourhood",
                                                Tags{{"url", "https://example.org/"}},
                                                {"", "17094", "Burg Stargard"});
    EXPECT_EQ(quarter.locality, "Burg Stargard");
    EXPECT_EQ(quarter.postalCode, "17094");
    EXPECT_EQ(quarter.url, "https://example.org/");
    auto county = GazetteerWriter::placeOfKind("Mecklenburg-Strelitz", point, "county",
                                               Tags{{"is_in", "Mecklenburg-Vorpommern"}}, {});
    EXPECT_EQ(county.locality, "");
    EXPECT_EQ(county.postalCode, "");
}

TEST(GazetteerWriterTest, TheListReadsBackWithItsKnownFieldsAndNoStrayBreaks) {
    std::vector<GazetteerPlace> places{
        {"Liechtenstein", {47.16, 9.55}, 12843},
        {"Vaduz", {47.139, 9.522}, 3000, "Vaduz", "", "9490"},
        {"Rathaus\tVaduz",
         {47.1393, 9.5217},
         200,
         "Vaduz",
         "Städtle\n",
         "9490",
         "+423 236 60 80",
         "https://www.vaduz.li/"},
    };
    const std::string text = GazetteerWriter::text(places);
    EXPECT_NE(text.find("\nLiechtenstein\t47.1600000\t9.5500000\t12843\n"), std::string::npos)
        << "unknown trailing fields are left out:\n"
        << text;
    EXPECT_NE(text.find("\nVaduz\t47.1390000\t9.5220000\t3000\tVaduz\t\t9490\n"), std::string::npos)
        << text;

    const std::string path =
        ::testing::TempDir() + "gazetteer-writer-" + std::to_string(getpid()) + ".tsv";
    std::ofstream(path) << text;
    std::string error;
    auto gazetteer = MKGazetteer::read(path, &error);
    std::remove(path.c_str());
    ASSERT_TRUE(gazetteer) << error;
    ASSERT_EQ(gazetteer->places().size(), 3u);
    const auto* hall = find(*gazetteer, "Rathaus Vaduz");
    ASSERT_TRUE(hall) << "the tab in the name became a space";
    EXPECT_EQ(hall->thoroughfare, "Städtle");
    EXPECT_EQ(hall->postalCode, "9490");
    EXPECT_EQ(hall->phoneNumber, "+423 236 60 80");
    EXPECT_EQ(hall->url, "https://www.vaduz.li/");
    EXPECT_EQ(find(*gazetteer, "Liechtenstein")->locality, "");
}

// The list the build made from the sample packages.
TEST(GazetteerWriterTest, TheBuiltListKnowsTheSamplesLocalitiesAndPostalCodes) {
    std::string error;
    auto gazetteer =
        MKGazetteer::read(std::string(KELVARA_GENERATED_RESOURCES) + "/gazetteer.tsv", &error);
    ASSERT_TRUE(gazetteer) << error;
    const auto* suburb = find(*gazetteer, "Datzeberg");
    ASSERT_TRUE(suburb);
    EXPECT_EQ(suburb->locality, "Neubrandenburg");
    const auto* village = find(*gazetteer, "Eschen");
    ASSERT_TRUE(village);
    EXPECT_EQ(village->locality, "Eschen");
    EXPECT_EQ(village->postalCode, "9492");
    const auto* country = find(*gazetteer, "Germany");
    ASSERT_TRUE(country);
    EXPECT_EQ(country->locality, "");
}

}  // namespace

#endif
