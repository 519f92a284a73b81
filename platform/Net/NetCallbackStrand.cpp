#include "Net/NetCallbackStrand.h"

void NetCallbackStrand::post(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
        if (scheduled_)
            return;
        scheduled_ = true;
    }
    queue_->async([self = shared_from_this()] { self->drain(); });
}

void NetCallbackStrand::drain() {
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty()) {
                scheduled_ = false;
                return;
            }
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        block();
    }
}
