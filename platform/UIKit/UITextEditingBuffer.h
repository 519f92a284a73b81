#pragma once

#include <string>

#include "Foundation/NSRange.h"

// The text being edited and its selection (an empty selection is the caret),
// in bytes of UTF-8. Caret moves and deletions step over whole user-perceived
// characters (grapheme clusters: a letter with its combining marks, an emoji
// sequence), found with ICU, so the caret never splits one. Inserted text is
// made valid UTF-8 (bad bytes become U+FFFD); a single-line buffer turns line
// breaks into spaces.
class UITextEditingBuffer {
  public:
    explicit UITextEditingBuffer(bool multiline) : multiline_(multiline) {}

    const std::string& text() const { return text_; }
    // Replaces the text; the caret goes to the end.
    void setText(const std::string& text);
    NSRange selectedRange() const { return selection_; }
    // Clamped to the text and widened to character boundaries.
    void setSelectedRange(NSRange range);
    // The text an insertion would put in (cleaned as described above).
    std::string sanitize(const std::string& text) const;

    // Replaces a range (boundaries assumed) with cleaned text; the caret goes
    // after it.
    void replaceRange(NSRange range, const std::string& text);

    // The character boundary before and after an offset.
    size_t previousBoundary(size_t offset) const;
    size_t nextBoundary(size_t offset) const;
    // The range deleteBackward / forward delete remove: the selection, or the
    // character before / after the caret.
    NSRange rangeForDeleteBackward() const;
    NSRange rangeForDeleteForward() const;
    // The word (or run of spaces or punctuation) at an offset, by ICU's
    // word boundaries; at the text's end, the last word.
    NSRange wordRangeAt(size_t offset) const;
    // The start and end of the line around an offset (the whole text for a
    // single line).
    size_t lineStart(size_t offset) const;
    size_t lineEnd(size_t offset) const;

    // Moves the caret (extend: moves the selection's moving end, keeping the
    // anchor) to an offset.
    void moveCaretTo(size_t offset, bool extend);
    // The moving end of the selection (where the caret is drawn).
    size_t caret() const { return caret_; }
    void selectAll();

  private:
    size_t clampToBoundary(size_t offset, bool forward) const;

    std::string text_;
    NSRange selection_;
    size_t anchor_ = 0;
    size_t caret_ = 0;
    bool multiline_;
};
