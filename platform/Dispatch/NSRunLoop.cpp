#include "Dispatch/NSRunLoop.h"

#include <algorithm>

#include "Dispatch/DispatchRuntime.h"
#include "Dispatch/NSThread.h"
#include "Foundation/NSAssert.h"

namespace {
// How often a waiting runUntil looks at its predicate when nothing wakes it.
constexpr auto kPredicatePoll = std::chrono::milliseconds(5);
}  // namespace

std::shared_ptr<NSRunLoop> NSRunLoop::mainRunLoop() {
    // Never destroyed: workers may post to it while the process exits.
    static auto* loop = new std::shared_ptr<NSRunLoop>(std::make_shared<NSRunLoop>());
    DispatchRuntime::shared();
    return *loop;
}

void NSRunLoop::runOne(DispatchWorkList::Clock::time_point deadline) {
    NSAssert(NSThread::isMainThread(), "Dispatch/NSRunLoop",
             "The main run loop runs on the main thread only");
    if (auto block = work_.take(deadline))
        block();
}

void NSRunLoop::run() {
    while (!stopRequested_.exchange(false))
        runOne(DispatchWorkList::Clock::time_point::max());
}

void NSRunLoop::stop() {
    stopRequested_ = true;
    work_.interrupt();
}

void NSRunLoop::runUntilDate(NSDate limit) {
    auto deadline = DispatchWorkList::deadlineAfter(limit.timeIntervalSinceNow());
    while (DispatchWorkList::Clock::now() < deadline)
        runOne(deadline);
}

bool NSRunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    auto deadline = DispatchWorkList::deadlineAfter(timeoutSeconds);
    for (;;) {
        if (predicate())
            return true;
        auto now = DispatchWorkList::Clock::now();
        if (now >= deadline)
            return false;
        runOne(std::min(deadline, now + kPredicatePoll));
    }
}

void NSRunLoop::performBlock(Block block) {
    work_.push(std::move(block));
}

void NSRunLoop::performBlockAt(DispatchWorkList::Clock::time_point when, Block block) {
    work_.pushAt(when, std::move(block));
}

void NSRunLoop::wakeUp() {
    work_.interrupt();
}

void NSRunLoop::close() {
    work_.close(true);
}
