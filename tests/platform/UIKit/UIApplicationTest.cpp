#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "UIKit/UIApplication.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

// A delegate that keeps its window (with a controller and a subview) until
// the application itself goes at exit.
void exitWhileTheDelegateHoldsAWindow() {
    auto delegate = std::make_shared<UIApplicationDelegate>();
    delegate->window = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    delegate->window->setRootViewController(std::make_shared<UIViewController>());
    delegate->window->addSubview(std::make_shared<UIView>());
    delegate->window->makeKeyAndVisible();
    UIApplication::sharedApplication()->setDelegate(delegate);
    delegate.reset();
    std::fputs("leaving\n", stderr);
    std::exit(0);
}

}  // namespace

TEST(UIApplicationDeathTest, ExitWithAWindowStillHeldByTheDelegateIsClean) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhileTheDelegateHoldsAWindow(), testing::ExitedWithCode(0), "leaving");
}

TEST(UIApplicationTest, WindowsLeaveTheApplicationWhenTheyGo) {
    auto application = UIApplication::sharedApplication();
    EXPECT_EQ(UIApplication::existingApplication(), application);
    const size_t before = application->windows().size();
    {
        auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 10, 10));
        window->makeKeyAndVisible();
        EXPECT_EQ(application->windows().size(), before + 1);
        EXPECT_EQ(application->keyWindow(), window);
    }
    EXPECT_EQ(application->windows().size(), before);
    EXPECT_EQ(application->keyWindow(), nullptr);
}
