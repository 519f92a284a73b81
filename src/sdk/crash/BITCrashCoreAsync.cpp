#include "sdk/crash/BITCrashCoreAsync.h"

#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

const char* BITCrashCoreStrError(int code) {
    switch (code) {
        case BITCrashCoreESuccess:
            return "No error";
        case BITCrashCoreEUnknown:
            return "Unknown error";
        case BITCrashCoreEOutput:
            return "Output file can not be opened (or written to)";
        case BITCrashCoreENoMem:
            return "No memory available";
        case BITCrashCoreENotSup:
            return "Operation not supported";
        case BITCrashCoreEInvalidArgument:
            return "Invalid argument";
        case BITCrashCoreEInternal:
            return "Internal error";
        case BITCrashCoreEAccess:
            return "Access denied";
        case BITCrashCoreENotFound:
            return "Not found";
        case BITCrashCoreEInvalidData:
            return "The input data is in an unknown or invalid format.";
        default:
            return "Unhandled error code";
    }
}

// Runs in signal context: process_vm_readv on our own pid reports an unmapped
// range as EFAULT instead of faulting.
int BITCrashCoreMemoryRead(uintptr_t address, uintptr_t offset, void* destination, size_t length) {
    uintptr_t source = address + offset;
    if (source < address || source + length < source) {
        return BITCrashCoreEInvalidArgument;
    }
    if (length == 0) {
        return BITCrashCoreESuccess;
    }
    struct iovec local = {destination, length};
    struct iovec remote = {reinterpret_cast<void*>(source), length};
    int savedErrno = errno;
    ssize_t done = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    int readErrno = errno;
    errno = savedErrno;
    if (done == static_cast<ssize_t>(length)) {
        return BITCrashCoreESuccess;
    }
    if (done >= 0 || readErrno == EFAULT) {
        return BITCrashCoreEInvalidData;
    }
    if (readErrno == EPERM) {
        return BITCrashCoreEAccess;
    }
    return BITCrashCoreEUnknown;
}

// Runs in signal context.
int BITCrashCoreStrncmp(const char* a, const char* b, size_t limit) {
    for (size_t i = 0; i < limit; i++) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        if (ca == 0) {
            return 0;
        }
    }
    return 0;
}

// Runs in signal context.
void BITCrashCoreMemcpy(void* destination, const void* source, size_t length) {
    auto* d = static_cast<volatile uint8_t*>(destination);
    const auto* s = static_cast<const uint8_t*>(source);
    for (size_t i = 0; i < length; i++) {
        d[i] = s[i];
    }
}

// Runs in signal context.
void BITCrashCoreMemset(void* destination, uint8_t value, size_t length) {
    auto* d = static_cast<volatile uint8_t*>(destination);
    for (size_t i = 0; i < length; i++) {
        d[i] = value;
    }
}

// Runs in signal context.
size_t BITCrashCoreStrlen(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != 0) {
        length++;
    }
    return length;
}

// Runs in signal context.
void BITCrashCoreStrlcpy(char* destination, const char* source, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    size_t length = source == nullptr ? 0 : BITCrashCoreStrlen(source, capacity - 1);
    BITCrashCoreMemcpy(destination, source, length);
    destination[length] = 0;
}

// Runs in signal context.
size_t BITCrashCoreFormatDecimal(char* destination, size_t capacity, int64_t value) {
    char digits[24];
    size_t count = 0;
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        digits[count++] = '-';
    }
    if (capacity == 0) {
        return 0;
    }
    size_t length = count < capacity - 1 ? count : capacity - 1;
    for (size_t i = 0; i < length; i++) {
        destination[i] = digits[count - 1 - i];
    }
    destination[length] = 0;
    return length;
}

// Runs in signal context.
int BITCrashCoreCurrentThread() {
    return static_cast<int>(syscall(SYS_gettid));
}
