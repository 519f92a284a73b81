#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSError.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UIWindow.h"
#include "UIKitTestSupport.h"
#include "widgets/CBButtonGridView.h"
#include "widgets/CBCellWithCopyableLabel.h"
#include "widgets/CBCopyableLabel.h"
#include "widgets/CBRatingTableCell.h"
#include "widgets/NSIndexPath+ZELGridScrollView.h"
#include "widgets/UIImage+ZELResize.h"
#include "widgets/ZELCalloutBubbleView.h"
#include "widgets/ZELRotatingNavigationController.h"
#include "widgets/ZELShadowAnimatingView.h"
#include "widgets/ZELToolTip.h"

namespace {

class ZELToolTipTest : public ::testing::Test {
  protected:
    // The counts live in the user defaults of a home of the test's own.
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() /
                ("kelvara-widgets-" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        NSSetApplicationHome(home_.string());
        NSUserDefaults::resetStandardUserDefaults();
        ZELToolTip::resetShownThisRun();
    }
    void TearDown() override {
        ZELToolTip::hideCurrentToolTip();
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        std::filesystem::remove_all(home_);
    }
    bool show(const std::optional<std::string>& key, long maxShows = 3) {
        return ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
            view_, "Tap and hold to drop a pin", nullptr, nullptr, key, maxShows);
    }
    // A new run of the program: nothing on screen, nothing shown yet.
    void nextRun() {
        ZELToolTip::hideCurrentToolTip();
        ZELToolTip::resetShownThisRun();
    }
    std::filesystem::path home_;
    std::shared_ptr<UIView> view_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
};

TEST_F(ZELToolTipTest, ATipShowsAtMostMaximumPlusOneTimesOncePerRun) {
    int shown = 0;
    for (int run = 0; run < 8; ++run) {
        if (show("hint"))
            ++shown;
        // The same key again in the same run: already shown.
        ZELToolTip::hideCurrentToolTip();
        EXPECT_FALSE(show("hint"));
        nextRun();
    }
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("ZELToolTip-hint"), 4);
}

TEST_F(ZELToolTipTest, OneTipAtATimeAndANilKeyIsNeverCounted) {
    ASSERT_TRUE(show(std::nullopt));
    EXPECT_NE(ZELToolTip::currentToolTip(), nullptr);
    EXPECT_FALSE(show("hint"));
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("ZELToolTip-hint"), 0);
    for (int run = 0; run < 6; ++run) {
        nextRun();
        EXPECT_TRUE(show(std::nullopt));
    }
    EXPECT_FALSE(ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
        nullptr, "x", nullptr, nullptr, std::nullopt, 3));
}

// A screen in a window: the tip shows over the host (what holds the
// screen), belongs to the screen's own view.
TEST_F(ZELToolTipTest, ATipGoesWithTheScreenThatShowedIt) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    auto host = std::make_shared<UIView>(window->bounds());
    auto screen = std::make_shared<UIView>(host->bounds());
    window->addSubview(host);
    host->addSubview(screen);
    ASSERT_TRUE(ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
        host, "Tap a country", nullptr, nullptr, std::nullopt, 3, screen));
    auto tip = ZELToolTip::currentToolTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->superview(), host);

    // Another screen takes its place: the tip leaves with it.
    screen->removeFromSuperview();
    EXPECT_TRUE(tip->isHidden());
    EXPECT_EQ(ZELToolTip::currentToolTip(), nullptr);
    NSRunLoop::mainRunLoop()->runUntil([&] { return !tip->superview(); }, 3);
    EXPECT_EQ(tip->superview(), nullptr);
    // Nothing of it stays behind in the screen.
    EXPECT_TRUE(screen->subviews().empty());
}

TEST_F(ZELToolTipTest, ATouchOutsideSendsTheTipAwayAndReachesWhatLiesUnder) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 320, 60));
    int taps = 0;
    button->addTargetForControlEvents([&](UIControl&) { ++taps; }, UIControlEventTouchUpInside);
    window->addSubview(button);
    ASSERT_TRUE(ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
        window, "Tap a country", nullptr, nullptr, std::nullopt, 3));
    auto tip = ZELToolTip::currentToolTip();
    ASSERT_NE(tip, nullptr);
    // Looking at what lies under a point is no touch.
    EXPECT_EQ(window->hitTest(CGPointMake(10, 10), nullptr), button);
    EXPECT_FALSE(tip->isHidden());

    TouchDriver(window).tap(CGPointMake(10, 10));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(ZELToolTip::currentToolTip(), nullptr);
    NSRunLoop::mainRunLoop()->runUntil([&] { return !tip->superview(); }, 3);
    EXPECT_EQ(tip->superview(), nullptr);
}

TEST(NSIndexPathZELGridScrollView, MakesPathsOfSectionAndCell) {
    auto path = indexPathForCellIndexInGridSection(7, 2);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->section, 2);
    EXPECT_EQ(cellIndex(*path), 7);
    EXPECT_FALSE(indexPathForCellIndexInGridSection(-1, 0));
    EXPECT_FALSE(indexPathForCellIndexInGridSection(0, -1));
    EXPECT_TRUE(indexPathForCellIndexInGridSection(0, 0));
}

TEST(ZELCalloutBubbleView, FitsTheWiderLabelWithPadding) {
    auto bubble = std::make_shared<ZELCalloutBubbleView>(CGRectMake(0, 0, 10, 10));
    bubble->labelTitle()->setText("Friedrich-Engels-Ring");
    bubble->labelSubtitle()->setText("Street");
    const CGSize title = bubble->labelTitle()->sizeThatFits({1000, 1000});
    const CGSize subtitle = bubble->labelSubtitle()->sizeThatFits({1000, 1000});
    const CGSize fits = bubble->sizeThatFits({1000, 1000});
    EXPECT_DOUBLE_EQ(fits.width, std::max(title.width, subtitle.width) + 20);
    EXPECT_DOUBLE_EQ(fits.height, title.height + subtitle.height + 10);
    // The given width caps it.
    EXPECT_DOUBLE_EQ(bubble->sizeThatFits({50, 1000}).width, 50);
}

TEST(CBButtonGridView, FillsRowsWithAsManyButtonsAsFitTheMinimumWidth) {
    auto grid = std::make_shared<CBButtonGridView>(CGRectMake(0, 0, 640, 300));
    std::vector<std::shared_ptr<UIButton>> buttons;
    for (int i = 0; i < 4; ++i) {
        buttons.push_back(std::make_shared<UIButton>(CGRectMake(0, 0, 50, i == 1 ? 60 : 44)));
        grid->addButton(buttons.back());
    }
    // 640 points: three of 200 and their margins fit in a row.
    const CGFloat width = (640 - 4 * 10) / 3.0;
    EXPECT_EQ(buttons[0]->frame(), CGRectMake(10, 10, width, 44));
    EXPECT_EQ(buttons[1]->frame(), CGRectMake(20 + width, 10, width, 60));
    EXPECT_EQ(buttons[2]->frame(), CGRectMake(30 + 2 * width, 10, width, 44));
    // The next row starts below the tallest button of the first.
    EXPECT_EQ(buttons[3]->frame(), CGRectMake(10, 80, width, 44));
    EXPECT_DOUBLE_EQ(grid->requiredHeight(), 10 + 60 + 10 + 44 + 10);

    // Narrower than one minimum width: one button a row over the whole width.
    auto narrow = std::make_shared<CBButtonGridView>(CGRectMake(0, 0, 150, 100));
    auto only = std::make_shared<UIButton>(CGRectMake(0, 0, 10, 30));
    narrow->addButton(only);
    EXPECT_EQ(only->frame(), CGRectMake(10, 10, 130, 30));
}

std::shared_ptr<UIImage> imageOfSize(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(UIColor::redColor().CGColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, size.width, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

TEST(UIImageZELResize, FitsOrFillsAndRefusesOtherModesWithAnError) {
    auto image = imageOfSize({200, 100});
    auto fit = resizedImageWithContentModeBoundsInterpolationQuality(
        *image, UIViewContentModeScaleAspectFit, {50, 50}, kCGInterpolationHigh);
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->size(), CGSizeMake(50, 25));
    auto fill = resizedImageWithContentModeBoundsInterpolationQuality(
        *image, UIViewContentModeScaleAspectFill, {50, 50}, kCGInterpolationHigh);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->size(), CGSizeMake(100, 50));

    NSError error;
    EXPECT_EQ(resizedImageWithContentModeBoundsInterpolationQuality(
                  *image, UIViewContentModeCenter, {50, 50}, kCGInterpolationHigh, &error),
              nullptr);
    EXPECT_EQ(error.domain, "ZELImageResizeErrorDomain");
    EXPECT_NE(error.localizedDescription().find("Unsupported content mode"), std::string::npos);
    EXPECT_EQ(resizedImageWithContentModeBoundsInterpolationQuality(
                  *image, UIViewContentModeScaleAspectFit, {0, 50}, kCGInterpolationHigh, &error),
              nullptr);
}

TEST(UIImageMaskedIcons, FlagsAndNoMaskImagesAreNotMasked) {
    EXPECT_TRUE(supportsMaskedIconsForImageWithName("poi/cafe"));
    EXPECT_FALSE(supportsMaskedIconsForImageWithName("flags/de"));
    EXPECT_FALSE(supportsMaskedIconsForImageWithName("logo_nomask"));
    EXPECT_TRUE(supportsMaskedIconsForImageWithName("nomask/icon"));
    EXPECT_TRUE(supportsMaskedIconsForImageWithName(""));
}

}  // namespace

namespace {

TEST(CBCopyableLabel, CopiesItsTextAndTheCellItsTwoLines) {
    auto label = CBCopyableLabel::create(CGRectMake(0, 0, 100, 20));
    EXPECT_FALSE(label->canPerformAction(UIEditActionCopy, nullptr));
    label->setText("53.55750, 13.26100");
    EXPECT_TRUE(label->canPerformAction(UIEditActionCopy, nullptr));
    EXPECT_FALSE(label->canPerformAction(UIEditActionPaste, nullptr));
    label->performEditAction(UIEditActionCopy, nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "53.55750, 13.26100");

    auto cell = CBCellWithCopyableLabel::create(UITableViewCellStyleSubtitle, "copy");
    cell->textLabel()->setText("Markt 1");
    cell->detailTextLabel()->setText("17033 Neubrandenburg");
    cell->performEditAction(UIEditActionCopy, nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "Markt 1\n17033 Neubrandenburg");
}

class PortraitOnly : public UIViewController {
  public:
    bool shouldAutorotate() const override { return false; }
    unsigned long supportedInterfaceOrientations() const override {
        return UIInterfaceOrientationMaskPortrait;
    }
};

TEST(ZELRotatingNavigationController, RotatesAsItsTopScreenAllows) {
    auto navigation =
        std::make_shared<ZELRotatingNavigationController>(std::make_shared<UIViewController>());
    EXPECT_TRUE(navigation->shouldAutorotate());
    navigation->pushViewControllerAnimated(std::make_shared<PortraitOnly>(), false);
    EXPECT_FALSE(navigation->shouldAutorotate());
    EXPECT_EQ(navigation->supportedInterfaceOrientations(),
              (unsigned long)UIInterfaceOrientationMaskPortrait);
}

TEST(ZELShadowAnimatingView, AnimatesShadowChangesForItsDuration) {
    auto plain = std::make_shared<ZELShadowAnimatingView>();
    EXPECT_DOUBLE_EQ(plain->shadowAnimationDuration(), 0.5);
    auto action = plain->actionForLayerForKey(*plain->layer(), "shadowOpacity");
    ASSERT_TRUE(action && *action);
    EXPECT_DOUBLE_EQ((*action)->duration(), 0.5);
    // Other keys change at once, as for any view.
    auto other = plain->actionForLayerForKey(*plain->layer(), "opacity");
    EXPECT_TRUE(other && !*other);
    // Made with a frame, the duration is 0: no animation.
    auto framed = std::make_shared<ZELShadowAnimatingView>(CGRectMake(0, 0, 10, 10));
    auto none = framed->actionForLayerForKey(*framed->layer(), "shadowRadius");
    EXPECT_TRUE(none && !*none);
}

TEST(CBRatingTableCell, ClampsTheRating) {
    auto cell = std::make_shared<CBRatingTableCell>(UITableViewCellStyleDefault, "rating");
    cell->setRating(3.5f);
    EXPECT_FLOAT_EQ(cell->rating(), 3.5f);
    cell->setRating(9);
    EXPECT_FLOAT_EQ(cell->rating(), 5);
    cell->setRating(-1);
    EXPECT_FLOAT_EQ(cell->rating(), 0);
    cell->setRating(std::nanf(""));
    EXPECT_FLOAT_EQ(cell->rating(), 0);
}

}  // namespace
