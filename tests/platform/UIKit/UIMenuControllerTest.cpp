#include "UIKit/UIMenuController.h"

#include <gtest/gtest.h>

#include "UIKitTestSupport.h"

namespace {

// A view whose text can be copied, as a held phone number's label.
class CopyableView : public UIView {
  public:
    using UIView::UIView;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(UIEditAction action, UIResponder*) const override {
        return action == UIEditActionCopy;
    }
};

class UIMenuControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 568});
        screen = std::make_shared<UIView>(window->bounds());
        window->addSubview(screen);
        label = std::make_shared<CopyableView>(CGRectMake(20, 200, 200, 44));
        screen->addSubview(label);
    }
    void TearDown() override {
        menu->setMenuVisibleAnimated(false, false);
        UIKitTest::TearDown();
    }
    void showMenu() {
        ASSERT_TRUE(label->becomeFirstResponder());
        menu->setTargetRectInView(label->bounds(), label);
        menu->setMenuVisibleAnimated(true, false);
        ASSERT_TRUE(menu->isMenuVisible());
    }
    std::shared_ptr<UIMenuController> menu = UIMenuController::sharedMenuController();
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> screen;
    std::shared_ptr<CopyableView> label;
};

}  // namespace

TEST_F(UIMenuControllerTest, TheBubbleClosesAtATouchElsewhereOrWithItsScreen) {
    showMenu();
    // A touch on the bubble keeps it for its button.
    const CGPoint onBubble = menu->menuView()->center();
    TouchDriver finger(window);
    finger.down({onBubble});
    EXPECT_TRUE(menu->isMenuVisible());
    finger.up();
    menu->setMenuVisibleAnimated(true, false);
    ASSERT_TRUE(menu->isMenuVisible());
    // A touch anywhere else closes it.
    TouchDriver(window).tap({160, 500});
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_FALSE(menu->menuView());

    // The screen with the label goes: so does the bubble, not left over
    // the screen below.
    showMenu();
    screen->removeFromSuperview();
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_TRUE(window->subviews().empty());
}
