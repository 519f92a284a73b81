#include "UIKit/WebTextBoxes.h"

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The length of the UTF-8 character at text[i] when it is a CJK unified
// ideograph (U+4E00 ... U+9FCC), else 0.
size_t ideographAt(std::string_view text, size_t i) {
    if (i + 2 >= text.size())
        return 0;
    const auto b0 = static_cast<unsigned char>(text[i]);
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    const auto b2 = static_cast<unsigned char>(text[i + 2]);
    if ((b0 & 0xF0) != 0xE0 || (b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80)
        return 0;
    const unsigned code = (b0 & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
    return code >= 0x4E00 && code <= 0x9FCC ? 3 : 0;
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

void WebForEachTextBox(std::string_view text,
                       const std::function<bool(std::string_view box, bool space)>& box) {
    size_t i = 0;
    while (i < text.size()) {
        if (isSpace(text[i])) {
            if (!box(text.substr(i, 1), true))
                return;
            ++i;
            continue;
        }
        if (const size_t length = ideographAt(text, i)) {
            if (!box(text.substr(i, length), false))
                return;
            i += length;
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && !isSpace(text[end]) && !ideographAt(text, end) &&
               end - i < kWebMaximumWordBytes)
            ++end;
        // A piece ends on a whole character, unless one character is longer.
        if (end < text.size() && isContinuation(text[end])) {
            size_t start = end;
            while (start > i + 1 && isContinuation(text[start]))
                --start;
            if (start > i + 1)
                end = start;
        }
        if (!box(text.substr(i, end - i), false))
            return;
        i = end;
    }
}
