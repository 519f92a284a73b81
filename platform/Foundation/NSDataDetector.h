#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/NSTextCheckingResult.h"

// Finds, with ICU regular expressions: links (http, https and ftp URLs,
// "www." addresses, e-mail addresses as mailto links), phone numbers (7 to
// 15 digits, with an optional "+" or "00" and the usual separators), dates
// with times, spans and zones, street addresses and flight numbers
// (NSDataDetectorDates.cpp and NSDataDetectorAddresses.cpp tell the forms).
// Other kinds of result are ignored; asking for none of these is an error.
class NSDataDetector {
  public:
    // nullopt (and an error) when types asks for nothing this detector finds.
    static std::optional<NSDataDetector> dataDetectorWithTypes(uint64_t types,
                                                               NSError* error = nullptr);

    uint64_t checkingTypes() const { return types_; }
    // Matches in order of position. Where two overlap, the link wins, then
    // the date, the address, the flight and last the phone number; a written
    // date is never a phone number, whether dates are asked for or not.
    std::vector<NSTextCheckingResult> matchesInString(const std::string& text) const;
    size_t numberOfMatchesInString(const std::string& text) const {
        return matchesInString(text).size();
    }
    std::optional<NSTextCheckingResult> firstMatchInString(const std::string& text) const;

  private:
    explicit NSDataDetector(uint64_t types) : types_(types) {}
    uint64_t types_;
};
