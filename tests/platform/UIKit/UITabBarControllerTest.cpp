#include <memory>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIResponder+Chain.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UIToolbar.h"
#include "UIKitTestSupport.h"

namespace {

class Screen : public UIViewController {
  public:
    Screen(const std::string& title, std::vector<std::string>* log = nullptr) : log_(log) {
        setTitle(title);
    }
    void loadView() override {
        auto label = std::make_shared<UILabel>();
        label->setText(title());
        label->setTextAlignment(NSTextAlignmentCenter);
        setView(label);
    }
    void viewWillAppear(bool) override {
        note("willAppear");
        sizeWhenAppearing = view()->bounds().size;
    }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    CGSize sizeWhenAppearing{};

  private:
    void note(const char* what) {
        if (log_) {
            log_->push_back(title() + " " + what);
        }
    }
    std::vector<std::string>* log_;
};

class Veto : public UITabBarControllerDelegate {
  public:
    bool tabBarControllerShouldSelectViewController(UITabBarController&,
                                                    UIViewController& c) override {
        return c.title() != "Locked";
    }
    void tabBarControllerDidSelectViewController(UITabBarController&,
                                                 UIViewController& c) override {
        chosen.push_back(c.title());
    }
    std::vector<std::string> chosen;
};

// Where a person taps for a tab: the middle of its text on the bar.
CGPoint tabPoint(const UITabBar& bar, const std::string& title) {
    for (const UIVisibleText& text : bar.visibleTexts()) {
        if (text.text == title) {
            return bar.convertPointToView({CGRectGetMidX(text.rect), CGRectGetMidY(text.rect)},
                                          nullptr);
        }
    }
    ADD_FAILURE() << "no tab " << title;
    return {};
}

// A store-like container that takes "done" from any screen inside it.
class Store : public UITabBarController {
  public:
    void done(UIBarButtonItem& item) { finished.push_back(*item.title()); }
    void sort(UIControl&) { finished.push_back("sort"); }
    std::vector<std::string> finished;
};

using UITabBarControllerTest = UIKitTest;

TEST_F(UITabBarControllerTest, SwitchesBetweenTwoNavigationStacksAndShowsABadge) {
    auto window = makeWindow({320, 568});
    std::vector<std::string> log;
    auto mapRoot = std::make_shared<Screen>("Map", &log);
    auto listRoot = std::make_shared<Screen>("List", &log);
    auto maps = std::make_shared<UINavigationController>(mapRoot);
    auto lists = std::make_shared<UINavigationController>(listRoot);
    maps->setTabBarItem(std::make_shared<UITabBarItem>(UITabBarSystemItemFavorites, 1));
    lists->setTabBarItem(std::make_shared<UITabBarItem>(UITabBarSystemItemHistory, 2));
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({maps, lists});
    window->setRootViewController(tabs);
    window->layoutIfNeeded();

    EXPECT_EQ(tabs->selectedIndex(), 0);
    EXPECT_EQ(mapRoot->tabBarController(), tabs);
    maps->setTitle("Maps");  // system items keep their titles
    EXPECT_EQ(maps->tabBarItem()->title(), "Favorites");
    EXPECT_EQ(maps->view()->frame(), CGRectMake(0, 0, 320, 519));
    EXPECT_EQ(tabs->tabBar()->frame(), CGRectMake(0, 519, 320, 49));
    EXPECT_EQ(lists->view()->superview(), nullptr);

    log.clear();
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "History"));
    EXPECT_EQ(tabs->selectedViewController(), lists);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), lists->tabBarItem());
    EXPECT_EQ(maps->view()->superview(), nullptr);
    EXPECT_EQ(lists->view()->superview(), tabs->view());
    EXPECT_EQ(log, (std::vector<std::string>{"List willAppear", "Map didDisappear"}));
    // A screen fits itself to its room while it is about to appear.
    EXPECT_EQ(listRoot->sizeWhenAppearing, CGSizeMake(320, 475));

    // Each stack keeps its own depth.
    lists->pushViewControllerAnimated(std::make_shared<Screen>("Entry"), false);
    tabs->setSelectedIndex(0);
    EXPECT_EQ(maps->viewControllers().size(), 1u);
    tabs->setSelectedIndex(1);
    EXPECT_EQ(lists->topViewController()->title(), "Entry");
    // A tap on the tab already chosen goes back to the stack's root.
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "History"));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(lists->topViewController(), listRoot);

    maps->tabBarItem()->setBadgeValue("3");
    bool badge = false;
    for (const UIVisibleText& text : tabs->tabBar()->visibleTexts()) {
        badge = badge || text.text == "3";
    }
    EXPECT_TRUE(badge);
    EXPECT_TRUE(matchesReference(window->renderImage(1), "tab-bar"));
    maps->tabBarItem()->setBadgeValue("");
    EXPECT_EQ(maps->tabBarItem()->badgeValue(), std::nullopt);
}

TEST_F(UITabBarControllerTest, PushedScreenThatHidesTheBottomBarTakesTheTabBarsRoom) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Root");
    auto navigation = std::make_shared<UINavigationController>(root);
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({navigation, std::make_shared<Screen>("Other")});
    window->setRootViewController(tabs);
    window->layoutIfNeeded();
    auto detail = std::make_shared<Screen>("Detail");
    detail->setHidesBottomBarWhenPushed(true);
    navigation->pushViewControllerAnimated(detail, false);
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    EXPECT_EQ(navigation->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(detail->view()->frame(), CGRectMake(0, 44, 320, 524));
    navigation->popViewControllerAnimated(false);
    EXPECT_FALSE(tabs->tabBar()->isHidden());
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 320, 475));

    // The navigation controller's own toolbar stays, where the tab bar was.
    navigation->pushViewControllerAnimated(detail, true);
    navigation->setToolbarHiddenAnimated(false, true);
    CAFrameClock::shared().advance(1);
    const auto toolbar = navigation->toolbar();
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->frame(), CGRectMake(0, 524, 320, 44));
    EXPECT_EQ(detail->view()->frame(), CGRectMake(0, 44, 320, 480));
    EXPECT_TRUE(CGRectIntersectsRect(toolbar->convertRectToView(toolbar->bounds(), nullptr),
                                     CGRectMake(0, 560, 320, 8)));

    // Back, the tab bar returns and the toolbar stands on it.
    navigation->popViewControllerAnimated(true);
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(tabs->tabBar()->isHidden());
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->frame(), CGRectMake(0, 475, 320, 44));
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 320, 431));
}

TEST_F(UITabBarControllerTest, DelegateMayRefuseATabAndItemsFollowTheControllers) {
    auto window = makeWindow({320, 568});
    auto open = std::make_shared<Screen>("Open");
    auto locked = std::make_shared<Screen>("Locked");
    auto tabs = std::make_shared<UITabBarController>();
    auto veto = std::make_shared<Veto>();
    tabs->setDelegate(veto);
    tabs->setViewControllers({open, locked, open, nullptr});
    ASSERT_EQ(tabs->viewControllers().size(), 2u);
    window->setRootViewController(tabs);
    window->layoutIfNeeded();
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "Locked"));
    EXPECT_EQ(tabs->selectedViewController(), open);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), open->tabBarItem());
    EXPECT_TRUE(veto->chosen.empty());

    // Titles reach the bar; a removed selection falls back to the first tab.
    locked->setTitle("Unlocked");
    EXPECT_EQ(tabs->tabBar()->visibleTexts().at(1).text, "Unlocked");
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "Unlocked"));
    EXPECT_EQ(veto->chosen, std::vector<std::string>{"Unlocked"});
    tabs->setViewControllers({open});
    EXPECT_EQ(tabs->selectedViewController(), open);
    EXPECT_EQ(locked->parentViewController(), nullptr);
    EXPECT_EQ(locked->view()->superview(), nullptr);
    tabs->setSelectedIndex(5);
    EXPECT_EQ(tabs->selectedIndex(), 0);
}

}  // namespace

namespace {

TEST_F(UITabBarControllerTest, NilTargetActionsTravelTheResponderChainToTheContainer) {
    auto window = makeWindow({320, 568});
    auto screen = std::make_shared<Screen>("Maps");
    // Made while the screen is in no container yet.
    auto back = std::make_shared<UIBarButtonItem>("Back to my maps", UIBarButtonItemStyleDone,
                                                  UIBarButtonItemChainAction(&Store::done));
    screen->navigationItem()->setLeftBarButtonItem(back);
    auto control = std::make_shared<UISegmentedControl>(std::vector<std::string>{"A", "B"});
    control->addTargetForControlEvents(UIControlChainAction(&Store::sort),
                                       UIControlEventValueChanged);
    screen->setToolbarItems({std::make_shared<UIBarButtonItem>(control)});
    auto navigation = std::make_shared<UINavigationController>(screen);
    navigation->setToolbarHidden(false);
    auto store = std::make_shared<Store>();
    store->setViewControllers({navigation});
    window->setRootViewController(store);
    window->layoutIfNeeded();
    TouchDriver touches(window);
    touches.tap(back->view()->convertPointToView({5, 5}, nullptr));
    touches.tap(control->convertPointToView({60, 10}, nullptr));
    EXPECT_EQ(store->finished, (std::vector<std::string>{"Back to my maps", "sort"}));

    // Off the chain nothing happens.
    auto lone = std::make_shared<UIBarButtonItem>("Lone", UIBarButtonItemStylePlain,
                                                  UIBarButtonItemChainAction(&Store::done));
    lone->performAction();
    EXPECT_EQ(store->finished.size(), 2u);
}

// A container that keeps the tab chosen last.
class Remembering : public UITabBarController {
  public:
    void setSelectedViewController(const std::shared_ptr<UIViewController>& controller) override {
        UITabBarController::setSelectedViewController(controller);
        chosen.push_back(selectedIndex());
    }
    std::vector<long> chosen;
};

TEST_F(UITabBarControllerTest, ATapOnATabSelectsThroughTheOverridableSelection) {
    auto window = makeWindow({320, 480});
    auto tabs = std::make_shared<Remembering>();
    tabs->setViewControllers(
        {std::make_shared<Screen>("First"), std::make_shared<Screen>("Second")});
    window->setRootViewController(tabs);
    window->layoutIfNeeded();
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "Second"));
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(tabs->chosen, std::vector<long>{1});
    // The tab already chosen takes nothing new.
    TouchDriver(window).tap(tabPoint(*tabs->tabBar(), "Second"));
    EXPECT_EQ(tabs->chosen, std::vector<long>{1});
}

}  // namespace
