#include "mapkit/CBGeoStyle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const CGColor kRed = CGColorCreateGenericRGB(1, 0, 0, 1);
const CGColor kBlue = CGColorCreateGenericRGB(0, 0, 1, 1);

std::shared_ptr<CBGeoStyle> childOf(const std::shared_ptr<CBGeoStyle>& parent) {
    auto child = std::make_shared<CBGeoStyle>();
    child->setParentStyle(parent);
    return child;
}

}  // namespace

TEST(CBGeoStyleTest, LoneStyleHasItsDefaults) {
    CBGeoStyle style;
    EXPECT_EQ(style.zIndex(), 0);
    EXPECT_FALSE(style.isHidden());
    EXPECT_FALSE(style.isTextPlacementImportant());
    EXPECT_FALSE(style.strokeOpacity());
    EXPECT_FALSE(style.strokeColor());
    EXPECT_FALSE(style.strokeWidth());
    EXPECT_EQ(style.lineCap(), CBGeoStyle::kLineCapRound);
    EXPECT_FALSE(style.requiresPathForDisplay());
}

TEST(CBGeoStyleTest, MissingValuesComeFromTheParentChain) {
    auto grandparent = std::make_shared<CBGeoStyle>();
    grandparent->setStrokeColor(kRed);
    grandparent->setStrokeWidth(4.0);
    grandparent->setZIndex(7);
    grandparent->setHidden(true);
    grandparent->setStrokeDashes(std::vector<CGFloat>{2, 1});
    grandparent->setFontFamily("DejaVu Sans");
    grandparent->setLineCap(CBGeoStyle::kLineCapButt);
    auto parent = childOf(grandparent);
    parent->setStrokeWidth(6.0);
    auto child = childOf(parent);

    EXPECT_EQ(child->strokeColor(), kRed);
    EXPECT_EQ(child->strokeWidth(), 6.0);
    EXPECT_EQ(child->zIndex(), 7);
    EXPECT_TRUE(child->isHidden());
    EXPECT_EQ(child->strokeDashes(), (std::vector<CGFloat>{2, 1}));
    EXPECT_EQ(child->fontFamily(), "DejaVu Sans");
    // The line cap belongs to each style alone.
    EXPECT_EQ(child->lineCap(), CBGeoStyle::kLineCapRound);
}

TEST(CBGeoStyleTest, InheritedValuesAreKeptOnceRead) {
    auto parent = std::make_shared<CBGeoStyle>();
    parent->setFillColor(kRed);
    auto child = childOf(parent);
    ASSERT_EQ(child->fillColor(), kRed);
    parent->setFillColor(kBlue);
    EXPECT_EQ(child->fillColor(), kRed);

    // Unset values are asked again: a value given to the parent later is seen.
    EXPECT_FALSE(child->casingColor());
    parent->setCasingColor(kBlue);
    EXPECT_EQ(child->casingColor(), kBlue);
}

TEST(CBGeoStyleTest, StrokeOpacityMinusOneMeansNone) {
    auto parent = std::make_shared<CBGeoStyle>();
    parent->setStrokeOpacity(-1.0);
    EXPECT_FALSE(parent->strokeOpacity());
    EXPECT_FALSE(childOf(parent)->strokeOpacity());

    auto opaque = std::make_shared<CBGeoStyle>();
    opaque->setStrokeOpacity(0.5);
    EXPECT_EQ(childOf(opaque)->strokeOpacity(), 0.5);
}

TEST(CBGeoStyleTest, SubStylesInheritLikeValues) {
    auto parent = std::make_shared<CBGeoStyle>();
    auto area = std::make_shared<CBGeoStyle>();
    parent->setAreaStyle(area);
    auto child = childOf(parent);
    EXPECT_EQ(child->areaStyle(), area);
    EXPECT_EQ(child->buildingStyle(), nullptr);
}

TEST(CBGeoStyleTest, PathIsNeededForLinesFillsAndAreaColours) {
    CBGeoStyle textOnly;
    textOnly.setTextColor(kRed);
    textOnly.setFontSize(12.0);
    EXPECT_FALSE(textOnly.requiresPathForDisplay());

    CBGeoStyle casing;
    casing.setCasingColor(kRed);
    EXPECT_TRUE(casing.requiresPathForDisplay());

    CBGeoStyle withArea;
    auto area = std::make_shared<CBGeoStyle>();
    withArea.setAreaStyle(area);
    area->setFillPatternImage(std::make_shared<CBGeoStyleImage>(
        CGImage::createWithARGB32(1, 1, 4, std::vector<uint8_t>(4, 0xFF).data(), true), 1));
    EXPECT_FALSE(withArea.requiresPathForDisplay());  // an area pattern alone does not count
    area->setFillColor(kBlue);
    EXPECT_TRUE(withArea.requiresPathForDisplay());
}

TEST(CBGeoStyleTest, DescriptionNamesColoursAndWidths) {
    CBGeoStyle style;
    style.setStrokeColor(CGColorCreateGenericRGB(1, 128 / 255.0, 0, 1));
    style.setStrokeWidth(2.25);
    const std::string text = style.description();
    EXPECT_NE(text.find("FF8000"), std::string::npos);
    EXPECT_NE(text.find("2.2"), std::string::npos);
    EXPECT_NE(text.find("hidden: NO"), std::string::npos);
}

TEST(CBGeoStyleTest, ConcurrentFirstReadsAgree) {
    for (int round = 0; round < 20; ++round) {
        auto root = std::make_shared<CBGeoStyle>();
        root->setStrokeColor(kRed);
        root->setZIndex(3);
        std::shared_ptr<CBGeoStyle> leaf = root;
        for (int depth = 0; depth < 8; ++depth)
            leaf = childOf(leaf);
        std::atomic<int> wrong = 0;
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&] {
                if (leaf->strokeColor() != kRed || leaf->zIndex() != 3 || leaf->strokeOpacity())
                    ++wrong;
            });
        }
        for (auto& reader : readers)
            reader.join();
        EXPECT_EQ(wrong, 0);
    }
}
