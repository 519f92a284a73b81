#include "Dispatch/DispatchRuntime.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "Dispatch/DispatchThreadStartHooks.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"

namespace {

thread_local bool onWorkerThread = false;

// How long the end waits for running blocks to stop before it gives up on
// them: long work polls isEnding() far more often than this.
constexpr auto kShutdownWait = std::chrono::seconds(3);

}  // namespace

DispatchRuntime& DispatchRuntime::shared() {
    // Never destroyed: queues released during exit still reach it.
    static auto* runtime = new DispatchRuntime;
    // A program that calls exit() without exitProcess() still ends its
    // blocks, though only after the statics made since this call are gone:
    // what blocks read is made never to be destroyed.
    [[maybe_unused]] static const bool armed = on_exit(endAtExit, nullptr) == 0;
    return *runtime;
}

void DispatchRuntime::endAtExit(int status, void*) {
    if (!shared().shutdown())
        leaveWithoutExitHandlers(status);
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

void DispatchRuntime::addEndHook(std::function<void()> hook) {
    if (!hook)
        return;
    {
        std::lock_guard lock(mutex_);
        if (!shutDown_) {
            endHooks_.push_back(std::move(hook));
            return;
        }
    }
    hook();
}

bool DispatchRuntime::shutdown() {
    std::vector<std::shared_ptr<DispatchWorkList>> lists;
    std::vector<std::function<void()>> hooks;
    {
        std::unique_lock lock(mutex_);
        if (shutDown_) {
            // Another thread is ending the program: its outcome is this call's.
            workerEnded_.wait(lock, [this] { return decided_; });
            return allEnded_;
        }
        shutDown_ = true;
        ending_ = true;
        for (auto& weak : lists_) {
            if (auto list = weak.lock())
                lists.push_back(std::move(list));
        }
        hooks.swap(endHooks_);
    }
    // The main loop first: a worker may be waiting for a block on it.
    NSRunLoop::mainRunLoop()->close();
    for (auto& list : lists)
        list->close(true);
    lists.clear();
    // Other threads next: a block may be waiting for one of them.
    for (const auto& hook : hooks)
        hook();

    // When a worker calls exit() it is one of the live workers itself.
    int remaining = onWorkerThread ? 1 : 0;
    std::unique_lock lock(mutex_);
    allEnded_ =
        workerEnded_.wait_for(lock, kShutdownWait, [&] { return liveWorkers_ <= remaining; });
    decided_ = true;
    workerEnded_.notify_all();
    if (!allEnded_) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Exiting with %d dispatch blocks still running; the exit handlers are "
                       "skipped",
                       liveWorkers_ - remaining);
    }
    return allEnded_;
}

void DispatchRuntime::exitProcess(int status) {
    if (!shutdown())
        leaveWithoutExitHandlers(status);
    std::exit(status);
}

void DispatchRuntime::leaveWithoutExitHandlers(int status) {
    NSUserDefaults::resetStandardUserDefaults();
    std::fflush(nullptr);
    std::_Exit(status);
}
