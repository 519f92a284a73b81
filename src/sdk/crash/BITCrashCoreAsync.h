#pragma once

#include <cstddef>
#include <cstdint>

// Result codes shared by the code that runs inside a crashing process.
enum BITCrashCoreErrorCode : int {
    BITCrashCoreESuccess = 0,
    BITCrashCoreEUnknown = 1,
    BITCrashCoreEOutput = 2,
    BITCrashCoreENoMem = 3,
    BITCrashCoreENotSup = 4,
    BITCrashCoreEInvalidArgument = 5,
    BITCrashCoreEInternal = 6,
    BITCrashCoreEAccess = 7,
    BITCrashCoreENotFound = 8,
    BITCrashCoreEInvalidData = 9,
};

// The text of a result code ("Unhandled error code" for others). Runs in signal context.
const char* BITCrashCoreStrError(int code);

// Copies length bytes at address + offset of this process into destination,
// without faulting when the memory is unmapped. Runs in signal context.
// Returns BITCrashCoreEInvalidArgument when address + offset wraps,
// BITCrashCoreEInvalidData for an unmapped address, BITCrashCoreEAccess for a
// protected one.
int BITCrashCoreMemoryRead(uintptr_t address, uintptr_t offset, void* destination, size_t length);

// Bounded byte helpers of our own, safe in signal context.
// Compares at most limit bytes and stops after a NUL common to both.
int BITCrashCoreStrncmp(const char* a, const char* b, size_t limit);
void BITCrashCoreMemcpy(void* destination, const void* source, size_t length);
void BITCrashCoreMemset(void* destination, uint8_t value, size_t length);
size_t BITCrashCoreStrlen(const char* text, size_t limit);
// Copies text into a buffer of capacity bytes, always NUL-terminated, cut when longer.
void BITCrashCoreStrlcpy(char* destination, const char* source, size_t capacity);
// Writes value in decimal (with a minus sign when negative); returns the length.
size_t BITCrashCoreFormatDecimal(char* destination, size_t capacity, int64_t value);

// The kernel id of the calling thread. Runs in signal context.
int BITCrashCoreCurrentThread();
