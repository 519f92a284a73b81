#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Maps between UTF-16 code unit indices (what string ranges count) and byte
// offsets of UTF-8 text (what pango counts). Invalid UTF-8 and NUL bytes
// become U+FFFD in text(), one code unit per bad byte.
class CTUTF16Index {
  public:
    explicit CTUTF16Index(const std::string& utf8);

    const std::string& text() const { return text_; }
    size_t length() const { return byteOfUnit_.size() - 1; }
    // Byte offset in text() of a unit index (clamped to the length); the
    // second unit of a surrogate pair maps to its character's start.
    size_t byteOfUnit(size_t unit) const;
    // Unit index of a byte offset in text() (clamped).
    size_t unitOfByte(size_t byte) const;

  private:
    std::string text_;
    std::vector<size_t> byteOfUnit_;  // length() + 1 entries
    std::vector<size_t> unitOfByte_;  // text().size() + 1 entries
};
