#pragma once

#include <cstdint>
#include <string>

// Where a restaurant guide's venue is booked: the guide's mobile web site
// and its booking hotline.

// The user default holding the site's host ("host" or "host:port").
inline constexpr const char* kCBTopTableSiteHostKey = "CBTopTableSiteHost";
// The site's host while the user default names none (or none usable).
inline constexpr const char* kCBTopTableDefaultSiteHost = "127.0.0.1:8093";

// The host of the user default when it is a plain host name or address with
// an optional port, else the default.
std::string CBTopTableSiteHost();
// The venue's page on the guide's mobile site: http://<host>/Venue/<ttID>.
std::string CBTopTableVenuePageURL(int64_t ttID);
// The hotline's number as it is shown, and as a "tel:" link.
std::string CBTopTableHotlineNumber();
std::string CBTopTableHotlineURL();
