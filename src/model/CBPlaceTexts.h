#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Texts of the place screens that come from outside (map data, the user)
// and must be cut or checked before they are shown, stored or opened.

// The first user-perceived character of the text as it is; "" for "".
std::string CBFirstCharacterOfText(const std::string& text);

// The text's length in UTF-16 units, the measure of the stored limits.
size_t CBUTF16LengthOfText(const std::string& text);

// The longest start of the text made of whole user-perceived characters
// that has at most `limit` UTF-16 units, so no character is ever split.
// Text that is not UTF-8 is cut in bytes.
std::string CBTextPrefixWithinLength(const std::string& text, size_t limit);

// The text itself when it has at most `limit` UTF-16 units; else its start
// within the limit less the ellipsis, followed by the ellipsis.
std::string CBTextShortenedToLengthWithEllipsis(const std::string& text, size_t limit,
                                                const std::string& ellipsis);

// The web address a place's "url" tag names, ready to open: "http://" is put
// in front of an address without a scheme; only http and https addresses are
// given, and nothing with blanks or control characters in it.
std::optional<std::string> CBWebAddressForTagAttribute(const std::string& attribute);

// The text without the blanks and tabs at its ends.
std::string CBTextWithoutOuterBlanks(const std::string& text);

// A tag value for one line of a row: control characters and line breaks
// become blanks, and a very long value is cut.
std::string CBTextForDisplay(const std::string& text);
