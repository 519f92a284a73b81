#include "Dispatch/DispatchQueue.h"

#include "Dispatch/DispatchRuntime.h"
#include "Dispatch/GlobalDispatchQueue.h"
#include "Dispatch/MainDispatchQueue.h"
#include "Dispatch/NSThread.h"
#include "Dispatch/SerialDispatchQueue.h"

namespace {
thread_local std::weak_ptr<DispatchQueue> currentQueue;
}  // namespace

// The two shared queues are never destroyed: workers may reach them while
// the process exits.
std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    static auto* queue = new std::shared_ptr<DispatchQueue>(std::make_shared<MainDispatchQueue>());
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
    static auto* queue = [] {
        auto pool = std::make_shared<GlobalDispatchQueue>();
        pool->startWorkers();
        return new std::shared_ptr<DispatchQueue>(std::move(pool));
    }();
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::createSerial(std::string label) {
    return SerialDispatchQueue::create(std::move(label));
}

bool DispatchQueue::endBackgroundWork() {
    return DispatchRuntime::shared().shutdown();
}

void DispatchQueue::exitProgram(int status) {
    DispatchRuntime::shared().exitProcess(status);
}

bool DispatchQueue::isEnding() {
    return DispatchRuntime::shared().isEnding();
}

std::shared_ptr<DispatchQueue> DispatchQueue::current() {
    if (auto queue = currentQueue.lock())
        return queue;
    return NSThread::isMainThread() ? main() : nullptr;
}

bool DispatchQueue::isCurrent() const {
    return current().get() == this;
}

DispatchQueue::Scheduler DispatchQueue::scheduler() {
    return [queue = shared_from_this()](std::function<void()> block) {
        queue->async(std::move(block));
    };
}

std::weak_ptr<DispatchQueue> DispatchQueue::setCurrent(std::weak_ptr<DispatchQueue> queue) {
    return std::exchange(currentQueue, std::move(queue));
}
