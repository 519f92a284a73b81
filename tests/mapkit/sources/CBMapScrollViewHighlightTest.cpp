#include <gtest/gtest.h>

#include <cmath>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "SourceTileFixture.h"
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
    // The highlight over the 3 x 3 tiles of level z around the object.
    CGImageRef drawHighlight(CBGeoObject& object, int z) {
        const auto c = object.bbox()->centerCoordinate();
        const double n = std::pow(2.0, z);
        const int x0 = int((c.longitude + 180) / 360 * n) - 1;
        const int y0 = int((1 - std::asinh(std::tan(c.latitude * M_PI / 180)) / M_PI) / 2 * n) - 1;
        auto context = flippedBitmap(3 * 256, 3 * 256);
        context->setGrayFillColor(1, 1);
        context->fillRect(CGRectMake(0, 0, 3 * 256, 3 * 256));
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                drawTileInto(*context, *map_->hightLightDatasource(), map_,
                             map_->rectForXYZ(x0 + dx, y0 + dy, z), x0 + dx, y0 + dy, z,
                             CGPointMake(dx * 256.0, dy * 256.0), 256);
        return context->createImage();
    }
};

}  // namespace

TEST_F(CBMapScrollViewHighlightTest, ACourtyardBuildingIsFilledAroundItsCourtyard) {
    auto building = areaWithHoles("building", std::nullopt);
    ASSERT_TRUE(building);
    map_->highlightObjectWithStyle(building, nullptr);
    ASSERT_TRUE(map_->hightLightDatasource());
    EXPECT_TRUE(
        matchesReference(drawHighlight(*building, 18), "../mapkit/highlight-building-courtyard"));
    map_->removeHighlight();
    EXPECT_FALSE(map_->hightLightDatasource());
}
