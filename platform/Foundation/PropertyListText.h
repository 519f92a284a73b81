#pragma once

#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

// Text codecs shared by the property list and strings file readers and writers.
class PropertyListText {
  public:
    static void appendUTF8(std::string& text, uint32_t codePoint);
    // Well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
    static bool isValidUTF8(const uint8_t* bytes, size_t length);
    // UTF-16 code units (big- or little-endian bytes) to UTF-8; a lone surrogate becomes U+FFFD.
    static std::string utf16ToUTF8(const uint8_t* bytes, size_t units, bool bigEndian);

    static std::string encodeBase64(const Value::Data& data);
    // Whitespace is ignored; any other stray character makes it fail.
    static std::optional<Value::Data> decodeBase64(const std::string& text);

    // "2001-01-01T00:00:00Z"; whole seconds (a fraction is dropped when writing
    // and accepted when reading).
    static std::string formatISO8601(NSDate date);
    static std::optional<NSDate> parseISO8601(const std::string& text);
};
