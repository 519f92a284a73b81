#include "app/CBMapEdgeOrnamentView.h"

#include <gtest/gtest.h>

#include "MapScreenFixture.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UILabel.h"
#include "app/CBMapSwitcherButton.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"

namespace {

class CBMapEdgeOrnamentViewTest : public MapScreenTest {
  protected:
    std::vector<CBNearbyMapInfo> threeNeighbours() {
        std::vector<CBNearbyMapInfo> infos;
        for (const char* name : {"Ammerland", "Bergen", "Celle"})
            infos.emplace_back(record(name, name, {54, 14}, {53, 13}), 1000, 270);
        return infos;
    }
};

TEST_F(CBMapEdgeOrnamentViewTest, AnEdgeNamesTwoNeighboursAndACornerOne) {
    const auto infos = threeNeighbours();
    auto left = CBMapEdgeOrnamentView::create(CBMapOrnamentationDirectionLeft, infos, nullptr);
    EXPECT_EQ(left->switchers().size(), 2u);
    auto corner = CBMapEdgeOrnamentView::create(
        CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionLeft, infos, nullptr);
    ASSERT_EQ(corner->switchers().size(), 1u);
    EXPECT_EQ(corner->switchers()[0]->info().map()->identifier(), "Ammerland");
    EXPECT_TRUE(CBMapEdgeOrnamentView::create(CBMapOrnamentationDirectionTop, {}, nullptr)
                    ->switchers()
                    .empty());
}

TEST_F(CBMapEdgeOrnamentViewTest, BandsHangOutsideTheMapAndLayTheirSwitchersAlongTheEdge) {
    const auto infos = threeNeighbours();
    // A band stretched along a vertical edge stacks its switchers, centred.
    auto left = CBMapEdgeOrnamentView::create(CBMapOrnamentationDirectionLeft, infos, nullptr);
    EXPECT_EQ(left->layer()->anchorPoint(),
              CBMapOrnamentationAnchorPointForDirection(CBMapOrnamentationDirectionLeft));
    left->setBounds(CGRectMake(0, 0, CBMapEdgeOrnamentView::kThickness, 400));
    left->layoutSubviews();
    const CGRect first = left->switchers()[0]->frame();
    const CGRect second = left->switchers()[1]->frame();
    EXPECT_EQ(first.origin.x, second.origin.x);
    EXPECT_LT(CGRectGetMaxY(first), second.origin.y);
    EXPECT_NEAR(CGRectGetMinY(first) + CGRectGetMaxY(second), 400, 0.5);
    EXPECT_LE(CGRectGetMaxX(first), CBMapEdgeOrnamentView::kThickness);

    // Along a horizontal edge they stand side by side.
    auto bottom = CBMapEdgeOrnamentView::create(CBMapOrnamentationDirectionBottom, infos, nullptr);
    bottom->setBounds(CGRectMake(0, 0, 320, CBMapEdgeOrnamentView::kThickness));
    bottom->layoutSubviews();
    EXPECT_EQ(bottom->switchers()[0]->frame().origin.y, bottom->switchers()[1]->frame().origin.y);
    EXPECT_LT(CGRectGetMaxX(bottom->switchers()[0]->frame()),
              bottom->switchers()[1]->frame().origin.x);
}

TEST_F(CBMapEdgeOrnamentViewTest, ATappedSwitcherHandsOverItsMap) {
    std::optional<std::string> chosen;
    auto band = CBMapEdgeOrnamentView::create(
        CBMapOrnamentationDirectionRight, threeNeighbours(),
        [&](const CBNearbyMapInfo& info) { chosen = info.map()->identifier(); });
    band->switchers()[1]->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(chosen, "Bergen");
    EXPECT_EQ(std::string(CBMapSwitcherButton::arrowForDirection(CBMapOrnamentationDirectionRight)),
              "\u2192");
}

// The longest name of the sample maps is read whole, shrunk if need be,
// not cut short.
TEST_F(CBMapEdgeOrnamentViewTest, ASwitcherShowsALongNameWhole) {
    auto button = CBMapSwitcherButton::create(
        CBNearbyMapInfo(record("neubrandenburg", "Neubrandenburg", {54, 14}, {53, 13}), 755000, 0));
    button->layoutSubviews();
    std::shared_ptr<UILabel> name;
    for (const auto& view : button->subviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(view);
            label && label->text() == "Neubrandenburg")
            name = label;
    ASSERT_TRUE(name);
    auto drawn = std::make_shared<UILabel>();
    drawn->setText("Neubrandenburg");
    drawn->setFont(name->fontForDrawing());
    EXPECT_LE(drawn->sizeThatFits({0, 0}).width, name->bounds().size.width);
    EXPECT_LE(CGRectGetMaxX(name->frame()), button->bounds().size.width);
}

}  // namespace
