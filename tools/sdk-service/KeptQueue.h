#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

#include "MemoryBudget.h"

// What a store of the service keeps, oldest first: at most `bound` bytes and
// `count` items, each item's bytes taken from the service's memory budget.
// To make room the oldest items go, also when the budget is short.
template <typename Item>
class KeptQueue {
  public:
    struct Kept {
        Item item;
        size_t bytes = 0;
    };

    KeptQueue(size_t bound, size_t count = SIZE_MAX) : bound_(bound), count_(count) {}

    void useBudget(MemoryBudget& memory) { memory_ = &memory; }
    // Called for each item that goes, whatever the reason.
    void onForget(std::function<void(const Item&)> forget) { forget_ = std::move(forget); }

    // Keeps the item; false, keeping nothing, when there is no room for it
    // even without older items.
    bool keep(Item item, size_t bytes) {
        while (!kept_.empty() && (kept_.size() >= count_ || bytes_ + bytes > bound_))
            forgetOldest();
        while (!memory_->take(bytes)) {
            if (!forgetOldest())
                return false;
        }
        kept_.push_back({std::move(item), bytes});
        bytes_ += bytes;
        return true;
    }

    bool forgetOldest() { return forget(false); }
    // Takes back the item kept last.
    bool forgetNewest() { return forget(true); }

    void forgetAll() {
        while (forgetOldest()) {
        }
    }

    auto begin() const { return kept_.begin(); }
    auto end() const { return kept_.end(); }
    bool empty() const { return kept_.empty(); }
    const Item& newest() const { return kept_.back().item; }
    size_t bytes() const { return bytes_; }

  private:
    bool forget(bool newest) {
        if (kept_.empty())
            return false;
        const Kept& kept = newest ? kept_.back() : kept_.front();
        if (forget_)
            forget_(kept.item);
        bytes_ -= kept.bytes;
        memory_->give(kept.bytes);
        if (newest)
            kept_.pop_back();
        else
            kept_.pop_front();
        return true;
    }

    const size_t bound_;
    const size_t count_;
    MemoryBudget* memory_ = nullptr;
    std::function<void(const Item&)> forget_;
    std::deque<Kept> kept_;
    size_t bytes_ = 0;
};
