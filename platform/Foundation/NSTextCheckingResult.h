#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSRange.h"
#include "Foundation/NSTimeZone.h"

enum NSTextCheckingType : uint64_t {
    NSTextCheckingTypeDate = 1ull << 3,
    NSTextCheckingTypeAddress = 1ull << 4,
    NSTextCheckingTypeLink = 1ull << 5,
    NSTextCheckingTypePhoneNumber = 1ull << 11,
    NSTextCheckingTypeTransitInformation = 1ull << 12,
};

// Every kind of result the system knows, whether or not a detector finds it.
inline constexpr uint64_t NSTextCheckingAllSystemTypes = 0xffffffffull;

// Keys of addressComponents.
inline constexpr const char* NSTextCheckingStreetKey = "Street";
inline constexpr const char* NSTextCheckingCityKey = "City";
inline constexpr const char* NSTextCheckingStateKey = "State";
inline constexpr const char* NSTextCheckingZIPKey = "ZIP";
// Keys of components (transit information).
inline constexpr const char* NSTextCheckingAirlineKey = "Airline";
inline constexpr const char* NSTextCheckingFlightKey = "Flight";

// One thing found in a text; only the fields of its type are set.
struct NSTextCheckingResult {
    using Components = std::map<std::string, std::string>;

    NSTextCheckingType resultType = NSTextCheckingTypeLink;
    NSRange range;            // in UTF-16 units of the searched string, as attributed strings count
    std::string URL;          // links: the URL ("http://" added to "www.",
                              // "mailto:" to e-mail addresses)
    std::string phoneNumber;  // phone numbers: as written
    std::optional<NSDate> date;
    std::shared_ptr<NSTimeZone> timeZone;  // dates: the zone written with the time, else nullptr
    double duration = 0;                   // dates: seconds a written span of time lasts
    Components addressComponents;          // addresses
    Components components;                 // transit information

    static NSTextCheckingResult linkCheckingResultWithRangeURL(NSRange range, std::string url);
    static NSTextCheckingResult addressCheckingResultWithRangeComponents(NSRange range,
                                                                         Components components);
    static NSTextCheckingResult phoneNumberCheckingResultWithRangePhoneNumber(
        NSRange range, std::string phoneNumber);
    static NSTextCheckingResult dateCheckingResultWithRangeDate(NSRange range, NSDate date);
    static NSTextCheckingResult dateCheckingResultWithRangeDateTimeZoneDuration(
        NSRange range, NSDate date, std::shared_ptr<NSTimeZone> timeZone, double duration);
    static NSTextCheckingResult transitInformationCheckingResultWithRangeComponents(
        NSRange range, Components components);
};
