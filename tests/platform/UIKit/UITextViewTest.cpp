#include <gtest/gtest.h>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTFramesetter.h"
#include "CoreText/CTUTF16Index.h"
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

// A text of about a megabyte: short paragraphs, an empty one, one that wraps
// and one of many kilobytes at the top; then more paragraphs.
std::string longText() {
    std::string text =
        "A short first line.\n\nA paragraph long enough to wrap over several lines of "
        "the view, with words of all lengths: \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F.\n";
    for (int i = 0; text.size() < 20000; ++i)
        text += "word" + std::to_string(i) + (i % 7 ? " " : ", and ");
    while (text.size() < (size_t{1} << 20))
        text += "\nAnother paragraph of the note, long enough to wrap once or twice.";
    return text;
}

// Only what is on screen is laid out; what shows is what a layout of the
// whole text shows.
TEST_F(UITextViewTest, ALongTextShowsTheLinesOfTheWholeTextsLayout) {
    view->setFrame(CGRectMake(0, 0, 200, 400));
    const std::string text = longText();
    view->setText(text);
    view->setSelectedRange({0, 0});
    const UIEdgeInsets inset = view->textContainerInset();
    CTStringAttributes a;
    a.font = view->font()->CTFont();
    const std::string start = text.substr(0, 8192);
    const CTUTF16Index index(start);
    CGPath path;
    path.addRect(CGRectMake(0, 0, 200 - inset.left - inset.right, 1e6));
    CTFrameRef frame = CTFramesetter::createWithAttributedString(NSAttributedString(start, a))
                           ->createFrame({0, 0}, path);
    const std::vector<CGPoint> origins = frame->lineOrigins();
    size_t compared = 0;
    for (size_t i = 0; i < frame->lines().size() && origins[0].y - origins[i].y < 380; ++i) {
        const CTLineRef& line = frame->lines()[i];
        const size_t lineStart = index.byteOfUnit(size_t(line->stringRange().location));
        const size_t inside = lineStart + 3;
        SCOPED_TRACE(text.substr(lineStart, 20));
        view->setSelectedRange({lineStart, 0});
        EXPECT_NEAR(view->caretRect().origin.y, inset.top + origins[0].y - origins[i].y, 0.01);
        EXPECT_NEAR(view->caretRect().origin.x, inset.left, 0.01);
        if (line->stringRange().length > 4 && text[lineStart] != '\n') {
            view->setSelectedRange({inside, 0});
            EXPECT_NEAR(view->caretRect().origin.x,
                        inset.left + line->offsetForStringIndex(long(index.unitOfByte(inside))),
                        0.01);
        }
        ++compared;
    }
    EXPECT_GT(compared, 12u);
    EXPECT_GT(view->contentSize().height, 10000);
}

// The editor opens with the caret at the end of a long note: typing, a new
// line, Home, Up and deleting there work on the lines at the end.
TEST_F(UITextViewTest, EditingAtTheEndOfALongTextWorks) {
    const std::string text = longText();
    view->setText(text);
    ASSERT_TRUE(view->becomeFirstResponder());
    const auto caretShown = [&] {
        const CGRect caret = view->caretRect();
        return caret.origin.y >= view->bounds().origin.y &&
               CGRectGetMaxY(caret) <= CGRectGetMaxY(view->bounds()) + 0.5;
    };
    EXPECT_TRUE(caretShown());
    EXPECT_NEAR(CGRectGetMaxY(view->caretRect()) + view->textContainerInset().bottom,
                view->contentSize().height, 8);
    view->insertText("!");
    view->keyPressed(UIKeyboardKeyReturn, 0);
    view->insertText("The end");
    EXPECT_TRUE(view->text() == text + "!\nThe end");
    EXPECT_TRUE(caretShown());
    const CGRect last = view->caretRect();
    EXPECT_GT(last.origin.x, view->textContainerInset().left + 20);
    view->keyPressed(UIKeyboardKeyHome, 0);
    EXPECT_EQ(view->selectedRange().location, text.size() + 2);
    EXPECT_NEAR(view->caretRect().origin.x, view->textContainerInset().left, 0.01);
    view->keyPressed(UIKeyboardKeyUp, 0);
    EXPECT_LT(view->caretRect().origin.y, last.origin.y);
    EXPECT_LT(view->selectedRange().location, text.size() + 2);
    EXPECT_GT(view->selectedRange().location, text.size() - 80);
    view->keyPressed(UIKeyboardKeyEnd, 0);
    EXPECT_EQ(view->selectedRange().location, text.size() + 1);  // before the new line
    view->deleteBackward();
    EXPECT_TRUE(view->text() == text + "\nThe end");
    EXPECT_TRUE(caretShown());
}

}  // namespace
