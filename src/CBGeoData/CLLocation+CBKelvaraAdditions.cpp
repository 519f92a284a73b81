#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"

#include <cstdio>

#include "foundation/NSString+Base64.h"

namespace {

std::string coordinatePair(const CLLocation& location) {
    char text[64];
    std::snprintf(text, sizeof text, "%f,%f", location.coordinate().latitude,
                  location.coordinate().longitude);
    return text;
}

}  // namespace

std::string googleUrlForZoomlevel(const CLLocation& location, int zoomLevel) {
    std::string pair = coordinatePair(location);
    return std::string("http://") + kCBWebMapHost + "/?ll=" + pair +
           "&z=" + std::to_string(zoomLevel) + "&q=" + pair;
}

std::string kelvara2UrlForZoomlevelWithTitle(const CLLocation& location, int zoomLevel,
                                             const std::optional<std::string>& title) {
    return "kelvara2://?ll=" + coordinatePair(location) + "&z=" + std::to_string(zoomLevel) +
           "&placemarker=" + (title ? "1" : "0") +
           "&placename=" + (title ? urlEncoded(*title) : "");
}
