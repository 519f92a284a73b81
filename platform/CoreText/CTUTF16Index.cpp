#include "CoreText/CTUTF16Index.h"

#include <algorithm>
#include <cstdint>

namespace {

// The code point at s[i] and its encoded length; 0 length for an invalid sequence.
std::pair<uint32_t, size_t> decode(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return uint8_t(s[k]); };
    const uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        // pango stops at a NUL byte, so it counts as invalid here.
        return {b0, b0 == 0 ? 0u : 1u};
    }
    size_t n = 0;
    uint32_t cp = 0, min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + n > s.size()) {
        return {0, 0};
    }
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return {0, 0};
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {0, 0};
    }
    return {cp, n};
}

}  // namespace

CTUTF16Index::CTUTF16Index(const std::string& utf8) {
    text_.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto [cp, n] = decode(utf8, i);
        const size_t start = text_.size();
        if (n == 0) {
            text_ += "\xEF\xBF\xBD";
            n = 1;
            cp = 0xFFFD;
        } else {
            text_.append(utf8, i, n);
        }
        byteOfUnit_.push_back(start);
        if (cp >= 0x10000) {
            byteOfUnit_.push_back(start);
        }
        i += n;
    }
    byteOfUnit_.push_back(text_.size());
    unitOfByte_.assign(text_.size() + 1, 0);
    for (size_t unit = byteOfUnit_.size(); unit-- > 0;) {
        unitOfByte_[byteOfUnit_[unit]] = unit;
    }
    // Bytes inside a character map to the character's first unit.
    for (size_t b = 1; b < unitOfByte_.size(); ++b) {
        if (unitOfByte_[b] == 0 && b != byteOfUnit_[0]) {
            unitOfByte_[b] = unitOfByte_[b - 1];
        }
    }
}

size_t CTUTF16Index::byteOfUnit(size_t unit) const {
    return byteOfUnit_[std::min(unit, length())];
}

size_t CTUTF16Index::unitOfByte(size_t byte) const {
    return unitOfByte_[std::min(byte, text_.size())];
}
