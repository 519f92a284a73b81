#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIViewController.h"
#include "UIKitTestSupport.h"

namespace {

class LayoutCounter : public UIView {
  public:
    using UIView::UIView;
    int layouts = 0;
    std::vector<std::string> moves;
    void layoutSubviews() override { ++layouts; }
    void didMoveToWindow() override { moves.push_back(window() ? "window" : "no window"); }
    void tintColorDidChange() override { moves.push_back("tint"); }
    CGSize sizeThatFits(CGSize) const override { return {42, 24}; }
};

class UIViewTest : public UIKitTest {};

TEST_F(UIViewTest, FrameBoundsAndCenterStayConsistent) {
    auto view = std::make_shared<UIView>(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(view->center(), CGPointMake(60, 45));
    view->setBounds(CGRectMake(5, 5, 40, 40));
    EXPECT_EQ(view->frame(), CGRectMake(40, 25, 40, 40));
    view->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(view->frame(), CGRectMake(20, 5, 80, 80));
    EXPECT_EQ(view->bounds().size, CGSizeMake(40, 40));
    view->setAlpha(2);
    EXPECT_EQ(view->alpha(), 1);
}

TEST_F(UIViewTest, AutoresizingSharesTheChangeAmongFlexibleParts) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto fill = std::make_shared<UIView>(CGRectMake(10, 10, 80, 80));
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto corner = std::make_shared<UIView>(CGRectMake(70, 70, 20, 20));
    corner->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                UIViewAutoresizingFlexibleTopMargin);
    auto centred = std::make_shared<UIView>(CGRectMake(40, 0, 20, 10));
    centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                 UIViewAutoresizingFlexibleRightMargin);
    parent->addSubview(fill);
    parent->addSubview(corner);
    parent->addSubview(centred);
    parent->setFrame(CGRectMake(0, 0, 200, 150));
    EXPECT_EQ(fill->frame(), CGRectMake(10, 10, 180, 130));
    EXPECT_EQ(corner->frame(), CGRectMake(170, 120, 20, 20));
    EXPECT_EQ(centred->frame(), CGRectMake(90, 0, 20, 10));
}

TEST_F(UIViewTest, LayoutRunsOncePerInvalidationAndSizeToFitAsksTheView) {
    auto view = std::make_shared<LayoutCounter>(CGRectMake(0, 0, 10, 10));
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 1);
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 1);
    view->setNeedsLayout();
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 2);
    view->setFrame(CGRectMake(0, 0, 20, 10));  // a new size lays out again
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 3);
    view->sizeToFit();
    EXPECT_EQ(view->frame().size, CGSizeMake(42, 24));
}

TEST_F(UIViewTest, HierarchyTellsViewsAboutWindowsAndTint) {
    auto window = makeWindow({100, 100});
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 50, 50));
    auto child = std::make_shared<LayoutCounter>(CGRectMake(0, 0, 10, 10));
    parent->addSubview(child);
    window->addSubview(parent);
    EXPECT_EQ(child->window(), window);
    parent->setTintColor(UIColor::redColor());
    EXPECT_EQ(child->tintColor(), UIColor::redColor());
    parent->removeFromSuperview();
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(child->moves,
              (std::vector<std::string>{"tint", "window", "tint", "tint", "no window"}));

    parent->addSubview(child);  // re-adding the same child keeps one copy
    EXPECT_EQ(parent->subviews().size(), 1u);
    child->addSubview(parent);  // a cycle is refused
    EXPECT_EQ(parent->superview(), nullptr);
}

TEST_F(UIViewTest, SubviewOrderAndTags) {
    auto parent = std::make_shared<UIView>();
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>(),
         c = std::make_shared<UIView>();
    c->setTag(7);
    parent->addSubview(a);
    parent->addSubview(b);
    parent->insertSubviewBelowSubview(c, a);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{c, a, b}));
    parent->bringSubviewToFront(c);
    EXPECT_EQ(parent->subviews().back(), c);
    EXPECT_EQ(parent->layer()->sublayers().back(), c->layer());
    parent->exchangeSubviewAtIndexWithSubviewAtIndex(0, 1);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{b, a, c}));
    EXPECT_EQ(parent->layer()->sublayers(),
              (std::vector<std::shared_ptr<CALayer>>{b->layer(), a->layer(), c->layer()}));
    EXPECT_EQ(parent->viewWithTag(7), c);
    EXPECT_EQ(parent->viewWithTag(8), nullptr);
}

TEST_F(UIViewTest, HitTestingAndConversion) {
    auto window = makeWindow({200, 200});
    auto panel = std::make_shared<UIView>(CGRectMake(50, 50, 100, 100));
    panel->setBounds(CGRectMake(0, 20, 100, 100));  // scrolled by 20
    auto button = std::make_shared<UIView>(CGRectMake(10, 30, 20, 20));
    auto outside = std::make_shared<UIView>(CGRectMake(90, 90, 50, 50));  // partly outside
    window->addSubview(panel);
    panel->addSubview(button);
    panel->addSubview(outside);
    EXPECT_EQ(button->convertPointToView({0, 0}, nullptr), CGPointMake(60, 60));
    EXPECT_EQ(window->convertPointToView({65, 65}, button), CGPointMake(5, 5));
    EXPECT_EQ(button->convertRectToView(CGRectMake(0, 0, 20, 20), panel),
              CGRectMake(10, 30, 20, 20));
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), button);
    EXPECT_EQ(window->hitTest({145, 145}, nullptr), outside);
    EXPECT_EQ(window->hitTest({160, 160}, nullptr), window);  // outside the panel's bounds
    button->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), panel);
    panel->setHidden(true);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), window);
}

TEST_F(UIViewTest, BlockAnimationsAnimateLayersAndComplete) {
    auto window = makeWindow({200, 200});
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    window->addSubview(view);
    view->setCenter({100, 100});  // outside a block: at once
    EXPECT_FALSE(view->layer()->hasAnimations());

    std::vector<bool> done;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            view->setCenter({200, 100});
            view->setAlpha(0);
        },
        [&](bool finished) { done.push_back(finished); });
    EXPECT_EQ(view->center(), CGPointMake(200, 100));  // the model at once
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(view->layer()->presentationLayer()->position().x, 150, 1e-9);
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0.5, 1e-6);
    EXPECT_TRUE(done.empty());
    CAFrameClock::shared().advance(0.5);
    EXPECT_EQ(done, std::vector<bool>{true});

    // A new animation of the same property cuts the running one short.
    UIView::animateWithDurationAnimationsCompletion(
        1,
        [&] {
            view->setCenter({0, 0});
        },
        [&](bool f) { done.push_back(f); });
    UIView::animateWithDurationAnimations(1, [&] { view->setCenter({50, 50}); });
    EXPECT_EQ(done, (std::vector<bool>{true, false}));

    // Without changes the completion still runs, at the next frame.
    UIView::animateWithDurationAnimationsCompletion(1, nullptr, [&](bool f) { done.push_back(f); });
    EXPECT_EQ(done.size(), 2u);
    CAFrameClock::shared().advance(0);
    EXPECT_EQ(done.size(), 3u);
}

TEST_F(UIViewTest, DelayedAndSpringAnimations) {
    auto window = makeWindow({200, 200});
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    window->addSubview(view);
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1, 1, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(0); }, nullptr);
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 1, 1e-6);  // still waiting
    CAFrameClock::shared().advance(1);
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0.5, 1e-6);

    bool finished = false;
    UIView::
        animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
            1, 0, 0.3, 0, 0,
            [&] {
                view->setCenter({100, 5});
            },
            [&](bool f) { finished = f; });
    CGFloat farthest = 0;
    for (int i = 0; i < 60; ++i) {
        CAFrameClock::shared().advance(1.0 / 60);
        farthest = std::max(farthest, view->layer()->presentationLayer()->position().x);
    }
    EXPECT_GT(farthest, 100);  // overshoots
    CAFrameClock::shared().advance(0.01);
    EXPECT_TRUE(finished);

    UIView::performWithoutAnimation([&] {
        UIView::animateWithDurationAnimations(1, [&] { view->setCenter({0, 0}); });
    });
    EXPECT_FALSE(view->layer()->animationForKey("position"));
}

TEST_F(UIViewTest, ControllerLoadsItsViewOnceAndJoinsTheResponderChain) {
    struct Controller : UIViewController {
        std::vector<std::string> log;
        void loadView() override {
            log.push_back("loadView");
            setView(std::make_shared<UIView>(CGRectMake(0, 0, 50, 50)));
        }
        void viewDidLoad() override { log.push_back("viewDidLoad"); }
        void viewWillAppear(bool) override { log.push_back("willAppear"); }
        void viewDidAppear(bool) override { log.push_back("didAppear"); }
        void viewWillDisappear(bool) override { log.push_back("willDisappear"); }
        void viewDidDisappear(bool) override { log.push_back("didDisappear"); }
    };
    auto window = makeWindow({100, 100});
    auto root = std::make_shared<Controller>();
    EXPECT_FALSE(root->isViewLoaded());
    window->setRootViewController(root);
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 0, 100, 100));
    EXPECT_EQ(root->view()->nextResponder(), root);
    EXPECT_EQ(root->nextResponder(), window);

    auto modal = std::make_shared<Controller>();
    bool presented = false;
    root->presentViewControllerAnimatedCompletion(modal, true, [&] { presented = true; });
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), root);
    EXPECT_FALSE(presented);
    CAFrameClock::shared().advance(0.3);
    EXPECT_TRUE(presented);
    EXPECT_EQ(modal->view()->superview(), window);

    bool dismissed = false;
    modal->dismissViewControllerAnimatedCompletion(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(modal->view()->superview(), nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(root->log, (std::vector<std::string>{"loadView", "viewDidLoad", "willAppear",
                                                   "didAppear", "willDisappear", "didDisappear",
                                                   "willAppear", "didAppear"}));
    EXPECT_EQ(modal->log, (std::vector<std::string>{"loadView", "viewDidLoad", "willAppear",
                                                    "didAppear", "willDisappear", "didDisappear"}));
}

}  // namespace
