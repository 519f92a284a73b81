#include "Foundation/NSDateFormatter.h"

#include <unicode/udat.h>
#include <unicode/ustring.h>

#include <cstring>
#include <vector>

#include "Foundation/ICUString.h"
#include "Foundation/NSLog.h"

namespace {

UDateFormatStyle icuStyle(NSDateFormatterStyle style) {
    switch (style) {
        case NSDateFormatterStyle::ShortStyle:
            return UDAT_SHORT;
        case NSDateFormatterStyle::MediumStyle:
            return UDAT_MEDIUM;
        case NSDateFormatterStyle::LongStyle:
            return UDAT_LONG;
        case NSDateFormatterStyle::FullStyle:
            return UDAT_FULL;
        case NSDateFormatterStyle::NoStyle:
            break;
    }
    return UDAT_NONE;
}

// ICU prints nothing for letters it does not know and reads an open quote
// to the end; a pattern with either is a mistake, refused here.
bool isPattern(const std::string& pattern) {
    static constexpr const char* kPatternLetters = "GyMdkHmsSEDFwWahKzYeugAZvcLQqVUOXxrbB";
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'') {
            quoted = !quoted;  // '' inside or outside quotes is a quote: two toggles
        } else if (!quoted && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) &&
                   !std::strchr(kPatternLetters, c)) {
            return false;
        }
    }
    return !quoted;
}

}  // namespace

NSDateFormatter::NSDateFormatter() = default;

NSDateFormatter::~NSDateFormatter() {
    if (formatter_)
        udat_close(static_cast<UDateFormat*>(formatter_));
}

std::string NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
    NSDate date, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle) {
    NSDateFormatter formatter;
    formatter.setDateStyle(dateStyle);
    formatter.setTimeStyle(timeStyle);
    return formatter.stringFromDate(date);
}

void NSDateFormatter::invalidate() {
    if (formatter_)
        udat_close(static_cast<UDateFormat*>(formatter_));
    formatter_ = nullptr;
    failed_ = false;
}

NSDateFormatterStyle NSDateFormatter::dateStyle() const {
    std::lock_guard lock(mutex_);
    return dateStyle_;
}

void NSDateFormatter::setDateStyle(NSDateFormatterStyle style) {
    std::lock_guard lock(mutex_);
    dateStyle_ = style;
    invalidate();
}

NSDateFormatterStyle NSDateFormatter::timeStyle() const {
    std::lock_guard lock(mutex_);
    return timeStyle_;
}

void NSDateFormatter::setTimeStyle(NSDateFormatterStyle style) {
    std::lock_guard lock(mutex_);
    timeStyle_ = style;
    invalidate();
}

std::string NSDateFormatter::dateFormat() const {
    std::lock_guard lock(mutex_);
    return pattern_;
}

void NSDateFormatter::setDateFormat(std::string pattern) {
    std::lock_guard lock(mutex_);
    pattern_ = std::move(pattern);
    invalidate();
}

bool NSDateFormatter::doesRelativeDateFormatting() const {
    std::lock_guard lock(mutex_);
    return relative_;
}

void NSDateFormatter::setDoesRelativeDateFormatting(bool relative) {
    std::lock_guard lock(mutex_);
    relative_ = relative;
    invalidate();
}

std::shared_ptr<NSLocale> NSDateFormatter::locale() const {
    std::lock_guard lock(mutex_);
    return locale_ ? locale_ : NSLocale::currentLocale();
}

void NSDateFormatter::setLocale(std::shared_ptr<NSLocale> locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::move(locale);
    invalidate();
}

std::shared_ptr<NSTimeZone> NSDateFormatter::timeZone() const {
    std::lock_guard lock(mutex_);
    return timeZone_ ? timeZone_ : NSTimeZone::localTimeZone();
}

void NSDateFormatter::setTimeZone(std::shared_ptr<NSTimeZone> timeZone) {
    std::lock_guard lock(mutex_);
    timeZone_ = std::move(timeZone);
    invalidate();
}

void* NSDateFormatter::formatter() const {
    if (formatter_ || failed_)
        return formatter_;
    if (pattern_.empty() && dateStyle_ == NSDateFormatterStyle::NoStyle &&
        timeStyle_ == NSDateFormatterStyle::NoStyle) {
        return nullptr;  // nothing to write
    }
    const std::string locale = (locale_ ? locale_ : NSLocale::currentLocale())->localeIdentifier();
    const std::u16string zone =
        ICUStringFromUTF8((timeZone_ ? timeZone_ : NSTimeZone::localTimeZone())->name())
            .value_or(u"GMT");
    UErrorCode status = U_ZERO_ERROR;
    if (!pattern_.empty()) {
        std::optional<std::u16string> pattern = ICUStringFromUTF8(pattern_);
        if (!pattern || !isPattern(pattern_)) {
            status = U_INVALID_FORMAT_ERROR;
        } else {
            formatter_ = udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.c_str(), zone.data(),
                                   static_cast<int32_t>(zone.size()), pattern->data(),
                                   static_cast<int32_t>(pattern->size()), &status);
        }
    } else {
        UDateFormatStyle dateStyle = icuStyle(dateStyle_);
        // ICU's relative styles name today and yesterday and fall back to
        // the plain style for other days.
        if (relative_ && dateStyle != UDAT_NONE)
            dateStyle = static_cast<UDateFormatStyle>(dateStyle | UDAT_RELATIVE);
        formatter_ = udat_open(icuStyle(timeStyle_), dateStyle, locale.c_str(), zone.data(),
                               static_cast<int32_t>(zone.size()), nullptr, -1, &status);
    }
    if (U_FAILURE(status)) {
        if (formatter_)
            udat_close(static_cast<UDateFormat*>(formatter_));
        formatter_ = nullptr;
        failed_ = true;
        NSLogWithLevel(NSLogLevel::Error, "Date format \"%.200s\" is not usable: %s",
                       pattern_.c_str(), u_errorName(status));
        return nullptr;
    }
    auto* format = static_cast<UDateFormat*>(formatter_);
    udat_setLenient(format, false);
    if (relative_)
        udat_setContext(format, UDISPCTX_CAPITALIZATION_FOR_STANDALONE, &status);
    return formatter_;
}

std::string NSDateFormatter::stringFromDate(NSDate date) const {
    std::lock_guard lock(mutex_);
    auto* format = static_cast<UDateFormat*>(formatter());
    if (!format)
        return {};
    UChar buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    const UDate milliseconds = date.timeIntervalSince1970() * 1000.0;
    int32_t length = udat_format(format, milliseconds, buffer, 256, nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        std::vector<UChar> large(static_cast<size_t>(length) + 1);
        status = U_ZERO_ERROR;
        length = udat_format(format, milliseconds, large.data(), length + 1, nullptr, &status);
        return U_SUCCESS(status) ? ICUStringToUTF8(large.data(), length).value_or("") : "";
    }
    return U_SUCCESS(status) ? ICUStringToUTF8(buffer, length).value_or("") : "";
}

std::optional<NSDate> NSDateFormatter::dateFromString(const std::string& text) const {
    std::lock_guard lock(mutex_);
    auto* format = static_cast<UDateFormat*>(formatter());
    std::optional<std::u16string> input = ICUStringFromUTF8(text);
    if (!format || !input || input->empty())
        return std::nullopt;
    int32_t position = 0;
    UErrorCode status = U_ZERO_ERROR;
    UDate milliseconds =
        udat_parse(format, input->data(), static_cast<int32_t>(input->size()), &position, &status);
    if (U_FAILURE(status) || position != static_cast<int32_t>(input->size()))
        return std::nullopt;
    return NSDate::dateWithTimeIntervalSince1970(milliseconds / 1000.0);
}
