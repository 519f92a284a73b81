#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "Foundation/NSBundle.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "UIKit/UIImage.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

// The bundle as the build assembles it: resources/ with the rendered icons.
class DefaultMapStyleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path source = sourceResourcesPath() + "/Quillmere.bundle";
        const std::filesystem::path bundle =
            std::filesystem::path(folder_.path()) / "Quillmere.bundle";
        std::filesystem::create_directories(bundle);
        for (const char* item : {"mapStyle", "CBGeoTypes.plist"})
            std::filesystem::create_symlink(source / item, bundle / item);
#ifdef KELVARA_GENERATED_RESOURCES
        std::filesystem::create_directory_symlink(
            std::filesystem::path(KELVARA_GENERATED_RESOURCES) / "Quillmere.bundle/icons",
            bundle / "icons");
#endif
        NSBundle::setMainBundlePath(folder_.path());
        types_ = NSPropertyListSerialization::propertyListWithContentsOfFile(
            sourceResourcesPath() + "/Quillmere.bundle/CBGeoTypes.plist");
        ASSERT_TRUE(types_ && types_->get("types"));
    }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
    }

    // Every code of the type table with its lowest zoom level.
    std::vector<std::pair<int64_t, long>> typeCodes() const {
        std::vector<std::pair<int64_t, long>> codes;
        for (const Value& entry : *types_->get("types")->arrayValue()) {
            const int64_t id = entry.get("id")->integerValue().value_or(-1);
            const Value* minZoom = entry.get("minZoom");
            codes.emplace_back(id, minZoom ? long(*minZoom->integerValue()) : 0);
        }
        return codes;
    }

    TemporaryFolder folder_;
    std::optional<Value> types_;
};

}  // namespace

#ifdef KELVARA_GENERATED_RESOURCES
TEST_F(DefaultMapStyleTest, LoadsWithoutComplaint) {
    LogCapture log;
    CBGeoStyleSheet sheet;
    EXPECT_FALSE(log.contains("CBGeoStyleSheet")) << "the default style logged a problem";
    EXPECT_EQ(sheet.currentPlistPath(), CBGeoStyleSheet::defaultStylePlistPath());
    ASSERT_NE(sheet.baseMapStyle(), nullptr);
    EXPECT_TRUE(sheet.baseMapStyle()->fillColor());
    EXPECT_TRUE(sheet.bridgeBaseStyle()->casingColor());
    for (long zoom = 14; zoom <= 18; ++zoom)
        EXPECT_NE(sheet.styleForBuildingsAtNativeZoomLevel(zoom), nullptr) << zoom;
    auto restaurant = sheet.styleForTypeIDAtNativeZoomLevel(400, 17);
    ASSERT_NE(restaurant, nullptr);
    EXPECT_NE(restaurant->icon(), nullptr);
}
#endif

TEST_F(DefaultMapStyleTest, EveryTypeCodeHasAStyleFromZoomTenToEighteen) {
    CBGeoStyleSheet sheet;
    for (const auto& [id, minZoom] : typeCodes()) {
        for (long zoom = std::max(10L, minZoom); zoom <= 18; ++zoom)
            EXPECT_NE(sheet.styleForTypeIDAtNativeZoomLevel(id, zoom), nullptr)
                << "type " << id << " zoom " << zoom;
    }
}

TEST_F(DefaultMapStyleTest, RoadsHaveCasingsAndAreasFills) {
    CBGeoStyleSheet sheet;
    for (int64_t road : {1, 3, 5, 7, 9, 11, 12, 13, 14, 15}) {
        auto style = sheet.styleForTypeIDAtNativeZoomLevel(road, 16);
        ASSERT_NE(style, nullptr) << road;
        EXPECT_TRUE(style->strokeColor() && style->strokeWidth()) << road;
        EXPECT_TRUE(style->casingColor() && style->casingWidth()) << road;
        EXPECT_GT(*style->casingWidth(), *style->strokeWidth()) << road;
        if (road != 14) {
            EXPECT_TRUE(style->fontSize() && style->textColor()) << road;
        }
    }
    // Major roads are drawn over minor ones.
    EXPECT_GT(sheet.styleForTypeIDAtNativeZoomLevel(1, 14)->zIndex(),
              sheet.styleForTypeIDAtNativeZoomLevel(12, 14)->zIndex());
    for (int64_t area : {200, 203, 211, 217, 300, 800}) {
        auto style = sheet.styleForTypeIDAtNativeZoomLevel(area, 16);
        ASSERT_NE(style, nullptr) << area;
        EXPECT_TRUE(style->fillColor()) << area;
    }
}

#ifdef KELVARA_GENERATED_RESOURCES
TEST_F(DefaultMapStyleTest, EveryIconIsRenderedAtEachScale) {
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(
        *CBGeoStyleSheet::defaultStylePlistPath());
    ASSERT_TRUE(plist);
    std::set<std::string> names;
    for (const auto& [type, zooms] : *plist->get("tags")->dictionaryValue()) {
        for (const auto& [zoom, style] : *zooms.dictionaryValue()) {
            if (const Value* icon = style.get("iconPath"))
                names.insert(*icon->stringValue());
        }
    }
    ASSERT_GT(names.size(), 100u);
    const std::filesystem::path styleFolder =
        std::filesystem::path(KELVARA_GENERATED_RESOURCES) / "Quillmere.bundle/mapStyle";
    for (const std::string& name : names) {
        const std::filesystem::path icon = (styleFolder / name).lexically_normal();
        const std::string stem = (icon.parent_path() / icon.stem()).string();
        for (const std::string& file : {stem + ".png", stem + "@2x.png", stem + "@3x.png"}) {
            EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
            auto image = UIImage::imageWithContentsOfFile(file);
            ASSERT_NE(image, nullptr) << file;
            EXPECT_EQ(image->size().width, 14) << file;
        }
    }
}
#endif
