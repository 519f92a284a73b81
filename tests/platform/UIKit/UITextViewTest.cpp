#include <gtest/gtest.h>

#include "UIKit/UIPasteboard.h"
#include "UIKit/UITextView.h"
#include "UIKitTestSupport.h"

namespace {

class Changes : public UITextViewDelegate {
  public:
    int changes = 0;
    bool allow = true;
    bool textViewShouldChangeTextInRange(UITextView&, NSRange, const std::string&) override {
        return allow;
    }
    void textViewDidChange(UITextView&) override { ++changes; }
};

class UITextViewTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 200});
        view = std::make_shared<UITextView>(CGRectMake(0, 0, 200, 100));
        window->addSubview(view);
    }
    void TearDown() override {
        view->resignFirstResponder();
        UIKitTest::TearDown();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UITextView> view;
};

TEST_F(UITextViewTest, ReturnMakesLinesAndUpDownMoveBetweenThem) {
    auto changes = std::make_shared<Changes>();
    view->setDelegate(changes);
    ASSERT_TRUE(view->becomeFirstResponder());
    view->insertText("first");
    view->keyPressed(UIKeyboardKeyReturn, 0);
    view->insertText("second");
    EXPECT_EQ(view->text(), "first\nsecond");
    EXPECT_EQ(changes->changes, 3);
    const CGFloat secondLineY = view->caretRect().origin.y;
    view->keyPressed(UIKeyboardKeyUp, 0);
    EXPECT_LT(view->caretRect().origin.y, secondLineY);
    EXPECT_EQ(view->selectedRange().location, 5u);  // end of the shorter first line
    view->keyPressed(UIKeyboardKeyHome, 0);
    EXPECT_EQ(view->selectedRange().location, 0u);
    view->keyPressed(UIKeyboardKeyDown, 0);
    EXPECT_EQ(view->selectedRange().location, 6u);
    changes->allow = false;
    view->insertText("x");
    EXPECT_EQ(view->text(), "first\nsecond");
}

TEST_F(UITextViewTest, TypingPastTheBottomScrollsTheCaretIntoView) {
    view->becomeFirstResponder();
    for (int i = 0; i < 12; ++i) {
        view->insertText("line " + std::to_string(i));
        view->keyPressed(UIKeyboardKeyReturn, 0);
    }
    EXPECT_GT(view->contentSize().height, view->bounds().size.height);
    EXPECT_GT(view->contentOffset().y, 0);
    const CGRect caret = view->caretRect();
    EXPECT_GE(caret.origin.y, view->bounds().origin.y);
    EXPECT_LE(CGRectGetMaxY(caret), CGRectGetMaxY(view->bounds()) + 0.5);
    // Long words wrap at the width instead of running out of the view.
    view->setText(std::string(300, 'm'));
    EXPECT_GT(view->contentSize().height, 100);
}

TEST_F(UITextViewTest, ReadOnlyTextSelectsAndCopiesButDoesNotChange) {
    view->setEditable(false);
    view->setText("Read only");
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_FALSE(view->isTextInput());
    view->insertText("x");
    view->deleteBackward();
    EXPECT_EQ(view->text(), "Read only");
    EXPECT_FALSE(view->canPerformAction(UIEditActionPaste, nullptr));
    view->performEditAction(UIEditActionSelectAll, nullptr);
    view->performEditAction(UIEditActionCopy, nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "Read only");
    ASSERT_EQ(view->visibleTexts().size(), 1u);
    EXPECT_EQ(view->visibleTexts()[0].text, "Read only");
}

}  // namespace
