#pragma once

#include <atomic>

#include "sdk/crash/BITCrashCoreThreadState.h"

// The threads of this process while a report is written. The list comes from
// /proc/self/task; every other thread is stopped by a reserved real-time
// signal whose handler records the thread's registers and parks it until the
// report is done. Storage is fixed, so all of it runs in signal context.
class BITCrashCoreThreadList {
  public:
    static constexpr int capacity = 512;

    struct Entry {
        int thread;               // kernel thread id; -1 when it ended meanwhile
        std::atomic<int> parked;  // futex word: 1 once the thread stopped
        bool hasState;            // registers known (stopped in time, or given)
        BITCrashCoreThreadState state;
    };

    // Reserves the stop signal and installs its handler; not in signal
    // context. Called when a report writer is prepared.
    static bool installSuspendHandler();
    // The reserved real-time signal.
    static int suspendSignal();

    // Lists the threads of taskDirectory (normally "/proc/self/task") and
    // stops all but callingThread, waiting a bounded time for each. A thread
    // that does not stop in time stays listed without state. Returns false,
    // with an empty list, when the directory cannot be read. Runs in signal
    // context.
    bool suspendAll(const char* taskDirectory, int callingThread);
    // Lets the stopped threads go. Runs in signal context.
    void resumeAll();

    int count() const { return count_; }
    Entry& entry(int index) { return entries_[index]; }
    // Adds a thread with known state, for when the list cannot be read. Runs
    // in signal context.
    void appendThread(int thread, const BITCrashCoreThreadState* state);

  private:
    Entry entries_[capacity];
    int count_ = 0;
};
