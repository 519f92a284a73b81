#include <unicode/ucal.h>
#include <unicode/uchar.h>
#include <unicode/udat.h>
#include <unicode/uregex.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>

#include "Foundation/ICUString.h"
#include "Foundation/NSDataDetectorMatching.h"
#include "Foundation/NSLocale.h"

// Dates are read in the forms people write them: ISO (2024-03-15), with
// dots (15.03.2024, always day first), with slashes (in the order of the
// current locale's short dates), and with month names in English or the
// current locale's language (15 March 2024, March 15, 2024, 15. März).
// A time may follow, then the end of a span of time, then a zone (UTC,
// GMT+2, Z, +01:00). A date without a time stands at noon, so that it
// falls on the written day in every zone; one without a year is in the
// current year.
namespace {

constexpr uint32_t kFold = UREGEX_CASE_INSENSITIVE;
constexpr char16_t kNotAfter[] = u"(?<![\\p{L}\\p{N}.:/-])";
constexpr char16_t kNotBefore[] = u"(?![\\p{L}\\p{N}]|[.:/-]\\p{N})";
constexpr char16_t kClock[] =
    u"(?:(\\d{1,2})[:.h](\\d{2})(?::(\\d{2}))?(?:\\s*([ap])(?:\\.m\\.|m))?|(\\d{1,2})\\s*([ap])(?:"
    u"\\.m\\.|m))"
    u"(?![\\p{L}\\p{N}])";

struct Written {
    int year = 0, month = 0, day = 0;
    int hour = 12, minute = 0, second = 0;
    bool hasTime = false;
};

std::u16string folded(std::u16string_view text) {
    std::u16string out(text.size() * 2 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strToLower(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                                        reinterpret_cast<const UChar*>(text.data()),
                                        int32_t(text.size()), "", &status);
    out.resize(U_SUCCESS(status) ? size_t(length) : 0);
    while (!out.empty() && out.back() == u'.')
        out.pop_back();
    return out;
}

int number(std::u16string_view digits) {
    int value = 0;
    for (const char16_t c : digits)
        value = value * 10 + (c - u'0');
    return value;
}

// Month names of English and the current language, and the order of day
// and month in the current locale's numeric dates.
struct Months {
    std::map<std::u16string, int> byName;
    std::u16string pattern;  // one alternative per name, longest first
    bool monthFirst = false;
};

void addNames(Months& months, const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format =
        udat_open(UDAT_DEFAULT, UDAT_DEFAULT, locale, nullptr, 0, nullptr, 0, &status);
    if (U_FAILURE(status))
        return;
    for (const UDateFormatSymbolType type :
         {UDAT_MONTHS, UDAT_SHORT_MONTHS, UDAT_STANDALONE_MONTHS, UDAT_STANDALONE_SHORT_MONTHS}) {
        for (int32_t month = 0; month < 12; ++month) {
            UChar name[64];
            status = U_ZERO_ERROR;
            const int32_t length = udat_getSymbols(format, type, month, name, 64, &status);
            if (U_FAILURE(status) || length > 63)
                continue;
            const std::u16string key = folded(
                std::u16string_view(reinterpret_cast<const char16_t*>(name), size_t(length)));
            if (key.size() >= 3)
                months.byName.emplace(key, month + 1);
        }
    }
    udat_close(format);
}

// Never destroyed: link detection runs on global queues, which may still be
// matching while the process exits.
const Months& months() {
    static const auto* table = new Months([] {
        Months result;
        const std::string locale = NSLocale::currentLocale()->localeIdentifier();
        addNames(result, "en");
        addNames(result, locale.c_str());
        std::vector<std::u16string> names;
        for (const auto& [name, month] : result.byName)
            names.push_back(name);
        std::sort(names.begin(), names.end(),
                  [](const auto& a, const auto& b) { return a.size() > b.size(); });
        for (const auto& name : names)
            result.pattern += (result.pattern.empty() ? u"\\Q" : u"|\\Q") + name + u"\\E";

        UErrorCode status = U_ZERO_ERROR;
        UDateFormat* format =
            udat_open(UDAT_NONE, UDAT_SHORT, locale.c_str(), nullptr, 0, nullptr, 0, &status);
        if (U_SUCCESS(status)) {
            UChar pattern[64];
            const int32_t length = udat_toPattern(format, false, pattern, 64, &status);
            const std::u16string_view text(reinterpret_cast<const char16_t*>(pattern),
                                           size_t(std::clamp(length, 0, 63)));
            result.monthFirst = text.find(u'M') < text.find(u'd');
            udat_close(format);
        }
        return result;
    }());
    return *table;
}

int currentYear() {
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* calendar = ucal_open(nullptr, 0, "en_US_POSIX", UCAL_GREGORIAN, &status);
    const int year = U_SUCCESS(status) ? ucal_get(calendar, UCAL_YEAR, &status) : 2001;
    ucal_close(calendar);
    return year;
}

int fullYear(std::u16string_view digits) {
    const int year = number(digits);
    return digits.size() == 2 ? 2000 + year : year;
}

// The time of a match of kClock (groups: hour, minute, second, am/pm, or
// hour, am/pm); false for a time no clock shows.
bool readClock(const NSDataDetectorMatch& m, const std::u16string& text, int& hour, int& minute,
               int& second) {
    std::u16string_view ampm = m.text(text, 4);
    if (m.has(1)) {
        hour = number(m.text(text, 1));
        minute = number(m.text(text, 2));
        second = m.has(3) ? number(m.text(text, 3)) : 0;
    } else {
        hour = number(m.text(text, 5));
        minute = second = 0;
        ampm = m.text(text, 6);
    }
    if (!ampm.empty()) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == u"p" || ampm == u"P" ? 12 : 0);
    }
    return hour <= 23 && minute <= 59 && second <= 59;
}

std::optional<NSDate> dateOf(const Written& w, int hour, int minute, int second,
                             const std::string& zone) {
    const auto zoneID = ICUStringFromUTF8(zone).value_or(u"GMT");
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* calendar = ucal_open(reinterpret_cast<const UChar*>(zoneID.data()),
                                    int32_t(zoneID.size()), "en_US_POSIX", UCAL_GREGORIAN, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    ucal_setAttribute(calendar, UCAL_LENIENT, 0);
    ucal_clear(calendar);
    ucal_setDateTime(calendar, w.year, w.month - 1, w.day, hour, minute, second, &status);
    const UDate millis = ucal_getMillis(calendar, &status);
    ucal_close(calendar);
    if (U_FAILURE(status))
        return std::nullopt;
    return NSDate::dateWithTimeIntervalSince1970(millis / 1000);
}

// The time, span and zone written after a date ending at end; the result's
// range runs to the end of what was read.
std::optional<NSTextCheckingResult> resultFor(const std::u16string& text, size_t start, size_t end,
                                              Written w) {
    if (w.month < 1 || w.month > 12 || w.day < 1 || w.day > 31)
        return std::nullopt;
    std::optional<std::pair<int, int>> until;
    std::shared_ptr<NSTimeZone> zone;
    if (auto time = NSDataDetectorMatchAt(
            u"(?:T|,?\\s*(?:(?:at|um|à|a las|alle|om|kl\\.?)\\s+)?)" + std::u16string(kClock), text,
            end, kFold)) {
        int hour = 0, minute = 0, second = 0;
        if (readClock(*time, text, hour, minute, second)) {
            w.hour = hour;
            w.minute = minute;
            w.second = second;
            w.hasTime = true;
            end = time->end();
        }
    }
    if (w.hasTime) {
        if (auto span = NSDataDetectorMatchAt(
                u"\\s*(?:-|–|—|to|until|till|bis)\\s*" + std::u16string(kClock), text, end,
                kFold)) {
            int hour = 0, minute = 0, second = 0;
            if (readClock(*span, text, hour, minute, second)) {
                until = std::pair(hour, minute);
                end = span->end();
            }
        }
        if (auto written = NSDataDetectorMatchAt(u"\\s*(?:(?:UTC|GMT)(?:\\s?([+\\-−])(\\d{1,2})(?::"
                                                 u"?(\\d{2}))?)?|Z|([+\\-])(\\d{2}):?"
                                                 u"(\\d{2}))(?![\\p{L}\\p{N}])",
                                                 text, end, 0)) {
            const size_t sign = written->has(1) ? 1 : 4;
            long seconds = 0;
            if (written->has(sign)) {
                seconds =
                    number(written->text(text, sign + 1)) * 3600L +
                    (written->has(sign + 2) ? number(written->text(text, sign + 2)) * 60L : 0);
                if (written->text(text, sign) != u"+")
                    seconds = -seconds;
            }
            zone = NSTimeZone::timeZoneForSecondsFromGMT(seconds);
            if (zone)
                end = written->end();
        }
    }
    const std::string zoneName = zone ? zone->name() : NSTimeZone::localTimeZone()->name();
    const auto date = dateOf(w, w.hour, w.minute, w.second, zoneName);
    if (!date)
        return std::nullopt;
    double duration = 0;
    if (until) {
        duration = (until->first * 60 + until->second - (w.hour * 60 + w.minute)) * 60.0;
        if (duration <= 0)
            duration += 24 * 3600.0;
    }
    return NSTextCheckingResult::dateCheckingResultWithRangeDateTimeZoneDuration(
        {start, end - start}, *date, zone, duration);
}

bool startsUpperCase(std::u16string_view text) {
    return !text.empty() && u_isupper(text.front());
}

}  // namespace

std::vector<NSTextCheckingResult> NSDataDetectorFindDates(const std::u16string& text) {
    const Months& names = months();
    const std::u16string month = u"(" + names.pattern + u")\\.?";
    const int thisYear = currentYear();
    std::vector<NSTextCheckingResult> found;
    auto add = [&](const NSDataDetectorMatch& m, const Written& w) {
        if (auto result = resultFor(text, m.start(), m.end(), w))
            found.push_back(std::move(*result));
    };
    auto monthNamed = [&](std::u16string_view name) {
        const auto it = names.byName.find(folded(name));
        return it == names.byName.end() ? 0 : it->second;
    };

    for (const auto& m :
         NSDataDetectorFindAll(std::u16string(kNotAfter) +
                                   u"(\\d{4})-(\\d{1,2})-(\\d{1,2})(?=T\\d|" + kNotBefore + u")",
                               text, kFold))
        add(m, {number(m.text(text, 1)), number(m.text(text, 2)), number(m.text(text, 3))});
    // A two-digit year only after a two-digit day and month: 1.2.10 is
    // more likely a version than a date.
    auto numeric = [&](const NSDataDetectorMatch& m, size_t dayGroup, size_t monthGroup) {
        const auto year = m.text(text, 3);
        if (year.size() == 2 &&
            (m.text(text, dayGroup).size() != 2 || m.text(text, monthGroup).size() != 2))
            return;
        add(m, {fullYear(year), number(m.text(text, monthGroup)), number(m.text(text, dayGroup))});
    };
    for (const auto& m : NSDataDetectorFindAll(
             std::u16string(kNotAfter) + u"(\\d{1,2})\\.\\s?(\\d{1,2})\\.\\s?(\\d{4}|\\d{2})" +
                 kNotBefore,
             text, kFold))
        numeric(m, 1, 2);
    for (const auto& m : NSDataDetectorFindAll(
             std::u16string(kNotAfter) + u"(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})" + kNotBefore,
             text, kFold))
        numeric(m, names.monthFirst ? 2 : 1, names.monthFirst ? 1 : 2);
    if (names.pattern.empty())
        return found;
    for (const auto& m : NSDataDetectorFindAll(
             std::u16string(kNotAfter) + u"(\\d{1,2})(?:\\.|st|nd|rd|th)?\\s+(?:of\\s+|de\\s+)?" +
                 month + u"(?:,?\\s+(?:de\\s+)?(\\d{4}))?(?![\\p{L}\\p{N}])",
             text, kFold))
        add(m, {m.has(3) ? number(m.text(text, 3)) : thisYear, monthNamed(m.text(text, 2)),
                number(m.text(text, 1))});
    for (const auto& m : NSDataDetectorFindAll(u"(?<![\\p{L}])" + month +
                                                   u"\\s+(\\d{1,2})(?:st|nd|rd|th)?(?:,?\\s+(\\d{"
                                                   u"4}))?(?![\\p{L}\\p{N}])",
                                               text, kFold)) {
        // "may 5" in running text is seldom a date: without a year a month
        // comes first only when capitalised.
        if (!m.has(3) && !startsUpperCase(m.text(text, 1)))
            continue;
        add(m, {m.has(3) ? number(m.text(text, 3)) : thisYear, monthNamed(m.text(text, 1)),
                number(m.text(text, 2))});
    }

    return NSDataDetectorWithoutOverlaps(std::move(found));
}
