#include <gtest/gtest.h>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBPointPath.h"
#include "CBGeoData/CBStreetNameAbbreviation.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBVectorDataSource.h"
#include "mapkit/MapkitTestSupport.h"
#include "uiadditions/NSString+ZELDrawingSizeCache.h"

namespace {

constexpr int64_t kRoad = 12;
constexpr int64_t kStreetLabel = 13;

uint32_t alphaAt(CGContext& context, size_t x, size_t y) {
    const uint8_t* row = context.data() + y * context.bytesPerRow();
    return reinterpret_cast<const uint32_t*>(row)[x] >> 24;
}

// Elements drawn by hand-made styles at screen scale 1, in content
// coordinates that equal the context's pixels.
class CBVectorDataSourceDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousScale_ = UIScreen::mainScreen()->scale();
        UIScreen::mainScreen()->setScale(1);
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(std::nullopt);
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        auto model = NSManagedObjectModel::modelWithContentsOfFile(
            sourceResourcesPath() + "/Quillmere.bundle/CBGeoObject.model");
        ASSERT_NE(model, nullptr);
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        ASSERT_NE(coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                          folder_.file("geo.sqlite"), {}, nullptr),
                  nullptr);
        context_ = std::make_shared<NSManagedObjectContext>();
        context_->setPersistentStoreCoordinator(coordinator);

        Value::Dictionary road{
            {"strokeColor", "FF0000"}, {"strokeWidth", 4}, {"onewayColor", "0000FF"}};
        Value::Dictionary label{{"textColor", "000000"}, {"fontSize", 12}};
        Value::Dictionary tags{
            {std::to_string(kRoad), Value(Value::Dictionary{{"10", Value(road)}})},
            {std::to_string(kStreetLabel), Value(Value::Dictionary{{"10", Value(label)}})}};
        const std::string plist = folder_.file("style.plist");
        ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
            Value(Value::Dictionary{{"tags", Value(tags)}}), plist,
            NSPropertyListSerialization::Format::XML));

        CBDiskTileCache::setMainCacheDirectory(folder_.file("tiles"));
        CBDiskTileCache::setSqliteFilePath(folder_.file("CBDiskCache.sqlite"));
        display_ = std::make_shared<CBGeoDisplayManager>();
        display_->disableDiskCache();
        ASSERT_TRUE(display_->changeStyleToStylePlist(plist));
        display_->setProjector(projector_);
        source_ = std::make_shared<CBVectorDataSource>(display_);
    }
    void TearDown() override {
        source_.reset();
        display_.reset();
        NSBundle::setMainBundlePath("");
        UIScreen::mainScreen()->setScale(previousScale_);
    }

    // A street along the points (content coordinates).
    std::shared_ptr<CBGeoElement> street(const std::vector<CGPoint>& points) {
        auto element = CBGeoElement::elementInContext(context_);
        element->setValueForKey("highwayID", Value(kRoad));
        auto pointPath = std::make_shared<CBPointPath>(points.size());
        auto path = std::make_shared<CGPath>();
        for (size_t i = 0; i < points.size(); ++i) {
            pointPath->setPointAtIndex(points[i], i);
            if (i == 0)
                path->moveToPoint(points[i]);
            else
                path->addLineToPoint(points[i]);
        }
        paths_.setPathsForElement(*element, pointPath, path);
        return element;
    }

    std::shared_ptr<CGContext> draw(const std::shared_ptr<CBGeoElement>& element, int zoom) {
        auto context = CGContext::createBitmapContext(220, 100);
        context->translateCTM(0, 100);
        context->scaleCTM(1, -1);
        CBVectorDataSource::ElementLayers layers{{{kRoad, {element}}}};
        source_->drawObjectsAtZoomlevelAndScaleInContext(
            layers,
            display_->tileRequestForRectXYZAtScale(CGRectMake(0, 0, 220, 100), 0, 0, zoom, 1),
            paths_, *context);
        return context;
    }

    std::shared_ptr<CBGeoStyle> labelStyle() {
        return display_->styleSheetForCurrentThread()->styleForTypeIDAtNativeZoomLevel(kStreetLabel,
                                                                                       16);
    }

    TemporaryFolder folder_;
    std::shared_ptr<NSManagedObjectContext> context_;
    std::shared_ptr<CBGeoDisplayManager> display_;
    std::shared_ptr<const CBMapProjector> projector_ = CBMapProjector::worldWebMercator();
    // The paths drawn: made-up streets in content coordinates.
    CBElementPathCache paths_{*projector_};
    std::shared_ptr<CBVectorDataSource> source_;
    CGFloat previousScale_ = 1;
};

TEST_F(CBVectorDataSourceDrawingTest, OneWayArrowsPointTheWayOfTravel) {
    // Arrows are blue over the red line: look one row off the line's centre,
    // beside the 4-point stroke, where only an arrow head paints.
    auto arrowsNear = [&](CGContext& context, size_t from, size_t to) {
        for (size_t x = from; x < to; ++x) {
            if (alphaAt(context, x, 47) > 0)
                return true;
        }
        return false;
    };
    auto forward = street({{10, 50}, {200, 50}});
    forward->setValueForKey("oneway", Value(1));
    auto context = draw(forward, 16);
    EXPECT_TRUE(arrowsNear(*context, 180, 195)) << "near the end, pointing to it";
    EXPECT_FALSE(arrowsNear(*context, 15, 35));

    auto backward = street({{10, 50}, {200, 50}});
    backward->setValueForKey("oneway", Value(-1));
    context = draw(backward, 16);
    EXPECT_TRUE(arrowsNear(*context, 15, 35));
    EXPECT_FALSE(arrowsNear(*context, 180, 195));

    auto both = street({{10, 50}, {200, 50}});
    both->setValueForKey("oneway", Value(0));
    context = draw(both, 16);
    EXPECT_FALSE(arrowsNear(*context, 0, 220));
}

TEST_F(CBVectorDataSourceDrawingTest, TunnelsAreDashedFromZoomFifteen) {
    auto tunnel = street({{0, 50}, {100, 50}});
    tunnel->setValueForKey("architecture", Value(int64_t{CBGeoElement::kTunnel}));
    // Width 4 at s = 1: 8 on, 2 off, at alpha 0.75.
    auto context = draw(tunnel, 15);
    EXPECT_EQ(alphaAt(*context, 3, 50), 0xBFu);
    EXPECT_EQ(alphaAt(*context, 8, 50), 0u);
    EXPECT_EQ(alphaAt(*context, 9, 50), 0u);
    EXPECT_EQ(alphaAt(*context, 10, 50), 0xBFu);
    // Below zoom 15 a tunnel is an ordinary line.
    context = draw(tunnel, 14);
    EXPECT_EQ(alphaAt(*context, 8, 50), 0xFFu);
}

TEST_F(CBVectorDataSourceDrawingTest, LongSegmentsRepeatTheNameStraight) {
    auto style = labelStyle();
    ASSERT_NE(style, nullptr);
    const std::string name = "Lindenstraße";
    const CGFloat width = zelSizeWithFont(name, UIFont::systemFontOfSize(12)).width;
    auto context = CGContext::createBitmapContext(8, 8);
    for (auto [ratio, positions] : {std::pair{5.2, 2u}, std::pair{12.0, 3u}}) {
        auto element = street({{0, 50}, {ratio * width, 50}});
        element->setValueForKey("name", Value(name));
        std::vector<CGRect> labels;
        EXPECT_TRUE(source_->drawNameForElementWithStyleAndScaleInContext(
            name, *element, *style, 1, labels, paths_, *context));
        EXPECT_EQ(labels.size(), positions) << ratio;
    }
    // Too short for the name: nothing.
    auto element = street({{0, 50}, {0.7 * width, 50}});
    std::vector<CGRect> labels;
    EXPECT_FALSE(source_->drawNameForElementWithStyleAndScaleInContext(name, *element, *style, 1,
                                                                       labels, paths_, *context));
    EXPECT_TRUE(labels.empty());
}

TEST_F(CBVectorDataSourceDrawingTest, LabelsNeverOverlapWithinATile) {
    auto style = labelStyle();
    ASSERT_NE(style, nullptr);
    auto context = CGContext::createBitmapContext(8, 8);
    auto place = [&](const std::string& name, CLLocationCoordinate2D coordinate) {
        auto element = CBGeoElement::simpleElementInContextWithCoordinate(context_, coordinate);
        element->setValueForKey("name", Value(name));
        paths_.setPathsForElement(*element, std::make_shared<CBPointPath>(1), nullptr);
        return element;
    };
    std::vector<CGRect> labels;
    auto first = place("Marktplatz", {53.5574, 13.2610});
    auto second = place("Rathaus", {53.5574, 13.2610});
    auto far = place("Bahnhof", {53.5627, 13.2580});
    for (const auto& element : {first, second, far})
        source_->drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(*element, *style, 16, 1,
                                                                          labels, paths_, *context);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_FALSE(CGRectIntersectsRect(labels[0], labels[1]));

    // No name, no label.
    std::vector<CGRect> none;
    auto nameless = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5, 13.2});
    source_->drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(*nameless, *style, 16, 1,
                                                                      none, paths_, *context);
    EXPECT_TRUE(none.empty());
}

TEST_F(CBVectorDataSourceDrawingTest, LongPointLabelsBreakAtWordsOrAreLeftOut) {
    auto style = labelStyle();
    ASSERT_NE(style, nullptr);
    auto context = CGContext::createBitmapContext(8, 8);
    auto font = UIFont::fontWithNameSize("Helvetica-Bold", 12);
    // A single point: extent 200, so lines of at most 150 points.
    auto label = [&](const std::string& name) {
        auto element = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5, 13.2});
        element->setValueForKey("name", Value(name));
        paths_.setPathsForElement(*element, std::make_shared<CBPointPath>(1), nullptr);
        std::vector<CGRect> labels;
        source_->drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(*element, *style, 16, 1,
                                                                          labels, paths_, *context);
        return labels;
    };
    const std::string words = "Evangelische Sankt-Marien Kirchengemeinde am Markt";
    ASSERT_GT(zelSizeWithFont(words, font).width, 150);
    auto broken = label(words);
    ASSERT_EQ(broken.size(), 1u);
    const CGFloat lineHeight = std::floor(zelSizeWithFont(words, font).height);
    EXPECT_GE(broken[0].size.height, 2 * lineHeight);
    EXPECT_LE(broken[0].size.width, 150);

    const std::string oneWord = "Donaudampfschifffahrtsgesellschaftskapitänsmütze";
    ASSERT_GT(zelSizeWithFont(oneWord, font).width, 150);
    EXPECT_TRUE(label(oneWord).empty());
    EXPECT_EQ(label("Markt").size(), 1u);
}

TEST_F(CBVectorDataSourceDrawingTest, ImportantLabelsAvoidEachOtherAcrossTiles) {
    auto a = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5, 13.2});
    auto b = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5, 13.2});
    const CGRect rect = CGRectMake(100, 100, 50, 20);
    EXPECT_FALSE(
        source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(*a, 16, rect));
    EXPECT_TRUE(source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(
        *b, 16, CGRectOffset(rect, 40, 0)));
    // The grown rectangle (2 points on every side) still counts.
    EXPECT_TRUE(source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(
        *b, 16, CGRectOffset(rect, 51, 0)));
    // The same element in the next tile, another zoom, or after a reset.
    EXPECT_FALSE(
        source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(*a, 16, rect));
    EXPECT_FALSE(
        source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(*b, 17, rect));
    source_->coordinateSystemChanged();
    EXPECT_FALSE(
        source_->checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(*b, 16, rect));
}

TEST_F(CBVectorDataSourceDrawingTest, IconsAvoidEachOtherButRepeatAcrossTiles) {
    std::vector<uint32_t> pixels(14 * 14, 0xFF000000);
    auto icon = std::make_shared<CBGeoStyleImage>(
        CGImage::createWithARGB32(14, 14, 14 * 4, reinterpret_cast<const uint8_t*>(pixels.data()),
                                  true),
        1);
    auto a = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5574, 13.2610});
    auto b = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5574, 13.2610});
    auto context = CGContext::createBitmapContext(8, 8);
    EXPECT_TRUE(source_
                    ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                        *icon, 14, 14, *a, 16, *projector_, {}, *context)
                    .has_value());
    EXPECT_FALSE(source_
                     ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                         *icon, 14, 14, *b, 16, *projector_, {}, *context)
                     .has_value());
    EXPECT_TRUE(source_
                    ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                        *icon, 14, 14, *a, 16, *projector_, {}, *context)
                    .has_value());
    EXPECT_TRUE(source_
                    ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                        *icon, 14, 14, *b, 15, *projector_, {}, *context)
                    .has_value());
}

// A town's name was drawn with shop icons over its letters: an icon keeps
// off the names of places drawn before it in the tile, and only those.
TEST_F(CBVectorDataSourceDrawingTest, IconsKeepOffThePlaceNamesOfTheTile) {
    std::vector<uint32_t> pixels(14 * 14, 0xFF000000);
    auto icon = std::make_shared<CBGeoStyleImage>(
        CGImage::createWithARGB32(14, 14, 14 * 4, reinterpret_cast<const uint8_t*>(pixels.data()),
                                  true),
        1);
    auto shop = CBGeoElement::simpleElementInContextWithCoordinate(context_, {53.5574, 13.2610});
    const CGPoint at = projector_->offsetForCoordinate(shop->coordinate());
    auto context = CGContext::createBitmapContext(8, 8);
    const std::vector<CGRect> nameOverIt{CGRectMake(at.x - 40, at.y - 3, 80, 12)};
    const std::vector<CGRect> nameBeside{CGRectMake(at.x + 8, at.y - 3, 80, 12)};
    EXPECT_FALSE(source_
                     ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                         *icon, 14, 14, *shop, 16, *projector_, nameOverIt, *context)
                     .has_value());
    EXPECT_TRUE(source_
                    ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                        *icon, 14, 14, *shop, 16, *projector_, nameBeside, *context)
                    .has_value());
}

TEST_F(CBVectorDataSourceDrawingTest, AnIconOfALineWithoutAPointLeavesTheTileDrawable) {
    std::vector<uint32_t> pixels(14 * 14, 0xFF000000);
    auto icon = std::make_shared<CBGeoStyleImage>(
        CGImage::createWithARGB32(14, 14, 14 * 4, reinterpret_cast<const uint8_t*>(pixels.data()),
                                  true),
        1);
    auto line = street({{10, 50}, {200, 50}});
    auto context = CGContext::createBitmapContext(220, 100);
    EXPECT_FALSE(source_
                     ->drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                         *icon, 14, 14, *line, 16, *projector_, {}, *context)
                     .has_value());
    // What the tile draws afterwards still lands: arrows, icons, labels.
    context->setGrayFillColor(0, 1);
    context->beginPath();
    context->moveToPoint(0, 0);
    context->addLineToPoint(220, 0);
    context->addLineToPoint(220, 100);
    context->closePath();
    context->fillPath();
    EXPECT_GT(alphaAt(*context, 200, 50), 0u);
}

}  // namespace
