#include "sdk/crash/BITCrashCoreFrameCursor.h"

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreDwarfFrameReader.h"

namespace {

constexpr uint64_t kPageSize = 4096;

// Call-frame information first: it is exact where present; frame pointers
// cover code without it.
const BITCrashCoreFrameCursor::FrameReader kFrameReaders[] = {
    BITCrashCoreReadDwarfFrame,
    BITCrashCoreFrameCursor::readFramePointerFrame,
};

}  // namespace

// Runs in signal context.
void BITCrashCoreFrameCursor::initWithThreadState(const BITCrashCoreThreadState& state,
                                                  const BITCrashCoreAsyncImageList* images) {
    images_ = images;
    depth_ = 0;
    previous_.clear();
    current_ = state;
}

// Runs in signal context.
int BITCrashCoreFrameCursor::next() {
    if (depth_ == 0) {
        depth_ = 1;
        return BITCrashCoreESuccess;
    }
    BITCrashCoreThreadState found;
    int result = BITCrashCoreENotSup;
    for (FrameReader reader : kFrameReaders) {
        found.clear();
        result = reader(images_, current_, depth_ >= 2 ? &previous_ : nullptr, &found);
        if (result == BITCrashCoreESuccess) {
            break;
        }
    }
    if (result != BITCrashCoreESuccess) {
        return result;
    }
    // A return address within the first page is the end of the chain.
    if (!found.hasRegister(BITCrashCoreThreadState::PC) ||
        found.registerValue(BITCrashCoreThreadState::PC) <= kPageSize) {
        return BITCrashCoreENotFound;
    }
    previous_ = current_;
    current_ = found;
    depth_++;
    return BITCrashCoreESuccess;
}

// Runs in signal context.
int BITCrashCoreFrameCursor::registerValue(int index, uint64_t* value) const {
    if (index < 0 || index >= BITCrashCoreThreadState::registerCount ||
        !current_.hasRegister(index)) {
        return BITCrashCoreENotSup;
    }
    *value = current_.registerValue(index);
    return BITCrashCoreESuccess;
}

// Runs in signal context.
int BITCrashCoreFrameCursor::readFramePointerFrame(const BITCrashCoreAsyncImageList*,
                                                   const BITCrashCoreThreadState& current,
                                                   const BITCrashCoreThreadState* previous,
                                                   BITCrashCoreThreadState* next) {
    using S = BITCrashCoreThreadState;
    if (!current.hasRegister(S::FP)) {
        return BITCrashCoreEInvalidData;
    }
    uint64_t framePointer = current.registerValue(S::FP);
    if (framePointer == 0) {
        return BITCrashCoreENotFound;
    }
    // The stack grows down, so each caller's frame lies above its callee's;
    // a chain that does not climb is broken.
    if (previous != nullptr && previous->hasRegister(S::FP) &&
        framePointer <= previous->registerValue(S::FP)) {
        return BITCrashCoreEInvalidData;
    }
    uint64_t words[2];
    if (BITCrashCoreMemoryRead(framePointer, 0, words, sizeof(words)) != BITCrashCoreESuccess) {
        return BITCrashCoreEInvalidData;
    }
    *next = current;
    next->clearAllRegisters();
    next->setRegister(S::FP, words[0]);
    next->setRegister(S::PC, words[1]);
    return BITCrashCoreESuccess;
}
