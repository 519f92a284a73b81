#include "UIKit/UITextField.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTUTF16Index.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UITextLayout.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kHorizontalInset = 7;
constexpr CGFloat kClearButtonWidth = 28;
constexpr CGFloat kCaretWidth = 2;
// Very long text is laid out only this far (bytes) on each side of the
// caret: far more than a field shows, and it keeps a keystroke cheap in a
// megabyte of text.
constexpr size_t kDisplayWindow = 4096;

size_t sequenceStart(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    while (offset > 0 && offset < text.size() && (uint8_t(text[offset]) & 0xC0) == 0x80) {
        --offset;
    }
    return offset;
}

// The clear button: a grey disc with a white cross.
class UITextFieldClearButton : public UIControl {
  public:
    UITextFieldClearButton() {
        setAccessibilityLabel("Clear text");
        setOpaque(false);
        setContentMode(UIViewContentModeRedraw);
    }
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        const CGRect b = bounds();
        const CGFloat d = std::min<CGFloat>(16, std::min(b.size.width, b.size.height));
        const CGRect disc = CGRectMake(CGRectGetMidX(b) - d / 2, CGRectGetMidY(b) - d / 2, d, d);
        context->setFillColorWithColor(
            UIColor::colorWithWhiteAlpha(isHighlighted() ? 0.45 : 0.7, 1).CGColor());
        context->fillEllipseInRect(disc);
        const CGFloat r = d * 0.22;
        const CGPoint c{CGRectGetMidX(disc), CGRectGetMidY(disc)};
        context->setStrokeColorWithColor(UIColor::whiteColor().CGColor());
        context->setLineWidth(1.5);
        context->strokeLineSegments(
            {{c.x - r, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}, {c.x + r, c.y - r}});
    }
};

}  // namespace

// The text drawn: the buffer around the caret with the marked text in it.
struct UITextField::DisplayLine {
    std::string text;
    size_t start = 0;     // offset of text in the buffer
    size_t markedAt = 0;  // where the marked text was put in (display offsets)
    size_t markedLength = 0;
    CTLineRef line;
    CTUTF16Index index;
    CGFloat width = 0, ascent = 0, descent = 0;
    bool endsAtTextEnd = true;

    explicit DisplayLine(const std::string& s) : text(s), index(s) {}
    // Display offset of a buffer offset.
    size_t displayOffset(size_t offset) const {
        const size_t local = std::clamp(offset, start, start + text.size() - markedLength) - start;
        return local >= markedAt ? local + markedLength : local;
    }
};

UITextField::UITextField(const CGRect& frame)
    : UIControl(frame), UITextEditing(false), font_(UIFont::systemFontOfSize(17)) {
    setContentMode(UIViewContentModeRedraw);
    setOpaque(false);
    auto button = std::make_shared<UITextFieldClearButton>();
    button->setHidden(true);
    button->addTargetForControlEvents([this](UIControl&) { clear(); }, UIControlEventTouchUpInside);
    clearButton_ = button;
    setNeedsLayout();
}

void UITextField::setText(const std::string& text) {
    buffer_.setText(text);
    markedText_.clear();
    textDidChange();
}

void UITextField::setPlaceholder(const std::string& placeholder) {
    placeholder_ = placeholder;
    setNeedsDisplay();
}

void UITextField::setFont(UIFontRef font) {
    font_ = font ? std::move(font) : UIFont::systemFontOfSize(17);
    line_.reset();
    setNeedsDisplay();
}

void UITextField::setTextColor(const UIColor& color) {
    textColor_ = color;
    line_.reset();
    setNeedsDisplay();
}

void UITextField::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void UITextField::setBorderStyle(UITextBorderStyle style) {
    borderStyle_ = style;
    setNeedsDisplay();
}

void UITextField::setClearButtonMode(UITextFieldViewMode mode) {
    clearButtonMode_ = mode;
    setNeedsLayout();
}

void UITextField::setLeftView(std::shared_ptr<UIView> view) {
    if (leftView_) {
        leftView_->removeFromSuperview();
    }
    leftView_ = std::move(view);
    setNeedsLayout();
    setNeedsDisplay();
}

void UITextField::setSelectedRange(NSRange range) {
    buffer_.setSelectedRange(range);
    selectionDidChange();
}

void UITextField::clear() {
    auto delegate = delegate_.lock();
    if (text().empty() || (delegate && !delegate->textFieldShouldClear(*this))) {
        return;
    }
    if (!editing_ && !becomeFirstResponder()) {
        return;
    }
    replaceRange({0, text().size()}, "");
}

bool UITextField::shouldShow(UITextFieldViewMode mode) const {
    switch (mode) {
        case UITextFieldViewModeNever:
            return false;
        case UITextFieldViewModeWhileEditing:
            return editing_;
        case UITextFieldViewModeUnlessEditing:
            return !editing_;
        case UITextFieldViewModeAlways:
            return true;
    }
    return false;
}

CGRect UITextField::clearButtonRectForBounds(const CGRect& bounds) const {
    return CGRectMake(CGRectGetMaxX(bounds) - kClearButtonWidth, bounds.origin.y, kClearButtonWidth,
                      bounds.size.height);
}

CGFloat UITextField::leftViewInset() const {
    return borderStyle_ == UITextBorderStyleNone ? 0 : 6;
}

CGRect UITextField::textRectForBounds(const CGRect& bounds) const {
    CGRect r = CGRectInset(bounds, borderStyle_ == UITextBorderStyleNone ? 0 : kHorizontalInset, 0);
    if (leftView_) {
        const CGFloat w = leftViewInset() + leftView_->frame().size.width + 6;
        r.origin.x = bounds.origin.x + std::max(w, r.origin.x - bounds.origin.x);
        r.size.width = CGRectGetMaxX(bounds) - kHorizontalInset - r.origin.x;
    }
    if (shouldShow(clearButtonMode_) && !text().empty()) {
        r.size.width =
            std::min(r.size.width, clearButtonRectForBounds(bounds).origin.x - r.origin.x);
    }
    r.size.width = std::max<CGFloat>(0, r.size.width);
    return r;
}

void UITextField::layoutSubviews() {
    // Subviews join once the field is owned by a shared_ptr.
    if (clearButton_->superview().get() != this) {
        addSubview(clearButton_);
        addGestureRecognizer(std::make_shared<UILongPressGestureRecognizer>(
            [this](UIGestureRecognizer& press) { longPressed(press); }));
    }
    if (leftView_ && leftView_->superview().get() != this) {
        addSubview(leftView_);
    }
    const CGRect b = bounds();
    if (leftView_) {
        CGRect f = leftView_->frame();
        f.origin = {leftViewInset(), std::round((b.size.height - f.size.height) / 2)};
        leftView_->setFrame(f);
    }
    clearButton_->setFrame(clearButtonRectForBounds(b));
    clearButton_->setHidden(!shouldShow(clearButtonMode_) || text().empty());
}

NSStringDrawingAttributes UITextField::attributes(const UIColor& color) const {
    NSStringDrawingAttributes a;
    a.font = font_;
    a.foregroundColor = color;
    a.alignment = NSTextAlignmentLeft;
    a.lineBreakMode = NSLineBreakByClipping;
    return a;
}

const UITextField::DisplayLine& UITextField::displayLine() const {
    const std::string& all = buffer_.text();
    const size_t caret = buffer_.selectedRange().location;
    size_t start = 0, end = all.size();
    if (all.size() > 2 * kDisplayWindow) {
        start = sequenceStart(all, caret > kDisplayWindow ? caret - kDisplayWindow : 0);
        end = sequenceStart(all, caret + kDisplayWindow);
    }
    std::string shown = all.substr(start, end - start);
    const size_t markedAt = caret - start;
    shown.insert(markedAt, markedText_);
    if (line_ && line_->text == shown && line_->start == start) {
        return *line_;
    }
    auto line = std::make_shared<DisplayLine>(shown);
    line->start = start;
    line->markedAt = markedAt;
    line->markedLength = markedText_.size();
    line->endsAtTextEnd = end == all.size();
    if (!shown.empty()) {
        CTStringAttributes a;
        a.font = font_->CTFont();
        a.foregroundColor = textColor_.CGColor();
        NSAttributedString string(shown, a);
        if (!markedText_.empty()) {
            CTStringAttributes marked;
            marked.underlineStyle = 1;
            const CTUTF16Index& index = line->index;
            const long from = long(index.unitOfByte(markedAt));
            string.addAttributes(
                marked,
                CFRangeMake(from, long(index.unitOfByte(markedAt + markedText_.size())) - from));
        }
        line->line = CTLine::createWithAttributedString(string);
        CGFloat leading = 0;
        line->width = line->line->typographicBounds(&line->ascent, &line->descent, &leading);
    } else {
        line->ascent = font_->ascender();
        line->descent = font_->lineHeight() - font_->ascender();
    }
    line_ = line;
    return *line_;
}

CGFloat UITextField::caretLineX(const DisplayLine& line, size_t displayOffset) const {
    if (!line.line) {
        return 0;
    }
    return line.line->offsetForStringIndex(long(line.index.unitOfByte(displayOffset)));
}

void UITextField::scrollToCaret() {
    const CGRect r = textRectForBounds(bounds());
    const DisplayLine& line = displayLine();
    const size_t caretAt =
        line.displayOffset(buffer_.caret()) +
        (buffer_.caret() == buffer_.selectedRange().location ? line.markedLength : 0);
    const CGFloat cx = caretLineX(line, caretAt);
    const CGFloat width = std::max<CGFloat>(1, r.size.width - kCaretWidth);
    CGFloat scroll = cx - std::clamp(caretViewX_, CGFloat(0), width);
    scroll = std::clamp(scroll, cx - width, cx);
    if (line.endsAtTextEnd) {
        scroll = std::min(scroll, std::max<CGFloat>(0, line.width - width));
    }
    if (line.start == 0) {
        scroll = std::max<CGFloat>(0, scroll);
    }
    caretViewX_ = cx - scroll;
}

CGRect UITextField::caretRect() const {
    const CGRect r = textRectForBounds(bounds());
    const CGFloat height = font_->lineHeight();
    return CGRectMake(r.origin.x + caretViewX_, std::round(CGRectGetMidY(r) - height / 2),
                      kCaretWidth, height);
}

void UITextField::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect b = bounds();
    switch (borderStyle_) {
        case UITextBorderStyleNone:
            break;
        case UITextBorderStyleLine:
        case UITextBorderStyleBezel:
            context->setStrokeColorWithColor(
                UIColor::colorWithWhiteAlpha(borderStyle_ == UITextBorderStyleLine ? 0 : 0.5, 1)
                    .CGColor());
            context->strokeRectWithWidth(CGRectInset(b, 0.5, 0.5), 1);
            break;
        case UITextBorderStyleRoundedRect: {
            CGPath path;
            path.addRoundedRect(CGRectInset(b, 0.5, 0.5), 5, 5);
            if (!backgroundColor()) {
                context->setFillColorWithColor(UIColor::whiteColor().CGColor());
                context->beginPath();
                context->addPath(path);
                context->fillPath();
            }
            context->setStrokeColorWithColor(UIColor::colorWithWhiteAlpha(0.8, 1).CGColor());
            context->setLineWidth(1);
            context->beginPath();
            context->addPath(path);
            context->strokePath();
            break;
        }
    }
    const CGRect r = textRectForBounds(b);
    context->saveGState();
    context->clipToRect(r);
    const DisplayLine& line = displayLine();
    if (line.text.empty()) {
        if (!placeholder_.empty()) {
            const auto a = attributes(UIColor::colorWithWhiteAlpha(0.7, 1));
            const CGFloat h = font_->lineHeight();
            CGRect pr = CGRectMake(r.origin.x, CGRectGetMidY(r) - h / 2, r.size.width, h);
            NSStringDrawingAttributes aligned = a;
            aligned.alignment = alignment_;
            UITextLayout(placeholder_, aligned, r.size.width, 1).drawInRect(*context, pr);
        }
    } else {
        const CGFloat scroll =
            caretLineX(line, line.displayOffset(buffer_.caret()) +
                                 (buffer_.selectedRange().length == 0 ? line.markedLength : 0)) -
            caretViewX_;
        CGFloat x = r.origin.x - scroll;
        if (!editing_ && line.width < r.size.width && line.start == 0 && line.endsAtTextEnd) {
            if (alignment_ == NSTextAlignmentCenter) {
                x = r.origin.x + (r.size.width - line.width) / 2;
            } else if (alignment_ == NSTextAlignmentRight) {
                x = CGRectGetMaxX(r) - line.width;
            }
        }
        const CGFloat baseline = std::round(CGRectGetMidY(r) + (line.ascent - line.descent) / 2);
        const NSRange selection = buffer_.selectedRange();
        if (editing_ && selection.length > 0) {
            const CGFloat x0 = caretLineX(line, line.displayOffset(selection.location));
            const CGFloat x1 = caretLineX(line, line.displayOffset(selection.end()));
            context->setFillColorWithColor(tintColor().colorWithAlphaComponent(0.25).CGColor());
            context->fillRect(CGRectMake(x + std::min(x0, x1), baseline - line.ascent,
                                         std::abs(x1 - x0), line.ascent + line.descent));
        }
        context->saveGState();
        context->translateCTM(x, baseline);
        context->scaleCTM(1, -1);
        context->setTextMatrix(CGAffineTransformIdentity);
        context->setTextPosition(0, 0);
        line.line->draw(*context);
        context->restoreGState();
    }
    context->restoreGState();
    if (editing_ && buffer_.selectedRange().length == 0) {
        context->setFillColorWithColor(tintColor().CGColor());
        context->fillRect(caretRect());
    }
}

CGSize UITextField::sizeThatFits(CGSize) const {
    const CGFloat width =
        sizeWithAttributes(text().empty() ? placeholder_ : text(), attributes(textColor_)).width;
    return {std::ceil(width) + 2 * kHorizontalInset, std::ceil(font_->lineHeight()) + 14};
}

std::vector<UIVisibleText> UITextField::visibleTexts() const {
    const CGRect r = textRectForBounds(bounds());
    if (!text().empty()) {
        return {{text(), r}};
    }
    if (!placeholder_.empty()) {
        return {{placeholder_, r}};
    }
    return UIView::visibleTexts();
}

bool UITextField::canBecomeFirstResponder() const {
    return isEnabled();
}

bool UITextField::becomeFirstResponder() {
    if (isFirstResponder()) {
        return true;
    }
    auto delegate = delegate_.lock();
    if (!canBecomeFirstResponder() || (delegate && !delegate->textFieldShouldBeginEditing(*this))) {
        return false;
    }
    if (!UIControl::becomeFirstResponder()) {
        return false;
    }
    auto keep = shared_from_this();
    editing_ = true;
    if (clearsOnBeginEditing_ && !text().empty()) {
        buffer_.setText("");
        textDidChange();
    }
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    if (delegate) {
        delegate->textFieldDidBeginEditing(*this);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UITextFieldTextDidBeginEditingNotification, this);
    selectionDidChange();
    setNeedsLayout();
    return true;
}

bool UITextField::canResignFirstResponder() const {
    auto delegate = delegate_.lock();
    return !delegate || !editing_ ||
           delegate->textFieldShouldEndEditing(const_cast<UITextField&>(*this));
}

bool UITextField::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    if (!UIControl::resignFirstResponder()) {
        return false;
    }
    auto keep = shared_from_this();
    commitMarkedText();
    editing_ = false;
    UIMenuController::sharedMenuController()->setMenuVisibleAnimated(false, false);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    if (auto delegate = delegate_.lock()) {
        delegate->textFieldDidEndEditing(*this);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UITextFieldTextDidEndEditingNotification, this);
    caretViewX_ = 0;
    selectionDidChange();
    setNeedsLayout();
    return true;
}

bool UITextField::replaceRange(NSRange range, const std::string& text) {
    const std::string clean = buffer_.sanitize(text);
    if (auto delegate = delegate_.lock()) {
        if (!delegate->textFieldShouldChangeCharactersInRange(*this, range, clean)) {
            return false;
        }
    }
    buffer_.replaceRange(range, clean);
    textDidChange();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UITextFieldTextDidChangeNotification, this);
    return true;
}

void UITextField::textDidChange() {
    line_.reset();
    scrollToCaret();
    setNeedsLayout();
    setNeedsDisplay();
}

void UITextField::selectionDidChange() {
    scrollToCaret();
    setNeedsDisplay();
}

void UITextField::insertText(const std::string& text) {
    markedText_.clear();
    const NSRange selection = buffer_.selectedRange();
    replaceRange(selection, textAsTyped(text, buffer_.text().substr(0, selection.location)));
}

void UITextField::deleteBackward() {
    deleteBackwardInBuffer();
}

void UITextField::setMarkedText(const std::string& text) {
    markedText_ = buffer_.sanitize(text);
    line_.reset();
    selectionDidChange();
}

bool UITextField::keyPressed(UIKeyboardKey key, unsigned modifiers) {
    const bool extend = (modifiers & UIKeyModifierShift) != 0;
    switch (key) {
        case UIKeyboardKeyReturn: {
            auto delegate = delegate_.lock();
            if (!delegate || delegate->textFieldShouldReturn(*this)) {
                auto keep = shared_from_this();
                const bool ends = (allControlEvents() & UIControlEventEditingDidEndOnExit) != 0;
                sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
                if (ends) {
                    resignFirstResponder();
                }
            }
            return true;
        }
        // One line: up and home go to its start, down and end to its end.
        case UIKeyboardKeyHome:
        case UIKeyboardKeyUp:
            buffer_.moveCaretTo(0, extend);
            break;
        case UIKeyboardKeyEnd:
        case UIKeyboardKeyDown:
            buffer_.moveCaretTo(buffer_.text().size(), extend);
            break;
        default:
            return handleEditingKey(key, modifiers) || UIControl::keyPressed(key, modifiers);
    }
    selectionDidChange();
    return true;
}

bool UITextField::canPerformAction(UIEditAction action, UIResponder*) const {
    return canPerformEditingAction(action);
}

void UITextField::performEditAction(UIEditAction action, UIResponder*) {
    performEditingAction(action);
}

void UITextField::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    const bool wasEditing = editing_;
    const bool inside = !touches.empty() && isTracking() && isTouchInside();
    UIControl::touchesEnded(touches, event);
    if (!inside) {
        return;
    }
    if (!wasEditing) {
        becomeFirstResponder();
        return;
    }
    // A tap while editing puts the caret at the character nearest the finger.
    moveCaretToPoint(
        touches.front()->locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
    // A double tap selects the word, a triple tap everything, and the menu
    // offers what can be done with the selection.
    const long taps = touches.front()->tapCount();
    if (taps == 2) {
        buffer_.setSelectedRange(buffer_.wordRangeAt(buffer_.caret()));
    } else if (taps >= 3) {
        buffer_.selectAll();
    }
    selectionDidChange();
    if (taps >= 2) {
        showMenu();
    }
}

void UITextField::moveCaretToPoint(CGPoint p) {
    const DisplayLine& line = displayLine();
    if (!line.line) {
        return;
    }
    const CGRect r = textRectForBounds(bounds());
    const CGFloat scroll = caretLineX(line, line.displayOffset(buffer_.caret())) - caretViewX_;
    const long unit = line.line->stringIndexForPosition({p.x - r.origin.x + scroll, 0});
    size_t offset = line.index.byteOfUnit(size_t(std::max(0L, unit)));
    offset = offset > line.markedAt + line.markedLength ? offset - line.markedLength
                                                        : std::min(offset, line.markedAt);
    buffer_.setSelectedRange({line.start + offset, 0});
    selectionDidChange();
}

void UITextField::showMenu() {
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRectInView(textRectForBounds(bounds()),
                              std::static_pointer_cast<UIView>(shared_from_this()));
    menu->setMenuVisibleAnimated(true, true);
}

void UITextField::longPressed(UIGestureRecognizer& press) {
    if (press.state() != UIGestureRecognizerStateBegan) {
        return;
    }
    if (!editing_ && !becomeFirstResponder()) {
        return;
    }
    moveCaretToPoint(press.locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
    showMenu();
}
