#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITextField.h"
#include "UIKitTestSupport.h"

namespace {

// Records the appearance calls it receives, in order.
class Screen : public UIViewController {
  public:
    Screen(std::string name, std::vector<std::string>* log) : log_(log) { setTitle(name); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }

  private:
    void note(const char* what) {
        if (log_) {
            log_->push_back(title() + " " + what);
        }
    }
    std::vector<std::string>* log_;
};

class UINavigationControllerTest : public UIKitTest {
  protected:
    void TearDown() override {
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
        UIKitTest::TearDown();
    }
    std::vector<std::string> log;
};

TEST_F(UINavigationControllerTest, StackBarAndBackButtonFollowPushAndPop) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Maps", nullptr);
    auto navigation = std::make_shared<UINavigationController>(root);
    EXPECT_EQ(root->navigationController(), navigation);
    window->setRootViewController(navigation);

    auto detail = std::make_shared<Screen>("Detail", nullptr);
    navigation->pushViewControllerAnimated(detail, false);
    EXPECT_EQ(navigation->topViewController(), detail);
    EXPECT_EQ(detail->navigationController(), navigation);
    EXPECT_EQ(detail->view()->superview(), navigation->view());
    EXPECT_EQ(detail->view()->frame(), CGRectMake(0, 44, 320, 524));
    EXPECT_EQ(detail->topLayoutGuideLength(), 44);
    EXPECT_EQ(root->view()->superview(), nullptr);

    auto bar = navigation->navigationBar();
    window->layoutIfNeeded();
    EXPECT_EQ(bar->titleLabel()->text(), "Detail");
    ASSERT_NE(bar->leftView(), nullptr);
    // The back button, titled after the screen below, pops on a tap.
    TouchDriver(window).tap(bar->leftView()->convertPointToView({10, 10}, nullptr));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(navigation->topViewController(), root);
    EXPECT_EQ(detail->parentViewController(), nullptr);
    EXPECT_EQ(detail->view()->superview(), nullptr);
    EXPECT_EQ(bar->items().size(), 1u);
    EXPECT_EQ(bar->leftView(), nullptr);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), nullptr);  // the root stays
}

TEST_F(UINavigationControllerTest, AnimatedPushCallsAppearanceAroundTheSlide) {
    auto window = makeWindow({320, 568});
    auto navigation = std::make_shared<UINavigationController>(std::make_shared<Screen>("A", &log));
    window->setRootViewController(navigation);
    log.clear();
    auto second = std::make_shared<Screen>("B", &log);
    navigation->pushViewControllerAnimated(second, true);
    EXPECT_EQ(log, (std::vector<std::string>{"A willDisappear", "B willAppear"}));
    EXPECT_EQ(second->view()->frame().origin.x, 0);  // the model value; the slide is presented
    CAFrameClock::shared().advance(0.15);
    const CGFloat midway = second->view()->layer()->presentationLayer()->position().x;
    EXPECT_GT(midway, 160);
    EXPECT_LT(midway, 480);
    CAFrameClock::shared().advance(0.3);
    EXPECT_EQ(log, (std::vector<std::string>{"A willDisappear", "B willAppear", "A didDisappear",
                                             "B didAppear"}));
    EXPECT_EQ(navigation->viewControllers()[0]->view()->superview(), nullptr);
}

// Shows the navigation controller's toolbar as it appears.
class ScreenWithToolbar : public UIViewController {
  public:
    void viewWillAppear(bool animated) override {
        navigationController()->setToolbarHiddenAnimated(false, animated);
    }
};

TEST_F(UINavigationControllerTest, AScreenShowingTheToolbarAsItAppearsEndsAboveIt) {
    auto window = makeWindow({320, 568});
    auto navigation = std::make_shared<UINavigationController>(std::make_shared<Screen>("A", &log));
    window->setRootViewController(navigation);
    for (bool animated : {false, true}) {
        navigation->setToolbarHidden(true);
        auto screen = std::make_shared<ScreenWithToolbar>();
        navigation->pushViewControllerAnimated(screen, animated);
        CAFrameClock::shared().advance(1);
        EXPECT_EQ(screen->view()->frame(), CGRectMake(0, 44, 320, 480)) << animated;
        EXPECT_EQ(screen->bottomLayoutGuideLength(), 44) << animated;
        EXPECT_EQ(navigation->toolbar()->frame(), CGRectMake(0, 524, 320, 44)) << animated;
    }
}

TEST_F(UINavigationControllerTest, PopToRootAndReplacingTheStackReleaseChildren) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Root", nullptr);
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    std::weak_ptr<UIViewController> second, third;
    {
        auto b = std::make_shared<Screen>("B", nullptr);
        auto c = std::make_shared<Screen>("C", nullptr);
        second = b;
        third = c;
        navigation->pushViewControllerAnimated(b, false);
        navigation->pushViewControllerAnimated(c, false);
        const auto popped = navigation->popToRootViewControllerAnimated(false);
        ASSERT_EQ(popped.size(), 2u);
        EXPECT_EQ(popped[0], c);
        EXPECT_EQ(popped[1], b);
    }
    EXPECT_TRUE(second.expired());
    EXPECT_TRUE(third.expired());

    auto other = std::make_shared<Screen>("Other", nullptr);
    navigation->setViewControllersAnimated({other, other, nullptr}, false);
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_EQ(root->parentViewController(), nullptr);
    EXPECT_EQ(other->view()->superview(), navigation->view());
    EXPECT_EQ(navigation->navigationBar()->topItem(), other->navigationItem());
}

TEST_F(UINavigationControllerTest, ItemChangesReachTheBarAndTapsReachTheItem) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Root", nullptr);
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    int taps = 0;
    root->navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        UIBarButtonSystemItemDone, [&](UIBarButtonItem&) { ++taps; }));
    root->setTitle("Renamed");
    window->layoutIfNeeded();
    auto bar = navigation->navigationBar();
    ASSERT_NE(bar->rightView(), nullptr);
    EXPECT_EQ(bar->titleLabel()->text(), "Renamed");
    EXPECT_LE(CGRectGetMaxX(bar->rightView()->frame()), 320 - 8);
    TouchDriver(window).tap(bar->rightView()->convertPointToView({5, 5}, nullptr));
    EXPECT_EQ(taps, 1);
}

TEST_F(UINavigationControllerTest, ATitleFieldKeepsEditingWhileTheButtonsChange) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Root", nullptr);
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    auto field = std::make_shared<UITextField>(CGRectMake(0, 0, 200, 30));
    root->navigationItem()->setTitleView(field);
    window->layoutIfNeeded();
    ASSERT_TRUE(field->becomeFirstResponder());
    root->navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [](UIBarButtonItem&) {}));
    window->layoutIfNeeded();
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(field->superview(), navigation->navigationBar());
    root->navigationItem()->setTitleView(nullptr);
    window->layoutIfNeeded();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(field->superview(), nullptr);
}

TEST_F(UINavigationControllerTest, BarDrawsItsTintAndTitle) {
    auto window = makeWindow({320, 100});
    auto navigation =
        std::make_shared<UINavigationController>(std::make_shared<Screen>("MMMM", nullptr));
    navigation->navigationBar()->setBarTintColor(UIColor::redColor());
    window->setRootViewController(navigation);
    auto image = window->renderImage(1);
    EXPECT_EQ(image->pixelAt(20, 20), 0xFFFF0000u);
    int dark = 0;
    for (size_t x = 130; x < 190; ++x) {
        dark += (image->pixelAt(x, 22) & 0xFF) < 100;
    }
    EXPECT_GT(dark, 5);  // the title's strokes across the middle of the bar
    EXPECT_EQ(image->pixelAt(20, 70), 0xFFFFFFFFu);

    navigation->setNavigationBarHidden(true);
    EXPECT_EQ(navigation->topViewController()->view()->frame(), CGRectMake(0, 0, 320, 100));
    EXPECT_EQ(window->renderImage(1)->pixelAt(20, 20), 0xFFFFFFFFu);
}

TEST_F(UINavigationControllerTest, FormSheetOnThePadIsCentredAndDismissedFromInside) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto window = makeWindow({768, 1024});
    auto host = std::make_shared<Screen>("Host", nullptr);
    window->setRootViewController(host);
    auto inner = std::make_shared<Screen>("Sheet", nullptr);
    auto navigation = std::make_shared<UINavigationController>(inner);
    navigation->setModalPresentationStyle(UIModalPresentationFormSheet);
    host->presentViewControllerAnimatedCompletion(navigation, false, nullptr);
    EXPECT_EQ(navigation->view()->frame(), CGRectMake(114, 202, 540, 620));
    EXPECT_EQ(window->subviews().size(), 3u);  // host, shade, sheet
    EXPECT_EQ(inner->presentingViewController(), host);
    EXPECT_EQ(navigation->visibleViewController(), inner);

    inner->dismissViewControllerAnimatedCompletion(false, nullptr);
    EXPECT_EQ(host->presentedViewController(), nullptr);
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(UINavigationControllerTest, DefaultRotationAnswersFollowTheIdiom) {
    Screen screen("x", nullptr);
    EXPECT_TRUE(screen.shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationPortrait));
    EXPECT_FALSE(
        screen.shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationLandscapeLeft));
    EXPECT_EQ(screen.supportedInterfaceOrientations(), UIInterfaceOrientationMaskAllButUpsideDown);
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    EXPECT_EQ(screen.supportedInterfaceOrientations(), UIInterfaceOrientationMaskAll);
}

}  // namespace

namespace {

// Reopens on the screen the user left: pushes it as its own view loads.
class Restoring : public UIViewController {
  public:
    explicit Restoring(std::shared_ptr<UIViewController> left) : left_(std::move(left)) {}
    void viewDidLoad() override {
        navigationController()->pushViewControllerAnimated(left_, false);
    }

  private:
    std::shared_ptr<UIViewController> left_;
};

TEST_F(UINavigationControllerTest, AScreenPushedWhileTheRootViewLoadsIsTheOneShown) {
    auto window = makeWindow({320, 480});
    auto left = std::make_shared<Screen>("Left", &log);
    auto root = std::make_shared<Restoring>(left);
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    window->layoutIfNeeded();
    EXPECT_EQ(navigation->topViewController(), left);
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(left->view()->superview(), navigation->view());
    EXPECT_EQ(root->view()->superview(), nullptr);
    EXPECT_EQ(navigation->navigationBar()->titleLabel()->text(), "Left");
    // Back goes to the root, which then shows.
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(root->view()->superview(), navigation->view());
}

}  // namespace
