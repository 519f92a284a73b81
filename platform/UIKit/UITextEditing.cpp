#include "UIKit/UITextEditing.h"

#include "UIKit/UIPasteboard.h"

bool UITextEditing::handleEditingKey(UIKeyboardKey key, unsigned modifiers) {
    const bool extend = (modifiers & UIKeyModifierShift) != 0;
    const NSRange selection = buffer_.selectedRange();
    switch (key) {
        case UIKeyboardKeyBackspace:
            deleteBackwardInBuffer();
            return true;
        case UIKeyboardKeyDelete:
            if (const NSRange range = buffer_.rangeForDeleteForward(); range.length > 0) {
                replaceRange(range, "");
            }
            return true;
        case UIKeyboardKeyLeft:
            // Without Shift a selection collapses to its edge first.
            buffer_.moveCaretTo(!extend && selection.length > 0
                                    ? selection.location
                                    : buffer_.previousBoundary(buffer_.caret()),
                                extend);
            break;
        case UIKeyboardKeyRight:
            buffer_.moveCaretTo(!extend && selection.length > 0
                                    ? selection.end()
                                    : buffer_.nextBoundary(buffer_.caret()),
                                extend);
            break;
        default:
            return false;
    }
    selectionDidChange();
    return true;
}

void UITextEditing::deleteBackwardInBuffer() {
    if (const NSRange range = buffer_.rangeForDeleteBackward(); range.length > 0) {
        replaceRange(range, "");
    }
}

bool UITextEditing::canPerformEditingAction(UIEditAction action) const {
    const NSRange selection = buffer_.selectedRange();
    switch (action) {
        case UIEditActionCut:
        case UIEditActionDelete:
            return editsText() && selection.length > 0;
        case UIEditActionCopy:
            return selection.length > 0;
        case UIEditActionPaste:
            return editsText() && UIPasteboard::generalPasteboard()->hasStrings();
        case UIEditActionSelect:
            return selection.length == 0 && !buffer_.text().empty();
        case UIEditActionSelectAll:
            return selection.length < buffer_.text().size();
    }
    return false;
}

void UITextEditing::performEditingAction(UIEditAction action) {
    const NSRange selection = buffer_.selectedRange();
    switch (action) {
        case UIEditActionCopy:
        case UIEditActionCut:
            if (selection.length > 0) {
                UIPasteboard::generalPasteboard()->setString(
                    buffer_.text().substr(selection.location, selection.length));
                if (action == UIEditActionCut && editsText()) {
                    replaceRange(selection, "");
                }
            }
            return;
        case UIEditActionDelete:
            if (selection.length > 0 && editsText()) {
                replaceRange(selection, "");
            }
            return;
        case UIEditActionPaste:
            if (auto pasted = UIPasteboard::generalPasteboard()->string(); pasted && editsText()) {
                replaceRange(selection, *pasted);
            }
            return;
        case UIEditActionSelect: {
            const size_t start = buffer_.previousBoundary(buffer_.caret());
            buffer_.setSelectedRange({start, buffer_.nextBoundary(start) - start});
            break;
        }
        case UIEditActionSelectAll:
            buffer_.selectAll();
            break;
    }
    selectionDidChange();
}

void UITextEditing::commitMarkedText() {
    if (markedText_.empty()) {
        return;
    }
    const std::string marked = std::move(markedText_);
    markedText_.clear();
    replaceRange(buffer_.selectedRange(), marked);
}
