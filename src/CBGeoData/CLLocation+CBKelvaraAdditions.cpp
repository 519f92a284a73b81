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

std::string kelvara2HTTPUrlForZoomlevelWithTitle(const CLLocation& location, int zoomLevel,
                                                 const std::optional<std::string>&) {
    char text[160];
    const double latitude = location.coordinate().latitude;
    const double longitude = location.coordinate().longitude;
    std::snprintf(text, sizeof text, "https://%s/?mlat=%f&mlon=%f#map=%i/%f/%f", kCBShareMapHost,
                  latitude, longitude, zoomLevel, latitude, longitude);
    return text;
}
