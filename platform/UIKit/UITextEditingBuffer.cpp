#include "UIKit/UITextEditingBuffer.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// A character (grapheme) or word break iterator over the text; ICU answers
// byte offsets because it reads the UTF-8 directly.
class Breaks {
  public:
    // text must outlive the iterator: ICU reads it in place.
    explicit Breaks(const std::string& text, UBreakIteratorType type = UBRK_CHARACTER) {
        UErrorCode status = U_ZERO_ERROR;
        text_ = utext_openUTF8(nullptr, text.data(), int64_t(text.size()), &status);
        iterator_.reset(ubrk_open(type, "", nullptr, 0, &status));
        if (U_SUCCESS(status)) {
            ubrk_setUText(iterator_.get(), text_, &status);
        }
        ok_ = U_SUCCESS(status);
    }
    ~Breaks() { utext_close(text_); }
    Breaks(const Breaks&) = delete;
    Breaks& operator=(const Breaks&) = delete;

    long following(size_t offset) {
        return ok_ ? ubrk_following(iterator_.get(), int32_t(offset)) : -1;
    }
    long preceding(size_t offset) {
        return ok_ ? ubrk_preceding(iterator_.get(), int32_t(offset)) : -1;
    }
    bool isBoundary(size_t offset) {
        return !ok_ || ubrk_isBoundary(iterator_.get(), int32_t(offset));
    }

  private:
    UText* text_ = nullptr;
    std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator_;
    bool ok_ = false;
};

// The offset of the UTF-8 sequence start at or before offset.
size_t sequenceStart(const std::string& text, size_t offset) {
    while (offset > 0 && offset < text.size() && (uint8_t(text[offset]) & 0xC0) == 0x80) {
        --offset;
    }
    return offset;
}

// Boundaries depend on little context, so a step looks at a window around
// the offset and stays cheap in megabytes of text (a single character longer
// than the window is split at its edge).
constexpr size_t kWindow = 1024;

}  // namespace

void UITextEditingBuffer::setText(const std::string& text) {
    text_ = sanitize(text);
    caret_ = anchor_ = text_.size();
    selection_ = {caret_, 0};
}

std::string UITextEditingBuffer::sanitize(const std::string& text) const {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = int32_t(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            out += "\xEF\xBF\xBD";
        } else if (c == '\r' && i < length && bytes[i] == '\n') {
            continue;  // CR LF is one line break
        } else if (c == '\n' || c == '\r') {
            out += multiline_ ? '\n' : ' ';
        } else if (c < 0x20 && c != '\t') {
            continue;
        } else {
            out.append(text, size_t(start), size_t(i - start));
        }
    }
    return out;
}

size_t UITextEditingBuffer::previousBoundary(size_t offset) const {
    offset = std::min(offset, text_.size());
    if (offset == 0) {
        return 0;
    }
    const size_t from = sequenceStart(text_, offset > kWindow ? offset - kWindow : 0);
    const std::string window = text_.substr(from, offset - from);
    Breaks breaks(window);
    const long previous = breaks.preceding(offset - from);
    return previous <= 0 ? from : from + size_t(previous);
}

size_t UITextEditingBuffer::nextBoundary(size_t offset) const {
    if (offset >= text_.size()) {
        return text_.size();
    }
    const size_t to = std::min(text_.size(), sequenceStart(text_, offset + kWindow));
    const std::string window = text_.substr(offset, to - offset);
    Breaks breaks(window);
    const long next = breaks.following(0);
    return next < 0 ? to : offset + size_t(next);
}

size_t UITextEditingBuffer::clampToBoundary(size_t offset, bool forward) const {
    offset = std::min(offset, text_.size());
    if (offset == 0 || offset == text_.size()) {
        return offset;
    }
    const size_t before = previousBoundary(nextBoundary(offset));
    if (before == offset) {
        return offset;
    }
    return forward ? nextBoundary(before) : before;
}

void UITextEditingBuffer::setSelectedRange(NSRange range) {
    const size_t start = clampToBoundary(range.location, false);
    const size_t end = clampToBoundary(std::max(range.end(), start), true);
    anchor_ = start;
    caret_ = end;
    selection_ = {start, end - start};
}

void UITextEditingBuffer::replaceRange(NSRange range, const std::string& text) {
    const size_t start = std::min(range.location, text_.size());
    const size_t end = std::clamp(range.end(), start, text_.size());
    const std::string clean = sanitize(text);
    text_.replace(start, end - start, clean);
    caret_ = anchor_ = start + clean.size();
    selection_ = {caret_, 0};
}

NSRange UITextEditingBuffer::rangeForDeleteBackward() const {
    if (selection_.length > 0) {
        return selection_;
    }
    const size_t start = previousBoundary(selection_.location);
    return {start, selection_.location - start};
}

NSRange UITextEditingBuffer::rangeForDeleteForward() const {
    if (selection_.length > 0) {
        return selection_;
    }
    return {selection_.location, nextBoundary(selection_.location) - selection_.location};
}

size_t UITextEditingBuffer::lineStart(size_t offset) const {
    if (!multiline_ || offset == 0) {
        return 0;
    }
    const size_t newline = text_.rfind('\n', std::min(offset, text_.size()) - 1);
    return newline == std::string::npos ? 0 : newline + 1;
}

size_t UITextEditingBuffer::lineEnd(size_t offset) const {
    if (!multiline_) {
        return text_.size();
    }
    const size_t newline = text_.find('\n', offset);
    return newline == std::string::npos ? text_.size() : newline;
}

void UITextEditingBuffer::moveCaretTo(size_t offset, bool extend) {
    caret_ = clampToBoundary(offset, true);
    if (!extend) {
        anchor_ = caret_;
    }
    selection_ = {std::min(anchor_, caret_), std::max(anchor_, caret_) - std::min(anchor_, caret_)};
}

void UITextEditingBuffer::selectAll() {
    anchor_ = 0;
    caret_ = text_.size();
    selection_ = {0, text_.size()};
}

NSRange UITextEditingBuffer::wordRangeAt(size_t offset) const {
    offset = std::min(offset, text_.size());
    const size_t from = sequenceStart(text_, offset > kWindow ? offset - kWindow : 0);
    const size_t to = std::min(text_.size(), sequenceStart(text_, offset + kWindow));
    const std::string window = text_.substr(from, to - from);
    Breaks words(window, UBRK_WORD);
    const size_t local = offset - from;
    long start = words.isBoundary(local) ? long(local) : words.preceding(local);
    long end = words.following(size_t(std::max(0L, start)));
    // At the end of a word (or of the text) the word before is meant.
    if ((end < 0 || size_t(start) == window.size()) && start > 0) {
        end = start;
        start = words.preceding(size_t(start));
    }
    if (start < 0 || end < start) {
        return {offset, 0};
    }
    return {from + size_t(start), size_t(end - start)};
}
