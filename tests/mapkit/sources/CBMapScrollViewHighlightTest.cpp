#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "SourceTileFixture.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/annotations/AnnotationMapFixture.h"

namespace {

class CBMapScrollViewHighlightTest : public AnnotationMapTest {
  protected:
    // The first object tagged key=value whose outline has holes (an element
    // of several segments).
    std::shared_ptr<CBGeoObject> areaWithHoles(const std::string& key,
                                               const std::optional<std::string>& value) {
        const auto tags = map_->tagsMatchingKeyAndAttribute(key, value);
        for (const auto& tag : tags.value_or(std::vector<std::shared_ptr<CBGeoTag>>{}))
            for (const auto& candidate : tag->objectsForKey("objects"))
                if (auto object = std::dynamic_pointer_cast<CBGeoObject>(candidate))
                    for (const auto& element : object->elements())
                        if (auto path = element->path(); path && path->segmentCount() >= 2)
                            return object;
        return nullptr;
    }
    // Of the lakes with islands, the one whose largest island is the largest
    // part of it, with the box of that island.
    std::pair<std::shared_ptr<CBGeoObject>, CBBoundingBox> lakeWithIsland() {
        std::pair<std::shared_ptr<CBGeoObject>, CBBoundingBox> best;
        double bestShare = 0;
        const auto tags = map_->tagsMatchingKeyAndAttribute("natural", std::string("water"));
        for (const auto& tag : tags.value_or(std::vector<std::shared_ptr<CBGeoTag>>{}))
            for (const auto& candidate : tag->objectsForKey("objects"))
                if (auto object = std::dynamic_pointer_cast<CBGeoObject>(candidate))
                    for (const auto& element : object->elements()) {
                        const auto path = element->path();
                        if (!path || path->segmentCount() < 2)
                            continue;
                        std::vector<std::pair<double, CBBoundingBox>> rings;
                        for (size_t k = 0; k < path->segmentCount(); ++k) {
                            CBBoundingBox ring;
                            for (size_t i = 0; i < path->numberOfCoordinatesAtSegment(k); ++i)
                                ring.growToIncludeCoordinate(
                                    path->coordinateAtIndexOfSegment(i, k));
                            rings.emplace_back(ring.latitudeSpan() + ring.longitudeSpan(), ring);
                        }
                        std::sort(rings.begin(), rings.end(),
                                  [](const auto& a, const auto& b) { return a.first > b.first; });
                        if (rings[1].first / rings[0].first > bestShare) {
                            bestShare = rings[1].first / rings[0].first;
                            best = {object, rings[1].second};
                        }
                    }
        return best;
    }
    // The subpaths of the highlight's drawing path.
    size_t highlightedRings() {
        const auto path = map_->overlays()->hightLightDatasource()->pathRefInMap(
            map_->layout()->projector().get());
        size_t rings = 0;
        for (const auto& element : path ? path->elements() : std::vector<CGPath::Element>{})
            rings += element.type == CGPath::ElementType::MoveToPoint;
        return rings;
    }
    // The rings of the object's most detailed element.
    static size_t finestRings(CBGeoObject& object) {
        size_t most = 0, rings = 0;
        for (const auto& element : object.elements()) {
            const auto path = element->path();
            size_t points = 0;
            for (size_t k = 0; path && k < path->segmentCount(); ++k)
                points += path->numberOfCoordinatesAtSegment(k);
            if (points > most) {
                most = points;
                rings = path->segmentCount();
            }
        }
        return rings;
    }
    // The highlight over the 3 x 3 tiles of level z around the object.
    CGImageRef drawHighlight(CLLocationCoordinate2D c, int z) {
        const double n = std::pow(2.0, z);
        const int x0 = int((c.longitude + 180) / 360 * n) - 1;
        const int y0 = int((1 - std::asinh(std::tan(c.latitude * M_PI / 180)) / M_PI) / 2 * n) - 1;
        auto context = flippedBitmap(3 * 256, 3 * 256);
        context->setGrayFillColor(1, 1);
        context->fillRect(CGRectMake(0, 0, 3 * 256, 3 * 256));
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                drawTileInto(*context, *map_->overlays()->hightLightDatasource(),
                             map_->displayManager(),
                             map_->layout()->rectForXYZ(x0 + dx, y0 + dy, z), x0 + dx, y0 + dy, z,
                             CGPointMake(dx * 256.0, dy * 256.0), 256);
        return context->createImage();
    }
};

}  // namespace

TEST_F(CBMapScrollViewHighlightTest, ACourtyardBuildingIsFilledAroundItsCourtyard) {
    auto building = areaWithHoles("building", std::nullopt);
    ASSERT_TRUE(building);
    ASSERT_GT(building->elements().size(), 1u);
    map_->overlays()->highlightObjectWithStyle(building, nullptr);
    ASSERT_TRUE(map_->overlays()->hightLightDatasource());
    // Each ring once: the coarser levels of the same outline are left out.
    EXPECT_EQ(highlightedRings(), finestRings(*building));
    EXPECT_TRUE(matchesReference(drawHighlight(building->bbox()->centerCoordinate(), 18),
                                 "../mapkit/highlight-building-courtyard"));
    map_->overlays()->removeHighlight();
    EXPECT_FALSE(map_->overlays()->hightLightDatasource());
}

TEST_F(CBMapScrollViewHighlightTest, ALakeWithAnIslandDrawsEachRingOnceWithTheIslandLeftOpen) {
    auto [lake, island] = lakeWithIsland();
    ASSERT_TRUE(lake);
    ASSERT_GT(lake->elements().size(), 1u);
    map_->overlays()->highlightObjectWithStyle(lake, nullptr);
    ASSERT_TRUE(map_->overlays()->hightLightDatasource());
    EXPECT_EQ(highlightedRings(), finestRings(*lake));
    // Zoomed to the island: a third of the picture, open water around it.
    const double span = std::max(island.latitudeSpan(), island.longitudeSpan() / 1.6);
    const int z = std::clamp(int(std::log2(360.0 / span)) - 1, 8, 18);
    EXPECT_TRUE(matchesReference(drawHighlight(island.centerCoordinate(), z),
                                 "../mapkit/highlight-lake-island"));
}
