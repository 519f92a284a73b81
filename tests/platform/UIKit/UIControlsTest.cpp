#include <cmath>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIProgressView.h"
#include "UIKitTestSupport.h"

namespace {

class UIControlsTest : public UIKitTest {};

TEST_F(UIControlsTest, ActivityIndicatorSpinsOnlyWhileAnimating) {
    auto window = makeWindow({100, 100});
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    window->addSubview(spinner);
    EXPECT_EQ(spinner->frame().size, CGSizeMake(20, 20));
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_TRUE(spinner->visibleTexts().empty());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    // Screen readers, and the scenarios, read a turning spinner.
    ASSERT_EQ(spinner->visibleTexts().size(), 1u);
    EXPECT_EQ(spinner->visibleTexts()[0].text, "In progress");
    CAFrameClock::shared().advance(0.25);
    const CGAffineTransform t = spinner->layer()->presentationLayer()->transform();
    EXPECT_NEAR(std::atan2(t.b, t.a), M_PI / 2, 1e-9);  // three of twelve steps
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_FALSE(spinner->layer()->hasAnimations());
    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(spinner->visibleTexts().empty());
}

TEST_F(UIControlsTest, ProgressViewFillsItsShareAndClamps) {
    auto window = makeWindow({200, 20});
    auto progress = std::make_shared<UIProgressView>(CGRectMake(0, 0, 200, 2));
    window->addSubview(progress);
    progress->setProgressTintColor(UIColor::redColor());
    progress->setProgress(0.25);
    auto image = window->renderImage(1);
    EXPECT_EQ(image->pixelAt(10, 1), 0xFFFF0000u);
    EXPECT_NE(image->pixelAt(100, 1), 0xFFFF0000u);
    progress->setProgress(7);
    EXPECT_EQ(progress->progress(), 1);
    progress->setProgressAnimated(0, true);
    EXPECT_EQ(progress->progress(), 0);
}

TEST_F(UIControlsTest, TemplateImagesTakeTheTintColour) {
    UIGraphicsBeginImageContextWithOptions({4, 4}, false, 1);
    UIGraphicsGetCurrentContext()->setRGBFillColor(0, 0, 0, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 4, 2));
    auto shape = UIGraphicsGetImageFromCurrentImageContext()->imageWithRenderingMode(
        UIImageRenderingMode::AlwaysTemplate);
    UIGraphicsEndImageContext();

    auto window = makeWindow({4, 4});
    auto view = std::make_shared<UIImageView>(shape);
    window->addSubview(view);
    window->setTintColor(UIColor::blueColor());
    EXPECT_EQ(view->layer()->contents()->pixelAt(1, 0), 0xFF0000FFu);
    EXPECT_EQ(view->layer()->contents()->pixelAt(1, 3) >> 24, 0u);
    view->setTintColor(UIColor::greenColor());
    EXPECT_EQ(view->layer()->contents()->pixelAt(1, 0), 0xFF00FF00u);
    EXPECT_EQ(view->sizeThatFits(CGSizeZero), CGSizeMake(4, 4));
}

TEST_F(UIControlsTest, BarButtonItemsActOnlyWhenEnabled) {
    int taps = 0;
    auto item = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone,
                                                  [&](UIBarButtonItem&) { ++taps; });
    EXPECT_EQ(item->title(), "Done");
    EXPECT_EQ(item->style(), UIBarButtonItemStyleDone);
    item->performAction();
    item->setEnabled(false);
    item->performAction();
    EXPECT_EQ(taps, 1);
    auto custom = std::make_shared<UIBarButtonItem>(std::make_shared<UIView>());
    EXPECT_TRUE(custom->customView());
    EXPECT_FALSE(custom->hasAction());
    custom->performAction();  // nothing to do
}

TEST_F(UIControlsTest, UnhandledTouchesTravelUpTheResponderChain) {
    struct Catcher : UIView {
        using UIView::UIView;
        int began = 0;
        void touchesBegan(const UITouchSet&, UIEvent*) override { ++began; }
    };
    auto window = makeWindow({100, 100});
    auto catcher = std::make_shared<Catcher>(CGRectMake(0, 0, 100, 100));
    auto plain = std::make_shared<UIView>(CGRectMake(10, 10, 20, 20));
    window->addSubview(catcher);
    catcher->addSubview(plain);
    TouchDriver touches(window);
    touches.tap({15, 15});
    EXPECT_EQ(catcher->began, 1);
}

}  // namespace
