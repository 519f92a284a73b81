#include <gtest/gtest.h>

#include "QuartzCore/CAFrameClock.h"
#include "SdkTestSupport.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaBaseManager.h"
#include "sdk/BITZizavaBaseViewController.h"
#include "sdk/BITZizavaManagerDelegate.h"

namespace {

class HostDelegate : public BITZizavaManagerDelegate {
  public:
    std::shared_ptr<UIViewController> viewControllerForZizavaManagerComponentManager(
        BITZizavaManager&, BITZizavaBaseManager&) override {
        return controller;
    }
    std::shared_ptr<UIViewController> controller;
};

class BITZizavaBaseScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        CAFrameClock::shared().setManual(true);
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<BITZizavaBaseManager> manager =
        std::make_shared<BITZizavaBaseManager>("app", BITAppEnvironmentOther);
};

TEST_F(BITZizavaBaseScreenTest, WithoutARootControllerTheScreenLiesOnTheWindowUntilDone) {
    LogCapture log;
    auto screen = std::make_shared<BITZizavaBaseViewController>(true);
    manager->showView(screen);
    EXPECT_TRUE(
        log.contains("INFO: No rootViewController found, using UIWindow-approach: <UIWindow"));
    EXPECT_FALSE(screen->modalAnimated());
    auto navigation = manager->navController();
    ASSERT_NE(navigation, nullptr);
    EXPECT_EQ(navigation->view()->superview(), window);
    EXPECT_EQ(navigation->modalPresentationStyle(), UIModalPresentationFormSheet);
    // The SDK's bar look: default style, buttons in the system blue.
    const UIColor tint = navigation->navigationBar()->tintColor();
    EXPECT_EQ(tint, UIColor::colorWithRedGreenBlueAlpha(0, 122.0 / 255, 1, 1));

    auto done = screen->navigationItem()->leftBarButtonItem();
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->title(), "Done");
    done->performAction();
    EXPECT_EQ(navigation->view()->superview(), nullptr);
}

TEST_F(BITZizavaBaseScreenTest, OnTheRootControllerTheScreenIsPresentedAndDismissed) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    manager->setModalPresentationStyle(UIModalPresentationFullScreen);
    manager->setNavigationBarTintColor(UIColor::redColor());
    auto screen = std::make_shared<BITZizavaBaseViewController>(UITableViewStyleGrouped, true);
    screen->setModalAnimated(false);
    manager->showView(screen);
    auto navigation = manager->navController();
    EXPECT_EQ(root->presentedViewController(), navigation);
    EXPECT_TRUE(screen->modalAnimated());
    // Forced to a sheet on the pad, whatever the manager's style.
    EXPECT_EQ(navigation->modalPresentationStyle(), UIModalPresentationFormSheet);
    EXPECT_EQ(navigation->navigationBar()->tintColor(), UIColor::redColor());
    CAFrameClock::shared().advance(1);

    screen->onDismissModal();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(navigation->view()->superview(), nullptr);
}

TEST_F(BITZizavaBaseScreenTest, AParentStillBeingPresentedDelaysTheScreen) {
    LogCapture log;
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    auto first = std::make_shared<BITZizavaBaseViewController>(true);
    auto second = std::make_shared<BITZizavaBaseViewController>(true);
    manager->showView(first);
    auto firstNavigation = manager->navController();
    // The first sheet is still sliding in: it is the parent, and busy.
    manager->showView(second);
    EXPECT_TRUE(log.contains("Delaying presenting the new view controller by 0.5s."));
    EXPECT_EQ(manager->navController(), firstNavigation);
    CAFrameClock::shared().advance(1);
    ASSERT_TRUE(runMainLoopUntil([&] { return manager->navController() != firstNavigation; }, 30));
    EXPECT_EQ(firstNavigation->presentedViewController(), manager->navController());
}

TEST_F(BITZizavaBaseScreenTest, TheDelegateChoosesTheParentAndItsPresentedChainIsFollowed) {
    auto delegate = std::make_shared<HostDelegate>();
    delegate->controller = std::make_shared<UIViewController>();
    window->setRootViewController(std::make_shared<UIViewController>());
    delegate->controller->view()->setFrame(window->bounds());
    window->addSubview(delegate->controller->view());
    auto presented = std::make_shared<UIViewController>();
    delegate->controller->presentViewControllerAnimatedCompletion(presented, false, nullptr);
    manager->setDelegate(delegate);
    EXPECT_EQ(manager->visibleWindowRootViewController(), presented);
    delegate->controller = nullptr;
    EXPECT_EQ(manager->visibleWindowRootViewController(), window->rootViewController());
}

TEST_F(BITZizavaBaseScreenTest, AHiddenKeyWindowGivesWayToAShownWindowWithARoot) {
    LogCapture log;
    auto other = std::make_shared<UIWindow>();
    other->setRootViewController(std::make_shared<UIViewController>());
    other->makeKeyAndVisible();
    window->makeKeyWindow();
    window->setHidden(true);
    EXPECT_EQ(manager->findVisibleWindow(), other);
    EXPECT_TRUE(log.contains("INFO: UIWindow with rootViewController found:"));
    other->setHidden(true);
    EXPECT_EQ(manager->findVisibleWindow(), window);  // nothing shown: the hidden key window
}

TEST_F(BITZizavaBaseScreenTest, PushedScreensPopAndRotationFollowsTheIdiom) {
    auto root = std::make_shared<UIViewController>();
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    auto pushed = std::make_shared<BITZizavaBaseViewController>(UITableViewStylePlain);
    EXPECT_EQ(pushed->navigationItem()->leftBarButtonItem(), nullptr);
    navigation->pushViewControllerAnimated(pushed, false);
    pushed->onDismissModal();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(navigation->topViewController(), root);

    EXPECT_FALSE(
        pushed->shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationPortraitUpsideDown));
    EXPECT_TRUE(
        pushed->shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationLandscapeLeft));
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    EXPECT_TRUE(
        pushed->shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationPortraitUpsideDown));
}

}  // namespace
