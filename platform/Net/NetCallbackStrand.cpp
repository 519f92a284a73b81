#include "Net/NetCallbackStrand.h"

void NetCallbackStrand::post(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
        if (!claimDrainLocked())
            return;
    }
    scheduleDrain();
}

void NetCallbackStrand::suspend() {
    std::lock_guard lock(mutex_);
    suspended_ = true;
}

void NetCallbackStrand::resume() {
    {
        std::lock_guard lock(mutex_);
        suspended_ = false;
        if (!claimDrainLocked())
            return;
    }
    scheduleDrain();
}

bool NetCallbackStrand::claimDrainLocked() {
    if (scheduled_ || suspended_ || blocks_.empty())
        return false;
    scheduled_ = true;
    return true;
}

void NetCallbackStrand::scheduleDrain() {
    queue_->async([self = shared_from_this()] { self->drain(); });
}

void NetCallbackStrand::drain() {
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty() || suspended_) {
                scheduled_ = false;
                return;
            }
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        block();
    }
}
