#include "Foundation/NSDataDetector.h"

#include <unicode/uregex.h>
#include <unicode/ustring.h>

#include <algorithm>

#include "Foundation/ICUString.h"
#include "Foundation/NSLog.h"

namespace {

constexpr uint64_t kSupported = NSTextCheckingTypeLink | NSTextCheckingTypePhoneNumber;

const char16_t* const kURLPattern = u"\\b(?:(?:https?|ftp)://|www\\.)[^\\s<>\"\\u201c\\u201d]+";
const char16_t* const kEmailPattern =
    u"\\b[A-Za-z0-9._%+\\-]+@[A-Za-z0-9\\-]+(?:\\.[A-Za-z0-9\\-]+)*\\.[A-Za-z]{2,}\\b";
const char16_t* const kPhonePattern =
    u"(?<![\\w+])(?:\\+|00)?\\(?\\d[\\d \\u00a0().\\-/]{4,}\\d(?![\\w])";

struct Found {
    size_t start, end;  // UTF-16 units
};

// Every match of a pattern; empty (logged) if ICU refuses.
std::vector<Found> findAll(const char16_t* pattern, const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parse;
    URegularExpression* regex = uregex_open(reinterpret_cast<const UChar*>(pattern), -1,
                                            UREGEX_CASE_INSENSITIVE, &parse, &status);
    std::vector<Found> found;
    if (U_FAILURE(status)) {
        NSLogWithLevel(NSLogLevel::Error, "NSDataDetector: %s", u_errorName(status));
        return found;
    }
    uregex_setText(regex, reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()),
                   &status);
    while (U_SUCCESS(status) && uregex_findNext(regex, &status)) {
        const int32_t start = uregex_start(regex, 0, &status);
        const int32_t end = uregex_end(regex, 0, &status);
        if (U_SUCCESS(status))
            found.push_back({size_t(start), size_t(end)});
    }
    uregex_close(regex);
    return found;
}

std::string toUTF8(const std::u16string& text, size_t start, size_t end) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    const auto* source = reinterpret_cast<const UChar*>(text.data() + start);
    u_strToUTF8(nullptr, 0, &length, source, int32_t(end - start), &status);
    std::string out(size_t(length), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), length, nullptr, source, int32_t(end - start), &status);
    return out;
}

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
        return start < r.range.location + r.range.length && r.range.location < end;
    });
}

}  // namespace

std::optional<NSDataDetector> NSDataDetector::dataDetectorWithTypes(uint64_t types,
                                                                    NSError* error) {
    if ((types & kSupported) == 0) {
        if (error)
            *error = NSError::errorWithDomain(
                NSError::NSCocoaErrorDomain, 2048,
                {{NSError::NSLocalizedDescriptionKey,
                  Value(std::string("Only links and phone numbers are detected."))}});
        return std::nullopt;
    }
    return NSDataDetector(types & kSupported);
}

std::vector<NSTextCheckingResult> NSDataDetector::matchesInString(const std::string& text) const {
    const std::u16string utf16 = ICUStringFromUTF8Repairing(text);

    std::vector<NSTextCheckingResult> results;
    if (types_ & NSTextCheckingTypeLink) {
        for (const Found& f : findAll(kURLPattern, utf16)) {
            const size_t end = trimURLEnd(utf16, f.start, f.end);
            if (end <= f.start)
                continue;
            std::string url = toUTF8(utf16, f.start, end);
            if (url.size() > 4 && (url[0] == 'w' || url[0] == 'W') && url[3] == '.')
                url = "http://" + url;
            results.push_back({NSTextCheckingTypeLink, {f.start, end - f.start}, url, {}});
        }
        for (const Found& f : findAll(kEmailPattern, utf16)) {
            if (!overlaps(results, f.start, f.end))
                results.push_back({NSTextCheckingTypeLink,
                                   {f.start, f.end - f.start},
                                   "mailto:" + toUTF8(utf16, f.start, f.end),
                                   {}});
        }
    }
    if (types_ & NSTextCheckingTypePhoneNumber) {
        for (const Found& f : findAll(kPhonePattern, utf16)) {
            const auto digits =
                std::count_if(utf16.begin() + long(f.start), utf16.begin() + long(f.end),
                              [](char16_t c) { return c >= u'0' && c <= u'9'; });
            if (digits < 7 || digits > 15 || overlaps(results, f.start, f.end))
                continue;
            results.push_back({NSTextCheckingTypePhoneNumber,
                               {f.start, f.end - f.start},
                               {},
                               toUTF8(utf16, f.start, f.end)});
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
