#pragma once

#include "sdk/crash/BITCrashCoreThreadState.h"

class BITCrashCoreAsyncImageList;

// Steps outward through a thread's stack, one frame at a time, asking frame
// readers in order for the caller's registers. Holds copies of the states.
// Nothing here allocates or locks: runs in signal context.
class BITCrashCoreFrameCursor {
  public:
    // A frame reader: fills next from current (and previous, or null below
    // depth 2); 0 on success, else a BITCrashCoreErrorCode.
    using FrameReader = int (*)(const BITCrashCoreAsyncImageList* images,
                                const BITCrashCoreThreadState& current,
                                const BITCrashCoreThreadState* previous,
                                BITCrashCoreThreadState* next);

    // Runs in signal context.
    void initWithThreadState(const BITCrashCoreThreadState& state,
                             const BITCrashCoreAsyncImageList* images);
    // Moves to the next frame: BITCrashCoreESuccess, BITCrashCoreENotFound
    // when the stack ends, or the last reader's code. Runs in signal context.
    int next();
    // The current frame's register; BITCrashCoreENotSup when the frame lacks it.
    // Runs in signal context.
    int registerValue(int index, uint64_t* value) const;
    const BITCrashCoreThreadState& currentState() const { return current_; }

    // The frame-pointer reader: the caller's frame pointer and return address
    // are the two words at the frame pointer. Runs in signal context.
    static int readFramePointerFrame(const BITCrashCoreAsyncImageList* images,
                                     const BITCrashCoreThreadState& current,
                                     const BITCrashCoreThreadState* previous,
                                     BITCrashCoreThreadState* next);

  private:
    const BITCrashCoreAsyncImageList* images_ = nullptr;
    int depth_ = 0;
    BITCrashCoreThreadState previous_;
    BITCrashCoreThreadState current_;
};
