#include "Dispatch/DispatchGroup.h"

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchWorkList.h"
#include "Foundation/NSAssert.h"

DispatchGroup::DispatchGroup() : state_(std::make_shared<State>()) {}

void DispatchGroup::enter() {
    std::lock_guard lock(state_->mutex);
    ++state_->outstanding;
}

void DispatchGroup::leave() {
    // A waiter woken by this leave may destroy the group meanwhile.
    auto state = state_;
    state->leave();
}

void DispatchGroup::State::leave() {
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, Block>> due;
    {
        std::lock_guard lock(mutex);
        NSAssert(outstanding > 0, "Dispatch/DispatchGroup", "leave() without a matching enter()");
        if (--outstanding > 0)
            return;
        due.swap(notifications);
        empty.notify_all();
    }
    for (auto& [queue, block] : due)
        queue->async(std::move(block));
}

void DispatchGroup::async(const std::shared_ptr<DispatchQueue>& queue, Block block) {
    enter();
    queue->async([state = state_, block = std::move(block)] {
        if (block)
            block();
        state->leave();
    });
}

void DispatchGroup::notify(const std::shared_ptr<DispatchQueue>& queue, Block block) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->outstanding > 0) {
            state_->notifications.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

void DispatchGroup::wait() {
    std::unique_lock lock(state_->mutex);
    state_->empty.wait(lock, [&] { return state_->outstanding == 0; });
}

bool DispatchGroup::wait(double timeoutSeconds) {
    auto deadline = DispatchWorkList::deadlineAfter(timeoutSeconds);
    if (deadline == DispatchWorkList::Clock::time_point::max()) {
        wait();
        return true;
    }
    std::unique_lock lock(state_->mutex);
    return state_->empty.wait_until(lock, deadline, [&] { return state_->outstanding == 0; });
}
