#pragma once

#include <cstdint>
#include <string>

// A small fictional restaurant guide for the sample city, for tests only:
// no open restaurant-guide data exists and the package builder makes none.
// Its texts say it is sample data; it is never shipped.
//
// The guide holds "Berlin" (the sample's restaurant at Fritz-Reuter-Straße 1,
// linked from the map with "linkedTT_ID"): bookable on the web and by phone,
// with 4 detailed ratings, a long description, two courses of menus (a dish
// without a price, a dish written with two "#"), a checklist of 3 and a photo.
// A second venue takes bookings by phone only.
namespace TopTableFixture {

inline constexpr int64_t kBerlinVenueID = 4711;
inline constexpr int64_t kPhoneOnlyVenueID = 4712;
inline constexpr const char* kPhoneOnlyVenueName = "Zum Sample-Krug";
inline constexpr const char* kPhotoFileName = "berlin-sample.jpg";

// Gives the restaurant "Berlin" of the map store at the path (a copy of the
// sample package's store) its link to the guide, and writes the guide's
// store and photo beside it, where the map screen finds them. False, with
// the reason in *why, when any of it fails.
bool writeGuideForMapStore(const std::string& mapStorePath, std::string* why);

}  // namespace TopTableFixture
