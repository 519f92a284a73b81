#include "CBGeoData/CBGeoRelation.h"

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "GeoEntityFixture.h"

namespace {

class CBGeoRelationTest : public GeoEntityTest {
  protected:
    std::shared_ptr<CBGeoRelation> relation(const std::optional<std::string>& name) {
        auto made = std::dynamic_pointer_cast<CBGeoRelation>(
            context_->insertNewObjectForEntityForName("relation"));
        if (name)
            made->setValueForKey("name", Value(*name));
        return made;
    }
    void tag(const std::shared_ptr<NSManagedObject>& owner, const std::string& key,
             const std::string& attribute) {
        owner->addObjectForKey("tags",
                               CBGeoTag::tagWithKeyAndAttributeInContext(key, attribute, context_));
    }
    std::shared_ptr<CBGeoObject> stop(const std::string& name, const char* kind) {
        auto made = CBGeoObject::objectInContextAtCoordinate(context_, {53.0, 13.0});
        made->updateNameAndCanonicalNameForString(name);
        if (kind)
            tag(made, "pubtrans", kind);
        return made;
    }
    void member(const std::shared_ptr<CBGeoRelation>& route,
                const std::shared_ptr<CBGeoObject>& object, const std::string& role, int order) {
        auto info = context_->insertNewObjectForEntityForName("elementInfo");
        info->setValueForKey("role", Value(role));
        info->setValueForKey("order", Value(order));
        info->setObjectForKey("element", object->elements().front());
        info->setObjectForKey("relation", route);
    }
};

TEST_F(CBGeoRelationTest, DisplayTagsLeaveOutTheRefOfNamedRelations) {
    auto named = relation("Tram 5");
    tag(named, "ref", "5");
    tag(named, "operator", "NVB");
    ASSERT_EQ(named->displayTags().size(), 1u);
    EXPECT_EQ(named->displayTags()[0]->key(), "operator");
    EXPECT_EQ(named->getAttributeOfTagForKey("ref"), "5");
    auto unnamed = relation(std::nullopt);
    tag(unnamed, "ref", "5");
    tag(unnamed, "operator", "NVB");
    EXPECT_EQ(unnamed->displayTags().size(), 2u);
}

TEST_F(CBGeoRelationTest, StopsByRoleOrderAndName) {
    auto route = relation("Bus 1");
    tag(route, "route_pubtrans", "bus");
    EXPECT_FALSE(route->sortedStops());
    EXPECT_EQ(route->bbox()->NE().latitude, -90.0);  // the empty sentinel
    auto zoo = stop("Zoo", "bus_stop");
    auto market = stop("Markt", "bus_stop");
    auto bench = stop("Bank", nullptr);
    member(route, zoo, "stop", 1);
    member(route, market, "stop", 2);
    member(route, bench, "", 0);
    ASSERT_TRUE(context_->save());
    auto sorted = route->sortedStops();
    ASSERT_TRUE(sorted);
    ASSERT_EQ(sorted->size(), 2u);
    EXPECT_EQ((*sorted)[0]->name(), "Markt");
    auto ordered = route->orderedStops();
    ASSERT_TRUE(ordered);
    EXPECT_EQ((*ordered)[0]->name(), "Zoo");
    EXPECT_EQ(route->elementsWithRole("stop").size(), 2u);
    EXPECT_FALSE(route->stopsOrderIsKnown());
    EXPECT_DOUBLE_EQ(route->coordinate().latitude, 53.0);
}

TEST_F(CBGeoRelationTest, MembersImportantObjectsAndTagsAnswerFromBothEnds) {
    auto route = relation("Bus 1");
    auto zoo = stop("Zoo", "bus_stop");
    member(route, zoo, "stop", 1);
    zoo->addObjectForKey("importantRelations", route);
    EXPECT_EQ(route->importantObjects(), (std::vector{zoo}));
    EXPECT_EQ(zoo->elements().front()->elementInfos(), route->elementInfos());
    const auto stopTag = zoo->tags().front();
    stopTag->addObjectForKey("relations", route);
    EXPECT_EQ(stopTag->objects(), (std::vector{zoo}));
    EXPECT_EQ(stopTag->relations(), (std::vector{route}));
}

TEST_F(CBGeoRelationTest, RelationsOfAnObject) {
    auto zoo = stop("Zoo", "bus_stop");
    EXPECT_FALSE(zoo->allRelations());
    EXPECT_FALSE(zoo->pubTransRouteNamesSeparatedBy(", "));
    EXPECT_EQ(zoo->publicTransportType(), CBGeoObject::kPubTransBusLike);
    for (const char* name : {"S1", "3", "12"}) {
        auto route = relation(std::string(name));
        tag(route, "route_pubtrans", name[0] == 'S' ? "train" : "bus");
        member(route, zoo, "stop", 0);
    }
    auto area = relation("Zoo stops");
    tag(area, "relatedStops", "yes");
    member(area, zoo, "stop", 0);
    EXPECT_EQ(zoo->pubTransRouteNamesSeparatedBy(", "), "12, 3, S1");
    EXPECT_EQ(zoo->allRelations()->size(), 4u);
    EXPECT_EQ(zoo->allRelationsTaggedWithKeyAndAttribute(std::nullopt, std::nullopt)->size(), 4u);
    EXPECT_TRUE(zoo->allRelationsTaggedWithKey("nothing")->empty());
    EXPECT_EQ(zoo->allBusLikeRelations()->size(), 2u);
    EXPECT_EQ(zoo->allTrainLikeRelations()->size(), 1u);
    EXPECT_TRUE(zoo->allFerryLikeRelations()->empty());
    EXPECT_TRUE(zoo->otherPubTransRelations()->empty());
    // The only stop of its stop area is the object itself.
    EXPECT_FALSE(zoo->relatedStops());
    auto gate = stop("Zoo Tor", "bus_stop");
    member(area, gate, "stop", 1);
    ASSERT_TRUE(zoo->relatedStops());
    EXPECT_EQ((*zoo->relatedStops())[0]->name(), "Zoo Tor");
    EXPECT_EQ(*zoo->subtitle(), "12, 3, S1");
    // A ferry route is a ferry, never "other".
    auto ferry = relation("F1");
    tag(ferry, "route_pubtrans", "ferry");
    member(ferry, zoo, "stop", 0);
    EXPECT_EQ(zoo->allFerryLikeRelations()->size(), 1u);
    EXPECT_TRUE(zoo->otherPubTransRelations()->empty());
}

TEST_F(CBGeoRelationTest, PublicTransportFamilies) {
    EXPECT_EQ(stop("A", "tram_stop")->publicTransportType(), CBGeoObject::kPubTransTramLike);
    EXPECT_EQ(stop("B", "station")->publicTransportType(), CBGeoObject::kPubTransTrainLike);
    EXPECT_EQ(stop("C", "ferry_terminal")->publicTransportType(), CBGeoObject::kPubTransFerryLike);
    EXPECT_EQ(stop("D", "cable_car")->publicTransportType(), CBGeoObject::kPubTransOther);
    EXPECT_EQ(stop("E", nullptr)->publicTransportType(), CBGeoObject::kPubTransNone);
}

}  // namespace
