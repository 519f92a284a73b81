#include "Foundation/NSDataDetector.h"

#include <unicode/uregex.h>
#include <unicode/ustring.h>

#include <algorithm>

#include "Foundation/ICUString.h"
#include "Foundation/NSDataDetectorMatching.h"

namespace {

constexpr uint64_t kSupported = NSTextCheckingTypeLink | NSTextCheckingTypePhoneNumber |
                                NSTextCheckingTypeDate | NSTextCheckingTypeAddress |
                                NSTextCheckingTypeTransitInformation;

const char16_t* const kURLPattern = u"\\b(?:(?:https?|ftp)://|www\\.)[^\\s<>\"\\u201c\\u201d]+";
// The name part starts only where a run of its characters starts, and is
// never given back: otherwise every character of a long run of them would
// start a search to the run's end.
const char16_t* const kEmailPattern =
    u"(?<![A-Za-z0-9._%+\\-])[A-Za-z0-9._%+\\-]++@[A-Za-z0-9\\-]+(?:\\.[A-Za-z0-9\\-]+)*\\.[A-Za-z]"
    u"{"
    u"2,}\\b";
const char16_t* const kPhonePattern =
    u"(?<![\\w+])(?:\\+|00)?\\(?\\d[\\d \\u00a0().\\-/]{4,}\\d(?![\\w])";

// A URL does not end with sentence punctuation, nor with a closing bracket
// it did not open.
size_t trimURLEnd(const std::u16string& text, size_t start, size_t end) {
    while (end > start) {
        const char16_t c = text[end - 1];
        if (std::u16string_view(u".,;:!?'").find(c) != std::u16string_view::npos) {
            --end;
            continue;
        }
        if (c == u')' || c == u']') {
            const char16_t open = c == u')' ? u'(' : u'[';
            const auto body = std::u16string_view(text).substr(start, end - start);
            if (std::count(body.begin(), body.end(), open) <
                std::count(body.begin(), body.end(), c)) {
                --end;
                continue;
            }
        }
        break;
    }
    return end;
}

bool overlaps(const std::vector<NSTextCheckingResult>& results, size_t start, size_t end) {
    return std::any_of(results.begin(), results.end(), [&](const NSTextCheckingResult& r) {
        return start < r.range.end() && r.range.location < end;
    });
}

std::vector<NSTextCheckingResult> findLinks(const std::u16string& text) {
    std::vector<NSTextCheckingResult> links;
    for (const auto& m : NSDataDetectorFindAll(kURLPattern, text, UREGEX_CASE_INSENSITIVE)) {
        const size_t end = trimURLEnd(text, m.start(), m.end());
        if (end <= m.start())
            continue;
        std::string url =
            NSDataDetectorUTF8(std::u16string_view(text).substr(m.start(), end - m.start()));
        if (url.size() > 4 && (url[0] == 'w' || url[0] == 'W') && url[3] == '.')
            url = "http://" + url;
        links.push_back(NSTextCheckingResult::linkCheckingResultWithRangeURL(
            {m.start(), end - m.start()}, std::move(url)));
    }
    for (const auto& m : NSDataDetectorFindAll(kEmailPattern, text, UREGEX_CASE_INSENSITIVE)) {
        if (!overlaps(links, m.start(), m.end()))
            links.push_back(NSTextCheckingResult::linkCheckingResultWithRangeURL(
                {m.start(), m.end() - m.start()}, "mailto:" + NSDataDetectorUTF8(m.text(text, 0))));
    }
    return links;
}

std::vector<NSTextCheckingResult> findPhoneNumbers(const std::u16string& text) {
    std::vector<NSTextCheckingResult> numbers;
    for (const auto& m : NSDataDetectorFindAll(kPhonePattern, text, UREGEX_CASE_INSENSITIVE)) {
        const auto written = m.text(text, 0);
        const auto digits = std::count_if(written.begin(), written.end(),
                                          [](char16_t c) { return c >= u'0' && c <= u'9'; });
        if (digits >= 7 && digits <= 15)
            numbers.push_back(NSTextCheckingResult::phoneNumberCheckingResultWithRangePhoneNumber(
                {m.start(), m.end() - m.start()}, NSDataDetectorUTF8(written)));
    }
    return numbers;
}

}  // namespace

std::optional<NSDataDetector> NSDataDetector::dataDetectorWithTypes(uint64_t types,
                                                                    NSError* error) {
    if ((types & kSupported) == 0) {
        if (error)
            *error = NSError::errorWithDomain(
                NSError::NSCocoaErrorDomain, 2048,
                {{NSError::NSLocalizedDescriptionKey,
                  Value(std::string("A data detector finds links, phone numbers, dates, "
                                    "addresses and flights only."))}});
        return std::nullopt;
    }
    return NSDataDetector(types & kSupported);
}

std::vector<NSTextCheckingResult> NSDataDetector::matchesInString(const std::string& text) const {
    const std::u16string utf16 = ICUStringFromUTF8Repairing(text);

    std::vector<NSTextCheckingResult> results;
    auto take = [&](std::vector<NSTextCheckingResult> found) {
        for (auto& result : found) {
            if (!overlaps(results, result.range.location, result.range.end()))
                results.push_back(std::move(result));
        }
    };
    if (types_ & NSTextCheckingTypeLink)
        take(findLinks(utf16));
    std::vector<NSTextCheckingResult> dates;
    if (types_ & (NSTextCheckingTypeDate | NSTextCheckingTypePhoneNumber))
        dates = NSDataDetectorFindDates(utf16);
    if (types_ & NSTextCheckingTypeDate)
        take(dates);
    if (types_ & NSTextCheckingTypeAddress)
        take(NSDataDetectorFindAddresses(utf16));
    if (types_ & NSTextCheckingTypeTransitInformation)
        take(NSDataDetectorFindTransitInformation(utf16));
    if (types_ & NSTextCheckingTypePhoneNumber) {
        for (auto& number : findPhoneNumbers(utf16)) {
            if (!overlaps(dates, number.range.location, number.range.end()) &&
                !overlaps(results, number.range.location, number.range.end()))
                results.push_back(std::move(number));
        }
    }
    std::sort(results.begin(), results.end(),
              [](const auto& a, const auto& b) { return a.range.location < b.range.location; });
    return results;
}

std::optional<NSTextCheckingResult> NSDataDetector::firstMatchInString(
    const std::string& text) const {
    auto results = matchesInString(text);
    if (results.empty())
        return std::nullopt;
    return results.front();
}
