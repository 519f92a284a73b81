#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreGraphics/CGPath.h"
#include "MapViewHome.h"
#include "MapkitTestSupport.h"
#include "mapkit/CBMapScrollView.h"

namespace {

class CBMapScrollViewPointPathTest : public ::testing::Test {
  protected:
    MapViewHome home;
    void SetUp() override {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        auto model = NSManagedObjectModel::modelWithContentsOfFile(
            sourceResourcesPath() + "/Quillmere.bundle/CBGeoObject.model");
        ASSERT_NE(model, nullptr);
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        ASSERT_TRUE(coordinator->addPersistentStoreWithType(
            NSSQLiteStoreType, "", folder.file("geo.sqlite"), {}, nullptr));
        context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
        map->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(47.40, 8.58), CLLocationCoordinate2DMake(47.35, 8.50)));
    }

    TemporaryFolder folder;
    std::shared_ptr<NSManagedObjectContext> context;
    std::shared_ptr<CBMapScrollView> map;
};

TEST_F(CBMapScrollViewPointPathTest, PointsOfTheFirstSegmentAndAPathOfAll) {
    auto element = CBGeoElement::elementInContext(context);
    auto path = std::make_shared<CBCoordinatePath>(2);
    path->setupPathForSegmentWithNumberOfCoordinates(0, 3);
    path->setupPathForSegmentWithNumberOfCoordinates(1, 2);
    const CLLocationCoordinate2D outer[] = {{47.37, 8.53}, {47.38, 8.54}, {47.37, 8.55}};
    for (size_t i = 0; i < 3; ++i)
        path->setCoordinateAtIndexOfSegment(outer[i], i, 0);
    path->setCoordinateAtIndexOfSegment({47.372, 8.54}, 0, 1);
    path->setCoordinateAtIndexOfSegment({47.375, 8.541}, 1, 1);
    element->setPath(path);

    map->calculatePointPathAndCGPathRefForGeoPathObject(true, true, *element);
    ASSERT_NE(element->pointPath(), nullptr);
    ASSERT_EQ(element->pointPath()->count(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(element->pointPath()->pointAtIndex(i), map->offsetForCoordinate(outer[i]));
    ASSERT_NE(element->cgPathRef(), nullptr);
    EXPECT_EQ(element->cgPathRef()->elements().size(), 5u);
    EXPECT_EQ(element->cgPathRef()->currentPoint(), map->offsetForCoordinate({47.375, 8.541}));

    // Made once: a second call keeps what is there.
    auto first = element->cgPathRef();
    map->calculatePointPathAndCGPathRefForGeoPathObject(true, true, *element);
    EXPECT_EQ(element->cgPathRef(), first);
}

TEST_F(CBMapScrollViewPointPathTest, OnlyThePointsLeavesThePath) {
    auto element = CBGeoElement::elementInContext(context);
    auto path = std::make_shared<CBCoordinatePath>(2);
    path->setupPathForSegmentWithNumberOfCoordinates(0, 2);
    path->setupPathForSegmentWithNumberOfCoordinates(1, 2);
    element->setPath(path);
    map->calculatePointPathAndCGPathRefForGeoPathObject(true, false, *element);
    ASSERT_NE(element->pointPath(), nullptr);
    EXPECT_EQ(element->pointPath()->count(), 2u);
    EXPECT_EQ(element->cgPathRef(), nullptr);
}

}  // namespace
