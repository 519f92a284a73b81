#include <string>
#include <vector>

#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKitTestSupport.h"

namespace {

class UIControlTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({300, 300});
        touches = std::make_unique<TouchDriver>(window);
    }
    std::shared_ptr<UIWindow> window;
    std::unique_ptr<TouchDriver> touches;
};

TEST_F(UIControlTest, ButtonSendsTouchEventsAndHighlights) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(50, 50, 100, 40));
    window->addSubview(button);
    std::vector<std::string> events;
    button->addTargetForControlEvents([&](UIControl&) { events.push_back("down"); },
                                      UIControlEventTouchDown);
    const int up = button->addTargetForControlEvents([&](UIControl&) { events.push_back("up"); },
                                                     UIControlEventTouchUpInside);
    button->addTargetForControlEvents([&](UIControl&) { events.push_back("outside"); },
                                      UIControlEventTouchUpOutside);
    touches->down({{60, 60}});
    EXPECT_TRUE(button->isHighlighted());
    touches->up();
    EXPECT_FALSE(button->isHighlighted());
    // Dragged far away: released outside.
    touches->down({{60, 60}});
    touches->move({{290, 290}});
    EXPECT_FALSE(button->isHighlighted());
    touches->up();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up", "down", "outside"}));

    button->removeTarget(up);
    button->setEnabled(false);
    events.clear();
    touches->tap({60, 60});
    EXPECT_TRUE(events.empty());
}

TEST_F(UIControlTest, ButtonContentFallsBackToTheNormalState) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    window->addSubview(button);
    button->setTitleForState("Go", UIControlStateNormal);
    button->setTitleForState("Going", UIControlStateHighlighted);
    button->setTitleColorForState(UIColor::redColor(), UIControlStateNormal);
    EXPECT_EQ(button->currentTitle(), "Go");
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "Going");
    EXPECT_EQ(button->titleLabel()->text(), "Going");
    button->setHighlighted(false);
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "Go");
    EXPECT_EQ(button->titleColorForState(UIControlStateSelected), UIColor::redColor());
    button->setContentEdgeInsets(UIEdgeInsetsMake(5, 10, 5, 10));
    const CGSize fit = button->sizeThatFits(CGSizeZero);
    const CGSize title = button->titleLabel()->sizeThatFits(CGSizeZero);
    EXPECT_EQ(fit, CGSizeMake(title.width + 20, title.height + 10));

    auto system = UIButton::buttonWithType(UIButtonTypeSystem);
    window->addSubview(system);
    system->setTitleForState("Tint", UIControlStateNormal);
    window->setTintColor(UIColor::greenColor());
    EXPECT_EQ(system->titleLabel()->textColor(), UIColor::greenColor());
}

// Disabled, a button shows it: its title in the disabled state's colour
// (grey for a system button), its images faded unless it has disabled ones
// of its own, and all of it back as it was once enabled again.
TEST_F(UIControlTest, ADisabledButtonLooksDisabled) {
    auto image = UIImage::imageWithCGImage(CGContext::createBitmapContext(10, 10)->createImage());
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    window->addSubview(button);
    button->setTitleForState("Go", UIControlStateNormal);
    button->setTitleColorForState(UIColor::redColor(), UIControlStateNormal);
    button->setTitleColorForState(UIColor::grayColor(), UIControlStateDisabled);
    button->setImageForState(image, UIControlStateNormal);
    button->setBackgroundImageForState(image, UIControlStateNormal);
    button->setEnabled(false);
    EXPECT_EQ(button->titleLabel()->textColor(), UIColor::grayColor());
    EXPECT_LT(button->imageView()->alpha(), 1);
    ASSERT_EQ(button->subviews().size(), 3u);
    auto background = button->subviews().front();
    EXPECT_LT(background->alpha(), 1);

    button->setAdjustsImageWhenDisabled(false);
    EXPECT_EQ(button->imageView()->alpha(), 1);
    EXPECT_EQ(background->alpha(), 1);
    button->setAdjustsImageWhenDisabled(true);
    button->setImageForState(image, UIControlStateDisabled);
    EXPECT_EQ(button->imageView()->alpha(), 1);
    button->setEnabled(true);
    EXPECT_EQ(button->titleLabel()->textColor(), UIColor::redColor());
    EXPECT_EQ(background->alpha(), 1);

    auto system = UIButton::buttonWithType(UIButtonTypeSystem);
    window->addSubview(system);
    system->setTitleForState("Tint", UIControlStateNormal);
    system->setEnabled(false);
    EXPECT_NE(system->titleLabel()->textColor(), system->tintColor());
}

TEST_F(UIControlTest, AlertViewReportsTheTappedButtonAndGoesAway) {
    struct Delegate : UIAlertViewDelegate {
        std::vector<std::string> log;
        void willPresentAlertView(UIAlertView&) override { log.push_back("willPresent"); }
        void didPresentAlertView(UIAlertView&) override { log.push_back("didPresent"); }
        void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override {
            log.push_back("clicked " + std::to_string(index) + " tag " +
                          std::to_string(alert.tag()));
        }
        void alertViewWillDismissWithButtonIndex(UIAlertView&, long) override {
            log.push_back("willDismiss");
        }
        void alertViewDidDismissWithButtonIndex(UIAlertView&, long) override {
            log.push_back("didDismiss");
        }
    };
    auto delegate = std::make_shared<Delegate>();
    auto alert =
        std::make_shared<UIAlertView>("Delete map?", "The map's files are removed.", delegate,
                                      "Cancel", std::vector<std::string>{"Delete"});
    alert->setTag(42);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Delete");
    EXPECT_EQ(alert->buttonTitleAtIndex(5), "");
    alert->show();
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->superview(), window);
    EXPECT_TRUE(matchesReference(window->renderImage(1), "alert"));

    // Tap the "Delete" button where it is drawn.
    const auto& deleteButton = alert->buttons()[1];
    const CGRect frame = deleteButton->convertRectToView(deleteButton->bounds(), nullptr);
    touches->tap({CGRectGetMidX(frame), CGRectGetMidY(frame)});
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(alert->superview(), nullptr);
    EXPECT_EQ(delegate->log,
              (std::vector<std::string>{"willPresent", "didPresent", "clicked 1 tag 42",
                                        "willDismiss", "didDismiss"}));
}

// A message from outside may be a megabyte (a version string of a store
// answer): the alert shows its start and stays on the screen, buttons and all.
TEST_F(UIControlTest, AlertWithAHugeMessageStaysOnTheScreen) {
    std::string message;
    while (message.size() < (size_t{1} << 20))
        message += "1.0.0-beta ";
    auto alert = std::make_shared<UIAlertView>("Update available", message,
                                               std::weak_ptr<UIAlertViewDelegate>(), "Ignore",
                                               std::vector<std::string>{"Remind me", "Show"});
    alert->show();
    window->layoutIfNeeded();
    for (const auto& button : alert->buttons()) {
        const CGRect frame = button->convertRectToView(button->bounds(), nullptr);
        EXPECT_TRUE(CGRectContainsRect(window->bounds(), frame));
    }
    alert->dismissWithClickedButtonIndexAnimated(0, false);
}

TEST_F(UIControlTest, ButtonTitlesUseTheRoomTheirInsetsLeave) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(std::string("Download Wikipedia articles"), UIControlStateNormal);
    const CGFloat natural = button->titleLabel()->sizeThatFits(CGSizeZero).width;
    button->setTitleEdgeInsets(UIEdgeInsetsMake(0, 7, 0, 7));
    // Room enough beside the insets: the whole title, moved by the insets.
    button->setFrame(CGRectMake(0, 0, natural + 40, 40));
    window->addSubview(button);
    button->layoutIfNeeded();
    EXPECT_EQ(button->titleLabel()->frame().size.width, natural);
    EXPECT_EQ(button->titleLabel()->frame().origin.x, 20);
    // Too little: the title gets what the insets leave.
    button->setFrame(CGRectMake(0, 0, natural, 40));
    button->layoutIfNeeded();
    EXPECT_EQ(button->titleLabel()->frame().size.width, natural - 14);
    EXPECT_EQ(button->titleLabel()->frame().origin.x, 7);
}

TEST_F(UIControlTest, AlertButtonsShareARowOnlyWhenBothTitlesFit) {
    auto buttonFrames = [](const std::shared_ptr<UIAlertView>& alert) {
        alert->show();
        alert->layoutIfNeeded();
        std::vector<CGRect> frames;
        for (const auto& button : alert->buttons())
            frames.push_back(button->frame());
        alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
        return frames;
    };
    auto shortTitles = buttonFrames(
        std::make_shared<UIAlertView>("Notice", "Text", std::weak_ptr<UIAlertViewDelegate>{}, "OK",
                                      std::vector<std::string>{"Open"}));
    EXPECT_EQ(shortTitles[0].origin.y, shortTitles[1].origin.y);

    // A title too wide for half the box puts the buttons under each other,
    // each as wide as the box, the cancel button last.
    auto longTitle = buttonFrames(
        std::make_shared<UIAlertView>("Notice", "Text", std::weak_ptr<UIAlertViewDelegate>{}, "OK",
                                      std::vector<std::string>{"More information"}));
    EXPECT_GT(longTitle[0].origin.y, longTitle[1].origin.y);
    for (const auto& frame : longTitle)
        EXPECT_EQ(frame.size.width, 270);
}

}  // namespace
