#include <memory>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIToolbar.h"
#include "UIKitTestSupport.h"

namespace {

class Chooser : public UIActionSheetDelegate {
  public:
    void actionSheetClickedButtonAtIndex(UIActionSheet& sheet, long index) override {
        log.push_back("clicked " + sheet.buttonTitleAtIndex(index));
    }
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) override {
        log.push_back("dismissed " + std::to_string(index) + " tag " + std::to_string(sheet.tag()));
    }
    std::vector<std::string> log;
};

CGPoint centreInWindow(const std::shared_ptr<UIView>& view) {
    const CGRect b = view->bounds();
    return view->convertPointToView({CGRectGetMidX(b), CGRectGetMidY(b)}, nullptr);
}

class UIActionSheetTest : public UIKitTest {
  protected:
    void TearDown() override {
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
        UIKitTest::TearDown();
    }
};

TEST_F(UIActionSheetTest, RisesOnThePhoneAndReportsTheChosenButton) {
    auto window = makeWindow({320, 568});
    auto chooser = std::make_shared<Chooser>();
    std::weak_ptr<UIActionSheet> weak;
    {
        auto sheet = std::make_shared<UIActionSheet>("Remove this bookmark?", chooser, "Cancel",
                                                     "Delete", std::vector<std::string>{"Share"});
        EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
        EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
        EXPECT_EQ(sheet->cancelButtonIndex(), 2);
        EXPECT_EQ(sheet->addButtonWithTitle("Copy"), 3);
        sheet->setTag(7);
        sheet->showInView(window);
        weak = sheet;
    }
    auto sheet = weak.lock();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    CAFrameClock::shared().advance(1);
    window->layoutIfNeeded();
    // The cancel button sits alone at the bottom, the others above it in order.
    const auto& buttons = sheet->buttons();
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_NEAR(centreInWindow(buttons[2]).y, 568 - 8 - 25, 0.5);
    EXPECT_LT(centreInWindow(buttons[0]).y, centreInWindow(buttons[1]).y);
    EXPECT_LT(centreInWindow(buttons[3]).y, centreInWindow(buttons[2]).y);
    EXPECT_TRUE(matchesReference(window->renderImage(1), "action-sheet"));

    // A tap on the dim screen chooses nothing; a tap on a button reports it.
    TouchDriver(window).tap({160, 40});
    EXPECT_TRUE(chooser->log.empty());
    TouchDriver(window).tap(centreInWindow(buttons[1]));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(chooser->log, (std::vector<std::string>{"clicked Share", "dismissed 1 tag 7"}));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->superview(), nullptr);
    sheet.reset();
    EXPECT_TRUE(weak.expired());
}

// On a phone on its side a long sheet keeps its cancel button at the foot
// and lets its other buttons scroll, from the first, which a drag brings into
// reach; a sheet that fits does not scroll.
TEST_F(UIActionSheetTest, ALongSheetScrollsOnAShortScreen) {
    auto window = makeWindow({568, 320});
    auto chooser = std::make_shared<Chooser>();
    std::vector<std::string> languages{"Deutsch",    "English", "Français", "Italiano",
                                       "Nederlands", "Polski",  "Svenska"};
    auto sheet = std::make_shared<UIActionSheet>("Articles in which language?", chooser, "Cancel",
                                                 std::nullopt, languages);
    sheet->showInView(window);
    CAFrameClock::shared().advance(1);
    window->layoutIfNeeded();
    const auto& buttons = sheet->buttons();
    EXPECT_NEAR(centreInWindow(buttons.back()).y, 320 - 8 - 25, 0.5);
    const auto list = std::dynamic_pointer_cast<UIScrollView>(buttons.front()->superview());
    ASSERT_NE(list, nullptr);
    const CGRect shown = list->convertRectToView(list->bounds(), nullptr);
    EXPECT_GE(shown.origin.y, 0);
    EXPECT_GT(list->contentSize().height, shown.size.height);
    EXPECT_NEAR(centreInWindow(buttons.front()).y - shown.origin.y, 25 + 40, 20);
    // The last language lies below the list's foot until a drag brings it up.
    const CGFloat foot = CGRectGetMaxY(shown);
    EXPECT_GT(centreInWindow(buttons[6]).y, foot);
    TouchDriver(window).drag({284, foot - 20}, {284, shown.origin.y + 10}, 20, 0.4);
    CAFrameClock::shared().advance(2);
    EXPECT_LT(centreInWindow(buttons[6]).y, foot);
    TouchDriver(window).tap(centreInWindow(buttons[6]));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(chooser->log.front(), "clicked Svenska");

    auto upright = makeWindow({320, 568});
    auto fits = std::make_shared<UIActionSheet>("", chooser, "Cancel", std::nullopt,
                                                std::vector<std::string>{"Deutsch", "English"});
    fits->showInView(upright);
    CAFrameClock::shared().advance(1);
    upright->layoutIfNeeded();
    const auto group =
        std::dynamic_pointer_cast<UIScrollView>(fits->buttons().front()->superview());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->contentSize().height, group->bounds().size.height);
}

TEST_F(UIActionSheetTest, ShowsInAPopoverOnThePadWhereATapOutsideCancels) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto window = makeWindow({768, 1024});
    auto toolbar = std::make_shared<UIToolbar>(CGRectMake(0, 980, 768, 44));
    auto item = std::make_shared<UIBarButtonItem>("Actions", UIBarButtonItemStylePlain, nullptr);
    toolbar->setItems({item});
    window->addSubview(toolbar);
    window->layoutIfNeeded();
    auto chooser = std::make_shared<Chooser>();
    auto sheet = std::make_shared<UIActionSheet>(std::nullopt, chooser, "Cancel", std::nullopt,
                                                 std::vector<std::string>{"Open", "Mail"});
    sheet->showFromBarButtonItemAnimated(item, false);
    window->layoutIfNeeded();
    EXPECT_TRUE(sheet->isVisible());
    // No cancel button in a popover: a tap outside stands for it.
    EXPECT_EQ(sheet->buttons()[2], nullptr);
    ASSERT_NE(sheet->buttons()[0], nullptr);
    EXPECT_LT(centreInWindow(sheet->buttons()[0]).y, 980);
    EXPECT_EQ(sheet->buttons()[0]->frame().size.width, 272);
    TouchDriver(window).tap({400, 200});
    EXPECT_EQ(chooser->log, (std::vector<std::string>{"clicked Cancel", "dismissed 2 tag 0"}));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(window->subviews().size(), 1u);

    // From the toolbar: the popover points at the bar from above.
    sheet->showFromToolbar(toolbar);
    window->layoutIfNeeded();
    EXPECT_LT(centreInWindow(sheet->buttons()[1]).y, 980);
    sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
    EXPECT_EQ(window->subviews().size(), 1u);

    // Shown again it still works: a button tap reports its index.
    chooser->log.clear();
    sheet->showFromRectInViewAnimated(CGRectMake(300, 300, 10, 10), window, false);
    window->layoutIfNeeded();
    TouchDriver(window).tap(centreInWindow(sheet->buttons()[1]));
    EXPECT_EQ(chooser->log, (std::vector<std::string>{"clicked Mail", "dismissed 1 tag 0"}));
}

}  // namespace
