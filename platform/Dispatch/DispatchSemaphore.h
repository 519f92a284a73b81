#pragma once

#include <condition_variable>
#include <mutex>

// A counting semaphore: wait() takes one unit, blocking while there is none;
// signal() gives one back and wakes a waiter. Any thread may use it.
class DispatchSemaphore {
  public:
    // A negative start value is a programming error.
    explicit DispatchSemaphore(long value);

    void signal();
    void wait();
    // The same, for at most `timeoutSeconds`; answers whether it took a unit.
    bool wait(double timeoutSeconds);

  private:
    std::mutex mutex_;
    std::condition_variable available_;
    long value_;
};
