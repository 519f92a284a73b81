// The widgets drawn together at 2x, against tests/data/widgets/widgets.png.
#include <gtest/gtest.h>

#include "QuartzCore/CALayer.h"
#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITableViewCell.h"
#include "UIKitTestSupport.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"
#include "widgets/CBFramedImageView.h"
#include "widgets/CBGuideCategoryCell.h"
#include "widgets/CBLabelWithInset.h"
#include "widgets/CBRatingTableCell.h"
#include "widgets/CBStatsBar.h"
#include "widgets/ZELCalloutBubbleView.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELPatternedCollectionViewBackground.h"
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

// Disabled, every style fades its gradient and dims its title on the
// background it is made for; enabled again, it is as it was.
TEST_F(WidgetReferenceTest, DisabledGradientButtonsLookDisabled) {
    auto window = makeWindow({320, 196});
    auto dark = std::make_shared<UIView>(CGRectMake(0, 98, 320, 98));
    dark->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.15, 1));
    window->addSubview(dark);
    const long styles[] = {1, 2, 3, 101, 102, 103};
    std::vector<std::shared_ptr<ZELRoundedGradientButton>> buttons;
    for (int i = 0; i < 6; ++i) {
        auto button = std::make_shared<ZELRoundedGradientButton>(
            CGRectMake(10 + 102 * (i % 3), 10 + 98 * (i / 3), 94, 34), styles[i]);
        button->setTitleForState("Style " + std::to_string(styles[i]), UIControlStateNormal);
        window->addSubview(button);
        // Each style twice: enabled above, disabled below.
        auto disabled = std::make_shared<ZELRoundedGradientButton>(
            CGRectMake(10 + 102 * (i % 3), 54 + 98 * (i / 3), 94, 34), styles[i]);
        disabled->setTitleForState("Style " + std::to_string(styles[i]), UIControlStateNormal);
        disabled->setEnabled(false);
        window->addSubview(disabled);
        buttons.push_back(disabled);
    }
    window->layoutIfNeeded();
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../widgets/gradient-buttons-disabled"));
    for (const auto& button : buttons) {
        EXPECT_NE(button->titleLabel()->textColor(),
                  button->titleColorForState(UIControlStateNormal).value());
        button->setEnabled(true);
        EXPECT_EQ(button->titleLabel()->textColor(),
                  button->titleColorForState(UIControlStateNormal).value());
    }
}

}  // namespace

namespace {

std::shared_ptr<UIImage> swatch(CGSize size, const UIColor& color) {
    UIGraphicsBeginImageContextWithOptions(size, false, 2);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(color.CGColor());
    UIGraphicsGetCurrentContext()->fillEllipseInRect(CGRectMake(0, 0, size.width, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

TEST_F(WidgetReferenceTest, StatsBarRatingCellsAndFramedPhoto) {
    auto window = makeWindow({320, 260});
    auto stats = std::make_shared<CBStatsBar>(CGRectMake(10, 10, 300, 24));
    stats->setTexts({"1 240 places", "86 km\u00B2", "12 MB"});
    stats->setImages({swatch({14, 14}, UIColor::redColor()),
                      swatch({14, 14}, UIColor::greenColor()),
                      swatch({14, 14}, UIColor::blueColor())});
    window->addSubview(stats);
    const float ratings[] = {0, 2.5f, 5};
    for (int i = 0; i < 3; ++i) {
        auto cell = std::make_shared<CBRatingTableCell>(UITableViewCellStyleDefault, "rating");
        cell->setFrame(CGRectMake(0, 44 + 44 * i, 320, 44));
        cell->textLabel()->setText("Rating " + std::to_string(ratings[i]).substr(0, 3));
        cell->setRating(ratings[i]);
        window->addSubview(cell);
    }
    auto photo = CBFramedImageView::create(CGRectMake(110, 184, 100, 70));
    photo->setImage(swatch({92, 62}, UIColor::colorWithRedGreenBlueAlpha(0.9, 0.6, 0.2, 1)));
    window->addSubview(photo);
    window->layoutIfNeeded();
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../widgets/stats-rating-photo"));

    // A tap on the photo opens it over the top view; a tap there closes it.
    photo->setTopView(window);
    photo->openFullScreen();
    ASSERT_NE(photo->openedView(), nullptr);
    EXPECT_EQ(photo->openedView()->superview(), window);
}

}  // namespace

namespace {

// A cup-like glyph drawn in opaque black: the icon's mask.
std::shared_ptr<UIImage> glyph() {
    UIGraphicsBeginImageContextWithOptions({24, 24}, false, 2);
    auto context = UIGraphicsGetCurrentContext();
    context->setFillColorWithColor(UIColor::blackColor().CGColor());
    context->fillRect(CGRectMake(4, 6, 12, 14));
    context->fillEllipseInRect(CGRectMake(13, 9, 8, 8));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

TEST_F(WidgetReferenceTest, StripedCollectionBackgroundAndGuideCategoryCells) {
    auto window = makeWindow({320, 200});
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    auto collection = ZELPatternedCollectionView::create(CGRectMake(0, 0, 320, 200), layout);
    collection->pattern()->setRowHeight(40);
    collection->setTopPatternOffset(20);
    collection->setBackgroundColor(UIColor::whiteColor());
    window->addSubview(collection);
    const char* names[] = {"Cafés", "Museums", "Parks"};
    for (int i = 0; i < 3; ++i) {
        auto cell = std::make_shared<CBGuideCategoryCell>(CGRectMake(30 + 95 * i, 40, 70, 90));
        cell->label()->setText(names[i]);
        cell->setIconImage(glyph());
        cell->iconView()->setTrait(*VADStyleTrait::iconTraitWithColor(UIColor::darkGrayColor()));
        window->addSubview(cell);
    }
    window->layoutIfNeeded();
    // The stripes start at the offset and reach at least to the bottom.
    EXPECT_EQ(collection->pattern()->frame().origin.y, 20);
    EXPECT_GE(CGRectGetMaxY(collection->pattern()->frame()), 200);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../widgets/pattern-guide-cells"));
}

}  // namespace
