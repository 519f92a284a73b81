#include "app/CBKelvaraLink.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include "Foundation/ICUString.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "Net/NSURL.h"

namespace {

constexpr const char* kScheme = "kelvara2:";
constexpr int kHighestZoomLevel = 22;
// Longer than any place's name: a pin's callout could not show it.
constexpr size_t kLongestPlaceName = 255;

bool fail(std::string* error, const std::string& message) {
    if (error)
        *error = message;
    return false;
}

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::map<std::string, std::string> queryItems(const std::string& query) {
    std::map<std::string, std::string> items;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            items[pair.substr(0, equals)] =
                equals == std::string::npos ? std::string() : pair.substr(equals + 1);
        start = end + 1;
    }
    return items;
}

std::optional<std::string> decoded(const std::string& value) {
    std::string plus = value;
    for (char& c : plus)
        if (c == '+')
            c = ' ';
    return NSURL::percentDecode(plus);
}

bool parseInto(CBKelvaraLink& link, const std::string& url, std::string* error) {
    if (!CBKelvaraLink::isKelvaraLink(url))
        return fail(error, NSLocalizedString("LinkNotKelvara"));
    const size_t question = url.find('?');
    if (question == std::string::npos)
        return fail(error, NSLocalizedString("LinkNamesNoPlace"));
    auto items = queryItems(url.substr(question + 1));
    auto find = [&](const char* key, const char* shortKey) -> const std::string* {
        if (auto it = items.find(key); it != items.end())
            return &it->second;
        if (shortKey)
            if (auto it = items.find(shortKey); it != items.end())
                return &it->second;
        return nullptr;
    };
    const std::string* ll = find("ll", "m");
    if (!ll)
        return fail(error, NSLocalizedString("LinkNamesNoPlace"));
    const size_t comma = ll->find(',');
    const auto latitude = parseNumber(ll->substr(0, comma));
    // No comma leaves no longitude to read.
    const auto longitude =
        parseNumber(comma == std::string::npos ? std::string() : ll->substr(comma + 1));
    if (!latitude || !longitude)
        return fail(error, NSLocalizedFormat("LinkPositionNotNumbersFormat", {*ll}));
    if (std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return fail(error, NSLocalizedFormat("LinkPositionOffTheGlobeFormat", {*ll}));
    link.coordinate = {*latitude, *longitude};
    if (const std::string* z = find("z", nullptr)) {
        const auto zoom = parseNumber(*z);
        if (!zoom || *zoom != std::floor(*zoom))
            return fail(error, NSLocalizedFormat("LinkZoomNotWholeFormat", {*z}));
        if (*zoom < 0 || *zoom > kHighestZoomLevel)
            return fail(error, NSLocalizedFormat("LinkZoomOutOfRangeFormat", {*z}));
        link.zoomLevel = int(*zoom);
    }
    if (const std::string* marker = find("placemarker", nullptr)) {
        if (*marker != "0" && *marker != "1")
            return fail(error, NSLocalizedFormat("LinkPlacemarkerFormat", {*marker}));
        link.placemarker = *marker == "1";
    }
    if (const std::string* name = find("placename", "n"); name && !name->empty()) {
        auto text = decoded(*name);
        auto characters = text ? ICUStringFromUTF8(*text) : std::nullopt;
        if (!characters)
            return fail(error, NSLocalizedString("LinkPlaceNameNotText"));
        if (characters->size() > kLongestPlaceName)
            return fail(error,
                        NSLocalizedFormat("LinkPlaceNameTooLongFormat", {int(kLongestPlaceName)}));
        for (unsigned char c : *text)
            if (c < 0x20 || c == 0x7f)
                return fail(error, NSLocalizedString("LinkPlaceNameControlCharacters"));
        link.placeName = *text;
        if (!find("placemarker", nullptr))
            link.placemarker = true;
    }
    return true;
}

}  // namespace

std::optional<CBKelvaraLink> CBKelvaraLink::parse(const std::string& url, std::string* error) {
    CBKelvaraLink link;
    if (!parseInto(link, url, error))
        return std::nullopt;
    return link;
}

bool CBKelvaraLink::isKelvaraLink(const std::string& url) {
    const size_t length = std::char_traits<char>::length(kScheme);
    if (url.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i])
            return false;
    return true;
}
