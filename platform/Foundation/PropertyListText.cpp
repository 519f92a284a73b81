#include "Foundation/PropertyListText.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Days between 1970-01-01 and a civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

bool digits(const std::string& text, size_t at, size_t count, int64_t& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

void PropertyListText::appendUTF8(std::string& text, uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool PropertyListText::isValidUTF8(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        const uint8_t lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t extra = 0;
        uint32_t code = 0;
        uint32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (length - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string PropertyListText::utf16ToUTF8(const uint8_t* bytes, size_t units, bool bigEndian) {
    auto unitAt = [&](size_t i) -> uint32_t {
        const uint32_t first = bytes[2 * i];
        const uint32_t second = bytes[2 * i + 1];
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::string text;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUTF8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = 0xFFFD;
        appendUTF8(text, unit);
    }
    return text;
}

std::string PropertyListText::encodeBase64(const Value::Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const uint32_t group =
            (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            text += kBase64[(group >> shift) & 0x3F];
    }
    if (i < data.size()) {
        uint32_t group = uint32_t{data[i]} << 16;
        if (i + 1 < data.size())
            group |= uint32_t{data[i + 1]} << 8;
        text += kBase64[(group >> 18) & 0x3F];
        text += kBase64[(group >> 12) & 0x3F];
        text += i + 1 < data.size() ? kBase64[(group >> 6) & 0x3F] : '=';
        text += '=';
    }
    return text;
}

std::optional<Value::Data> PropertyListText::decodeBase64(const std::string& text) {
    Value::Data data;
    data.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int filled = 0;
    int padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int digit = base64Digit(c);
        if (digit < 0 || padding > 0)
            return std::nullopt;
        group = (group << 6) | static_cast<uint32_t>(digit);
        if (++filled == 4) {
            data.push_back(static_cast<uint8_t>(group >> 16));
            data.push_back(static_cast<uint8_t>(group >> 8));
            data.push_back(static_cast<uint8_t>(group));
            group = 0;
            filled = 0;
        }
    }
    if (filled == 1 || padding > 2)
        return std::nullopt;
    if (filled == 2)
        data.push_back(static_cast<uint8_t>(group >> 4));
    if (filled == 3) {
        data.push_back(static_cast<uint8_t>(group >> 10));
        data.push_back(static_cast<uint8_t>(group >> 2));
    }
    return data;
}

std::string PropertyListText::formatISO8601(NSDate date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    // Beyond +-10^15 s the calendar arithmetic would overflow; such dates are clamped.
    const auto whole = static_cast<int64_t>(std::fmax(-1e15, std::fmin(1e15, seconds)));
    int64_t days = whole / 86400;
    int64_t rest = whole % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days, year, month, day);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%04lld-%02u-%02uT%02d:%02d:%02dZ", year < 0 ? "-" : "",
                  static_cast<long long>(year < 0 ? -year : year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return buffer;
}

std::optional<NSDate> PropertyListText::parseISO8601(const std::string& text) {
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        at = 1;
    size_t yearDigits = 0;
    while (at + yearDigits < text.size() && text[at + yearDigits] >= '0' &&
           text[at + yearDigits] <= '9')
        ++yearDigits;
    int64_t year = 0;
    int64_t month = 0;
    int64_t day = 0;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    if (yearDigits < 4 || yearDigits > 9 || !digits(text, at, yearDigits, year))
        return std::nullopt;
    at += yearDigits;
    if (negative)
        year = -year;
    if (at >= text.size() || text[at] != '-' || !digits(text, at + 1, 2, month))
        return std::nullopt;
    at += 3;
    if (at >= text.size() || text[at] != '-' || !digits(text, at + 1, 2, day))
        return std::nullopt;
    at += 3;
    if (at >= text.size() || text[at] != 'T' || !digits(text, at + 1, 2, hour))
        return std::nullopt;
    at += 3;
    if (at >= text.size() || text[at] != ':' || !digits(text, at + 1, 2, minute))
        return std::nullopt;
    at += 3;
    if (at >= text.size() || text[at] != ':' || !digits(text, at + 1, 2, second))
        return std::nullopt;
    at += 3;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        ++at;
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == start)
            return std::nullopt;
    }
    if (at + 1 != text.size() || text[at] != 'Z')
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    const int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const double seconds =
        static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) + fraction;
    return NSDate::dateWithTimeIntervalSince1970(seconds);
}
