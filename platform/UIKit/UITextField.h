#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreText/CTLine.h"
#include "Foundation/NSRange.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIControl.h"
#include "UIKit/UITextEditing.h"
#include "UIKit/UITextInputTraits.h"

class UIGestureRecognizer;
class UITextField;

inline constexpr const char* UITextFieldTextDidBeginEditingNotification =
    "UITextFieldTextDidBeginEditingNotification";
inline constexpr const char* UITextFieldTextDidChangeNotification =
    "UITextFieldTextDidChangeNotification";
inline constexpr const char* UITextFieldTextDidEndEditingNotification =
    "UITextFieldTextDidEndEditingNotification";

enum UITextBorderStyle : long {
    UITextBorderStyleNone,
    UITextBorderStyleLine,
    UITextBorderStyleBezel,
    UITextBorderStyleRoundedRect,
};

enum UITextFieldViewMode : long {
    UITextFieldViewModeNever,
    UITextFieldViewModeWhileEditing,
    UITextFieldViewModeUnlessEditing,
    UITextFieldViewModeAlways,
};

// What a text field asks and tells while it is edited; absent methods
// answer yes.
class UITextFieldDelegate {
  public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField&) { return true; }
    virtual void textFieldDidBeginEditing(UITextField&) {}
    virtual bool textFieldShouldEndEditing(UITextField&) { return true; }
    virtual void textFieldDidEndEditing(UITextField&) {}
    // range in bytes of the current text; string is what replaces it.
    virtual bool textFieldShouldChangeCharactersInRange(UITextField&, NSRange, const std::string&) {
        return true;
    }
    virtual bool textFieldShouldClear(UITextField&) { return true; }
    virtual bool textFieldShouldReturn(UITextField&) { return true; }
};

// One line of editable text: a caret and a selection that step over whole
// characters, horizontal scrolling that keeps the caret in view, a
// placeholder while empty, an optional clear button and left view. Tapping
// it begins editing (it becomes the first responder, the keyboard shows);
// a double tap selects a word, a triple tap all, and a long press or a
// double tap shows the editing menu;
// typed text, input method composition, editing keys and the cut, copy,
// paste and select-all actions edit it. Return asks the delegate
// (textFieldShouldReturn) and sends EditingDidEndOnExit, which ends editing
// when some action listens for it.
class UITextField : public UIControl, public UITextInputTraits, private UITextEditing {
  public:
    explicit UITextField(const CGRect& frame = CGRectZero);

    const std::string& text() const { return buffer_.text(); }
    void setText(const std::string& text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& placeholder);
    const UIFontRef& font() const { return font_; }
    void setFont(UIFontRef font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style);
    UITextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(UITextFieldViewMode mode);
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool flag) { clearsOnBeginEditing_ = flag; }
    // A view at the left of the text (a search field's magnifier).
    const std::shared_ptr<UIView>& leftView() const { return leftView_; }
    void setLeftView(std::shared_ptr<UIView> view);

    std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextFieldDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    bool isEditing() const { return editing_; }
    NSRange selectedRange() const { return buffer_.selectedRange(); }
    void setSelectedRange(NSRange range);
    const std::string& markedText() const { return markedText_; }
    // Replaces a range as typing would: asks the delegate, then sends
    // EditingChanged. Answers whether the text changed.
    bool replaceRange(NSRange range, const std::string& text) override;

    // Where the text and the placeholder are drawn, and where the caret is
    // (all in bounds coordinates).
    CGRect textRectForBounds(const CGRect& bounds) const;
    CGRect clearButtonRectForBounds(const CGRect& bounds) const;
    CGRect caretRect() const;

    // UIResponder.
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() const override;
    bool resignFirstResponder() override;
    bool isTextInput() const override { return true; }
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void setMarkedText(const std::string& text) override;
    bool keyPressed(UIKeyboardKey key, unsigned modifiers) override;
    bool canPerformAction(UIEditAction action, UIResponder* sender) const override;
    void performEditAction(UIEditAction action, UIResponder* sender) override;

    // UIControl and UIView.
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;
    std::vector<UIVisibleText> visibleTexts() const override;
    void tintColorDidChange() override { setNeedsDisplay(); }

  private:
    struct DisplayLine;
    bool shouldShow(UITextFieldViewMode mode) const;
    CGFloat leftViewInset() const;
    void clear();
    void textDidChange();
    void selectionDidChange() override;
    bool editsText() const override { return editing_; }
    // The laid-out text around the caret (all of it unless it is very long).
    const DisplayLine& displayLine() const;
    NSStringDrawingAttributes attributes(const UIColor& color) const;
    CGFloat caretLineX(const DisplayLine& line, size_t offset) const;
    void scrollToCaret();
    void moveCaretToPoint(CGPoint point);
    void showMenu();
    void longPressed(UIGestureRecognizer& press);

    std::string placeholder_;
    UIFontRef font_;
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
    UITextFieldViewMode clearButtonMode_ = UITextFieldViewModeNever;
    bool clearsOnBeginEditing_ = false;
    bool editing_ = false;
    std::weak_ptr<UITextFieldDelegate> delegate_;
    std::shared_ptr<UIView> leftView_;
    std::shared_ptr<UIControl> clearButton_;
    // Scrolling: where the caret stands within the text rect.
    CGFloat caretViewX_ = 0;
    mutable std::shared_ptr<DisplayLine> line_;
};
