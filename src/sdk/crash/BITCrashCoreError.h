#pragma once

#include <string>

#include "Foundation/NSError.h"

// Errors of the crash reporter core, in the domain "BITCrashCoreErrorDomain".
inline constexpr const char* BITCrashCoreErrorDomain = "BITCrashCoreErrorDomain";
enum BITCrashCoreErrorDomainCode : long {
    BITCrashCoreErrorUnknown = 0,
    BITCrashCoreErrorOperatingSystem = 1,
    BITCrashCoreErrorCrashReportInvalid = 2,
    BITCrashCoreErrorResourceBusy = 3,
};

// Stores an error of the domain into *error (nothing when error is null). With
// a POSIX errno the underlying error (domain "NSPOSIXErrorDomain") goes under
// NSUnderlyingErrorKey as a dictionary of "domain" and "code".
void BITCrashCoreSetError(NSError* error, long code, const std::string& description,
                          int posixErrno = 0);
