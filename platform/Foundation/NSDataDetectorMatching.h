#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Foundation/NSTextCheckingResult.h"

// What the data detector is made of: one finder per kind of result, each
// over the text as UTF-16 (ranges count its units), and the ICU regular
// expression search they share.

// A match: group 0 is the whole match; a group that took no part is
// {npos, npos}.
struct NSDataDetectorMatch {
    std::vector<std::pair<size_t, size_t>> groups;

    size_t start() const { return groups[0].first; }
    size_t end() const { return groups[0].second; }
    bool has(size_t group) const {
        return group < groups.size() && groups[group].first != std::u16string::npos;
    }
    // The group's text; empty when it took no part.
    std::u16string_view text(const std::u16string& in, size_t group) const;
};

// Every match of pattern in text, in order; none (logged) when ICU refuses
// the pattern.
std::vector<NSDataDetectorMatch> NSDataDetectorFindAll(const std::u16string& pattern,
                                                       const std::u16string& text, uint32_t flags);
// A match of pattern that starts exactly at start.
std::optional<NSDataDetectorMatch> NSDataDetectorMatchAt(const std::u16string& pattern,
                                                         const std::u16string& text, size_t start,
                                                         uint32_t flags);
std::string NSDataDetectorUTF8(std::u16string_view text);
// The results in order of position; of results that overlap, the one that
// starts first stays, and of those starting together the longer.
std::vector<NSTextCheckingResult> NSDataDetectorWithoutOverlaps(
    std::vector<NSTextCheckingResult> results);

// Dates with an optional time, time span and zone.
std::vector<NSTextCheckingResult> NSDataDetectorFindDates(const std::u16string& text);
// Street addresses, with postal code and city where written.
std::vector<NSTextCheckingResult> NSDataDetectorFindAddresses(const std::u16string& text);
// Flight numbers after a word for "flight".
std::vector<NSTextCheckingResult> NSDataDetectorFindTransitInformation(const std::u16string& text);
