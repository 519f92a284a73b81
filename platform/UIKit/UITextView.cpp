#include "UIKit/UITextView.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTFramesetter.h"
#include "CoreText/CTUTF16Index.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kCaretWidth = 2;
// Lines this far beyond the visible part are laid out too, for scrolling.
constexpr CGFloat kMargin = 200;

}  // namespace

UITextView::UITextView(const CGRect& frame)
    : UIScrollView(frame), UITextEditing(true), font_(UIFont::systemFontOfSize(17)) {
    setContentMode(UIViewContentModeRedraw);
    setBackgroundColor(UIColor::whiteColor());
    setAutocapitalizationType(UITextAutocapitalizationTypeSentences);
}

void UITextView::setText(const std::string& text) {
    buffer_.setText(text);
    markedText_.clear();
    invalidate();
}

void UITextView::setFont(UIFontRef font) {
    font_ = font ? std::move(font) : UIFont::systemFontOfSize(17);
    invalidate();
}

void UITextView::setTextColor(const UIColor& color) {
    textColor_ = color;
    invalidate();
}

void UITextView::setEditable(bool flag) {
    editable_ = flag;
    if (!flag && editing_) {
        resignFirstResponder();
    }
}

void UITextView::setTextContainerInset(const UIEdgeInsets& inset) {
    inset_ = inset;
    invalidate();
}

void UITextView::setSelectedRange(NSRange range) {
    buffer_.setSelectedRange(range);
    selectionDidChange();
}

void UITextView::setDelegate(std::weak_ptr<UITextViewDelegate> delegate) {
    textDelegate_ = delegate;
    UIScrollView::setDelegate(std::move(delegate));
}

void UITextView::invalidate() {
    if (layout_)
        bytesPerLine_ = layout_->bytesPerLine();
    layout_.reset();
    updateContentSize();
    setNeedsDisplay();
}

void UITextView::updateContentSize() {
    setContentSize(
        {bounds().size.width, std::ceil(layout().height() + inset_.top + inset_.bottom)});
}

UITextViewLayout& UITextView::layout() const {
    if (layout_)
        return *layout_;
    std::string shown = buffer_.text();
    markedAt_ = buffer_.selectedRange().location;
    markedLength_ = markedText_.size();
    shown.insert(markedAt_, markedText_);
    CTStringAttributes a;
    a.font = font_->CTFont();
    a.foregroundColor = textColor_.CGColor();
    const CGFloat width = std::max<CGFloat>(1, bounds().size.width - inset_.left - inset_.right);
    // Before any line is laid out: half an em per byte.
    const double bytesPerLine =
        bytesPerLine_ > 0 ? bytesPerLine_ : double(width) / std::max(1.0, 0.5 * font_->pointSize());
    layout_ = std::make_unique<UITextViewLayout>(std::move(shown), std::move(a),
                                                 std::ceil(font_->lineHeight()), font_->ascender(),
                                                 width, bytesPerLine);
    return *layout_;
}

size_t UITextView::displayOffset(size_t offset) const {
    return offset >= markedAt_ ? offset + markedLength_ : offset;
}

size_t UITextView::bufferOffset(size_t display) const {
    if (display <= markedAt_)
        return display;
    return display >= markedAt_ + markedLength_ ? display - markedLength_ : markedAt_;
}

CGPoint UITextView::caretPoint(size_t offset, CGFloat* lineHeight) const {
    UITextViewLayout& l = layout();
    const size_t display = displayOffset(offset);
    const UITextViewLayout::Line line = l.lineAt(display);
    *lineHeight = l.lineHeight();
    return {inset_.left + l.xOfOffset(line, display), inset_.top + line.baseline - l.ascent()};
}

CGRect UITextView::caretRect() const {
    CGFloat height = 0;
    const CGPoint p = caretPoint(buffer_.caret(), &height);
    return CGRectMake(p.x, p.y, kCaretWidth, height);
}

size_t UITextView::offsetAtPoint(CGPoint point) const {
    UITextViewLayout& l = layout();
    return offsetInLine(l.lineAtY(point.y - inset_.top), point.x - inset_.left);
}

size_t UITextView::offsetInLine(const UITextViewLayout::Line& line, CGFloat x) const {
    UITextViewLayout& l = layout();
    const size_t display = l.offsetAtX(line, x);
    // Past a wrapped line's end is before its last character, not the next line.
    const std::optional<size_t> next = l.nextLineStart(line.start);
    if (line.line && next && display >= *next)
        return buffer_.previousBoundary(bufferOffset(*next));
    return bufferOffset(display);
}

void UITextView::setBounds(const CGRect& bounds) {
    const CGSize old = this->bounds().size;
    UIScrollView::setBounds(bounds);
    if (old.width != bounds.size.width) {
        invalidate();
    }
    // The text is drawn for the visible part only.
    setNeedsDisplay();
}

void UITextView::setFrame(const CGRect& frame) {
    UIScrollView::setFrame(frame);
    invalidate();
}

void UITextView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect visible = bounds();
    UITextViewLayout& l = layout();
    const NSRange selection = buffer_.selectedRange();
    const bool selected = selection.length > 0 && (editing_ || selectable_);
    const size_t from = displayOffset(selection.location);
    const size_t to = displayOffset(selection.end());
    const CGColor selectionColor = tintColor().colorWithAlphaComponent(0.25).CGColor();
    // Only the lines on screen (and a margin) are laid out and drawn.
    l.forEachLineBetween(
        visible.origin.y - inset_.top - kMargin, CGRectGetMaxY(visible) - inset_.top + kMargin,
        [&](const UITextViewLayout::Line& line) {
            if (!line.line)
                return;
            const CGFloat baseline = inset_.top + line.baseline;
            const size_t end = l.nextLineStart(line.start).value_or(l.text().size());
            if (selected && from < std::max(end, line.start + 1) && to > line.start) {
                const CGFloat x0 = l.xOfOffset(line, std::max(line.start, from));
                const CGFloat x1 = l.xOfOffset(line, std::min(end, to));
                context->setFillColorWithColor(selectionColor);
                context->fillRect(CGRectMake(inset_.left + x0, baseline - l.ascent(),
                                             std::max<CGFloat>(1, x1 - x0), l.lineHeight()));
            }
            context->saveGState();
            context->translateCTM(inset_.left, baseline);
            context->scaleCTM(1, -1);
            context->setTextMatrix(CGAffineTransformIdentity);
            context->setTextPosition(0, 0);
            line.line->draw(*context);
            context->restoreGState();
        });
    updateContentSize();
    // While composing, the marked text's underline shows where typing goes.
    if (editing_ && selection.length == 0 && markedText_.empty()) {
        context->setFillColorWithColor(tintColor().CGColor());
        context->fillRect(caretRect());
    }
}

std::vector<UIVisibleText> UITextView::visibleTexts() const {
    if (text().empty()) {
        return UIView::visibleTexts();
    }
    const CGRect b = bounds();
    const CGRect textRect = CGRectMake(
        inset_.left, inset_.top, b.size.width - inset_.left - inset_.right, layout().height());
    return {{text(), CGRectIntersection(textRect, b)}};
}

bool UITextView::canBecomeFirstResponder() const {
    return editable_ || selectable_;
}

bool UITextView::becomeFirstResponder() {
    if (isFirstResponder()) {
        return true;
    }
    auto delegate = textDelegate_.lock();
    if (editable_ && delegate && !delegate->textViewShouldBeginEditing(*this)) {
        return false;
    }
    if (!UIScrollView::becomeFirstResponder()) {
        return false;
    }
    if (editable_) {
        auto keep = shared_from_this();
        editing_ = true;
        if (delegate) {
            delegate->textViewDidBeginEditing(*this);
        }
        NSNotificationCenter::defaultCenter()->postNotificationName(
            UITextViewTextDidBeginEditingNotification, this);
    }
    selectionDidChange();
    return true;
}

bool UITextView::canResignFirstResponder() const {
    auto delegate = textDelegate_.lock();
    return !editing_ || !delegate ||
           delegate->textViewShouldEndEditing(const_cast<UITextView&>(*this));
}

bool UITextView::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    if (!UIScrollView::resignFirstResponder()) {
        return false;
    }
    auto keep = shared_from_this();
    commitMarkedText();
    if (editing_) {
        editing_ = false;
        if (auto delegate = textDelegate_.lock()) {
            delegate->textViewDidEndEditing(*this);
        }
        NSNotificationCenter::defaultCenter()->postNotificationName(
            UITextViewTextDidEndEditingNotification, this);
    }
    setNeedsDisplay();
    return true;
}

bool UITextView::replaceRange(NSRange range, const std::string& text) {
    if (!editable_) {
        return false;
    }
    const std::string clean = buffer_.sanitize(text);
    auto delegate = textDelegate_.lock();
    if (delegate && !delegate->textViewShouldChangeTextInRange(*this, range, clean)) {
        return false;
    }
    buffer_.replaceRange(range, clean);
    textDidChange();
    if (delegate) {
        delegate->textViewDidChange(*this);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidChangeNotification,
                                                                this);
    return true;
}

void UITextView::textDidChange() {
    invalidate();
    const CGRect caret = caretRect();
    updateContentSize();
    scrollRectToVisibleAnimated(CGRectInset(caret, 0, -inset_.bottom), false);
}

void UITextView::selectionDidChange() {
    // Marked text is shown at the caret: where it moves the text shown changes.
    if (markedLength_ > 0 || !markedText_.empty())
        invalidate();
    setNeedsDisplay();
    const CGRect caret = caretRect();
    updateContentSize();
    scrollRectToVisibleAnimated(CGRectInset(caret, 0, -inset_.bottom), false);
    if (auto delegate = textDelegate_.lock()) {
        delegate->textViewDidChangeSelection(*this);
    }
}

void UITextView::insertText(const std::string& text) {
    markedText_.clear();
    const NSRange selection = buffer_.selectedRange();
    replaceRange(selection, textAsTyped(text, buffer_.text().substr(0, selection.location)));
}

void UITextView::deleteBackward() {
    deleteBackwardInBuffer();
}

void UITextView::setMarkedText(const std::string& text) {
    if (!editable_) {
        return;
    }
    markedText_ = buffer_.sanitize(text);
    invalidate();
}

bool UITextView::keyPressed(UIKeyboardKey key, unsigned modifiers) {
    const bool extend = (modifiers & UIKeyModifierShift) != 0;
    const size_t caret = buffer_.caret();
    switch (key) {
        case UIKeyboardKeyReturn:
            if (!editable_) {
                return UIScrollView::keyPressed(key, modifiers);
            }
            insertText("\n");
            return true;
        case UIKeyboardKeyTab:
            if (!editable_) {
                return UIScrollView::keyPressed(key, modifiers);
            }
            insertText("\t");
            return true;
        case UIKeyboardKeyUp:
        case UIKeyboardKeyDown:
        case UIKeyboardKeyPageUp:
        case UIKeyboardKeyPageDown: {
            // Line by line, so that only the lines passed are laid out.
            UITextViewLayout& l = layout();
            const size_t display = displayOffset(caret);
            UITextViewLayout::Line line = l.lineAt(display);
            const CGFloat x = l.xOfOffset(line, display);
            const bool up = key == UIKeyboardKeyUp || key == UIKeyboardKeyPageUp;
            const size_t count =
                key == UIKeyboardKeyUp || key == UIKeyboardKeyDown
                    ? 1
                    : size_t(std::max<CGFloat>(1, bounds().size.height / l.lineHeight() - 1));
            std::optional<size_t> beyond;
            for (size_t i = 0; i < count && !beyond; ++i) {
                const std::optional<size_t> next =
                    up ? (line.start > 0 ? std::optional<size_t>(line.start - 1) : std::nullopt)
                       : l.nextLineStart(line.start);
                if (next)
                    line = l.lineAt(*next);
                else
                    beyond = up ? 0 : text().size();
            }
            buffer_.moveCaretTo(beyond ? *beyond : offsetInLine(line, x), extend);
            break;
        }
        case UIKeyboardKeyHome:
            buffer_.moveCaretTo(bufferOffset(layout().lineAt(displayOffset(caret)).start), extend);
            break;
        case UIKeyboardKeyEnd: {
            UITextViewLayout& l = layout();
            const std::optional<size_t> next =
                l.nextLineStart(l.lineAt(displayOffset(caret)).start);
            size_t end = next ? bufferOffset(*next) : text().size();
            // Before the line break or the wrapped line's last space.
            if (next && end > 0) {
                end = buffer_.previousBoundary(end);
            }
            buffer_.moveCaretTo(end, extend);
            break;
        }
        default:
            return handleEditingKey(key, modifiers) || UIScrollView::keyPressed(key, modifiers);
    }
    selectionDidChange();
    return true;
}

bool UITextView::canPerformAction(UIEditAction action, UIResponder*) const {
    return canPerformEditingAction(action);
}

void UITextView::performEditAction(UIEditAction action, UIResponder*) {
    performEditingAction(action);
}

void UITextView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    UIScrollView::touchesEnded(touches, event);
    if (touches.empty() || !canBecomeFirstResponder()) {
        return;
    }
    const CGPoint p =
        touches.front()->locationInView(std::static_pointer_cast<UIView>(shared_from_this()));
    buffer_.setSelectedRange({offsetAtPoint(p), 0});
    if (!isFirstResponder()) {
        becomeFirstResponder();
        return;
    }
    selectionDidChange();
}
