// Swipe-to-delete on table rows, view transitions and the small properties
// screens read.
#include <memory>
#include <string>
#include <vector>

#include "Foundation/NSFoundationVersion.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIViewController.h"
#include "UIKitTestSupport.h"

namespace {

class Deletable : public UITableViewDataSource {
  public:
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(rows.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView&, const NSIndexPath& path) override {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
        cell->textLabel()->setText(rows[size_t(path.row)]);
        return cell;
    }
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView& table,
                                                      UITableViewCellEditingStyle,
                                                      const NSIndexPath& path) override {
        rows.erase(rows.begin() + path.row);
        table.deleteRowsAtIndexPathsWithRowAnimation({path}, UITableViewRowAnimationFade);
    }
    bool tableViewAllowsSwipeToDelete(UITableView&) override { return swipe; }
    std::vector<std::string> rows{"Zurich", "Geneva", "Basel"};
    bool swipe = true;
};

class FullScreen : public UIViewController {
  public:
    bool prefersStatusBarHidden() const override { return true; }
    UIStatusBarStyle preferredStatusBarStyle() const override {
        return UIStatusBarStyleLightContent;
    }
};

using UIKitExtrasTest = UIKitTest;

TEST_F(UIKitExtrasTest, SwipingARowLeftOffersDeleteAndATapOnItDeletes) {
    auto window = makeWindow({320, 568});
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 568));
    auto rows = std::make_shared<Deletable>();
    table->setDataSource(rows);
    window->addSubview(table);
    window->layoutIfNeeded();
    TouchDriver touches(window);
    touches.drag({250, 66}, {120, 70}, 6, 0.2);
    touches.up();
    window->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath({0, 1});
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(cell->showingDeleteConfirmation());
    EXPECT_EQ(table->contentOffset().y, 0);  // the swipe did not scroll
    const CGRect button = cell->deleteConfirmationFrame();
    touches.tap(cell->convertPointToView({CGRectGetMidX(button), CGRectGetMidY(button)}, nullptr));
    EXPECT_EQ(rows->rows, (std::vector<std::string>{"Zurich", "Basel"}));

    // A tap elsewhere only puts the button away; a rightward swipe or a data
    // source that does not allow it offers nothing.
    touches.drag({250, 22}, {120, 22}, 6, 0.2);
    touches.up();
    touches.tap({100, 300});
    window->layoutIfNeeded();
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 0})->showingDeleteConfirmation());
    EXPECT_EQ(rows->rows.size(), 2u);
    touches.drag({50, 22}, {250, 22}, 6, 0.2);
    touches.up();
    rows->swipe = false;
    touches.drag({250, 22}, {120, 22}, 6, 0.2);
    touches.up();
    window->layoutIfNeeded();
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 0})->showingDeleteConfirmation());
}

TEST_F(UIKitExtrasTest, TransitionsDissolveOrFlipToTheNewContent) {
    auto window = makeWindow({200, 200});
    auto container = std::make_shared<UIView>(CGRectMake(0, 0, 200, 200));
    window->addSubview(container);
    auto card = std::make_shared<UIView>(CGRectMake(0, 0, 200, 200));
    card->setBackgroundColor(UIColor::redColor());
    container->addSubview(card);
    bool done = false;
    UIView::transitionWithViewDurationOptionsAnimationsCompletion(
        card, 0.4, UIViewAnimationOptionTransitionCrossDissolve,
        [card] { card->setBackgroundColor(UIColor::blueColor()); },
        [&](bool finished) { done = finished; });
    EXPECT_EQ(*card->backgroundColor(), UIColor::blueColor());  // the model changes at once
    CAFrameClock::shared().advance(0.2);
    const uint32_t midway = window->renderImage(1)->pixelAt(100, 100);
    EXPECT_GT((midway >> 16) & 0xFF, 60u);  // red and blue mixed
    EXPECT_GT(midway & 0xFF, 60u);
    CAFrameClock::shared().advance(0.5);
    EXPECT_TRUE(done);
    EXPECT_EQ(card->subviews().size(), 0u);
    EXPECT_EQ(window->renderImage(1)->pixelAt(100, 100), 0xFF0000FFu);

    // Flipping views: the new one takes the old one's place.
    auto back = std::make_shared<UIView>(CGRectMake(0, 0, 200, 200));
    back->setBackgroundColor(UIColor::greenColor());
    done = false;
    UIView::transitionFromViewToViewDurationOptionsCompletion(
        card, back, 0.4, UIViewAnimationOptionTransitionFlipFromLeft,
        [&](bool finished) { done = finished; });
    EXPECT_EQ(back->superview(), container);
    EXPECT_EQ(card->superview(), nullptr);
    CAFrameClock::shared().advance(0.2);
    // Edge on at the middle of the flip: the window shows through.
    EXPECT_EQ(window->renderImage(1)->pixelAt(20, 100), 0xFFFFFFFFu);
    CAFrameClock::shared().advance(0.1);
    CAFrameClock::shared().advance(0.5);
    EXPECT_TRUE(done);
    EXPECT_TRUE(CGAffineTransformIsIdentity(container->transform()));
    EXPECT_EQ(window->renderImage(1)->pixelAt(20, 100), 0xFF00FF00u);
}

TEST_F(UIKitExtrasTest, SmallPropertiesScreensRead) {
    auto app = UIApplication::sharedApplication();
    EXPECT_EQ(app->statusBarFrame(), CGRectMake(0, 0, 320, 20));
    app->setStatusBarStyleAnimated(UIStatusBarStyleLightContent, true);
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleLightContent);
    app->setStatusBarHiddenWithAnimation(true, UIStatusBarAnimationFade);
    EXPECT_EQ(app->statusBarFrame(), CGRectZero);
    app->setStatusBarHidden(false);
    app->setStatusBarStyle(UIStatusBarStyleDefault);
    auto screen = std::make_shared<FullScreen>();
    screen->setNeedsStatusBarAppearanceUpdate();
    EXPECT_TRUE(app->isStatusBarHidden());
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleLightContent);
    std::make_shared<UIViewController>()->setNeedsStatusBarAppearanceUpdate();
    EXPECT_FALSE(app->isStatusBarHidden());
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDefault);

    // The foundation release matches the system version the device reports.
    const std::string version = UIDevice::currentDevice()->systemVersion();
    ASSERT_EQ(version.substr(0, 2), "9.");
    EXPECT_GE(NSFoundationVersionNumber, NSFoundationVersionNumber_iOS_9_0);
    EXPECT_LT(NSFoundationVersionNumber, NSFoundationVersionNumber_iOS_9_x_Max);
    EXPECT_GT(NSFoundationVersionNumber, NSFoundationVersionNumber_iOS_8_x_Max);

    auto layer = std::make_shared<CALayer>();
    layer->setShouldRasterize(true);
    layer->setRasterizationScale(2);
    EXPECT_TRUE(layer->shouldRasterize());

    auto window = makeWindow({100, 100});
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 100, 100));
    button->setShowsTouchWhenHighlighted(true);
    button->setBackgroundColor(UIColor::blackColor());
    window->addSubview(button);
    TouchDriver touches(window);
    touches.down({CGPoint{50, 50}});
    // A light glow over the black button while the finger is down.
    EXPECT_GT(window->renderImage(1)->pixelAt(50, 50) & 0xFF, 0x80u);
    touches.up();
    EXPECT_EQ(window->renderImage(1)->pixelAt(50, 50), 0xFF000000u);
}

}  // namespace
