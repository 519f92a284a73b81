#include <gtest/gtest.h>

#include <cmath>

#include "UIKit/UIScrollView.h"
#include "UIKit/UIViewController.h"
#include "uiadditions/CALayer+ZELGeometry.h"
#include "uiadditions/UIView+ZELGeometry.h"
#include "uiadditions/UIView+ZORuzUvuCategory.h"

namespace {

TEST(UIViewGeometryCategoriesTest, EdgeSettersMoveAndKeepTheSize) {
    auto view = std::make_shared<UIView>(CGRectMake(10, 20, 30, 40));
    setCbRight(view, 100);
    EXPECT_EQ(cbLeft(view), 70);
    EXPECT_EQ(cbWidth(view), 30);
    setCbBottom(view, 100);
    EXPECT_EQ(cbTop(view), 60);
    setCbCenterX(view, 0);
    EXPECT_EQ(view->frame(), CGRectMake(-15, 60, 30, 40));
    setCbWidth(view, 50);
    EXPECT_EQ(cbOrigin(view), CGPointMake(-15, 60));
    EXPECT_EQ(cbSize(view), CGSizeMake(50, 40));

    std::shared_ptr<UIView> none;
    EXPECT_EQ(cbRight(none), 0);
    EXPECT_EQ(cbSize(none), CGSizeZero);
    setCbLeft(none, 5);  // nothing happens
}

TEST(UIViewGeometryCategoriesTest, ScreenPositionsSubtractScrollOffsets) {
    auto root = std::make_shared<UIView>(CGRectMake(5, 5, 300, 300));
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(10, 10, 200, 200));
    scroll->setContentSize({1000, 1000});
    scroll->setContentOffset({30, 40});
    auto item = std::make_shared<UIView>(CGRectMake(100, 100, 10, 10));
    root->addSubview(scroll);
    scroll->addSubview(item);
    EXPECT_EQ(cbScreenX(item), 115);
    EXPECT_EQ(cbScreenViewX(item), 85);
    EXPECT_EQ(cbScreenViewY(item), 75);
    EXPECT_EQ(cbScreenFrame(item), CGRectMake(85, 75, 10, 10));
    EXPECT_EQ(cbOffsetFromView(item, scroll), CGPointMake(100, 100));
    EXPECT_EQ(cbOffsetFromView(item, nullptr), CGPointMake(115, 115));
    EXPECT_EQ(cbOffsetFromView(item, item), CGPointZero);

    cbRemoveAllSubviews(scroll);
    EXPECT_EQ(item->superview(), nullptr);
}

TEST(UIViewGeometryCategoriesTest, ViewControllerOfTheViewAbove) {
    auto outer = std::make_shared<UIViewController>();
    auto inner = std::make_shared<UIViewController>();
    outer->view()->addSubview(inner->view());
    auto leaf = std::make_shared<UIView>();
    inner->view()->addSubview(leaf);
    EXPECT_EQ(cbViewController(leaf), inner);
    EXPECT_EQ(cbViewController(inner->view()), outer);  // not its own controller
    EXPECT_EQ(cbViewController(outer->view()), nullptr);
}

TEST(UIViewGeometryCategoriesTest, SharpFramesKeepTheTransform) {
    auto view = std::make_shared<UIView>(CGRectMake(0.4, 1.5, 10.6, 9.5));
    const CGAffineTransform turn = CGAffineTransformMakeRotation(0.3);
    view->setTransform(turn);
    resetFrameToSharpRect_zel(view);
    EXPECT_EQ(view->transform(), turn);
    view->setTransform(CGAffineTransformIdentity);
    EXPECT_EQ(view->frame(), CGRectMake(0, 2, 11, 10));

    setSharpCenter_zel(view, {10.2, 10.2});
    EXPECT_EQ(view->frame().origin.x, std::round(10.2 - 5.5));
    setCenterY_zel(view, 50);
    EXPECT_EQ(view->center().y, 50);
    EXPECT_EQ(ZELRectGetCenter(CGRectMake(10, 20, 30, 40)), CGPointMake(25, 40));
}

TEST(UIViewGeometryCategoriesTest, CurlShadowPathPullsEdgesInwards) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 100, 60));
    view->layer()->setCornerRadius(4);
    setShadowPathToBoundsWithEdgeCurlEffect(view, UIEdgeInsetsMake(0, 0, 10, 0));
    const auto& path = view->layer()->shadowPath();
    ASSERT_TRUE(path);
    ASSERT_EQ(path->elements().size(), 9u);
    EXPECT_EQ(path->elements()[0].points[0], CGPointMake(4, 0));
    EXPECT_EQ(path->elements()[5].points[0], CGPointMake(50, 50));  // bottom control, pulled up
    EXPECT_EQ(path->elements()[5].points[1], CGPointMake(4, 60));
    EXPECT_FALSE(path->containsPoint({50, 57}, false));
    EXPECT_TRUE(path->containsPoint({50, 50}, false));
}

TEST(UIViewGeometryCategoriesTest, AbsoluteAnchorPointCanKeepTheLayerInPlace) {
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(0, 0, 100, 50));
    EXPECT_EQ(absoluteAnchorPoint_zel(layer), CGPointMake(50, 25));
    setZELAbsoluteAnchorPointAndMaintainPosition(layer, {0, 0}, true);
    EXPECT_EQ(layer->anchorPoint(), CGPointMake(0, 0));
    EXPECT_EQ(layer->frame(), CGRectMake(0, 0, 100, 50));
    setZELAbsoluteAnchorPoint(layer, {100, 50});
    EXPECT_EQ(layer->frame(), CGRectMake(-100, -50, 100, 50));

    auto empty = CALayer::layer();
    setZELAbsoluteAnchorPoint(empty, {10, 10});  // no division by a zero size
    EXPECT_EQ(empty->anchorPoint(), CGPointMake(0.5, 0.5));
}

}  // namespace
