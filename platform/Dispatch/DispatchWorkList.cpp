#include "Dispatch/DispatchWorkList.h"

#include <algorithm>
#include <cmath>

DispatchWorkList::Clock::time_point DispatchWorkList::deadlineAfter(double seconds) {
    constexpr double kNever = 100.0 * 365 * 24 * 3600;
    auto now = Clock::now();
    if (std::isnan(seconds) || seconds <= 0)
        return now;
    if (seconds >= kNever)
        return Clock::time_point::max();
    return now +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool DispatchWorkList::push(Block block) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || !block)
            return false;
        ready_.push_back(std::move(block));
    }
    changed_.notify_one();
    return true;
}

bool DispatchWorkList::pushAt(Clock::time_point when, Block block) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || !block)
            return false;
        timed_.emplace(std::make_pair(when, sequence_++), std::move(block));
    }
    // Every waiter may need a nearer deadline, not just one of them.
    changed_.notify_all();
    return true;
}

DispatchWorkList::Block DispatchWorkList::take(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        auto now = Clock::now();
        while (!timed_.empty() && timed_.begin()->first.first <= now) {
            ready_.push_back(std::move(timed_.begin()->second));
            timed_.erase(timed_.begin());
        }
        if (!ready_.empty()) {
            Block block = std::move(ready_.front());
            ready_.pop_front();
            return block;
        }
        if (interrupted_) {
            interrupted_ = false;
            return {};
        }
        if (closed_ || now >= deadline)
            return {};
        auto until = deadline;
        if (!timed_.empty())
            until = std::min(until, timed_.begin()->first.first);
        if (until == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, until);
        }
    }
}

void DispatchWorkList::interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    changed_.notify_all();
}

void DispatchWorkList::close(bool dropReady) {
    std::deque<Block> droppedReady;
    std::map<std::pair<Clock::time_point, uint64_t>, Block> droppedTimed;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        droppedTimed.swap(timed_);
        if (dropReady)
            droppedReady.swap(ready_);
    }
    changed_.notify_all();
}
