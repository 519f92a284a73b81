#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIKeyboard.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITextField.h"
#include "UIKitTestSupport.h"

namespace {

class Recorder : public UITextFieldDelegate {
  public:
    std::vector<std::string> calls;
    bool allowChange = true;
    bool allowReturn = true;
    bool textFieldShouldBeginEditing(UITextField&) override {
        calls.push_back("shouldBegin");
        return true;
    }
    void textFieldDidBeginEditing(UITextField&) override { calls.push_back("didBegin"); }
    void textFieldDidEndEditing(UITextField&) override { calls.push_back("didEnd"); }
    bool textFieldShouldChangeCharactersInRange(UITextField&, NSRange range,
                                                const std::string& text) override {
        calls.push_back("change " + std::to_string(range.location) + "+" +
                        std::to_string(range.length) + " " + text);
        return allowChange;
    }
    bool textFieldShouldReturn(UITextField&) override {
        calls.push_back("return");
        return allowReturn;
    }
};

class UITextFieldTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 200});
        field = std::make_shared<UITextField>(CGRectMake(10, 10, 200, 30));
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        window->addSubview(field);
    }
    void TearDown() override {
        field->resignFirstResponder();
        UIKeyboardSetVirtualHeight(0);
        UIPasteboard::generalPasteboard()->setString("");
        UIKitTest::TearDown();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UITextField> field;
};

TEST_F(UITextFieldTest, CaretStepsOverWholeCharacters) {
    // e + combining acute, a thumbs-up with a skin tone, a flag, then "x".
    const std::string e = "e\u0301", thumb = "\U0001F44D\U0001F3FD", flag = "\U0001F1E9\U0001F1EA";
    field->setText(e + thumb + flag + "x");
    ASSERT_TRUE(field->becomeFirstResponder());
    field->keyPressed(UIKeyboardKeyLeft, 0);
    field->keyPressed(UIKeyboardKeyLeft, 0);
    EXPECT_EQ(field->selectedRange().location, e.size() + thumb.size());
    field->deleteBackward();
    EXPECT_EQ(field->text(), e + flag + "x");
    field->keyPressed(UIKeyboardKeyDelete, 0);
    EXPECT_EQ(field->text(), e + "x");
    // A caret asked for inside a character goes to its edge.
    field->setSelectedRange({1, 0});
    EXPECT_EQ(field->selectedRange().location, 0u);
    field->setSelectedRange({1, 1});
    EXPECT_EQ(field->selectedRange(), NSMakeRange(0, e.size()));
    field->keyPressed(UIKeyboardKeyEnd, 0);
    field->keyPressed(UIKeyboardKeyLeft, UIKeyModifierShift);
    field->keyPressed(UIKeyboardKeyLeft, UIKeyModifierShift);
    EXPECT_EQ(field->selectedRange(), NSMakeRange(0, e.size() + 1));
}

TEST_F(UITextFieldTest, InputIsCleanedToOneLineOfValidText) {
    field->becomeFirstResponder();
    field->insertText("a\r\nb\nc\x01\xff");
    EXPECT_EQ(field->text(), "a b c\xEF\xBF\xBD");
    field->setMarkedText("ka");
    EXPECT_EQ(field->text(), "a b c\xEF\xBF\xBD");
    EXPECT_EQ(field->markedText(), "ka");
    field->insertText("\u304B");
    EXPECT_EQ(field->text(), "a b c\xEF\xBF\xBD\u304B");
    EXPECT_TRUE(field->markedText().empty());
}

TEST_F(UITextFieldTest, DelegateAndEditingEventsComeInOrder) {
    auto recorder = std::make_shared<Recorder>();
    field->setDelegate(recorder);
    std::vector<std::string> events;
    field->addTargetForControlEvents([&](UIControl&) { events.push_back("begin"); },
                                     UIControlEventEditingDidBegin);
    field->addTargetForControlEvents([&](UIControl&) { events.push_back("changed"); },
                                     UIControlEventEditingChanged);
    field->addTargetForControlEvents([&](UIControl&) { events.push_back("end"); },
                                     UIControlEventEditingDidEnd);
    TouchDriver(window).tap({100, 25});
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(field->isEditing());
    field->insertText("ab");
    recorder->allowChange = false;
    field->insertText("c");
    EXPECT_EQ(field->text(), "ab");
    recorder->allowReturn = false;
    field->keyPressed(UIKeyboardKeyReturn, 0);
    EXPECT_TRUE(field->isEditing());
    // Return ends editing once someone listens for "did end on exit".
    recorder->allowReturn = true;
    field->addTargetForControlEvents([&](UIControl&) { events.push_back("exit"); },
                                     UIControlEventEditingDidEndOnExit);
    field->keyPressed(UIKeyboardKeyReturn, 0);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(recorder->calls,
              (std::vector<std::string>{"shouldBegin", "didBegin", "change 0+0 ab", "change 2+0 c",
                                        "return", "return", "didEnd"}));
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "changed", "exit", "end"}));
}

TEST_F(UITextFieldTest, PlaceholderClearButtonAndVisibleText) {
    field->setPlaceholder("Name");
    field->setClearButtonMode(UITextFieldViewModeWhileEditing);
    ASSERT_EQ(field->visibleTexts().size(), 1u);
    EXPECT_EQ(field->visibleTexts()[0].text, "Name");
    field->becomeFirstResponder();
    field->insertText("Kelvara");
    window->layoutIfNeeded();
    EXPECT_EQ(field->visibleTexts()[0].text, "Kelvara");
    const CGRect clear = field->clearButtonRectForBounds(field->bounds());
    EXPECT_LE(CGRectGetMaxX(field->textRectForBounds(field->bounds())), clear.origin.x);
    TouchDriver(window).tap(field->convertPointToView({CGRectGetMidX(clear), 15}, nullptr));
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(field->isEditing());
}

TEST_F(UITextFieldTest, LongTextScrollsToKeepTheCaretInView) {
    field->becomeFirstResponder();
    for (int i = 0; i < 60; ++i) {
        field->insertText("w");
    }
    const CGRect text = field->textRectForBounds(field->bounds());
    EXPECT_LE(CGRectGetMaxX(field->caretRect()), CGRectGetMaxX(text) + 0.5);
    EXPECT_GT(field->caretRect().origin.x, CGRectGetMidX(text));
    field->insertText("é😀");
    EXPECT_TRUE(matchesReference(window->renderImage(), "text-field-scrolled"));
    field->keyPressed(UIKeyboardKeyHome, 0);
    EXPECT_NEAR(field->caretRect().origin.x, text.origin.x, 0.5);
}

TEST_F(UITextFieldTest, CopyCutPasteAndSelectAll) {
    auto pasteboard = UIPasteboard::generalPasteboard();
    field->becomeFirstResponder();
    field->insertText("hello world");
    EXPECT_FALSE(field->canPerformAction(UIEditActionCopy, nullptr));
    ASSERT_TRUE(field->canPerformAction(UIEditActionSelectAll, nullptr));
    field->performEditAction(UIEditActionSelectAll, nullptr);
    field->performEditAction(UIEditActionCut, nullptr);
    EXPECT_EQ(pasteboard->string(), "hello world");
    EXPECT_EQ(field->text(), "");
    field->performEditAction(UIEditActionPaste, nullptr);
    field->performEditAction(UIEditActionPaste, nullptr);
    EXPECT_EQ(field->text(), "hello worldhello world");
}

TEST_F(UITextFieldTest, PastingAMegabyteStaysQuick) {
    std::string big;
    while (big.size() < (1 << 20)) {
        big += "Neubrandenburg \u00E9\U0001F600 ";
    }
    UIPasteboard::generalPasteboard()->setString(big);
    field->becomeFirstResponder();
    field->performEditAction(UIEditActionPaste, nullptr);
    field->insertText("!");
    field->deleteBackward();
    field->deleteBackward();
    field->keyPressed(UIKeyboardKeyHome, 0);
    field->keyPressed(UIKeyboardKeyRight, 0);
    ASSERT_TRUE(window->renderImage());
    EXPECT_EQ(field->text().size(), big.size() - 1);
}

TEST_F(UITextFieldTest, KeyboardShowsOnceWhileFocusMovesBetweenFields) {
    UIKeyboardSetVirtualHeight(216);
    auto other = std::make_shared<UITextField>(CGRectMake(10, 50, 200, 30));
    window->addSubview(other);
    std::vector<std::string> seen;
    CGFloat endY = 0;
    auto center = NSNotificationCenter::defaultCenter();
    auto observer = center->addObserverForName("", nullptr, nullptr, [&](const NSNotification& n) {
        if (n.name.rfind("UIKeyboard", 0) == 0) {
            seen.push_back(n.name);
            const Value& end = n.userInfo.at(UIKeyboardFrameEndUserInfoKey);
            endY = end.dictionaryValue()->at("y").doubleValue().value_or(-1);
        }
    });
    field->becomeFirstResponder();
    EXPECT_EQ(endY, 568 - 216);
    EXPECT_EQ(UIKeyboardFrame(), CGRectMake(0, 568 - 216, 320, 216));
    other->becomeFirstResponder();
    other->resignFirstResponder();
    EXPECT_EQ(endY, 568);
    center->removeObserver(observer);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        UIKeyboardWillShowNotification, UIKeyboardDidShowNotification,
                        UIKeyboardWillHideNotification, UIKeyboardDidHideNotification}));
}

TEST_F(UITextFieldTest, OnScreenKeyboardCapitalisesAsAsked) {
    field->becomeFirstResponder();
    field->insertText("a");
    EXPECT_EQ(field->text(), "a");  // a hardware keyboard types what is pressed
    field->setText("");
    UIKeyboardSetVirtualHeight(216);
    field->setAutocapitalizationType(UITextAutocapitalizationTypeWords);
    for (const char* key : {"n", "e", "w", " ", "y", "o", "r", "k"}) {
        field->insertText(key);
    }
    EXPECT_EQ(field->text(), "New York");
    field->setText("");
    field->setAutocapitalizationType(UITextAutocapitalizationTypeAllCharacters);
    field->insertText("\u00E9t\u00E9");
    EXPECT_EQ(field->text(), "\u00C9T\u00C9");
}

}  // namespace

namespace {

TEST_F(UITextFieldTest, LeavingTheWindowEndsEditingAndHidesTheKeyboard) {
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(window->firstResponder(), field);
    EXPECT_TRUE(UIKeyboardIsVisible());
    field->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_FALSE(UIKeyboardIsVisible());
    EXPECT_EQ(window->firstResponder(), nullptr);
}

}  // namespace

namespace {

TEST_F(UITextFieldTest, DoubleTapSelectsAWordAndOffersTheMenu) {
    field->setText("Lange Stra\u00DFe 12");
    TouchDriver touch(window);
    touch.tap({150, 25});
    ASSERT_TRUE(field->isEditing());
    touch.tap({70, 25}, 2);
    EXPECT_EQ(field->selectedRange(), NSMakeRange(6, 7));  // "Straße"
    auto menu = UIMenuController::sharedMenuController();
    ASSERT_TRUE(menu->isMenuVisible());
    std::vector<std::string> titles;
    for (const auto& view : menu->menuView()->subviews()) {
        for (const auto& text : view->subviews()) {
            for (const UIVisibleText& t : text->visibleTexts()) {
                titles.push_back(t.text);
            }
        }
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Cut", "Copy", "Select All", "Delete"}));
    menu->setMenuVisibleAnimated(false, false);
    EXPECT_EQ(UITextEditingBuffer(false).wordRangeAt(0), NSMakeRange(0, 0));
}

}  // namespace
