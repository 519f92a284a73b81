#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "CBGeoData/CBStreetNameAbbreviation.h"

namespace {
std::string shortened(const char* name) {
    return CBStreetNameAbbreviation::shortenedNameForCurrentCountryFromString(name);
}

class CBStreetNameAbbreviationTest : public ::testing::Test {
  protected:
    void TearDown() override {
        CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(std::nullopt);
    }
    void choose(const char* code) {
        CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(
            std::string(code));
    }
};
}  // namespace

TEST_F(CBStreetNameAbbreviationTest, German) {
    choose("de");
    EXPECT_EQ(shortened("Hauptstraße"), "Hauptstr.");
    EXPECT_EQ(shortened("Lindenstrasse"), "Lindenstr.");
    EXPECT_EQ(shortened("Friedrich-Engels-Ring"), "Friedrich-Engels-Ring");
    EXPECT_EQ(shortened("HAUPTSTRASSE"),
              "HAUPTSTRASSE");  // case-sensitive after the first letter
    EXPECT_EQ(shortened("Strasse"), "Str.");
    EXPECT_EQ(shortened("Straße des 17. Juni"), "Str. des 17. Juni");
    // Only at the end of a word: a compound that goes on keeps its word.
    EXPECT_EQ(shortened("Straßenbahnhof"), "Straßenbahnhof");
}

TEST_F(CBStreetNameAbbreviationTest, EnglishMatchesWholeWordsOnly) {
    choose("US");
    EXPECT_EQ(shortened("Main Street"), "Main St");
    EXPECT_EQ(shortened("Eastern Road"), "Eastern Rd");
    EXPECT_EQ(shortened("East Michigan Avenue"), "E Michigan Av");
    EXPECT_EQ(shortened("Westheimer Drive"), "Westheimer Dr");
    EXPECT_EQ(shortened("Streetsboro Boulevard"), "Streetsboro Blvd");
    EXPECT_EQ(shortened("Northern Highway"), "Northern Hwy");
    EXPECT_EQ(shortened("Broadway"), "Broadway");
    EXPECT_EQ(shortened("Road"), "Road");  // under six characters
    EXPECT_EQ(shortened("North South Road"), "N S Rd");
    for (const char* code : {"us-ca", "USA", "uk", "AU"}) {
        choose(code);
        EXPECT_EQ(shortened("Portage Avenue"), "Portage Av") << code;
    }
    choose("GB");
    EXPECT_EQ(shortened("Portage Avenue"), "Portage Avenue");
}

TEST_F(CBStreetNameAbbreviationTest, FrenchSpanishDutchItalian) {
    choose("FR");
    EXPECT_EQ(shortened("Avenue des Champs"), "Av. des Champs");
    EXPECT_EQ(shortened("Boulevard Saint-Michel"), "Bd Saint-Michel");
    EXPECT_EQ(shortened("Route de Lyon"), "Rte de Lyon");
    EXPECT_EQ(shortened("Rue de Rivoli"), "R de Rivoli");
    EXPECT_EQ(shortened("Ruelle des Chats"), "Ruelle des Chats");
    EXPECT_EQ(shortened("Grande rue"), "Grande r");
    choose("ES");
    EXPECT_EQ(shortened("Avenida de Mayo"), "Av. de Mayo");
    EXPECT_EQ(shortened("Calle Mayor"), "C. Mayor");
    EXPECT_EQ(shortened("Callejón del Gato"), "Callejón del Gato");
    choose("NL");
    EXPECT_EQ(shortened("Keizersgracht"), "Keizersgr.");
    EXPECT_EQ(shortened("Museumplein"), "Museumpln.");
    EXPECT_EQ(shortened("Kalverstraat"), "Kalverstr.");
    EXPECT_EQ(shortened("Leuvensesteenweg"), "Leuvensestwg.");
    EXPECT_EQ(shortened("Grachtengordel"), "Grachtengordel");
    choose("IT");
    EXPECT_EQ(shortened("Viale Roma"), "V.le Roma");
    EXPECT_EQ(shortened("Via Roma"), "V. Roma");
    EXPECT_EQ(shortened("Calle Larga"), "C.le. Larga");
    EXPECT_EQ(shortened("Viadotto Sud"), "Viadotto Sud");
}

TEST_F(CBStreetNameAbbreviationTest, NoTableNoChange) {
    EXPECT_EQ(shortened("Main Street"), "Main Street");
    choose("US");
    EXPECT_EQ(shortened("Main Street"), "Main St");
    choose("CH");
    EXPECT_EQ(shortened("Main Street"), "Main Street");
    choose("US");
    CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(std::nullopt);
    EXPECT_EQ(shortened("Main Street"), "Main Street");
    EXPECT_EQ(shortened(""), "");
}

TEST_F(CBStreetNameAbbreviationTest, ReadersSeeWholeTablesWhileTheCountryChanges) {
    std::atomic<bool> done = false;
    std::atomic<int> wrong = 0;
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                const std::string name = shortened("Main Street");
                if (name != "Main St" && name != "Main Street")
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 300; ++i)
        choose(i % 2 ? "US" : "DE");
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, 0);
}
