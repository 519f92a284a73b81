#include "mapkit/CBMapOrnamentationFrameManager.h"

#include <gtest/gtest.h>

#include "UIKit/UIScrollView.h"

namespace {

class Ornaments : public CBMapOrnamentationFrameManagerDelegate {
  public:
    std::optional<std::vector<std::shared_ptr<UIView>>>
    mapOrnamentationFrameManagerViewsForDirection(CBMapOrnamentationFrameManager&,
                                                  unsigned direction) override {
        ++asked[direction];
        if (direction == 3)
            return std::nullopt;
        auto& view = views[direction];
        if (!view)
            view = std::make_shared<UIView>(CGRectMake(0, 0, 40, 30));
        return std::vector<std::shared_ptr<UIView>>{view};
    }
    std::map<unsigned, int> asked;
    std::map<unsigned, std::shared_ptr<UIView>> views;
};

class CBMapOrnamentationFrameManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scroll->setContentSize(CGSizeMake(2000, 3000));
        manager = std::make_shared<CBMapOrnamentationFrameManager>(scroll, ornaments);
    }
    bool shown(unsigned direction) { return !ornaments->views.at(direction)->isHidden(); }

    std::shared_ptr<UIScrollView> scroll =
        std::make_shared<UIScrollView>(CGRectMake(0, 0, 320, 480));
    std::shared_ptr<Ornaments> ornaments = std::make_shared<Ornaments>();
    std::shared_ptr<CBMapOrnamentationFrameManager> manager;
};

TEST_F(CBMapOrnamentationFrameManagerTest, ShowsOnlyTheEdgesWithinReach) {
    manager->setEdgeInsets(UIEdgeInsetsMake(50, 50, 50, 50));
    manager->layoutOrnamentationFrame();
    EXPECT_TRUE(shown(1));
    EXPECT_TRUE(shown(8));
    EXPECT_TRUE(shown(9));
    for (unsigned hidden : {2u, 4u, 6u, 12u})
        EXPECT_FALSE(shown(hidden)) << hidden;
    EXPECT_EQ(ornaments->views[1]->superview(), scroll);

    manager->setEdgeInsets(UIEdgeInsetsZero);
    manager->layoutOrnamentationFrame();
    for (unsigned d : {1u, 2u, 4u, 6u, 8u, 9u, 12u})
        EXPECT_FALSE(shown(d)) << d;
}

TEST_F(CBMapOrnamentationFrameManagerTest, TopInsetShowsTheTopBeforeItScrollsIntoView) {
    manager->setEdgeInsets(UIEdgeInsetsMake(100, 0, 0, 0));
    scroll->setContentOffset(CGPointMake(500, 99));
    manager->layoutOrnamentationFrame();
    EXPECT_TRUE(shown(1));
    EXPECT_EQ(ornaments->views[1]->center(), CGPointMake(660, 0));
    EXPECT_EQ(ornaments->views[1]->bounds().size, CGSizeMake(320, 30));
    EXPECT_EQ(ornaments->views[2]->center(), CGPointMake(2000, 339));
    EXPECT_EQ(ornaments->views[2]->bounds().size, CGSizeMake(40, 480));
    EXPECT_EQ(ornaments->views[6]->center(), CGPointMake(2000, 3000));
    scroll->setContentOffset(CGPointMake(500, 100));
    manager->layoutOrnamentationFrame();
    EXPECT_FALSE(shown(1));
}

TEST_F(CBMapOrnamentationFrameManagerTest, NarrowMapCentresTopOrnamentOnTheContent) {
    scroll->setContentSize(CGSizeMake(200, 3000));
    manager->layoutOrnamentationFrame();
    EXPECT_EQ(ornaments->views[1]->center(), CGPointMake(100, 0));
    EXPECT_EQ(ornaments->views[1]->bounds().size.width, 200);
}

TEST_F(CBMapOrnamentationFrameManagerTest, AsksAgainOnlyForEmptyAnswersUntilReload) {
    manager->layoutOrnamentationFrame();
    manager->layoutOrnamentationFrame();
    EXPECT_EQ(ornaments->asked[1], 1);
    EXPECT_EQ(ornaments->asked[3], 2);
    auto top = ornaments->views[1];
    manager->reloadData();
    EXPECT_EQ(ornaments->asked[1], 2);
    EXPECT_EQ(top->superview(), scroll);  // the same view was handed out again and re-added
}

TEST(CBMapOrnamentationTest, AnchorPoints) {
    EXPECT_EQ(CBMapOrnamentationAnchorPointForDirection(1), CGPointMake(0.5, 1.0));
    EXPECT_EQ(CBMapOrnamentationAnchorPointForDirection(12), CGPointMake(1.0, 0.0));
    EXPECT_EQ(CBMapOrnamentationAnchorPointForDirection(5), CGPointMake(0.5, 0.5));
    EXPECT_EQ(CBMapOrnamentationVisibleDirections(nullptr, 10, 10, 10, 10), 15u);
}

}  // namespace
