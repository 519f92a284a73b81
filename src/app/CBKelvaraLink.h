#pragma once

#include <optional>
#include <string>

#include "CoreLocation/CLLocation.h"

// A "kelvara2://" link to a point: "?ll=LAT,LON&z=ZOOM&placemarker=0|1&placename=NAME",
// with "m" for "ll" and "n" for "placename" as short keys.
struct CBKelvaraLink {
    CLLocationCoordinate2D coordinate{0, 0};
    std::optional<int> zoomLevel;
    bool placemarker = false;
    std::optional<std::string> placeName;

    // The link, or nullopt with `error` set to a sentence a person can read
    // (missing or non-numeric values, a coordinate off the globe, a zoom
    // level below 0 or above 22, control characters in the place name).
    static std::optional<CBKelvaraLink> parse(const std::string& url, std::string* error);
    // Whether the URL is of the application's own scheme (any letter case).
    static bool isKelvaraLink(const std::string& url);
};
