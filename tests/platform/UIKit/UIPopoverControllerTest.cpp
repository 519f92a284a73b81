#include <memory>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "UIKitTestSupport.h"

namespace {

class Content : public UIViewController {
  public:
    void loadView() override {
        auto label = std::make_shared<UILabel>();
        label->setText("Popover content");
        label->setTextAlignment(NSTextAlignmentCenter);
        setView(label);
    }
    void viewWillAppear(bool) override { log.push_back("willAppear"); }
    void viewDidDisappear(bool) override { log.push_back("didDisappear"); }
    std::vector<std::string> log;
};

// Sizes itself the older way.
class Small : public Content {
  public:
    CGSize contentSizeForViewInPopover() const override { return {320, 200}; }
};

class Keeper : public UIPopoverControllerDelegate {
  public:
    bool popoverControllerShouldDismissPopover(UIPopoverController&) override {
        ++asked;
        return allow;
    }
    void popoverControllerDidDismissPopover(UIPopoverController&) override { ++dismissed; }
    bool allow = false;
    int asked = 0;
    int dismissed = 0;
};

class UIPopoverControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    }
    void TearDown() override {
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
        UIKitTest::TearDown();
    }
};

TEST_F(UIPopoverControllerTest, OpensFromABarItemAndClosesOnATapOutside) {
    auto window = makeWindow({768, 1024});
    auto root = std::make_shared<UIViewController>();
    root->setTitle("Library");
    auto navigation = std::make_shared<UINavigationController>(root);
    auto share = std::make_shared<UIBarButtonItem>("Share", UIBarButtonItemStylePlain, nullptr);
    auto filter = std::make_shared<UIBarButtonItem>("Filter", UIBarButtonItemStylePlain, nullptr);
    root->navigationItem()->setRightBarButtonItem(filter);
    root->setToolbarItems({share});
    navigation->setToolbarHidden(false);
    window->setRootViewController(navigation);
    window->layoutIfNeeded();

    auto content = std::make_shared<Content>();
    content->setPreferredContentSize({300, 200});
    auto keeper = std::make_shared<Keeper>();
    std::weak_ptr<UIPopoverController> weak;
    {
        auto popover = std::make_shared<UIPopoverController>(content);
        popover->setDelegate(keeper);
        weak = popover;
        popover->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
            filter, UIPopoverArrowDirectionAny, true);
    }
    // Shown, the popover keeps itself alive.
    auto popover = weak.lock();
    ASSERT_NE(popover, nullptr);
    CAFrameClock::shared().advance(1);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(content->log, std::vector<std::string>{"willAppear"});
    // Below the item at the top right, with the arrow up, inside the window.
    const CGRect item = filter->view()->convertRectToView(filter->view()->bounds(), nullptr);
    const CGRect box = popover->popoverFrame();
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionUp);
    EXPECT_EQ(box.size, CGSizeMake(300, 200));
    EXPECT_NEAR(box.origin.y, CGRectGetMaxY(item) + 13, 0.5);
    EXPECT_LE(CGRectGetMaxX(box), 768 - 10);
    EXPECT_EQ(content->view()->window(), window);
    EXPECT_TRUE(matchesReference(window->renderImage(1), "popover"));

    // A tap inside goes to the content; one outside asks the delegate.
    TouchDriver touches(window);
    touches.tap({CGRectGetMidX(box), CGRectGetMidY(box)});
    EXPECT_EQ(keeper->asked, 0);
    touches.tap({100, 500});
    EXPECT_EQ(keeper->asked, 1);
    EXPECT_TRUE(popover->isPopoverVisible());
    keeper->allow = true;
    touches.tap({100, 500});
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(keeper->dismissed, 1);
    EXPECT_EQ(content->view()->window(), nullptr);
    EXPECT_EQ(content->log, (std::vector<std::string>{"willAppear", "didDisappear"}));
    EXPECT_EQ(window->subviews().size(), 1u);

    // From the toolbar at the bottom the box stands above, arrow down; a
    // dismissal in code tells the delegate nothing.
    popover->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
        share, UIPopoverArrowDirectionAny, false);
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionDown);
    const CGRect shareFrame = share->view()->convertRectToView(share->view()->bounds(), nullptr);
    EXPECT_NEAR(CGRectGetMaxY(popover->popoverFrame()), shareFrame.origin.y - 13, 0.5);
    popover->dismissPopoverAnimated(false);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(keeper->dismissed, 1);
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionUnknown);
}

TEST_F(UIPopoverControllerTest, TakesAPermittedSideAndShrinksWhenNothingFits) {
    auto window = makeWindow({768, 1024});
    auto anchor = std::make_shared<UIView>(CGRectMake(20, 400, 40, 40));
    window->addSubview(anchor);
    auto popover = std::make_shared<UIPopoverController>(std::make_shared<Content>());
    popover->setPopoverContentSize({320, 300});
    popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
        anchor->bounds(), anchor, UIPopoverArrowDirectionLeft | UIPopoverArrowDirectionRight,
        false);
    // Only the side to the right of the anchor has room.
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionLeft);
    EXPECT_EQ(popover->popoverFrame().origin.x, 60 + 13);

    popover->setPopoverContentSize({320, 2000});
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionLeft);
    EXPECT_EQ(popover->popoverFrame().size.height, 1024 - 20 - 10);
    popover->dismissPopoverAnimated(false);

    auto small = std::make_shared<UIPopoverController>(std::make_shared<Small>());
    small->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
        anchor->bounds(), anchor, UIPopoverArrowDirectionAny, false);
    EXPECT_EQ(small->popoverFrame().size, CGSizeMake(320, 200));
    EXPECT_EQ(small->popoverArrowDirection(), UIPopoverArrowDirectionUp);
    small->dismissPopoverAnimated(false);
}

}  // namespace
