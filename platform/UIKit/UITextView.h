#pragma once

#include <memory>
#include <string>

#include "CoreText/CTFrame.h"
#include "Foundation/NSRange.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITextEditing.h"
#include "UIKit/UITextInputTraits.h"
#include "UIKit/UITextViewLayout.h"

class UITextView;

inline constexpr const char* UITextViewTextDidBeginEditingNotification =
    "UITextViewTextDidBeginEditingNotification";
inline constexpr const char* UITextViewTextDidChangeNotification =
    "UITextViewTextDidChangeNotification";
inline constexpr const char* UITextViewTextDidEndEditingNotification =
    "UITextViewTextDidEndEditingNotification";

// What a text view asks and tells (besides scrolling); absent methods answer yes.
class UITextViewDelegate : public UIScrollViewDelegate {
  public:
    virtual bool textViewShouldBeginEditing(UITextView&) { return true; }
    virtual void textViewDidBeginEditing(UITextView&) {}
    virtual bool textViewShouldEndEditing(UITextView&) { return true; }
    virtual void textViewDidEndEditing(UITextView&) {}
    // range in bytes of the current text.
    virtual bool textViewShouldChangeTextInRange(UITextView&, NSRange, const std::string&) {
        return true;
    }
    virtual void textViewDidChange(UITextView&) {}
    virtual void textViewDidChangeSelection(UITextView&) {}
};

// Scrolling text of many lines, wrapped at the width. Editable (the default)
// it edits like a text field, Return making a new line and Up and Down
// moving between lines; read-only it still scrolls and, when selectable,
// selects and copies. The caret is kept in view while it moves.
class UITextView : public UIScrollView, public UITextInputTraits, private UITextEditing {
  public:
    explicit UITextView(const CGRect& frame = CGRectZero);

    const std::string& text() const { return buffer_.text(); }
    void setText(const std::string& text);
    const UIFontRef& font() const { return font_; }
    void setFont(UIFontRef font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    bool isEditable() const { return editable_; }
    void setEditable(bool flag);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool flag) { selectable_ = flag; }
    UIEdgeInsets textContainerInset() const { return inset_; }
    void setTextContainerInset(const UIEdgeInsets& inset);
    NSRange selectedRange() const { return buffer_.selectedRange(); }
    void setSelectedRange(NSRange range);
    bool isEditing() const { return editing_; }

    std::shared_ptr<UITextViewDelegate> delegate() const { return textDelegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextViewDelegate> delegate);

    // Replaces a range as typing would (asks the delegate); whether it did.
    bool replaceRange(NSRange range, const std::string& text) override;
    // The caret's rectangle in content coordinates.
    CGRect caretRect() const;

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() const override;
    bool resignFirstResponder() override;
    bool isTextInput() const override { return editable_; }
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void setMarkedText(const std::string& text) override;
    bool keyPressed(UIKeyboardKey key, unsigned modifiers) override;
    bool canPerformAction(UIEditAction action, UIResponder* sender) const override;
    void performEditAction(UIEditAction action, UIResponder* sender) override;

    void setBounds(const CGRect& bounds) override;
    void setFrame(const CGRect& frame) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void drawRect(const CGRect& rect) override;
    std::vector<UIVisibleText> visibleTexts() const override;

  private:
    UITextViewLayout& layout() const;
    // Offsets in the text shown (with any marked text) and in the buffer.
    size_t displayOffset(size_t offset) const;
    size_t bufferOffset(size_t display) const;
    void invalidate();
    void updateContentSize();
    void textDidChange();
    void selectionDidChange() override;
    bool editsText() const override { return editable_; }
    // The text offset nearest a point in content coordinates.
    size_t offsetAtPoint(CGPoint point) const;
    // The offset nearest x (from the text's left) on a line.
    size_t offsetInLine(const UITextViewLayout::Line& line, CGFloat x) const;
    CGPoint caretPoint(size_t offset, CGFloat* lineHeight) const;

    UIFontRef font_;
    UIColor textColor_ = UIColor::blackColor();
    UIEdgeInsets inset_{8, 5, 8, 5};
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    std::weak_ptr<UITextViewDelegate> textDelegate_;
    mutable std::unique_ptr<UITextViewLayout> layout_;
    mutable size_t markedAt_ = 0, markedLength_ = 0;
    // Learnt from the last layout, so that estimates stay put across edits.
    mutable double bytesPerLine_ = 0;
};
