#include "Foundation/NSDataDetectorMatching.h"

#include <unicode/uregex.h>

#include <algorithm>
#include <map>
#include <memory>

#include "Foundation/ICUString.h"
#include "Foundation/NSLog.h"

namespace {

struct RegexCloser {
    void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using Regex = std::unique_ptr<URegularExpression, RegexCloser>;

// Patterns are compiled once per thread and cloned for each search, which
// is much cheaper than compiling.
Regex compile(const std::u16string& pattern, const std::u16string& text, uint32_t flags) {
    thread_local std::map<std::pair<std::u16string, uint32_t>, Regex> compiled;
    auto& original = compiled[{pattern, flags}];
    UErrorCode status = U_ZERO_ERROR;
    if (!original) {
        UParseError parse;
        original.reset(uregex_open(reinterpret_cast<const UChar*>(pattern.data()),
                                   int32_t(pattern.size()), flags, &parse, &status));
        if (U_FAILURE(status)) {
            NSLogWithLevel(NSLogLevel::Error, "NSDataDetector: pattern refused at %d: %s",
                           parse.offset, u_errorName(status));
            compiled.erase({pattern, flags});
            return nullptr;
        }
    }
    Regex regex(uregex_clone(original.get(), &status));
    if (U_FAILURE(status))
        return nullptr;
    // A search that runs away on hostile text ends (as no match) instead of
    // holding its thread; the limit is about a second.
    uregex_setTimeLimit(regex.get(), 1000, &status);
    uregex_setText(regex.get(), reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()),
                   &status);
    return U_SUCCESS(status) ? std::move(regex) : nullptr;
}

NSDataDetectorMatch current(URegularExpression* regex, UErrorCode& status) {
    NSDataDetectorMatch match;
    const int32_t count = uregex_groupCount(regex, &status);
    for (int32_t group = 0; group <= count && U_SUCCESS(status); ++group) {
        const int32_t start = uregex_start(regex, group, &status);
        const int32_t end = uregex_end(regex, group, &status);
        if (start < 0)
            match.groups.emplace_back(std::u16string::npos, std::u16string::npos);
        else
            match.groups.emplace_back(size_t(start), size_t(end));
    }
    return match;
}

}  // namespace

std::u16string_view NSDataDetectorMatch::text(const std::u16string& in, size_t group) const {
    if (!has(group))
        return {};
    return std::u16string_view(in).substr(groups[group].first,
                                          groups[group].second - groups[group].first);
}

std::vector<NSDataDetectorMatch> NSDataDetectorFindAll(const std::u16string& pattern,
                                                       const std::u16string& text, uint32_t flags) {
    std::vector<NSDataDetectorMatch> found;
    Regex regex = compile(pattern, text, flags);
    if (!regex)
        return found;
    UErrorCode status = U_ZERO_ERROR;
    while (uregex_findNext(regex.get(), &status) && U_SUCCESS(status)) {
        NSDataDetectorMatch match = current(regex.get(), status);
        if (U_SUCCESS(status))
            found.push_back(std::move(match));
    }
    return found;
}

std::optional<NSDataDetectorMatch> NSDataDetectorMatchAt(const std::u16string& pattern,
                                                         const std::u16string& text, size_t start,
                                                         uint32_t flags) {
    Regex regex = compile(pattern, text, flags);
    if (!regex || start > text.size())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    uregex_setRegion(regex.get(), int32_t(start), int32_t(text.size()), &status);
    // Look-behind may see the text before the region.
    uregex_useTransparentBounds(regex.get(), true, &status);
    if (!uregex_lookingAt(regex.get(), -1, &status) || U_FAILURE(status))
        return std::nullopt;
    NSDataDetectorMatch match = current(regex.get(), status);
    if (U_FAILURE(status))
        return std::nullopt;
    return match;
}

std::string NSDataDetectorUTF8(std::u16string_view text) {
    return ICUStringToUTF8(reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()))
        .value_or(std::string());
}

std::vector<NSTextCheckingResult> NSDataDetectorWithoutOverlaps(
    std::vector<NSTextCheckingResult> results) {
    std::stable_sort(results.begin(), results.end(), [](const auto& a, const auto& b) {
        return a.range.location != b.range.location ? a.range.location < b.range.location
                                                    : a.range.length > b.range.length;
    });
    std::vector<NSTextCheckingResult> kept;
    for (auto& result : results) {
        if (kept.empty() || result.range.location >= kept.back().range.end())
            kept.push_back(std::move(result));
    }
    return kept;
}
