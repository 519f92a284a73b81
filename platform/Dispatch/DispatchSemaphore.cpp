#include "Dispatch/DispatchSemaphore.h"

#include "Dispatch/DispatchWorkList.h"
#include "Foundation/NSAssert.h"

DispatchSemaphore::DispatchSemaphore(long value) : value_(value) {
    NSAssert(value >= 0, "Dispatch/DispatchSemaphore", "Negative start value %ld", value);
}

void DispatchSemaphore::signal() {
    // Notified under the lock: a woken waiter may destroy the semaphore.
    std::lock_guard lock(mutex_);
    ++value_;
    available_.notify_one();
}

void DispatchSemaphore::wait() {
    std::unique_lock lock(mutex_);
    available_.wait(lock, [&] { return value_ > 0; });
    --value_;
}

bool DispatchSemaphore::wait(double timeoutSeconds) {
    auto deadline = DispatchWorkList::deadlineAfter(timeoutSeconds);
    if (deadline == DispatchWorkList::Clock::time_point::max()) {
        wait();
        return true;
    }
    std::unique_lock lock(mutex_);
    if (!available_.wait_until(lock, deadline, [&] { return value_ > 0; }))
        return false;
    --value_;
    return true;
}
