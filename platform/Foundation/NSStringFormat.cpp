#include "Foundation/NSStringFormat.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include <unicode/upluralrules.h>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"

namespace {

// Widths and precisions above this are refused: a translation must not be
// able to ask for a gigabyte of padding.
constexpr int kMaximumWidth = 1000;
constexpr size_t kMaximumPosition = 100;

struct Segment {
    std::string literal;  // text before the conversion (may be all there is)
    bool isConversion = false;
    NSFormatConversion conversion{NSFormatConversion::Kind::Any, 0};
    std::string spec;  // printf flags, width and precision, without '%'
    char type = 0;     // the conversion character
    int width = 0;
    bool leftAligned = false;
};

bool readNumber(std::string_view format, size_t& i, int& value) {
    value = 0;
    size_t start = i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        value = value * 10 + (format[i] - '0');
        if (value > kMaximumWidth)
            return false;
        ++i;
    }
    return i > start;
}

std::optional<std::vector<Segment>> parse(std::string_view format) {
    std::vector<Segment> segments(1);
    enum { Unknown, Positional, Sequential } mode = Unknown;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            segments.back().literal += format[i];
            continue;
        }
        if (++i >= format.size())
            return std::nullopt;
        if (format[i] == '%') {
            segments.back().literal += '%';
            continue;
        }
        Segment& segment = segments.back();
        // A position: digits and '$'.
        size_t mark = i;
        int position = 0;
        if (readNumber(format, mark, position) && mark < format.size() && format[mark] == '$') {
            if (position < 1 || static_cast<size_t>(position) > kMaximumPosition ||
                mode == Sequential) {
                return std::nullopt;
            }
            mode = Positional;
            segment.conversion.argument = static_cast<size_t>(position - 1);
            i = mark + 1;
        } else {
            if (mode == Positional)
                return std::nullopt;
            mode = Sequential;
            segment.conversion.argument = next++;
        }
        while (i < format.size() && format[i] && std::strchr("-+ #0", format[i])) {
            segment.leftAligned = segment.leftAligned || format[i] == '-';
            segment.spec += format[i++];
        }
        size_t start = i;
        if (i < format.size() && format[i] >= '0' && format[i] <= '9' &&
            !readNumber(format, i, segment.width)) {
            return std::nullopt;
        }
        segment.spec.append(format.substr(start, i - start));
        if (i < format.size() && format[i] == '.') {
            start = i++;
            int precision = 0;
            if (i < format.size() && format[i] >= '0' && format[i] <= '9' &&
                !readNumber(format, i, precision)) {
                return std::nullopt;
            }
            segment.spec.append(format.substr(start, i - start));
        }
        while (i < format.size() && format[i] && std::strchr("hlqztjL", format[i]))
            ++i;
        if (i >= format.size())
            return std::nullopt;
        segment.type = format[i];
        if (!segment.type) {
            return std::nullopt;
        } else if (std::strchr("@s", segment.type)) {
            segment.conversion.kind = NSFormatConversion::Kind::Any;
        } else if (std::strchr("diuxXoc", segment.type)) {
            segment.conversion.kind = NSFormatConversion::Kind::Integer;
        } else if (std::strchr("fFeEgGaA", segment.type)) {
            segment.conversion.kind = NSFormatConversion::Kind::Real;
        } else {
            return std::nullopt;  // %n, %p, '*' widths, a NUL, ...
        }
        segment.isConversion = true;
        segments.emplace_back();
    }
    return segments;
}

std::string printed(const std::string& spec, int64_t value, char type) {
    char buffer[kMaximumWidth + 64];
    if (type == 'c') {
        std::snprintf(buffer, sizeof buffer, ("%" + spec + "c").c_str(), static_cast<int>(value));
    } else {
        const std::string format = "%" + spec + "ll" + (type == 'i' ? 'd' : type);
        std::snprintf(buffer, sizeof buffer, format.c_str(), static_cast<long long>(value));
    }
    return buffer;
}

std::string printed(const std::string& spec, double value, char type) {
    std::string format = "%" + spec + type;
    int size = std::snprintf(nullptr, 0, format.c_str(), value);
    if (size < 0)
        return {};
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), value);
    text.resize(static_cast<size_t>(size));
    return text;
}

// What %@ writes for an argument: text as it is, numbers in their shortest form.
std::string description(const NSFormatArgument& argument) {
    if (const std::string* text = argument.text())
        return *text;
    char buffer[64];
    auto result = argument.integer()
                      ? std::to_chars(buffer, buffer + sizeof buffer, *argument.integer())
                      : std::to_chars(buffer, buffer + sizeof buffer, *argument.real());
    return std::string(buffer, result.ptr);
}

size_t codePoints(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

}  // namespace

std::optional<std::vector<NSFormatConversion>> NSFormatConversions(std::string_view format) {
    auto segments = parse(format);
    if (!segments)
        return std::nullopt;
    std::vector<NSFormatConversion> conversions;
    for (const Segment& segment : *segments) {
        if (segment.isConversion)
            conversions.push_back(segment.conversion);
    }
    return conversions;
}

std::optional<std::string> NSStringWithFormat(std::string_view format,
                                              std::span<const NSFormatArgument> arguments) {
    auto segments = parse(format);
    if (!segments)
        return std::nullopt;
    std::string text;
    for (const Segment& segment : *segments) {
        text += segment.literal;
        if (!segment.isConversion)
            continue;
        if (segment.conversion.argument >= arguments.size())
            return std::nullopt;
        const NSFormatArgument& argument = arguments[segment.conversion.argument];
        switch (segment.conversion.kind) {
            case NSFormatConversion::Kind::Any: {
                std::string value = description(argument);
                size_t length = codePoints(value);
                std::string padding(
                    length < static_cast<size_t>(segment.width) ? segment.width - length : 0, ' ');
                text += segment.leftAligned ? value + padding : padding + value;
                break;
            }
            case NSFormatConversion::Kind::Integer:
                // A character beyond ASCII would be half of a UTF-8 sequence.
                if (!argument.integer() ||
                    (segment.type == 'c' && (*argument.integer() < 1 || *argument.integer() > 127)))
                    return std::nullopt;
                text += printed(segment.spec, *argument.integer(), segment.type);
                break;
            case NSFormatConversion::Kind::Real:
                if (!argument.real())
                    return std::nullopt;
                text += printed(segment.spec, *argument.real(), segment.type);
                break;
        }
    }
    return text;
}

std::string NSLocalizedFormat(const std::string& key,
                              std::initializer_list<NSFormatArgument> arguments,
                              const std::string& table) {
    std::span<const NSFormatArgument> list(arguments.begin(), arguments.size());
    for (const std::string& format : NSBundle::mainBundle()->localizedStringsForKey(key, table)) {
        if (auto text = NSStringWithFormat(format, list))
            return *text;
        NSLogWithLevel(NSLogLevel::Error,
                       "The localised format \"%s\" of \"%s\" does not fit its %zu arguments",
                       format.c_str(), key.c_str(), list.size());
    }
    if (auto text = NSStringWithFormat(key, list))
        return *text;
    return key;
}

namespace {
// "one", "few", "other", ... as the language's plural rules name count's form.
std::string pluralCategory(const std::string& language, long count) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UPluralRules, decltype(&uplrules_close)> rules(
        uplrules_open(language.c_str(), &status), &uplrules_close);
    UChar name[32];
    const int32_t length = U_SUCCESS(status) ? uplrules_select(rules.get(), double(count), name,
                                                               int32_t(std::size(name)), &status)
                                             : 0;
    if (U_FAILURE(status) || length <= 0 || length >= int32_t(std::size(name)))
        return "other";
    return std::string(name, name + length);
}
}  // namespace

std::string NSLocalizedPluralFormat(const std::string& key, long count, const std::string& table) {
    const std::string form =
        key + ":" + pluralCategory(NSBundle::preferredLocalizations().front(), count);
    const bool translated = !NSBundle::mainBundle()->localizedStringsForKey(form, table).empty();
    return NSLocalizedFormat(translated ? form : key + ":other", {count}, table);
}
