#include "UIKit/UITextInputTraits.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "UIKit/UIKeyboard.h"

namespace {

std::string upper(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

// The first character of text in capitals, the rest as it is.
std::string upperFirst(const std::string& text) {
    size_t first = 1;
    while (first < text.size() && (uint8_t(text[first]) & 0xC0) == 0x80) {
        ++first;
    }
    return upper(text.substr(0, first)) + text.substr(first);
}

}  // namespace

std::string UITextInputTraits::textAsTyped(const std::string& text,
                                           const std::string& before) const {
    if (UIKeyboardVirtualHeight() <= 0 || text.empty()) {
        return text;
    }
    const size_t last = before.find_last_not_of(" \t\n");
    switch (autocapitalization_) {
        case UITextAutocapitalizationTypeAllCharacters:
            return upper(text);
        case UITextAutocapitalizationTypeWords:
            return before.empty() || before.back() == ' ' || before.back() == '\n'
                       ? upperFirst(text)
                       : text;
        case UITextAutocapitalizationTypeSentences:
            return last == std::string::npos ||
                           ((before[last] == '.' || before[last] == '!' || before[last] == '?') &&
                            last + 1 < before.size())
                       ? upperFirst(text)
                       : text;
        case UITextAutocapitalizationTypeNone:
            break;
    }
    return text;
}
