#pragma once

#include <unicode/utypes.h>

#include <optional>
#include <string>
#include <string_view>

// Conversions between our UTF-8 strings and ICU's UTF-16 ones. nullopt for
// text that is not valid UTF-8 (or UTF-16).
std::optional<std::u16string> ICUStringFromUTF8(std::string_view text);
std::optional<std::string> ICUStringToUTF8(const UChar* text, int32_t length);
// Text of unknown bytes: each ill-formed UTF-8 sequence becomes U+FFFD.
std::u16string ICUStringFromUTF8Repairing(std::string_view text);
std::string UTF8StringByRepairing(std::string_view text);
