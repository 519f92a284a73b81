#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/NSRange.h"

enum NSTextCheckingType : uint64_t {
    NSTextCheckingTypeDate = 1ull << 3,
    NSTextCheckingTypeAddress = 1ull << 4,
    NSTextCheckingTypeLink = 1ull << 5,
    NSTextCheckingTypePhoneNumber = 1ull << 11,
};

// One thing found in a text.
struct NSTextCheckingResult {
    NSTextCheckingType resultType = NSTextCheckingTypeLink;
    NSRange range;            // in UTF-16 units of the searched string, as attributed strings count
    std::string URL;          // links: the URL ("http://" added to "www.",
                              // "mailto:" to e-mail addresses)
    std::string phoneNumber;  // phone numbers: as written
};

// Finds links (http, https and ftp URLs, "www." addresses, e-mail addresses
// as mailto links) and phone numbers (7 to 15 digits, with an optional "+"
// or "00" and the usual separators) with ICU regular expressions. Dates and
// street addresses are not detected: asking for them alone is an error.
class NSDataDetector {
  public:
    // nullopt (and an error) when types asks for nothing this detector finds.
    static std::optional<NSDataDetector> dataDetectorWithTypes(uint64_t types,
                                                               NSError* error = nullptr);

    uint64_t checkingTypes() const { return types_; }
    // Matches in order of position; links win over phone numbers they overlap.
    std::vector<NSTextCheckingResult> matchesInString(const std::string& text) const;
    size_t numberOfMatchesInString(const std::string& text) const {
        return matchesInString(text).size();
    }
    std::optional<NSTextCheckingResult> firstMatchInString(const std::string& text) const;

  private:
    explicit NSDataDetector(uint64_t types) : types_(types) {}
    uint64_t types_;
};
