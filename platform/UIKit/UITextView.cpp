#include "UIKit/UITextView.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTFramesetter.h"
#include "CoreText/CTUTF16Index.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kTallFrame = 1e7;
constexpr CGFloat kCaretWidth = 2;

}  // namespace

// The text (with any marked text) wrapped at the width: its lines, where
// each starts in the text and where its baseline is.
struct UITextView::Layout {
    std::string text;
    size_t markedAt = 0, markedLength = 0;
    std::vector<CTLineRef> lines;
    std::vector<size_t> starts;      // display byte offset of each line
    std::vector<CGFloat> baselines;  // from the text's top
    CTUTF16Index index;
    CGFloat lineHeight = 0, ascent = 0;
    CGFloat height = 0;

    explicit Layout(const std::string& s) : text(s), index(s) {}
    size_t displayOffset(size_t offset) const {
        return offset >= markedAt ? offset + markedLength : offset;
    }
    size_t bufferOffset(size_t display) const {
        if (display <= markedAt) {
            return display;
        }
        return display >= markedAt + markedLength ? display - markedLength : markedAt;
    }
    size_t lineOf(size_t display) const {
        const auto it = std::upper_bound(starts.begin(), starts.end(), display);
        return it == starts.begin() ? 0 : size_t(it - starts.begin()) - 1;
    }
};

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
    layout_.reset();
    const Layout& l = layout();
    setContentSize({bounds().size.width, std::ceil(l.height + inset_.top + inset_.bottom)});
    setNeedsDisplay();
}

const UITextView::Layout& UITextView::layout() const {
    if (layout_) {
        return *layout_;
    }
    std::string shown = buffer_.text();
    const size_t markedAt = buffer_.selectedRange().location;
    shown.insert(markedAt, markedText_);
    auto l = std::make_shared<Layout>(shown);
    l->markedAt = markedAt;
    l->markedLength = markedText_.size();
    l->ascent = font_->ascender();
    l->lineHeight = std::ceil(font_->lineHeight());
    const CGFloat width = std::max<CGFloat>(1, bounds().size.width - inset_.left - inset_.right);
    if (!shown.empty()) {
        CTStringAttributes a;
        a.font = font_->CTFont();
        a.foregroundColor = textColor_.CGColor();
        auto framesetter = CTFramesetter::createWithAttributedString(NSAttributedString(shown, a));
        CGPath path;
        path.addRect(CGRectMake(0, 0, width, kTallFrame));
        CTFrameRef frame = framesetter->createFrame({0, 0}, path);
        const std::vector<CGPoint> origins = frame->lineOrigins();
        for (size_t i = 0; i < frame->lines().size(); ++i) {
            const CTLineRef& line = frame->lines()[i];
            l->lines.push_back(line);
            l->starts.push_back(l->index.byteOfUnit(size_t(line->stringRange().location)));
            l->baselines.push_back(kTallFrame - origins[i].y);
        }
    }
    if (l->lines.empty() || shown.back() == '\n') {
        // An empty last line (nothing yet, or after a line break) holds the caret.
        l->starts.push_back(shown.size());
        l->baselines.push_back(l->baselines.empty() ? l->ascent
                                                    : l->baselines.back() + l->lineHeight);
    }
    l->height = l->baselines.back() + (l->lineHeight - l->ascent);
    layout_ = l;
    return *layout_;
}

CGPoint UITextView::caretPoint(size_t offset, CGFloat* lineHeight) const {
    const Layout& l = layout();
    const size_t display = l.displayOffset(offset);
    const size_t line = l.lineOf(display);
    CGFloat x = 0;
    if (line < l.lines.size()) {
        x = l.lines[line]->offsetForStringIndex(long(l.index.unitOfByte(display)));
    }
    *lineHeight = l.lineHeight;
    return {inset_.left + x, inset_.top + l.baselines[line] - l.ascent};
}

CGRect UITextView::caretRect() const {
    CGFloat height = 0;
    const CGPoint p = caretPoint(buffer_.caret(), &height);
    return CGRectMake(p.x, p.y, kCaretWidth, height);
}

size_t UITextView::offsetAtPoint(CGPoint point) const {
    const Layout& l = layout();
    const CGFloat y = point.y - inset_.top;
    size_t line = 0;
    while (line + 1 < l.baselines.size() && y > l.baselines[line] + (l.lineHeight - l.ascent)) {
        ++line;
    }
    if (line >= l.lines.size()) {
        return l.bufferOffset(l.starts[line]);
    }
    const long unit = l.lines[line]->stringIndexForPosition({point.x - inset_.left, 0});
    const size_t display = l.index.byteOfUnit(size_t(std::max(0L, unit)));
    // Past a wrapped line's end is before its last character, not the next line.
    if (line + 1 < l.starts.size() && display >= l.starts[line + 1]) {
        return buffer_.previousBoundary(l.bufferOffset(l.starts[line + 1]));
    }
    return l.bufferOffset(display);
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
    const Layout& l = layout();
    const NSRange selection = buffer_.selectedRange();
    if (selection.length > 0 && (editing_ || selectable_)) {
        context->setFillColorWithColor(tintColor().colorWithAlphaComponent(0.25).CGColor());
        const size_t first = l.lineOf(l.displayOffset(selection.location));
        const size_t last = l.lineOf(l.displayOffset(selection.end()));
        for (size_t i = first; i <= last && i < l.lines.size(); ++i) {
            const size_t from = std::max(l.starts[i], l.displayOffset(selection.location));
            const size_t to = std::min(i + 1 < l.starts.size() ? l.starts[i + 1] : l.text.size(),
                                       l.displayOffset(selection.end()));
            const CGFloat x0 = l.lines[i]->offsetForStringIndex(long(l.index.unitOfByte(from)));
            const CGFloat x1 = l.lines[i]->offsetForStringIndex(long(l.index.unitOfByte(to)));
            context->fillRect(CGRectMake(inset_.left + x0, inset_.top + l.baselines[i] - l.ascent,
                                         std::max<CGFloat>(1, x1 - x0), l.lineHeight));
        }
    }
    for (size_t i = 0; i < l.lines.size(); ++i) {
        const CGFloat baseline = inset_.top + l.baselines[i];
        if (baseline + l.lineHeight < visible.origin.y ||
            baseline - l.lineHeight > CGRectGetMaxY(visible)) {
            continue;
        }
        context->saveGState();
        context->translateCTM(inset_.left, baseline);
        context->scaleCTM(1, -1);
        context->setTextMatrix(CGAffineTransformIdentity);
        context->setTextPosition(0, 0);
        l.lines[i]->draw(*context);
        context->restoreGState();
    }
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
    const CGRect textRect = CGRectMake(inset_.left, inset_.top,
                                       b.size.width - inset_.left - inset_.right, layout().height);
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
    scrollRectToVisibleAnimated(CGRectInset(caretRect(), 0, -inset_.bottom), false);
}

void UITextView::selectionDidChange() {
    layout_.reset();
    setNeedsDisplay();
    scrollRectToVisibleAnimated(CGRectInset(caretRect(), 0, -inset_.bottom), false);
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
            CGFloat height = 0;
            const CGPoint p = caretPoint(caret, &height);
            const CGFloat step = key == UIKeyboardKeyUp || key == UIKeyboardKeyDown
                                     ? height
                                     : std::max(height, bounds().size.height - height);
            const bool up = key == UIKeyboardKeyUp || key == UIKeyboardKeyPageUp;
            const CGFloat y = p.y + height / 2 + (up ? -step : step);
            size_t target = offsetAtPoint({p.x, y});
            if (y < inset_.top) {
                target = 0;
            } else if (y > inset_.top + layout().height) {
                target = text().size();
            }
            buffer_.moveCaretTo(target, extend);
            break;
        }
        case UIKeyboardKeyHome: {
            const Layout& l = layout();
            buffer_.moveCaretTo(l.bufferOffset(l.starts[l.lineOf(l.displayOffset(caret))]), extend);
            break;
        }
        case UIKeyboardKeyEnd: {
            const Layout& l = layout();
            const size_t line = l.lineOf(l.displayOffset(caret));
            size_t end =
                line + 1 < l.starts.size() ? l.bufferOffset(l.starts[line + 1]) : text().size();
            // Before the line break or the wrapped line's last space.
            if (line + 1 < l.starts.size() && end > 0) {
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
