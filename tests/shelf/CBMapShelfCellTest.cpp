#include <gtest/gtest.h>

#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImageView.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "shelf/CBMapShelfCell.h"
#include "widgets/ZELCircularProgressView.h"

namespace {

class CBMapShelfCellTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window_ = makeWindow({320, 568});
        cell_ = std::make_shared<CBMapShelfCell>(CGRectMake(20, 60, 90, 135));
        window_->addSubview(cell_);
        cell_->layoutSubviews();
    }
    void advance(double seconds) {
        for (double t = 0; t < seconds; t += 0.1)
            CAFrameClock::shared().advance(0.1);
    }
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<CBMapShelfCell> cell_;
};

TEST_F(CBMapShelfCellTest, TheAddMapCellNeverShowsItsButtons) {
    cell_->setCanShowAccessoryButtons(false);
    cell_->setAccessoryButtonsHiddenAnimated(false, false);
    EXPECT_TRUE(cell_->accessoryButtonsHidden());
    EXPECT_EQ(cell_->buttonDelete()->alpha(), 0);
    EXPECT_EQ(cell_->infoButtonContainer()->alpha(), 0);
    EXPECT_EQ(cell_->buttonDelete()->frame().origin.y, -cell_->buttonDelete()->frame().size.height);
    EXPECT_EQ(cell_->infoButtonContainer()->frame().origin.y,
              cell_->buttonDelete()->frame().origin.y);
}

TEST_F(CBMapShelfCellTest, EditModeSlidesTheButtonsInAndOut) {
    cell_->setAccessoryButtonsHiddenAnimated(false, true);
    advance(0.3);
    EXPECT_EQ(cell_->buttonDelete()->frame().origin.y, 0);
    EXPECT_EQ(cell_->buttonDelete()->alpha(), 1);
    EXPECT_EQ(cell_->infoButtonContainer()->frame().origin.y, 0);
    // The delete cross is drawn in the button's red tint.
    EXPECT_EQ(cell_->buttonDelete()->tintColor(), UIColor::redColor());
    cell_->setAccessoryButtonsHiddenAnimated(true, false);
    EXPECT_LT(cell_->buttonDelete()->frame().origin.y, 0);
}

TEST_F(CBMapShelfCellTest, AskingForTheRingMakesOneAtFullOpacityOverTheCover) {
    EXPECT_EQ(cell_->existingProgressView(), nullptr);
    auto ring = cell_->progressView();
    EXPECT_EQ(ring->alpha(), 1);
    EXPECT_EQ(ring->superview(), cell_->imageView());
    EXPECT_EQ(ring->radiusInner(), 22);
    EXPECT_EQ(ring->radiusOuter(), 24);
    EXPECT_EQ(cell_->progressView(), ring);
    // Showing a ring that is there changes nothing.
    cell_->setProgressViewHiddenAnimated(false, true);
    EXPECT_EQ(ring->alpha(), 1);
}

TEST_F(CBMapShelfCellTest, OnlyTheLastOfTwoFadesRemovesTheRing) {
    auto ring = cell_->progressView();
    cell_->setProgressViewHiddenAnimated(true, true);
    advance(2);
    EXPECT_NE(cell_->existingProgressView(), nullptr);
    // A ring still fading counts as present; hiding again restarts the fade.
    cell_->setProgressViewHiddenAnimated(true, true);
    advance(3.5);
    EXPECT_EQ(cell_->existingProgressView(), ring) << "the first fade ended and took the ring";
    advance(2);
    EXPECT_EQ(cell_->existingProgressView(), nullptr);
    EXPECT_EQ(ring->superview(), nullptr);
    // It grew past the cell's edges while it faded: 1.25 × max(45, 67.5) / 24.
    EXPECT_NEAR(ring->transform().a, 1.25 * 67.5 / 24, 1e-6);
}

TEST_F(CBMapShelfCellTest, HidingWithoutAnimationRemovesTheRingAtOnce) {
    auto ring = cell_->progressView();
    cell_->setProgressViewHiddenAnimated(true, false);
    EXPECT_EQ(cell_->existingProgressView(), nullptr);
    EXPECT_EQ(ring->superview(), nullptr);
}

TEST_F(CBMapShelfCellTest, TheBandIsNotchedAndTheShadowFollowsTheBounds) {
    cell_->layoutSubviews();
    auto mask =
        std::dynamic_pointer_cast<CAShapeLayer>(cell_->labelBackgroundView()->layer()->mask());
    ASSERT_NE(mask, nullptr);
    const CGRect band = cell_->labelBackgroundView()->bounds();
    const CGFloat w = band.size.width, h = band.size.height;
    // Full height at both ends, from 30 % down in the middle.
    EXPECT_TRUE(mask->path()->containsPoint({2, 1}, false));
    EXPECT_TRUE(mask->path()->containsPoint({w - 2, 1}, false));
    EXPECT_FALSE(mask->path()->containsPoint({w / 2, 0.2 * h}, false));
    EXPECT_TRUE(mask->path()->containsPoint({w / 2, 0.4 * h}, false));
    ASSERT_TRUE(cell_->layer()->shadowPath());
    EXPECT_EQ(cell_->layer()->shadowPath()->boundingBox(), cell_->bounds());
    EXPECT_EQ(cell_->clippingView()->frame(), cell_->bounds());
}

TEST_F(CBMapShelfCellTest, ReuseBringsBackTheNameTheZoomSlidAway) {
    const CGRect label = cell_->label()->frame();
    const CGRect band = cell_->labelBackgroundView()->frame();
    cell_->setClipsToBounds(true);
    cell_->label()->setFrame(CGRectOffset(label, 0, 40));
    cell_->labelBackgroundView()->setFrame(CGRectOffset(band, 0, 40));
    cell_->prepareForReuse();
    EXPECT_EQ(cell_->label()->frame(), label);
    EXPECT_EQ(cell_->labelBackgroundView()->frame(), band);
    EXPECT_EQ(band.origin.y + band.size.height, 135);
    EXPECT_FALSE(cell_->clipsToBounds());
}

}  // namespace
