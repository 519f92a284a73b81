#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Dispatch/DispatchWorkList.h"

// The threads behind the dispatch queues and their end at process exit.
// Internal to Dispatch.
//
// Worker threads are detached, so releasing a queue never waits on its
// thread (which might itself be waiting on the releasing thread). At exit the
// runtime closes the main run loop and every worker's list, dropping pending
// blocks, and waits for running blocks to finish so no worker outlives the
// process's static data.
class DispatchRuntime {
  public:
    // The runtime; the first call arms the shutdown at exit.
    static DispatchRuntime& shared();

    // Runs `body` on a new worker thread, which ends when `body` returns.
    // `work` is the list the worker takes from, closed at exit. Answers false
    // and starts nothing once the process is exiting.
    bool startWorker(const std::shared_ptr<DispatchWorkList>& work, std::function<void()> body);

    // Asks blocks to stop (isEnding), closes every list and waits for the
    // running blocks; once, at the program's end.
    void shutdown();
    bool isEnding() const { return ending_; }

  private:
    std::mutex mutex_;
    std::condition_variable workerEnded_;
    std::vector<std::weak_ptr<DispatchWorkList>> lists_;
    int liveWorkers_ = 0;
    bool shutDown_ = false;
    std::atomic<bool> ending_{false};
};
