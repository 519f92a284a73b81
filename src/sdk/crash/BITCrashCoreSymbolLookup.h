#pragma once

#include <cstdint>

#include "sdk/crash/BITCrashCoreImage.h"

// Which sources name a frame: bit 1 the image's symbol tables (the dynamic
// symbols in memory and the full table of the image file); bit 2 stands for
// runtime class metadata, which this system does not have, and finds nothing.
enum BITCrashCoreSymbolicationStrategy : uint32_t {
    BITCrashCoreSymbolicationNone = 0,
    BITCrashCoreSymbolicationSymbolTable = 1,
    BITCrashCoreSymbolicationObjC = 2,
    BITCrashCoreSymbolicationAll = 3,
};

// The function around an address.
struct BITCrashCoreSymbol {
    static constexpr int nameCapacity = 256;  // 255 bytes and the NUL
    bool found;
    uint64_t address;
    char name[nameCapacity];
};

// Names the function that starts closest below (or at) pc within the image:
// the greatest defined function symbol whose start is at most pc. At equal
// starts the symbol met first is kept. Maps the image file on first use (kept
// until the image's releaseFile). BITCrashCoreESuccess or BITCrashCoreENotFound.
// Runs in signal context.
int BITCrashCoreFindSymbol(BITCrashCoreImage* image, uint32_t strategy, uint64_t pc,
                           BITCrashCoreSymbol* result);
