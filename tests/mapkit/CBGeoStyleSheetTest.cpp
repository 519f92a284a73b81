#include "mapkit/CBGeoStyleSheet.h"

#include <gtest/gtest.h>

#include <fstream>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIScreen.h"
#include "mapkit/MapkitTestSupport.h"
#include "uiadditions/UIColor+ZORuzUvuCategory.h"

namespace {

std::string hex(const std::optional<CGColor>& color) {
    return color ? cbHexStringFromColor(UIColor::colorWithRedGreenBlueAlpha(
                       color->red, color->green, color->blue, color->alpha))
                 : "nil";
}

class CBGeoStyleSheetTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
        UIScreen::mainScreen()->setScale(previousScale_);
    }

    std::string writePlist(const Value& plist, const std::string& name = "style.plist") {
        const std::string path = folder_.file(name);
        EXPECT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
            plist, path, NSPropertyListSerialization::Format::XML));
        return path;
    }

    // A style plist with one type and the given zoom entries.
    std::string writeType(int64_t typeID, Value::Dictionary zooms, Value::Dictionary extra = {}) {
        Value::Dictionary root = std::move(extra);
        root["tags"] = Value(Value::Dictionary{{std::to_string(typeID), Value(std::move(zooms))}});
        return writePlist(Value(std::move(root)));
    }

    void writeImage(const std::string& name, size_t width) {
        std::vector<uint8_t> pixels(width * width * 4, 0xFF);
        auto destination = CGImageDestination::createWithURL(folder_.file(name), kUTTypePNG);
        destination->addImage(
            CGImage::createWithARGB32(width, width, width * 4, pixels.data(), true));
        ASSERT_TRUE(destination->finalize());
    }

    TemporaryFolder folder_;
    CGFloat previousScale_ = UIScreen::mainScreen()->scale();
};

Value style(Value::Dictionary keys) {
    return Value(std::move(keys));
}

}  // namespace

TEST_F(CBGeoStyleSheetTest, StyleKeysFollowTheirRules) {
    const std::string path =
        writeType(5, {{"10", style({{"strokeColor", "FF8000"},
                                    {"strokeWidth", 4},
                                    {"casingWidth", 6},
                                    {"text-placement", "centered"},
                                    {"line-cap", "square"},
                                    {"zIndex", 3},
                                    {"dashes", Value(Value::Array{Value(4), Value(2.5)})},
                                    {"font-family", "DejaVu Sans"},
                                    {"text-placement-important", true}})},
                      {"12", style({{"strokeWidth", 0},
                                    {"casingWidth", -2},
                                    {"text-placement", ""},
                                    {"line-cap", "Butt"},
                                    {"strokeColor", "#00FF00"}})},
                      {"14", style({{"text-placement", "left"}, {"line-cap", "butt"}})}});
    CBGeoStyleSheet sheet(path);
    auto z10 = sheet.styleForTypeIDAtNativeZoomLevel(5, 10);
    auto z12 = sheet.styleForTypeIDAtNativeZoomLevel(5, 12);
    auto z14 = sheet.styleForTypeIDAtNativeZoomLevel(5, 14);
    ASSERT_TRUE(z10 && z12 && z14);
    EXPECT_EQ(z10->strokeColor(),
              UIColor::colorWithRedGreenBlueAlpha(1, 128 / 255.0, 0, 1).CGColor());
    EXPECT_EQ(z10->lineCap(), CBGeoStyle::kLineCapSquare);
    EXPECT_EQ(z10->strokeDashes(), (std::vector<CGFloat>{4, 2.5}));
    EXPECT_TRUE(z10->isTextPlacementImportant());
    // Zero and negative widths, an empty placement and a colour that does not
    // parse leave the value to the parent.
    EXPECT_EQ(z12->strokeWidth(), 4.0);
    EXPECT_EQ(z12->casingWidth(), 6.0);
    EXPECT_EQ(z12->textPlacementCentered(), true);
    EXPECT_EQ(z12->strokeColor(), z10->strokeColor());
    EXPECT_EQ(z12->zIndex(), 3);
    // Letter case counts for line caps; other placements are "not centred".
    EXPECT_EQ(z12->lineCap(), CBGeoStyle::kLineCapRound);
    EXPECT_EQ(z14->lineCap(), CBGeoStyle::kLineCapButt);
    EXPECT_EQ(z14->textPlacementCentered(), false);
}

TEST_F(CBGeoStyleSheetTest, ZoomKeysAreOrderedAsNumbers) {
    const std::string path = writeType(7, {{"2", style({{"zIndex", 2}})},
                                           {"10", style({{"zIndex", 10}})},
                                           {"9", style({{"zIndex", 9}})}});
    CBGeoStyleSheet sheet(path);
    auto z10 = sheet.styleForTypeIDAtNativeZoomLevel(7, 10);
    auto z9 = sheet.styleForTypeIDAtNativeZoomLevel(7, 9);
    auto z2 = sheet.styleForTypeIDAtNativeZoomLevel(7, 2);
    ASSERT_TRUE(z10 && z9 && z2);
    EXPECT_EQ(z10->parentStyle(), z9);
    EXPECT_EQ(z9->parentStyle(), z2);
    EXPECT_EQ(z2->parentStyle(), nullptr);
}

TEST_F(CBGeoStyleSheetTest, LookupsFallBackToLowerZoomsAndRememberTheAnswer) {
    const std::string path = writeType(
        12, {{"12", style({{"fillColor", "00FF00"}})}, {"16", style({{"fillColor", "0000FF"}})}});
    CBGeoStyleSheet sheet(path);
    auto z12 = sheet.styleForTypeIDAtNativeZoomLevel(12, 12);
    auto z16 = sheet.styleForTypeIDAtNativeZoomLevel(12, 16);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(12, 11), nullptr);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(12, 15), z12);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(12, 18), z16);
    EXPECT_EQ(sheet.styleForTypeInZoomDict().at(12).count(15), 1u);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(12, -1), nullptr);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(std::nullopt, 14), nullptr);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(99, 14), nullptr);

    auto styles = sheet.arrayOfStylesForTypeIDsAtNativeZoomLevel(std::vector<int64_t>{99, 12}, 13);
    ASSERT_TRUE(styles);
    EXPECT_EQ(*styles, (std::vector<std::shared_ptr<CBGeoStyle>>{z12}));
    EXPECT_FALSE(sheet.arrayOfStylesForTypeIDsAtNativeZoomLevel(std::nullopt, 13));
}

TEST_F(CBGeoStyleSheetTest, BuildingStylesStartAtZoomSix) {
    const std::string path = writeType(
        300, {{"3", style({{"fillColor", "D9D0C9"}})}, {"14", style({{"fillColor", "C9BDB3"}})}},
        {{"buildingTypeID", 300}});
    CBGeoStyleSheet sheet(path);
    EXPECT_EQ(sheet.styleForBuildingsAtNativeZoomLevel(5), nullptr);
    EXPECT_EQ(sheet.styleForBuildingsAtNativeZoomLevel(13), nullptr);
    auto z14 = sheet.styleForBuildingsAtNativeZoomLevel(14);
    ASSERT_NE(z14, nullptr);
    EXPECT_EQ(sheet.styleForBuildingsAtNativeZoomLevel(17), z14);
    // The type's own styles are not limited.
    EXPECT_NE(sheet.styleForTypeIDAtNativeZoomLevel(300, 5), nullptr);

    EXPECT_TRUE(sheet.hasStyleForStyleIDsIsBuildingAtNativeZoomLevel({}, true, 15));
    EXPECT_FALSE(sheet.hasStyleForStyleIDsIsBuildingAtNativeZoomLevel({}, true, 12));
    EXPECT_TRUE(sheet.hasStyleForStyleIDsIsBuildingAtNativeZoomLevel({300}, false, 12));
    EXPECT_FALSE(sheet.hasStyleForStyleIDsIsBuildingAtNativeZoomLevel({301}, false, 15));
}

TEST_F(CBGeoStyleSheetTest, SubStylesChainToThePreviousZoom) {
    const std::string path = writeType(
        217, {{"12", style({{"area", style({{"fillColor", "C8FACC"}, {"strokeWidth", 1}})},
                            {"refLabel", style({{"fontSize", 9}})}})},
              {"15", style({{"area", style({{"strokeWidth", 2}})},
                            {"secondary", style({{"strokeColor", "FFFFFF"}})}})},
              {"17", style({{"zIndex", 4}})}});
    CBGeoStyleSheet sheet(path);
    auto z12 = sheet.styleForTypeIDAtNativeZoomLevel(217, 12);
    auto z15 = sheet.styleForTypeIDAtNativeZoomLevel(217, 15);
    auto z17 = sheet.styleForTypeIDAtNativeZoomLevel(217, 17);
    ASSERT_TRUE(z12 && z15 && z17);
    EXPECT_EQ(z15->areaStyle()->parentStyle(), z12->areaStyle());
    EXPECT_EQ(z15->areaStyle()->fillColor(), z12->areaStyle()->fillColor());
    EXPECT_EQ(z15->areaStyle()->strokeWidth(), 2.0);
    EXPECT_EQ(z17->areaStyle(), z15->areaStyle());
    EXPECT_EQ(z15->refLabelStyle(), z12->refLabelStyle());
    EXPECT_EQ(z15->secondaryStyle()->parentStyle(), nullptr);
}

TEST_F(CBGeoStyleSheetTest, BaseAndBridgeStyles) {
    const std::string plain =
        writeType(1, {{"10", style({})}}, {{"baseMap", style({{"fillColor", "F2EFE9"}})}});
    CBGeoStyleSheet sheet(plain);
    ASSERT_NE(sheet.baseMapStyle(), nullptr);
    EXPECT_EQ(
        sheet.baseMapStyle()->fillColor(),
        UIColor::colorWithRedGreenBlueAlpha(0xF2 / 255.0, 0xEF / 255.0, 0xE9 / 255.0, 1).CGColor());
    ASSERT_NE(sheet.bridgeBaseStyle(), nullptr);
    EXPECT_EQ(hex(sheet.bridgeBaseStyle()->strokeColor()), "FFFFFF");
    EXPECT_EQ(hex(sheet.bridgeBaseStyle()->casingColor()), "000000");
    EXPECT_EQ(sheet.currentPlistPath(), plain);

    const std::string withBridge =
        writeType(1, {{"10", style({})}}, {{"bridgebase", style({{"casingColor", "333333"}})}});
    CBGeoStyleSheet bridged(withBridge);
    EXPECT_FALSE(bridged.bridgeBaseStyle()->strokeColor());
}

TEST_F(CBGeoStyleSheetTest, BrokenPlistLogsAndDrawsWithTheDefaultStyle) {
    const std::string broken = folder_.file("broken.plist");
    std::ofstream(broken) << "<?xml version=\"1.0\"?><plist><dict><key>tags</key><dict>";
    const std::string notAStyle = writePlist(Value(Value::Array{Value(1)}), "array.plist");
    const std::string badTags =
        writePlist(Value(Value::Dictionary{{"tags", Value("x")}}), "t.plist");
    for (const std::string& path : {broken, notAStyle, badTags, folder_.file("missing.plist")}) {
        LogCapture log;
        CBGeoStyleSheet sheet(path);
        EXPECT_TRUE(log.contains(path)) << path;
        EXPECT_TRUE(log.contains("default style")) << path;
        EXPECT_EQ(sheet.currentPlistPath(), CBGeoStyleSheet::defaultStylePlistPath());
        EXPECT_NE(sheet.baseMapStyle(), nullptr);
        EXPECT_FALSE(sheet.styleForTypeInZoomDict().empty());
    }
}

TEST_F(CBGeoStyleSheetTest, NoReadableStyleAtAllGivesAnEmptySheet) {
    NSBundle::setMainBundlePath(folder_.path());  // a bundle without the default style
    LogCapture log;
    CBGeoStyleSheet sheet(folder_.file("missing.plist"));
    EXPECT_TRUE(sheet.styleForTypeInZoomDict().empty());
    EXPECT_EQ(sheet.baseMapStyle(), nullptr);
    ASSERT_NE(sheet.bridgeBaseStyle(), nullptr);
    EXPECT_EQ(hex(sheet.bridgeBaseStyle()->strokeColor()), "FFFFFF");
}

TEST_F(CBGeoStyleSheetTest, BadEntriesAreSkipped) {
    const std::string path = writePlist(Value(Value::Dictionary{
        {"tags", Value(Value::Dictionary{
                     {"1", Value("not a dictionary")},
                     {"2", Value(Value::Dictionary{{"10", Value(3)}, {"12", style({})}})},
                 })}}));
    CBGeoStyleSheet sheet(path);
    EXPECT_EQ(sheet.currentPlistPath(), path);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(1, 14), nullptr);
    EXPECT_EQ(sheet.styleForTypeIDAtNativeZoomLevel(2, 11), nullptr);
    EXPECT_NE(sheet.styleForTypeIDAtNativeZoomLevel(2, 12), nullptr);
}

TEST_F(CBGeoStyleSheetTest, ImagesPreferTheScreenScale) {
    writeImage("cafe.png", 4);
    writeImage("cafe@2x.png", 8);
    writeImage("cafe@3x.png", 12);
    writeImage("bar.png", 4);
    writeImage("bar@2x.png", 8);
    const std::string path = writeType(401, {{"16", style({{"iconPath", "cafe.png"}})}});

    auto widthFor = [&](CGFloat scale, const std::string& name) -> size_t {
        UIScreen::mainScreen()->setScale(scale);
        CBGeoStyleSheet sheet(path);
        auto image = sheet.imageForFileName(name);
        return image ? image->CGImage()->width() : 0;
    };
    EXPECT_EQ(widthFor(3, "cafe.png"), 12u);
    EXPECT_EQ(widthFor(3, "bar.png"), 8u);
    EXPECT_EQ(widthFor(2, "cafe.png"), 8u);
    EXPECT_EQ(widthFor(1, "cafe.png"), 4u);
    EXPECT_EQ(widthFor(1, "nothing.png"), 0u);

    UIScreen::mainScreen()->setScale(2);
    CBGeoStyleSheet sheet(path);
    auto icon = sheet.styleForTypeIDAtNativeZoomLevel(401, 17)->icon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->scale(), 2);
    EXPECT_EQ(icon->size().width, 4);
}

TEST_F(CBGeoStyleSheetTest, CopiesShareStylesButNotMemos) {
    const std::string path = writeType(9, {{"11", style({{"strokeColor", "AAAAAA"}})}},
                                       {{"baseMap", style({{"fillColor", "FFFFFF"}})}});
    auto master = std::make_shared<CBGeoStyleSheet>(path);
    auto copy = CBGeoStyleSheet::createWithStyleSheet(master);
    EXPECT_EQ(copy->styleForTypeIDAtNativeZoomLevel(9, 15),
              master->styleForTypeIDAtNativeZoomLevel(9, 11));
    EXPECT_EQ(copy->styleForTypeInZoomDict().at(9).count(15), 1u);
    EXPECT_EQ(master->styleForTypeInZoomDict().at(9).count(15), 0u);
    EXPECT_EQ(copy->baseMapStyle(), master->baseMapStyle());
    EXPECT_EQ(copy->bridgeBaseStyle(), master->bridgeBaseStyle());
    EXPECT_EQ(copy->currentPlistPath(), path);

    auto empty = CBGeoStyleSheet::createWithStyleSheet(nullptr);
    EXPECT_TRUE(empty->styleForTypeInZoomDict().empty());
    EXPECT_EQ(empty->baseMapStyle(), nullptr);
    EXPECT_EQ(empty->bridgeBaseStyle(), nullptr);
}

TEST_F(CBGeoStyleSheetTest, ElementsAreDrawnByTheirStyleIdsOrAsBuildings) {
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    auto model = NSManagedObjectModel::modelWithContentsOfFile(
        sourceResourcesPath() + "/Quillmere.bundle/CBGeoObject.model");
    ASSERT_NE(model, nullptr);
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    ASSERT_NE(coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                      folder_.file("geo.sqlite"), {}, nullptr),
              nullptr);
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);

    const std::string path = writePlist(Value(Value::Dictionary{
        {"buildingTypeID", 300},
        {"tags", Value(Value::Dictionary{{"12", Value(Value::Dictionary{{"12", style({})}})},
                                         {"300", Value(Value::Dictionary{{"14", style({})}})}})}}));
    CBGeoStyleSheet sheet(path);
    auto street = CBGeoElement::elementInContext(context);
    street->setValueForKey("highwayID", Value(12));
    EXPECT_TRUE(sheet.hasStyleForElementAtNativeZoomLevel(street, 12));
    EXPECT_FALSE(sheet.hasStyleForElementAtNativeZoomLevel(street, 11));

    auto building = CBGeoElement::elementInContext(context);
    building->setValueForKey("architecture", Value(int64_t{CBGeoElement::kBuilding}));
    EXPECT_TRUE(sheet.hasStyleForElementAtNativeZoomLevel(building, 14));
    EXPECT_FALSE(sheet.hasStyleForElementAtNativeZoomLevel(building, 13));
    EXPECT_FALSE(sheet.hasStyleForElementAtNativeZoomLevel(nullptr, 14));
}
