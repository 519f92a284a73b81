#include "Dispatch/SerialDispatchQueue.h"

#include "Dispatch/DispatchCompletion.h"
#include "Dispatch/DispatchRuntime.h"
#include "Dispatch/NSThread.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSLog.h"

std::shared_ptr<SerialDispatchQueue> SerialDispatchQueue::create(std::string label) {
    auto queue = std::make_shared<SerialDispatchQueue>(std::move(label));
    std::weak_ptr<DispatchQueue> weakQueue = queue;
    auto work = queue->work_;
    bool started =
        DispatchRuntime::shared().startWorker(work, [work, weakQueue, label = queue->label()] {
            NSThread::currentThread()->setName(label);
            setCurrent(weakQueue);
            while (auto block = work->take(DispatchWorkList::Clock::time_point::max()))
                block();
        });
    if (!started)
        work->close(true);
    return queue;
}

SerialDispatchQueue::SerialDispatchQueue(std::string label)
    : DispatchQueue(std::move(label)), work_(std::make_shared<DispatchWorkList>()) {}

SerialDispatchQueue::~SerialDispatchQueue() {
    work_->close(false);
}

void SerialDispatchQueue::async(Block block) {
    work_->push(std::move(block));
}

void SerialDispatchQueue::sync(Block block) {
    NSAssert(!isCurrent(), "Dispatch/SerialDispatchQueue",
             "sync onto serial queue '%s' from its own block deadlocks", label().c_str());
    DispatchCompletion completion;
    work_->push(completion.wrap(std::move(block)));
    if (!completion.wait()) {
        NSLogWithLevel(NSLogLevel::Warning, "Queue '%s' closed; a sync block was not run",
                       label().c_str());
    }
}

void SerialDispatchQueue::after(double seconds, Block block) {
    work_->pushAt(DispatchWorkList::deadlineAfter(seconds), std::move(block));
}
