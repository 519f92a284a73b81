#include <gtest/gtest.h>

#include <cmath>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "SourceTileFixture.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBPublicTransportDataSource.h"
#include "mapkit/MapViewHome.h"
#include "mapkit/annotations/AnnotationMapFixture.h"

namespace {

class CBPublicTransportDataSourceTest : public AnnotationMapTest {
  protected:
    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The transit mode dims the vector map the fixture took away.
        map_->displayManager()->setStyleSheet(std::make_shared<CBGeoStyleSheet>());
        ASSERT_TRUE(map_->displayManager()->styleSheet());
        source_ = std::make_shared<CBPublicTransportDataSource>(map_->overlays());
        map_->overlays()->addOverlayDatasource(source_);
    }
    // 3 x 3 tiles of level z around the market: the dimmed base colour, then
    // the routes and stops.
    CGImageRef drawNetwork(int z) {
        const double n = std::pow(2.0, z);
        const auto c = market();
        const int x0 = int((c.longitude + 180) / 360 * n) - 1;
        const int y0 = int((1 - std::asinh(std::tan(c.latitude * M_PI / 180)) / M_PI) / 2 * n) - 1;
        auto context = flippedBitmap(3 * 256, 3 * 256);
        const auto base = map_->displayManager()->styleSheet()->baseMapStyle()->fillColor();
        context->setFillColorWithColor(*base);
        context->fillRect(CGRectMake(0, 0, 3 * 256, 3 * 256));
        const auto dim = map_->mapView()->overLayLayer()->backgroundColor();
        EXPECT_TRUE(dim);
        if (dim) {
            context->setFillColorWithColor(dim->CGColor());
            context->fillRect(CGRectMake(0, 0, 3 * 256, 3 * 256));
        }
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                drawTileInto(*context, *source_, map_->displayManager(),
                             map_->layout()->rectForXYZ(x0 + dx, y0 + dy, z), x0 + dx, y0 + dy, z,
                             CGPointMake(dx * 256.0, dy * 256.0), 256);
        return context->createImage();
    }
    // The map as the window shows it, its tiles drawn as they are missing.
    std::vector<uint8_t> screen() {
        settle();
        const CGImageRef image = snapshot();
        return std::vector<uint8_t>(image->data(),
                                    image->data() + image->bytesPerRow() * image->height());
    }

    std::shared_ptr<CBPublicTransportDataSource> source_;
};

}  // namespace

TEST_F(CBPublicTransportDataSourceTest, TheBusNetworkDimsTheMapWithRoutesAndRingedStops) {
    const auto relations = source_->setPublicTransportType(2);
    ASSERT_TRUE(relations);
    ASSERT_FALSE(relations->empty());
    EXPECT_TRUE(matchesReference(drawNetwork(14), "../mapkit/transit-bus-14"));

    // A tap some 20 m beside a stop finds it; one far out of town finds none.
    std::shared_ptr<CBGeoObject> stop;
    for (const auto& relation : *relations)
        if (auto stops = relation->stops(); stops && !stops->empty() && !stop)
            stop = stops->front();
    ASSERT_TRUE(stop);
    const auto at = stop->coreLocation()->coordinate();
    const auto found = source_->nearestStopToCoordinateInContext(
        CLLocationCoordinate2DMake(at.latitude + 0.00018, at.longitude),
        map_->dataManager()->managedObjectContext());
    ASSERT_TRUE(found);
    EXPECT_LT(found->coreLocation()->distanceFromLocation(
                  CLLocation(at.latitude + 0.00018, at.longitude)),
              100);
    EXPECT_FALSE(source_->nearestStopToCoordinateInContext(
        CLLocationCoordinate2DMake(53.45, 13.12), map_->dataManager()->managedObjectContext()));
}

TEST_F(CBPublicTransportDataSourceTest, NoHighlightAndAnEmptyHighlightAreDifferentStates) {
    const auto relations = source_->setPublicTransportType(2);
    ASSERT_TRUE(relations && relations->size() >= 2);
    const auto coloured = screen();
    source_->hightlightRelations(std::vector<std::shared_ptr<CBGeoRelation>>{});
    ASSERT_TRUE(source_->highlightedObjectIDs());
    EXPECT_TRUE(source_->highlightedObjectIDs()->empty());
    const auto grey = screen();
    EXPECT_NE(grey, coloured);
    source_->hightlightRelations(std::nullopt);
    EXPECT_FALSE(source_->highlightedObjectIDs());
    EXPECT_EQ(screen(), coloured);

    // The same routes in another order are the same highlight.
    source_->hightlightRelations(std::vector{(*relations)[0], (*relations)[1]});
    const auto two = source_->highlightedObjectIDs();
    source_->hightlightRelations(std::vector{(*relations)[1], (*relations)[0]});
    EXPECT_EQ(source_->highlightedObjectIDs(), two);
}

TEST_F(CBPublicTransportDataSourceTest, ClearingTheRoutesRedrawsAndUndimsTheMap) {
    const auto plain = screen();
    ASSERT_TRUE(source_->setPublicTransportType(2));
    EXPECT_NE(screen(), plain);
    EXPECT_FALSE(source_->setPublicTransportType(-1));
    EXPECT_FALSE(map_->mapView()->overLayLayer()->backgroundColor());
    EXPECT_EQ(screen(), plain);
}

TEST_F(CBPublicTransportDataSourceTest, ARoutesPathIsProjectedOnceAndKeptByTheRelation) {
    const auto relations = source_->setPublicTransportType(2);
    ASSERT_TRUE(relations && !relations->empty());
    auto& relation = *relations->front();
    ASSERT_NE(relation.cgPathRef(), nullptr);
    // Whatever map is named, the assigned one's path comes back.
    EXPECT_EQ(source_->newPathRefForRelationInMap(relation, nullptr), relation.cgPathRef());
    EXPECT_EQ(relation.pointPath(), nullptr);
    const auto first = relation.cgPathRef()->elements().front().points[0];
    const auto start = relation.path()->coordinateAtIndexOfSegment(0, 0);
    EXPECT_EQ(first, map_->layout()->offsetForCoordinate(start));
    EXPECT_EQ(CBPublicTransportDataSource(nullptr).newPathRefForRelationInMap(relation, map_),
              nullptr);
}

TEST(CBPublicTransportPalette, HasTwentyFiveColoursAndNeedsAMap) {
    EXPECT_EQ(CBPublicTransportDataSource::arrayOfColors().size(), 25u);
    LogCapture log;
    CBPublicTransportDataSource source(nullptr);
    EXPECT_FALSE(source.setPublicTransportType(2));
    EXPECT_TRUE(log.contains("NO ASSIGNED MAP! Assign map before setting transport type."));
}

// Made over a map view, the source draws over it without keeping it alive.
TEST(CBPublicTransportDataSourceMapTest, TheAssignedMapIsHeldWeakly) {
    MapViewHome home;
    auto map = CBMapScrollView::create(CGRectMake(0, 0, 320, 480));
    auto source = std::make_shared<CBPublicTransportDataSource>(*map);
    map->overlays()->addOverlayDatasource(source);
    EXPECT_EQ(source->assignedMap(), map);
    std::weak_ptr<CBMapScrollView> weak = map;
    map.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(source->assignedMap());
    const auto relations = source->setPublicTransportType(2);
    ASSERT_TRUE(relations);
    EXPECT_TRUE(relations->empty());
}
