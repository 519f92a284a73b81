// A line's stops as its screen lists them: each named stop once.
#include "model/CBStopsEachOnce.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "CBGeoData/CBGeoRelation.h"
#include "model/PlaceStoreFixture.h"

namespace {

using CBStopsEachOnceTest = PlaceStoreTest;

}  // namespace

TEST_F(CBStopsEachOnceTest, ALineListsEachOfItsStopsOnce) {
    NSFetchRequest request("relation");
    request.predicate = NSPredicate::predicateWithFormat(
        "name == %@", {Value(std::string("Bethanienberg S\u00fcd - Busbahnhof"))});
    auto found = map_->managedObjectContext()->executeFetchRequest(request);
    ASSERT_TRUE(found && !found->empty());
    auto line = std::dynamic_pointer_cast<CBGeoRelation>(found->front());

    const auto stops = line->sortedStops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{});
    const auto once = CBStopsEachOnce(stops);
    ASSERT_LT(once.size(), stops.size());
    std::vector<std::string> names;
    for (const auto& stop : once)
        if (auto name = stop->title(); name && !name->empty())
            names.push_back(*name);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Bethanienberg"), 1);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    // A stop standing for others is one a person waits at where there is one.
    for (const auto& stop : once) {
        if (stop->title() == std::optional<std::string>("Bethanienberg")) {
            EXPECT_NE(stop->getAttributeOfTagForKey("public_transport"),
                      std::optional<std::string>("stop_position"));
        }
    }
    EXPECT_TRUE(CBStopsEachOnce({}).empty());
}
