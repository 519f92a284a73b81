#pragma once

#include <string>

#include "Foundation/NSRange.h"
#include "UIKit/UIKeyInput.h"
#include "UIKit/UITextEditingBuffer.h"

// The editing text fields and text views share over their buffer: the
// character keys (Left, Right with Shift to select, Backspace, Delete) and
// the cut, copy, paste, select and select-all actions. Each input supplies
// how a range is replaced (it asks its delegate) and what follows a
// selection change.
class UITextEditing {
  public:
    virtual bool replaceRange(NSRange range, const std::string& text) = 0;

  protected:
    explicit UITextEditing(bool multiline) : buffer_(multiline) {}
    ~UITextEditing() = default;

    virtual void selectionDidChange() = 0;
    // Whether cut, delete and paste may change the text now.
    virtual bool editsText() const = 0;

    // Handles a key it knows; false for the others.
    bool handleEditingKey(UIKeyboardKey key, unsigned modifiers);
    void deleteBackwardInBuffer();
    bool canPerformEditingAction(UIEditAction action) const;
    void performEditingAction(UIEditAction action);
    // Ends a composition, keeping its text (focus leaving mid-composition).
    void commitMarkedText();

    UITextEditingBuffer buffer_;
    // Text an input method is composing, shown at the caret until committed.
    std::string markedText_;
};
