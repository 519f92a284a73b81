#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "SharedBytes.h"

// JSON text written into a string, or only counted, by the same calls: an
// answer's size is known, and its room taken, before any of it is made.
// Strings come out as the JSON library writes them (keeping its sorted keys is
// the caller's part): UTF-8 as it is, control characters, quotes and
// backslashes escaped; each byte that is no UTF-8 becomes U+FFFD.
class JsonText {
  public:
    // The text `write` makes, made once its size was taken of the budget;
    // nullptr when the budget has no room.
    static SharedBytes::Shared make(MemoryBudget& budget,
                                    const std::function<void(JsonText&)>& write);

    // Counts only.
    JsonText() = default;
    explicit JsonText(std::string& text) : text_(&text) {}

    JsonText& raw(std::string_view text);
    JsonText& string(std::string_view text);
    // null when there is none.
    JsonText& stringOrNull(const std::optional<std::string>& text);
    JsonText& number(int64_t value);

    size_t size() const { return size_; }

  private:
    void put(std::string_view text);

    std::string* text_ = nullptr;
    size_t size_ = 0;
};
