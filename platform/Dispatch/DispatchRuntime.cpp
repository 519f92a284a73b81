#include "Dispatch/DispatchRuntime.h"

#include <chrono>
#include <thread>

#include "Dispatch/DispatchThreadStartHooks.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSLog.h"

namespace {

thread_local bool onWorkerThread = false;

// How long exit waits for running blocks before it gives up on them.
constexpr auto kShutdownWait = std::chrono::seconds(3);

struct ShutdownAtExit {
    ~ShutdownAtExit() { DispatchRuntime::shared().shutdown(); }
};

}  // namespace

DispatchRuntime& DispatchRuntime::shared() {
    // Never destroyed: queues released during exit still reach it.
    static auto* runtime = new DispatchRuntime;
    static ShutdownAtExit shutdownAtExit;
    return *runtime;
}

bool DispatchRuntime::startWorker(const std::shared_ptr<DispatchWorkList>& work,
                                  std::function<void()> body) {
    std::lock_guard lock(mutex_);
    if (shutDown_)
        return false;
    std::erase_if(lists_, [](const auto& list) { return list.expired(); });
    lists_.push_back(work);
    ++liveWorkers_;
    std::thread([this, body = std::move(body)]() mutable {
        onWorkerThread = true;
        DispatchRunThreadStartHooks();
        {
            auto run = std::move(body);
            run();
        }
        std::lock_guard lock(mutex_);
        --liveWorkers_;
        workerEnded_.notify_all();
    }).detach();
    return true;
}

void DispatchRuntime::shutdown() {
    std::vector<std::shared_ptr<DispatchWorkList>> lists;
    {
        std::lock_guard lock(mutex_);
        if (shutDown_)
            return;
        shutDown_ = true;
        ending_ = true;
        for (auto& weak : lists_) {
            if (auto list = weak.lock())
                lists.push_back(std::move(list));
        }
    }
    // The main loop first: a worker may be waiting for a block on it.
    NSRunLoop::mainRunLoop()->close();
    for (auto& list : lists)
        list->close(true);
    lists.clear();

    // When a worker calls exit() it is one of the live workers itself.
    int remaining = onWorkerThread ? 1 : 0;
    std::unique_lock lock(mutex_);
    if (!workerEnded_.wait_for(lock, kShutdownWait, [&] { return liveWorkers_ <= remaining; })) {
        NSLogWithLevel(NSLogLevel::Warning, "Exiting with %d dispatch blocks still running",
                       liveWorkers_ - remaining);
    }
}
