#include "mapkit/CBMapProjector.h"

#include <gtest/gtest.h>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBPointPath.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreGraphics/CGPath.h"
#include "MapViewHome.h"
#include "MapkitTestSupport.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapGridLayout.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapWebMercatorProjection.h"
#include "mapkit/CBTileRequest.h"

namespace {

class CBMapProjectorTest : public ::testing::Test {
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
        map->layout()->setMapBoundingBox(box());
    }
    static std::shared_ptr<CBBoundingBox> box() {
        return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
            CLLocationCoordinate2DMake(47.40, 8.58), CLLocationCoordinate2DMake(47.35, 8.50));
    }

    TemporaryFolder folder;
    std::shared_ptr<NSManagedObjectContext> context;
    std::shared_ptr<CBMapScrollView> map;
};

TEST_F(CBMapProjectorTest, PointsOfTheFirstSegmentAndAPathOfAll) {
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

    ASSERT_NE(map->layout()->projector(), nullptr);
    CBElementPathCache paths(*map->layout()->projector());
    EXPECT_EQ(paths.madePathForElement(*element), nullptr);
    auto points = paths.pointPathForElement(*element);
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(points->count(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(points->pointAtIndex(i), map->layout()->offsetForCoordinate(outer[i]));
    auto drawn = paths.madePathForElement(*element);
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->elements().size(), 5u);
    EXPECT_EQ(drawn->currentPoint(), map->layout()->offsetForCoordinate({47.375, 8.541}));

    // Made once: a second request keeps what is there.
    EXPECT_EQ(paths.pointPathForElement(*element), points);
    EXPECT_EQ(paths.madePathForElement(*element), drawn);
}

TEST_F(CBMapProjectorTest, OnlyThePointsLeavesThePath) {
    auto path = std::make_shared<CBCoordinatePath>(2);
    path->setupPathForSegmentWithNumberOfCoordinates(0, 2);
    path->setupPathForSegmentWithNumberOfCoordinates(1, 2);
    auto made = map->layout()->projector()->projectPath(path.get(), {}, true, false);
    ASSERT_NE(made.points, nullptr);
    EXPECT_EQ(made.points->count(), 2u);
    EXPECT_EQ(made.path, nullptr);
}

TEST_F(CBMapProjectorTest, AnElementWithoutAPathIsItsPoint) {
    auto element = CBGeoElement::simpleElementInContextWithCoordinate(context, {47.38, 8.54});
    CBElementPathCache paths(*map->layout()->projector());
    auto points = paths.pointPathForElement(*element);
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(points->count(), 1u);
    EXPECT_EQ(points->pointAtIndex(0), map->layout()->offsetForCoordinate(element->coordinate()));
    ASSERT_NE(paths.madePathForElement(*element), nullptr);
    EXPECT_EQ(paths.madePathForElement(*element)->elements().size(), 1u);
}

// Callers outside the tile road ask the map view for an element's forms;
// they stay with the element until it turns into a fault.
TEST_F(CBMapProjectorTest, TheMapViewGivesAnElementItsFormsUntilItTurnsIntoAFault) {
    auto element = CBGeoElement::elementInContext(context);
    auto path = std::make_shared<CBCoordinatePath>(2);
    path->setupPathForSegmentWithNumberOfCoordinates(0, 2);
    path->setupPathForSegmentWithNumberOfCoordinates(1, 2);
    path->setCoordinateAtIndexOfSegment({47.37, 8.53}, 0, 0);
    path->setCoordinateAtIndexOfSegment({47.38, 8.54}, 1, 0);
    element->setPath(path);

    map->calculatePointPathAndCGPathRefForGeoPathObject(true, false, *element);
    ASSERT_NE(element->pointPath(), nullptr);
    EXPECT_EQ(element->pointPath()->pointAtIndex(1),
              map->layout()->offsetForCoordinate({47.38, 8.54}));
    EXPECT_EQ(element->cgPathRef(), nullptr);
    const auto points = element->pointPath();
    map->calculatePointPathAndCGPathRefForGeoPathObject(true, true, *element);
    EXPECT_EQ(element->pointPath(), points) << "what it has is kept";
    ASSERT_NE(element->cgPathRef(), nullptr);
    EXPECT_EQ(element->cgPathRef()->elements().size(), 4u);

    ASSERT_TRUE(context->save(nullptr));
    context->refreshObjectMergeChanges(element, false);
    EXPECT_EQ(element->cgPathRef(), nullptr);
    EXPECT_EQ(element->pointPath(), nullptr);

    // An unconfigured map makes nothing; a point element gets its point.
    auto point = CBGeoElement::simpleElementInContextWithCoordinate(context, {47.38, 8.54});
    CBMapScrollView::create(CGRectMake(0, 0, 320, 480))
        ->calculatePointPathAndCGPathRefForGeoPathObject(true, true, *point);
    EXPECT_EQ(point->cgPathRef(), nullptr);
    map->calculatePointPathAndCGPathRefForGeoPathObject(true, true, *point);
    ASSERT_NE(point->pointPath(), nullptr);
    EXPECT_EQ(point->pointPath()->count(), 1u);
    EXPECT_EQ(point->cgPathRef()->currentPoint(),
              map->layout()->offsetForCoordinate({47.38, 8.54}));
}

// A WMS delegate asked for a map's tile answers for the request that map's
// renderer makes for the tile.
TEST_F(CBMapProjectorTest, AWmsAnswerForAMapsTileIsTheAnswerForItsRequest) {
    struct Recording : CBImageDataSourceWMSDelegate {
        std::optional<NSURL> imageDataSourceWmsUrlForTileRequest(
            CBImageDataSource&, const CBTileRequest& request) override {
            asked = request;
            return NSURL::URLWithString("http://127.0.0.1/wms?x=" + std::to_string(request.x));
        }
        CBTileRequest asked;
    } wms;
    CBImageDataSource source;
    const int x = map->layout()->projector()->offsetColumns() >> 3;
    const int y = map->layout()->projector()->offsetRows() >> 3;
    const auto url = wms.imageDataSourceWmsUrlForMapAtXYZ(source, *map, x, y, 15);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "http://127.0.0.1/wms?x=" + std::to_string(x));
    EXPECT_EQ(wms.asked.y, y);
    EXPECT_EQ(wms.asked.zoom, 15);
    EXPECT_EQ(wms.asked.rect, map->layout()->rectForXYZ(x, y, 15));
    EXPECT_EQ(wms.asked.projector, map->layout()->projector());
}

// Offsets are worked out without asking the projection for the corner each
// time; they must be the projection's to the last bit, or cached tiles and
// live tiles would not meet.
TEST_F(CBMapProjectorTest, OffsetsAreTheProjectionsAndComeBackToTheirCoordinates) {
    const auto& projector = *map->layout()->projector();
    for (CLLocationCoordinate2D c :
         {CLLocationCoordinate2D{47.37, 8.53}, {47.3999, 8.5001}, {-33.9, 151.2}, {85.0, -179.9}}) {
        const CGPoint uv = projector.projection()->normalizedOffsetForCoordinateMapCornerZoom(
            c, projector.mapCornerNorthWest(), projector.maximumZoomLevel());
        const CGPoint p = projector.offsetForCoordinate(c);
        EXPECT_EQ(p.x, uv.x * projector.tileSize());
        EXPECT_EQ(p.y, uv.y * projector.tileSize());
        const CLLocationCoordinate2D back = projector.coordinateAtOffset(p);
        EXPECT_NEAR(back.latitude, c.latitude, 1e-9);
        EXPECT_NEAR(back.longitude, c.longitude, 1e-9);
    }
}

// The tile-cache pre-fill lays a map out with no view: it must land where a
// map view of the same size puts it, or its tiles would not be the view's.
TEST_F(CBMapProjectorTest, ALayoutWithoutAViewIsTheMapViewsLayout) {
    const auto laidOut = CBMapGridLayout::layoutForBoundingBox(
        *box(), std::make_shared<CBMapWebMercatorProjection>(), map->layout()->maximumZoomLevel(),
        CBMapLayout::tileWidth(), map->bounds().size, UIScreen::mainScreen()->scale());
    const auto& viewProjector = *map->layout()->projector();
    EXPECT_EQ(laidOut.projector->offsetColumns(), viewProjector.offsetColumns());
    EXPECT_EQ(laidOut.projector->offsetRows(), viewProjector.offsetRows());
    EXPECT_EQ(laidOut.projector->mapCornerNorthWest().latitude,
              viewProjector.mapCornerNorthWest().latitude);
    EXPECT_EQ(laidOut.projector->mapCornerNorthWest().longitude,
              viewProjector.mapCornerNorthWest().longitude);
    EXPECT_EQ(laidOut.minimumZoomLevel, map->layout()->minimumZoomLevel());
    EXPECT_EQ(laidOut.boxSize, map->mapContainerView()->bounds().size);
    for (int z : {laidOut.minimumZoomLevel, 15, 18}) {
        const CGRect rect = laidOut.projector->rectForXYZ(
            viewProjector.offsetColumns() >> (18 - z), viewProjector.offsetRows() >> (18 - z), z);
        EXPECT_EQ(rect, map->layout()->rectForXYZ(viewProjector.offsetColumns() >> (18 - z),
                                                  viewProjector.offsetRows() >> (18 - z), z));
        EXPECT_EQ(rect.origin, CGPointZero) << z;
    }
}

// Drawing threads read a projector with no lock while the main thread
// configures the next map: a reconfigured view hands out a new one and
// leaves the old as it was.
TEST_F(CBMapProjectorTest, ReconfiguringMakesANewProjectorAndKeepsTheOld) {
    auto before = map->layout()->projector();
    const CGPoint where = before->offsetForCoordinate({47.37, 8.53});
    map->layout()->setMapBoundingBox(CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2DMake(53.57, 13.28), CLLocationCoordinate2DMake(53.54, 13.24)));
    EXPECT_NE(map->layout()->projector(), before);
    EXPECT_EQ(before->offsetForCoordinate({47.37, 8.53}), where);
    map->layout()->setMapBoundingBox(nullptr);
    EXPECT_EQ(map->layout()->projector(), nullptr);
    EXPECT_EQ(map->layout()->offsetForCoordinate({47.37, 8.53}), CGPointZero);
}

}  // namespace
