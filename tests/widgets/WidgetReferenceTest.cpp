// The widgets drawn together at 2x, against tests/data/widgets/widgets.png.
#include <gtest/gtest.h>

#include "QuartzCore/CALayer.h"
#include "UIKit/UILabel.h"
#include "UIKitTestSupport.h"
#include "widgets/CBLabelWithInset.h"
#include "widgets/ZELCalloutBubbleView.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

class WidgetReferenceTest : public UIKitTest {};

TEST_F(WidgetReferenceTest, ProgressRingsButtonsBubbleAndInsetLabel) {
    auto window = makeWindow({320, 300});
    // Progress rings at 0, 1/4, 2/3 and 1.
    const float progress[] = {0, 0.25f, 0.667f, 1};
    for (int i = 0; i < 4; ++i) {
        auto ring = std::make_shared<ZELCircularProgressView>(CGRectMake(20 + 70 * i, 10, 40, 40));
        ring->setRadiusInner(12);
        ring->setRadiusOuter(18);
        if (i == 3)
            ring->setForegroundColor(UIColor::colorWithRedGreenBlueAlpha(0.2, 0.7, 0.3, 1));
        ring->setProgress(progress[i]);
        window->addSubview(ring);
    }
    // The six button styles, two rows of three.
    const long styles[] = {1, 2, 3, 101, 102, 103};
    for (int i = 0; i < 6; ++i) {
        auto button = std::make_shared<ZELRoundedGradientButton>(
            CGRectMake(10 + 102 * (i % 3), 64 + 44 * (i / 3), 94, 34), styles[i]);
        button->setTitleForState("Style " + std::to_string(styles[i]), UIControlStateNormal);
        window->addSubview(button);
    }
    // A bubble pointing down at its anchor.
    auto bubble = std::make_shared<ZELCalloutBubbleView>();
    bubble->labelTitle()->setText("Friedrich-Engels-Ring");
    bubble->labelSubtitle()->setText("Street \u00B7 Neubrandenburg");
    CGSize size = bubble->sizeThatFits({300, 300});
    size.height += 8;
    bubble->layer()->setAnchorPoint({0.5, 1.2});
    bubble->setBounds(CGRectMake(0, 0, size.width, size.height));
    // With the anchor below the body, the centre is the point the arrow shows.
    bubble->setCenter({160, 242});
    window->addSubview(bubble);
    // A label with its text inset 20 points on the left, on grey.
    auto inset = std::make_shared<CBLabelWithInset>(CGRectMake(10, 250, 300, 36));
    inset->setBackgroundColor(UIColor::lightGrayColor());
    inset->setText("Inset label");
    inset->setContentInset({0, 20, 0, 0});
    window->addSubview(inset);
    window->layoutIfNeeded();
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../widgets/widgets"));
}

}  // namespace
