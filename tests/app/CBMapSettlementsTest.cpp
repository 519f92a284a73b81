#include "app/CBMapSettlements.h"

#include <gtest/gtest.h>

namespace {

using Rank = CBMapSettlements::Rank;

CBMapSettlements::Settlement place(const std::string& name, Rank rank,
                                   std::optional<double> population,
                                   CLLocationCoordinate2D coordinate = {53.55, 13.26}) {
    return {name, rank, population, coordinate, std::nullopt};
}

std::string nameOf(const CBMapSettlements::Settlement* settlement) {
    return settlement ? settlement->name : "(none)";
}

TEST(CBMapSettlementsTest, PopulationsAreReadAsWrittenInTheData) {
    EXPECT_EQ(CBMapSettlements::populationFromText("63437"), 63437);
    EXPECT_EQ(CBMapSettlements::populationFromText("63,437"), 63437);
    EXPECT_EQ(CBMapSettlements::populationFromText("1.234.567"), 1234567);
    EXPECT_EQ(CBMapSettlements::populationFromText("12 345"), 12345);
    EXPECT_EQ(CBMapSettlements::populationFromText("ca. 5000"), 5000);
    EXPECT_EQ(CBMapSettlements::populationFromText("5000;5100"), 5000);
    // A decimal part or a short group is no thousands separator.
    EXPECT_EQ(CBMapSettlements::populationFromText("12.5"), 12);
    EXPECT_EQ(CBMapSettlements::populationFromText("1,23"), 1);
    EXPECT_EQ(CBMapSettlements::populationFromText(""), std::nullopt);
    EXPECT_EQ(CBMapSettlements::populationFromText("unknown"), std::nullopt);
}

TEST(CBMapSettlementsTest, TheMainTownIsTheHighestRankThenTheLargest) {
    EXPECT_EQ(CBMapSettlements().mainTown("Anywhere"), nullptr);
    // A town outranks any village, however populous.
    CBMapSettlements villagesAndATown({place("Big Village", Rank::Village, 90000),
                                       place("Vaduz", Rank::Town, std::nullopt),
                                       place("Schaan", Rank::Village, 6000)});
    EXPECT_EQ(nameOf(villagesAndATown.mainTown("Liechtenstein")), "Vaduz");
    // Among towns the larger first; a known population before an unknown one.
    CBMapSettlements towns({place("Unknown Size", Rank::Town, std::nullopt),
                            place("Burg Stargard", Rank::Town, 4682),
                            place("Neubrandenburg", Rank::Town, 63437)});
    EXPECT_EQ(nameOf(towns.mainTown("Somewhere")), "Neubrandenburg");
    CBMapSettlements city(
        {place("Neubrandenburg", Rank::Town, 63437), place("Three Rivers", Rank::City, 7000)});
    EXPECT_EQ(nameOf(city.mainTown("")), "Three Rivers");
    // Equal as far as the data says: the one named like the map, else by name.
    CBMapSettlements equals({place("Balzers", Rank::Village, std::nullopt),
                             place("Triesen", Rank::Village, std::nullopt),
                             place("Eschen", Rank::Village, std::nullopt)});
    EXPECT_EQ(nameOf(equals.mainTown("Triesen")), "Triesen");
    EXPECT_EQ(nameOf(equals.mainTown("Liechtenstein")), "Balzers");
}

TEST(CBMapSettlementsTest, APointLiesInTheSettlementWhoseReachItIsDeepestIn) {
    // A town of 63,000 reaches some kilometres, a village of 1,600 well
    // under one.
    const CLLocationCoordinate2D town{53.5574, 13.2603}, village{53.5449, 13.1700};
    CBMapSettlements settlements({place("Neubrandenburg", Rank::Town, 63437, town),
                                  place("Wulkenzin", Rank::Village, 1643, village)});
    // Three kilometres out of the town's centre, closer to the village.
    EXPECT_EQ(nameOf(settlements.localityAt({53.5480, 13.2170})), "Neubrandenburg");
    // By the village's church.
    EXPECT_EQ(nameOf(settlements.localityAt({53.5455, 13.1690})), "Wulkenzin");
    // Fields far from both, and a point that is no point.
    EXPECT_EQ(settlements.localityAt({53.30, 13.60}), nullptr);
    EXPECT_EQ(settlements.localityAt({91, 0}), nullptr);
    EXPECT_EQ(CBMapSettlements().localityAt(town), nullptr);
}

}  // namespace
