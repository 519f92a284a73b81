#include "Dispatch/GlobalDispatchQueue.h"

#include <algorithm>
#include <thread>

#include "Dispatch/DispatchRuntime.h"
#include "Dispatch/NSThread.h"

GlobalDispatchQueue::GlobalDispatchQueue()
    : DispatchQueue("global"), work_(std::make_shared<DispatchWorkList>()) {}

void GlobalDispatchQueue::startWorkers() {
    unsigned count = std::max(2u, std::thread::hardware_concurrency());
    std::weak_ptr<DispatchQueue> weakQueue = weak_from_this();
    for (unsigned i = 0; i < count; ++i) {
        bool started = DispatchRuntime::shared().startWorker(work_, [work = work_, weakQueue] {
            NSThread::currentThread()->setName("global");
            setCurrent(weakQueue);
            while (auto block = work->take(DispatchWorkList::Clock::time_point::max()))
                block();
        });
        if (!started) {
            work_->close(true);
            return;
        }
    }
}

void GlobalDispatchQueue::async(Block block) {
    work_->push(std::move(block));
}

void GlobalDispatchQueue::sync(Block block) {
    if (!block)
        return;
    // Any thread may run a concurrent queue's block; the caller waits anyway.
    auto previous = setCurrent(weak_from_this());
    block();
    setCurrent(previous);
}

void GlobalDispatchQueue::after(double seconds, Block block) {
    work_->pushAt(DispatchWorkList::deadlineAfter(seconds), std::move(block));
}
