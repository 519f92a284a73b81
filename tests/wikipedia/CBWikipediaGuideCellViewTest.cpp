#include <gtest/gtest.h>

#include <memory>

#include "Foundation/NSBundle.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "mapkit/VADMaskedIconView.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "widgets/ZELShadowAnimatingView.h"
#include "wikipedia/CBWikipediaGuideCellView.h"

namespace {

// The cell's masks are the bundle images the build renders.
class GuideCellTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSBundle::setMainBundlePath(KELVARA_GENERATED_RESOURCES);
    }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
        UIKitTest::TearDown();
    }
    // A cell of the guide's size in the left or right half of a 320-point grid.
    std::shared_ptr<CBWikipediaGuideCellView> cellAt(CGFloat x) {
        auto cell = CBWikipediaGuideCellView::create("ZELWikiGuideGroup");
        cell->setFrame(CGRectMake(x, 10, 142, 124));
        grid_->addSubview(cell);
        return cell;
    }
    static size_t iconCount(const UIView& view) {
        size_t count = 0;
        for (const auto& subview : view.subviews())
            count += std::dynamic_pointer_cast<VADMaskedIconView>(subview) ? 1 : 0;
        return count;
    }

    std::shared_ptr<UIView> grid_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
};

TEST_F(GuideCellTest, PartsAreMadeOnlyWhenShownAndTheGradientFollowsThem) {
    auto cell = cellAt(5);
    cell->setRibbonHidden(true);
    cell->setRibbonIconHidden(true);
    cell->setRibbonLabelHidden(true);
    cell->setDisclosureIndicatorHidden(true);
    cell->setLabelDistanceHidden(true);
    cell->setLabelDistanceText("");
    cell->setSecondaryImageHidden(true);
    cell->setTitleText("Seen");
    cell->layoutIfNeeded();
    EXPECT_EQ(iconCount(*cell), 0u);
    EXPECT_EQ(cell->secondaryImageViewWrapper(), nullptr);
    EXPECT_EQ(cell->subviews().size(), 2u);  // the photo and the title
    // One line of title and 10 points.
    EXPECT_EQ(cell->gradientLayer()->frame(), CGRectMake(0, 124 - 31, 142, 31));

    cell->setLabelDistanceText("350 m");
    cell->setDisclosureIndicatorHidden(false);
    cell->layoutIfNeeded();
    const CGFloat distance = cell->labelDistance()->bounds().size.height;
    EXPECT_GT(distance, 0);
    EXPECT_DOUBLE_EQ(cell->gradientLayer()->frame().size.height, 31 + distance);
    // The distance line stands on the title, left-aligned with it.
    EXPECT_DOUBLE_EQ(cell->labelDistance()->frame().origin.x, 5);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(cell->labelDistance()->frame()),
                     cell->labelTitle()->frame().origin.y);
    // The chevron ends half its width before the right edge.
    const CGRect chevron = cell->disclosureIndicatorView()->frame();
    EXPECT_GT(chevron.size.width, 0);
    EXPECT_NEAR(CGRectGetMaxX(chevron), 142 - chevron.size.width / 2, 1);
    EXPECT_EQ(iconCount(*cell), 1u);
}

TEST_F(GuideCellTest, ATitleTakesOneLineOf21PointsOrTwoOf42) {
    auto cell = cellAt(5);
    cell->setTitleText("Seen");
    cell->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(cell->labelTitle()->bounds().size.height, 21);
    EXPECT_EQ(cell->labelTitle()->numberOfLines(), 1u);
    // Its bottom-left corner sits 5 points in and 2 above the foot.
    EXPECT_EQ(cell->labelTitle()->frame(), CGRectMake(5, 124 - 2 - 21, 132, 21));

    cell->setTitleText("Rundgang zu den Toren der Altstadt");
    cell->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(cell->labelTitle()->bounds().size.height, 42);
    EXPECT_EQ(cell->labelTitle()->numberOfLines(), 2u);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(cell->labelTitle()->frame()), 124 - 2);
}

TEST_F(GuideCellTest, ALiftedStackMovesAwayFromTheMiddleAndItsSecondPhotoTowardsIt) {
    auto left = cellAt(5);
    auto right = cellAt(170);
    for (const auto& cell : {left, right}) {
        cell->secondaryImageView();
        cell->setSecondaryImageHidden(false);
        cell->setSecondaryImageRotation(0.08);
        cell->layoutIfNeeded();
        cell->setHighlighted(true);
    }
    // Scaled by 1.05, then moved 4 points down and outwards in the scaled space.
    EXPECT_NEAR(left->transform().a, 1.05, 1e-9);
    EXPECT_NEAR(left->transform().tx, 1.05 * -4, 1e-9);
    EXPECT_NEAR(left->transform().ty, 1.05 * 4, 1e-9);
    EXPECT_NEAR(right->transform().tx, 1.05 * 4, 1e-9);
    // The photo behind slides 24 points up and the other way, its tilt flipped.
    const auto photo = right->secondaryImageViewWrapper()->transform();
    EXPECT_NEAR(photo.tx, -24, 1e-9);
    EXPECT_NEAR(photo.ty, -24, 1e-9);
    EXPECT_LT(photo.b, 0);
    EXPECT_NEAR(right->layer()->shadowRadius(), 4, 1e-9);
    EXPECT_NEAR(right->gradientLayer()->opacity(), 0.25, 1e-6);
    // The lifted cell comes in front of the others.
    EXPECT_EQ(grid_->subviews().back(), right);

    // Reuse puts it down at once.
    right->prepareForReuse();
    EXPECT_TRUE(CGAffineTransformIsIdentity(right->transform()));
    EXPECT_NEAR(right->secondaryImageViewWrapper()->transform().b, std::sin(0.08), 1e-9);
    EXPECT_NEAR(right->layer()->shadowRadius(), 2, 1e-9);
}

TEST_F(GuideCellTest, AHiddenSecondPhotoNeitherTiltsNorSlidesAndTheCellDoesNotShift) {
    auto cell = cellAt(170);
    cell->secondaryImageView();
    cell->setSecondaryImageHidden(false);
    cell->setSecondaryImageRotation(0.08);
    cell->setSecondaryImageHidden(true);
    cell->setSecondaryImageRotation(0);
    cell->setHighlighted(true);
    EXPECT_NEAR(cell->transform().a, 1.05, 1e-9);
    EXPECT_NEAR(cell->transform().tx, 0, 1e-9);
    EXPECT_NEAR(cell->transform().ty, 0, 1e-9);
    EXPECT_TRUE(CGAffineTransformIsIdentity(cell->secondaryImageViewWrapper()->transform()));
}

TEST_F(GuideCellTest, ShadowChangesAnimateAsTheShadowViewsDo) {
    auto cell = cellAt(5);
    auto action = cell->actionForLayerForKey(*cell->layer(), "shadowRadius");
    ASSERT_TRUE(action && *action);
    EXPECT_GT((*action)->duration(), 0);
    auto other = cell->actionForLayerForKey(*cell->layer(), "borderWidth");
    EXPECT_FALSE(other && *other);
}

}  // namespace
