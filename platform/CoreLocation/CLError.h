#pragma once

// Errors of the location service.
inline constexpr const char* kCLErrorDomain = "kCLErrorDomain";

enum CLError : long {
    kCLErrorLocationUnknown = 0,  // no fix yet; the service keeps trying
    kCLErrorDenied = 1,           // the user refused location services
    kCLErrorNetwork = 2,
    kCLErrorHeadingFailure = 3,
};
