#include "CoreLocation/CLGPXTrack.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>
#include <fstream>

#include "Foundation/NSLog.h"

namespace {
// The value of attribute `name` inside a start tag, quoted with ' or ".
std::optional<std::string_view> attribute(std::string_view tag, std::string_view name) {
    size_t from = 0;
    while (true) {
        const size_t at = tag.find(name, from);
        if (at == std::string_view::npos)
            return std::nullopt;
        from = at + name.size();
        // Whole attribute names only: " lat=" but not " xlat=".
        const bool startsWord = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                           tag[at - 1] == '\n' || tag[at - 1] == '\r');
        size_t p = from;
        while (p < tag.size() && tag[p] == ' ')
            ++p;
        if (!startsWord || p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && tag[p] == ' ')
            ++p;
        if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\''))
            return std::nullopt;
        const char quote = tag[p];
        const size_t end = tag.find(quote, p + 1);
        if (end == std::string_view::npos)
            return std::nullopt;
        return tag.substr(p + 1, end - p - 1);
    }
}

std::optional<double> number(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The text of the first <name>...</name> inside a point's body.
std::optional<std::string_view> child(std::string_view body, std::string_view name) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const size_t start = body.find(open);
    if (start == std::string_view::npos)
        return std::nullopt;
    const size_t end = body.find(close, start + open.size());
    if (end == std::string_view::npos)
        return std::nullopt;
    return body.substr(start + open.size(), end - start - open.size());
}

std::optional<int> digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size())
        return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The points of elements named `element` ("trkpt" or "rtept").
std::optional<std::vector<CLGPXPoint>> readPoints(std::string_view text, std::string_view element) {
    std::vector<CLGPXPoint> points;
    const std::string open = "<" + std::string(element);
    const std::string close = "</" + std::string(element) + ">";
    size_t from = 0;
    while (true) {
        const size_t start = text.find(open, from);
        if (start == std::string_view::npos)
            break;
        const size_t afterName = start + open.size();
        if (afterName >= text.size())
            break;
        const char next = text[afterName];
        if (next != ' ' && next != '\t' && next != '\n' && next != '\r' && next != '>' &&
            next != '/') {
            from = afterName;
            continue;
        }
        const size_t tagEnd = text.find('>', afterName);
        if (tagEnd == std::string_view::npos) {
            NSLogWithLevel(NSLogLevel::Error, "GPX: unterminated <%s> tag", open.c_str() + 1);
            return std::nullopt;
        }
        const std::string_view tag = text.substr(afterName, tagEnd - afterName);
        const auto latText = attribute(tag, "lat");
        const auto lonText = attribute(tag, "lon");
        const auto lat = latText ? number(*latText) : std::nullopt;
        const auto lon = lonText ? number(*lonText) : std::nullopt;
        if (!lat || !lon || !CLLocationCoordinate2DIsValid({*lat, *lon})) {
            NSLogWithLevel(NSLogLevel::Error, "GPX: point %zu has no valid lat and lon",
                           points.size() + 1);
            return std::nullopt;
        }
        CLGPXPoint point;
        point.coordinate = {*lat, *lon};
        from = tagEnd + 1;
        if (tag.empty() || tag.back() != '/') {
            const size_t end = text.find(close, from);
            if (end == std::string_view::npos) {
                NSLogWithLevel(NSLogLevel::Error, "GPX: point %zu is not closed",
                               points.size() + 1);
                return std::nullopt;
            }
            const std::string_view body = text.substr(from, end - from);
            if (const auto ele = child(body, "ele"))
                point.elevation = number(*ele);
            if (const auto time = child(body, "time"))
                point.time = CLGPXTrack::dateFromISO8601(*time);
            from = end + close.size();
        }
        points.push_back(point);
    }
    return points;
}
}  // namespace

std::optional<CLGPXTrack> CLGPXTrack::trackWithContentsOfFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        NSLogWithLevel(NSLogLevel::Error, "GPX: cannot open %s", path.c_str());
        return std::nullopt;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<size_t>(size) > kMaximumFileSize) {
        NSLogWithLevel(NSLogLevel::Error, "GPX: %s is not a readable file of at most %zu bytes",
                       path.c_str(), kMaximumFileSize);
        return std::nullopt;
    }
    file.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    file.read(text.data(), size);
    if (!file) {
        NSLogWithLevel(NSLogLevel::Error, "GPX: cannot read %s", path.c_str());
        return std::nullopt;
    }
    return trackWithString(text);
}

std::optional<CLGPXTrack> CLGPXTrack::trackWithString(std::string_view text) {
    if (text.size() > kMaximumFileSize) {
        NSLogWithLevel(NSLogLevel::Error, "GPX: text of %zu bytes is too large", text.size());
        return std::nullopt;
    }
    auto points = readPoints(text, "trkpt");
    if (points && points->empty())
        points = readPoints(text, "rtept");
    if (!points)
        return std::nullopt;
    if (points->empty()) {
        NSLogWithLevel(NSLogLevel::Error, "GPX: no track or route points");
        return std::nullopt;
    }
    CLGPXTrack track;
    track.points_ = std::move(*points);
    return track;
}

double CLGPXTrack::intervalAfterPoint(size_t index) const {
    if (index + 1 >= points_.size())
        return 1.0;
    const auto& a = points_[index].time;
    const auto& b = points_[index + 1].time;
    if (!a || !b)
        return 1.0;
    const double interval = b->timeIntervalSinceDate(*a);
    return interval > 0 ? interval : 1.0;
}

std::optional<NSDate> CLGPXTrack::dateFromISO8601(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2),
               second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 ||
        *second > 60)
        return std::nullopt;
    size_t p = 19;
    double fraction = 0;
    if (p < text.size() && text[p] == '.') {
        double scale = 0.1;
        ++p;
        const size_t start = p;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            fraction += (text[p] - '0') * scale;
            scale /= 10;
            ++p;
        }
        if (p == start)
            return std::nullopt;
    }
    long offset = 0;
    if (p < text.size() && (text[p] == 'Z' || text[p] == 'z')) {
        ++p;
    } else if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        const auto oh = digits(text, p + 1, 2), om = digits(text, p + 4, 2);
        if (!oh || !om || text[p + 3] != ':' || *oh > 23 || *om > 59)
            return std::nullopt;
        offset = (*oh * 3600L + *om * 60L) * (text[p] == '-' ? -1 : 1);
        p += 6;
    }
    if (p != text.size())
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = *year - 1900;
    tm.tm_mon = *month - 1;
    tm.tm_mday = *day;
    tm.tm_hour = *hour;
    tm.tm_min = *minute;
    tm.tm_sec = *second;
    const time_t seconds = timegm(&tm);
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(seconds - offset) + fraction);
}
