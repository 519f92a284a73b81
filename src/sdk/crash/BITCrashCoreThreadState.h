#pragma once

#include <ucontext.h>

#include <cstdint>

// The registers of one thread (x86_64), from a signal's machine context or a
// capture of the calling thread, with a valid bit per register. Index 0 is the
// program counter, 1 the frame pointer, 2 the stack pointer; the order is the
// order in which registers are named and written to a report.
struct BITCrashCoreThreadState {
    enum Register : int {
        PC = 0,  // rip
        FP = 1,  // rbp
        SP = 2,  // rsp
    };
    static constexpr int registerCount = 21;

    uint64_t registers[registerCount];
    uint64_t validRegisters;

    // Runs in signal context.
    void initWithMachineContext(const ucontext_t& context);
    // Zeroed, nothing valid. Runs in signal context.
    void clear();

    // Runs in signal context (all accessors). Callers ask only for indexes
    // below registerCount.
    uint64_t registerValue(int index) const { return registers[index]; }
    bool hasRegister(int index) const { return (validRegisters >> index) & 1; }
    void setRegister(int index, uint64_t value) {
        registers[index] = value;
        validRegisters |= uint64_t{1} << index;
    }
    void clearAllRegisters() { validRegisters = 0; }
    static const char* registerName(int index);

    // Captures the calling thread's registers, with the address this call
    // returns to as pc and the caller's frame as the current frame, and calls
    // callback(state, context) on the same stack. Runs in signal context.
    using CaptureCallback = int (*)(BITCrashCoreThreadState* state, void* context);
    static int captureCurrent(CaptureCallback callback, void* context);
};
