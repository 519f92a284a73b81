#include "CBGeoData/CBGeoElement.h"

#include "CBGeoData/CBGeoGroup.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoNodeInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "GeoEntityFixture.h"

namespace {

using CBGeoElementTest = GeoEntityTest;

TEST_F(CBGeoElementTest, StyleIdsAndArchitecture) {
    auto element = CBGeoElement::elementInContext(context_);
    EXPECT_FALSE(element->styleIds());
    EXPECT_EQ(element->architectureTypeString(), "none");
    element->setValueForKey("railwayID", Value(50));
    ASSERT_TRUE(element->styleIds());
    EXPECT_EQ(*element->styleIds(), std::vector<int64_t>{50});
    element->setValueForKey("typeID", Value(300));
    element->setValueForKey("bikeID", Value(70));
    EXPECT_EQ(*element->styleIds(), (std::vector<int64_t>{300, 70, 50}));
    EXPECT_TRUE(element->isRailway());
    EXPECT_FALSE(element->isHighway());

    element->setValueForKey("architecture", Value(1 | 4 | 8));
    EXPECT_EQ(element->architectureTypeString(), "area, tunnel, bridge");
    EXPECT_FALSE(element->isArchitectureType(6));
    element->setValueForKey("architecture", Value(2 | 4));
    EXPECT_TRUE(element->isArchitectureType(6));
    element->setValueForKey("architecture", Value(16));
    EXPECT_EQ(element->architectureTypeString(), "none");
    EXPECT_FALSE(CBGeoElement::stringForArchitectureType(16));
}

TEST_F(CBGeoElementTest, EvenOddFillOnlyForAreasWithHoles) {
    auto element = CBGeoElement::elementInContext(context_);
    EXPECT_FALSE(element->needsEOFill());
    EXPECT_FALSE(CLLocationCoordinate2DIsValid(element->coordinate()));
    auto ring = std::make_shared<CBCoordinatePath>(1);
    ring->setupPathForSegmentWithNumberOfCoordinates(0, 4);
    element->setPath(ring);
    EXPECT_FALSE(element->needsEOFill());
    auto holed = std::make_shared<CBCoordinatePath>(2);
    holed->setupPathForSegmentWithNumberOfCoordinates(0, 4);
    holed->setupPathForSegmentWithNumberOfCoordinates(1, 4);
    element->setPath(holed);
    ASSERT_TRUE(context_->save());
    // The stored path reads back with both segments.
    auto reader = newContext();
    auto again =
        std::dynamic_pointer_cast<CBGeoElement>(reader->existingObjectWithID(element->objectID()));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->needsEOFill());
}

TEST_F(CBGeoElementTest, ZoomLevelOfQuadKeys) {
    EXPECT_EQ(CBGeoMapTile::mapTileWithQuadKeyNumberInContext(1, context_)->zoomlevel(), 0);
    EXPECT_EQ(CBGeoMapTile::mapTileWithQuadKeyNumberInContext(10321, context_)->zoomlevel(), 4);
    auto keyless = std::dynamic_pointer_cast<CBGeoMapTile>(
        context_->insertNewObjectForEntityForName("maptile"));
    EXPECT_EQ(keyless->zoomlevel(), 0);
}

TEST_F(CBGeoElementTest, NodesInOrder) {
    auto lonely = std::dynamic_pointer_cast<CBGeoNodeInfo>(
        context_->insertNewObjectForEntityForName("nodeInfo"));
    EXPECT_EQ(lonely->coordinate().latitude, 0.0);
    auto info = CBGeoNodeInfo::nodeInfoWithNewNodeAtWithOrderInContext({53.5, 13.2}, 3, context_);
    EXPECT_EQ(info->order(), 3);
    EXPECT_DOUBLE_EQ(info->coordinate().longitude, 13.2);
    auto object = CBGeoObject::objectInContext(context_);
    object->updateNameAndCanonicalNameForString("Ring");
    auto element = CBGeoElement::elementInContext(context_);
    object->addElement(element);
    element->addObjectForKey("nodeInfos", info);
    EXPECT_EQ(info->node()->title(), "Ring: 53.50, 13.20");
    EXPECT_NEAR(info->node()->deltaFromLatAndLon(53.0, 13.0), 0.7, 1e-9);

    // Each to-many relationship answers from both of its ends.
    info->node()->addObjectForKey("objects", object);
    auto tile = CBGeoMapTile::mapTileWithQuadKeyNumberInContext(10321, context_);
    tile->addObjectForKey("elements", element);
    auto group = CBGeoGroup::groupWithNameAndSubtitleInContext("Walk", std::nullopt, context_);
    group->addObject(object);
    EXPECT_EQ(element->nodeInfos(), (std::vector{info}));
    EXPECT_EQ(info->node()->nodeInfos(), (std::vector{info}));
    EXPECT_EQ(info->node()->objects(), (std::vector{object}));
    EXPECT_EQ(element->maptiles(), (std::vector{tile}));
    EXPECT_EQ(group->objects(), (std::vector{object}));
}

TEST_F(CBGeoElementTest, GroupDeletesItsObjectsButStays) {
    auto group = CBGeoGroup::groupWithNameAndSubtitleInContext("Walk", std::nullopt, context_);
    auto shared = CBGeoTag::tagWithKeyAndAttributeInContext("amenity", "bench", context_);
    auto keep = CBGeoObject::objectInContext(context_);
    keep->addTag(shared);
    for (int i = 0; i < 2; ++i) {
        auto object = CBGeoObject::objectInContextAtCoordinate(context_, {1.0 * i, 2.0});
        object->addTag(shared);
        group->addObject(object);
    }
    ASSERT_TRUE(context_->save());
    group->deleteContainedObjects();
    ASSERT_TRUE(context_->save());
    EXPECT_EQ(context_->countForFetchRequest(NSFetchRequest("group")), 1u);
    EXPECT_EQ(context_->countForFetchRequest(NSFetchRequest("object")), 1u);
    EXPECT_EQ(context_->countForFetchRequest(NSFetchRequest("element")), 0u);
    EXPECT_EQ(context_->countForFetchRequest(NSFetchRequest("tag")), 1u);
}

TEST_F(CBGeoElementTest, DerivedFlagsWorkInFetches) {
    auto street = CBGeoObject::objectInContext(context_);
    street->updateNameAndCanonicalNameForString("Ring");
    auto road = CBGeoElement::elementInContext(context_);
    road->setValueForKey("highwayID", Value(12));
    street->addElement(road);
    auto shop = CBGeoObject::objectInContext(context_);
    shop->updateNameAndCanonicalNameForString("Shop");
    ASSERT_TRUE(context_->save());
    NSFetchRequest request("object");
    request.predicate = NSPredicate::predicateWithFormat("isHighway = YES");
    auto found = context_->executeFetchRequest(request);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<CBGeoObject>(found->front())->name(), "Ring");
}

}  // namespace
