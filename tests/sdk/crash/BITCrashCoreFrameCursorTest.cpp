#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreFrameCursor.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

namespace {

using S = BITCrashCoreThreadState;

// A made-up stack: frame records of {saved frame pointer, return address}.
struct FakeStack {
    uint64_t words[8] = {};
    uint64_t at(int index) const { return reinterpret_cast<uint64_t>(&words[index]); }
};

S stateAt(uint64_t pc, uint64_t fp) {
    S state;
    state.clear();
    state.setRegister(S::PC, pc);
    state.setRegister(S::FP, fp);
    state.setRegister(S::SP, fp - 64);
    return state;
}

std::vector<uint64_t> walk(const S& state, int* lastCode) {
    BITCrashCoreFrameCursor cursor;
    cursor.initWithThreadState(state, nullptr);
    std::vector<uint64_t> pcs;
    for (;;) {
        int code = cursor.next();
        if (code != BITCrashCoreESuccess) {
            *lastCode = code;
            return pcs;
        }
        uint64_t pc = 0;
        EXPECT_EQ(cursor.registerValue(S::PC, &pc), BITCrashCoreESuccess);
        pcs.push_back(pc);
    }
}

TEST(BITCrashCoreFrameCursor, ChainEndingInZeroYieldsTheFramesBeforeIt) {
    FakeStack stack;
    stack.words[0] = stack.at(2);
    stack.words[1] = 0x401000;
    stack.words[2] = 0;
    stack.words[3] = 0x402000;
    int code = 0;
    EXPECT_EQ(walk(stateAt(0x400500, stack.at(0)), &code),
              (std::vector<uint64_t>{0x400500, 0x401000, 0x402000}));
    EXPECT_EQ(code, BITCrashCoreENotFound);
}

TEST(BITCrashCoreFrameCursor, FramePointerGoingDownEndsTheWalkAsInvalid) {
    FakeStack stack;
    stack.words[4] = stack.at(0);  // points below itself
    stack.words[5] = 0x401000;
    stack.words[0] = stack.at(6);
    stack.words[1] = 0x402000;
    int code = 0;
    EXPECT_EQ(walk(stateAt(0x400500, stack.at(4)), &code),
              (std::vector<uint64_t>{0x400500, 0x401000}));
    EXPECT_EQ(code, BITCrashCoreEInvalidData);
}

TEST(BITCrashCoreFrameCursor, ReturnAddressWithinFirstPageEndsTheWalk) {
    FakeStack stack;
    stack.words[0] = stack.at(2);
    stack.words[1] = 4096;
    int code = 0;
    EXPECT_EQ(walk(stateAt(0x400500, stack.at(0)), &code), (std::vector<uint64_t>{0x400500}));
    EXPECT_EQ(code, BITCrashCoreENotFound);
}

TEST(BITCrashCoreFrameCursor, LaterFramesKnowOnlyPcAndFramePointer) {
    FakeStack stack;
    stack.words[0] = stack.at(2);
    stack.words[1] = 0x401000;
    BITCrashCoreFrameCursor cursor;
    cursor.initWithThreadState(stateAt(0x400500, stack.at(0)), nullptr);
    uint64_t value = 0;
    ASSERT_EQ(cursor.next(), BITCrashCoreESuccess);
    EXPECT_EQ(cursor.registerValue(S::SP, &value), BITCrashCoreESuccess);
    ASSERT_EQ(cursor.next(), BITCrashCoreESuccess);
    EXPECT_EQ(cursor.registerValue(S::SP, &value), BITCrashCoreENotSup);
    EXPECT_EQ(cursor.registerValue(S::FP, &value), BITCrashCoreESuccess);
    EXPECT_EQ(value, stack.at(2));
}

TEST(BITCrashCoreFrameCursor, UnreadableFramePointerEndsTheWalk) {
    int code = 0;
    EXPECT_EQ(walk(stateAt(0x400500, 0x10), &code), (std::vector<uint64_t>{0x400500}));
    EXPECT_EQ(code, BITCrashCoreEInvalidData);
}

TEST(BITCrashCoreMemoryRead, RefusesWrappingAndUnmappedAddresses) {
    uint64_t value = 42;
    uint64_t copy = 0;
    EXPECT_EQ(BITCrashCoreMemoryRead(reinterpret_cast<uintptr_t>(&value), 0, &copy, 8),
              BITCrashCoreESuccess);
    EXPECT_EQ(copy, 42u);
    EXPECT_EQ(BITCrashCoreMemoryRead(UINTPTR_MAX - 4, 8, &copy, 8), BITCrashCoreEInvalidArgument);
    EXPECT_EQ(BITCrashCoreMemoryRead(UINTPTR_MAX - 4, 0, &copy, 8), BITCrashCoreEInvalidArgument);
    EXPECT_EQ(BITCrashCoreMemoryRead(16, 0, &copy, 8), BITCrashCoreEInvalidData);
    EXPECT_EQ(copy, 42u);
}

// A capture from inside this function walks back through it and its caller,
// using call-frame information and the real image list.
struct WalkResult {
    std::vector<std::string> names;
};

int collectNames(S* state, void* context) {
    auto* result = static_cast<WalkResult*>(context);
    auto& images = BITCrashCoreAsyncImageList::sharedList();
    BITCrashCoreFrameCursor cursor;
    cursor.initWithThreadState(*state, &images);
    for (int i = 0; i < 16 && cursor.next() == BITCrashCoreESuccess; i++) {
        uint64_t pc = 0;
        cursor.registerValue(S::PC, &pc);
        BITCrashCoreSymbol symbol;
        BITCrashCoreImage* image = images.imageContaining(pc - 1);
        if (image != nullptr && BITCrashCoreFindSymbol(image, BITCrashCoreSymbolicationAll, pc - 1,
                                                       &symbol) == BITCrashCoreESuccess) {
            result->names.push_back(symbol.name);
        }
    }
    return 0;
}

extern "C" __attribute__((noinline)) void captureInsideHelper(WalkResult* result) {
    S::captureCurrent(collectNames, result);
    asm volatile("");
}

extern "C" __attribute__((noinline)) void captureOuterHelper(WalkResult* result) {
    captureInsideHelper(result);
    asm volatile("");
}

TEST(BITCrashCoreThreadState, CaptureCurrentStartsAtTheCaller) {
    WalkResult result;
    captureOuterHelper(&result);
    ASSERT_GE(result.names.size(), 2u);
    EXPECT_EQ(result.names[0], "captureInsideHelper");
    EXPECT_EQ(result.names[1], "captureOuterHelper");
}

TEST(BITCrashCoreThreadState, RegisterTableStartsWithPcFramePointerAndStackPointer) {
    EXPECT_STREQ(S::registerName(0), "rip");
    EXPECT_STREQ(S::registerName(1), "rbp");
    EXPECT_STREQ(S::registerName(2), "rsp");
    EXPECT_STREQ(S::registerName(S::registerCount - 1), "gs");
    EXPECT_EQ(S::registerName(S::registerCount), nullptr);
}

}  // namespace
