#pragma once

#include <optional>
#include <string>

#include "CoreLocation/CLLocation.h"

// Links to a location that the share texts and contact cards carry.

// The host of the outside web map that shares open in a browser.
inline constexpr const char* kCBWebMapHost = "maps.google.com";
// The web map a shared place opens in for a reader without Kelvara: the
// map data's own site, which marks a point from its query.
inline constexpr const char* kCBShareMapHost = "www.openstreetmap.org";

// "http://<host>/?ll=<lat>,<lon>&z=<zoom>&q=<lat>,<lon>", coordinates with six decimals.
std::string googleUrlForZoomlevel(const CLLocation& location, int zoomLevel);

// The application's own link: "kelvara2://?ll=<lat>,<lon>&z=<zoom>&placemarker=1&placename=<title>"
// with the title percent-encoded as a query value, or placemarker 0 and an
// empty place name without a title.
std::string kelvara2UrlForZoomlevelWithTitle(const CLLocation& location, int zoomLevel,
                                             const std::optional<std::string>& title);

// The web share link: "https://<share host>/?mlat=<lat>&mlon=<lon>#map=<zoom>/<lat>/<lon>",
// a marked point that any browser shows. The web map has no field for a
// name: the callers' share texts carry the title beside the link, so the
// link is the same with or without one.
std::string kelvara2HTTPUrlForZoomlevelWithTitle(const CLLocation& location, int zoomLevel,
                                                 const std::optional<std::string>& title);
