#include "sdk/BITHTTPOperationQueue.h"

void BITHTTPOperationQueue::addOperation(const std::shared_ptr<BITHTTPOperation>& operation) {
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(operation);
    }
    startNext();
}

std::vector<std::shared_ptr<BITHTTPOperation>> BITHTTPOperationQueue::operations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<BITHTTPOperation>> all;
    if (running_)
        all.push_back(running_);
    all.insert(all.end(), waiting_.begin(), waiting_.end());
    return all;
}

void BITHTTPOperationQueue::startNext() {
    std::shared_ptr<BITHTTPOperation> next;
    {
        std::lock_guard lock(mutex_);
        if (running_ || waiting_.empty())
            return;
        next = waiting_.front();
        waiting_.pop_front();
        running_ = next;
    }
    std::weak_ptr<BITHTTPOperationQueue> queue = weak_from_this();
    std::weak_ptr<BITHTTPOperation> operation = next;
    next->setFinishObserver([queue, operation] {
        const auto self = queue.lock();
        const auto finished = operation.lock();
        if (self && finished)
            self->operationFinished(finished);
    });
    next->start();
}

void BITHTTPOperationQueue::operationFinished(const std::shared_ptr<BITHTTPOperation>& operation) {
    {
        std::lock_guard lock(mutex_);
        if (running_ != operation)
            return;
        running_.reset();
    }
    startNext();
}
