#include "AnnotationMapFixture.h"
#include "CBGeoData/CBGeoSearchResult.h"

namespace {

using CBMapScrollViewSearchTest = AnnotationMapTest;

TEST_F(CBMapScrollViewSearchTest, SearchesTheOpenMapAndAnswersNothingWithoutOne) {
    std::shared_ptr<CBGeoObject> closest;
    bool answered = false;
    auto place = placesInView().front();
    map_->searchForClosestObjectToWithCompletionBlock(
        place->coordinate(), [&](const std::shared_ptr<CBGeoObject>& object) {
            closest = object;
            answered = true;
        });
    ASSERT_TRUE(runUntil([&] { return answered; }));
    ASSERT_NE(closest, nullptr);
    EXPECT_TRUE(closest->name());

    std::vector<std::shared_ptr<CBGeoSearchResult>> hits;
    ASSERT_TRUE(map_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        "Marktplatz", false, false, [&](const auto& results) { hits = results; }));
    EXPECT_TRUE(runUntil([&] { return !hits.empty(); }));

    map_->resetMap();
    answered = false;
    map_->searchForClosestObjectToWithCompletionBlock(
        place->coordinate(), [&](const std::shared_ptr<CBGeoObject>& object) {
            closest = object;
            answered = true;
        });
    EXPECT_TRUE(runUntil([&] { return answered; }));
    EXPECT_EQ(closest, nullptr);
}

}  // namespace
