#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Foundation/NSError.h"
#include "sdk/crash/zvcrash.pb-c.h"

struct BITCrashCoreReportMessageDeleter {
    void operator()(Zvcrash__CrashReport* message) const;
};
// An unpacked report message, freed through protobuf-c.
using BITCrashCoreReportMessage =
    std::unique_ptr<Zvcrash__CrashReport, BITCrashCoreReportMessageDeleter>;

// Reads the bytes of a crash report file: the "zvcrash" header, version 1,
// then the message. On failure returns nullptr and sets *error (domain
// "BITCrashCoreErrorDomain", code 2) with the reason; the bytes are never
// trusted beyond what the checks and protobuf-c allow.
BITCrashCoreReportMessage BITCrashCoreDecodeCrashData(const uint8_t* bytes, size_t length,
                                                      NSError* error);
inline BITCrashCoreReportMessage BITCrashCoreDecodeCrashData(const std::vector<uint8_t>& data,
                                                             NSError* error) {
    return BITCrashCoreDecodeCrashData(data.data(), data.size(), error);
}
