#include "Dispatch/DispatchCompletion.h"

DispatchCompletion::DispatchCompletion() : state_(std::make_shared<State>()) {}

void DispatchCompletion::State::end(bool didRun) {
    {
        std::lock_guard lock(mutex);
        if (done)
            return;
        done = true;
        ran = didRun;
    }
    ended.notify_all();
}

std::function<void()> DispatchCompletion::wrap(std::function<void()> block) {
    auto signal = std::make_shared<Signal>();
    signal->state = state_;
    return [signal, block = std::move(block)] {
        if (block)
            block();
        signal->state->end(true);
    };
}

bool DispatchCompletion::wait() {
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [&] { return state_->done; });
    return state_->ran;
}
