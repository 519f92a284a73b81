#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSLocale.h"
#include "Foundation/NSTimeZone.h"

enum class NSDateFormatterStyle {
    NoStyle = 0,
    ShortStyle = 1,
    MediumStyle = 2,
    LongStyle = 3,
    FullStyle = 4
};

// Dates as text and back, over ICU: by a date style and a time style in the
// formatter's locale (relative formatting writes "today" and "yesterday"
// for those days), or by a fixed pattern ("yyyy-MM-dd HH:mm"). A fixed
// pattern wins over the styles. The locale defaults to the current one, the
// time zone to the local one. A pattern ICU refuses is logged once and the
// formatter then gives "" and reads nothing. Safe to share between threads.
class NSDateFormatter {
  public:
    NSDateFormatter();
    ~NSDateFormatter();
    NSDateFormatter(const NSDateFormatter&) = delete;
    NSDateFormatter& operator=(const NSDateFormatter&) = delete;

    static std::string localizedStringFromDateDateStyleTimeStyle(NSDate date,
                                                                 NSDateFormatterStyle dateStyle,
                                                                 NSDateFormatterStyle timeStyle);

    NSDateFormatterStyle dateStyle() const;
    void setDateStyle(NSDateFormatterStyle style);
    NSDateFormatterStyle timeStyle() const;
    void setTimeStyle(NSDateFormatterStyle style);
    std::string dateFormat() const;
    void setDateFormat(std::string pattern);  // empty: back to the styles
    bool doesRelativeDateFormatting() const;
    void setDoesRelativeDateFormatting(bool relative);
    std::shared_ptr<NSLocale> locale() const;
    void setLocale(std::shared_ptr<NSLocale> locale);  // nullptr: the current locale
    std::shared_ptr<NSTimeZone> timeZone() const;
    void setTimeZone(std::shared_ptr<NSTimeZone> timeZone);  // nullptr: the local zone

    std::string stringFromDate(NSDate date) const;
    // The whole string must match; nullopt otherwise.
    std::optional<NSDate> dateFromString(const std::string& text) const;

  private:
    // The ICU formatter for the current settings, made on first use after a
    // change; nullptr when ICU refuses them. Called with mutex_ held.
    void* formatter() const;
    void invalidate();

    mutable std::mutex mutex_;
    NSDateFormatterStyle dateStyle_ = NSDateFormatterStyle::NoStyle;
    NSDateFormatterStyle timeStyle_ = NSDateFormatterStyle::NoStyle;
    std::string pattern_;
    bool relative_ = false;
    std::shared_ptr<NSLocale> locale_;
    std::shared_ptr<NSTimeZone> timeZone_;
    mutable void* formatter_ = nullptr;  // ICU's UDateFormat
    mutable bool failed_ = false;
};
