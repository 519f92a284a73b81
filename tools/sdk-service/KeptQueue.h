#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

#include "MemoryBudget.h"

// What a store of the service keeps, oldest first: at most `bound` bytes and
// `count` items, each item's bytes taken from the service's memory budget.
// The items of one request are kept all or none: room is made for all of
// them at once (reserve), the oldest items going, but never one of the same
// request, and none when even all of the others going would not make room.
template <typename Item>
class KeptQueue {
  public:
    struct Kept {
        Item item;
        size_t bytes = 0;
        size_t counted = 0;  // of the budget, given back when the item goes
    };

    KeptQueue(size_t bound, size_t count = SIZE_MAX) : bound_(bound), count_(count) {}

    void useBudget(MemoryBudget& memory) { memory_ = &memory; }
    // Called for each item that goes, whatever the reason.
    void onForget(std::function<void(const Item&)> forget) { forget_ = std::move(forget); }

    // Whether items of `bytes` in all could ever be kept.
    bool fits(size_t bytes) const { return bytes <= bound_ && bytes <= memory_->capacity(); }

    // Makes room for items of `bytes` in all and takes them of the budget for
    // keepReserved; false, forgetting nothing, when there is no room even
    // without every item kept now.
    bool reserve(size_t bytes) {
        const size_t used = memory_->used();
        if (!fits(bytes) || bytes > memory_->capacity() - (used - std::min(used, bytes_)))
            return false;
        while (!kept_.empty() && bytes_ + reserved_ + bytes > bound_)
            forgetOldest();
        while (!memory_->take(bytes)) {
            if (!forgetOldest())
                return false;
        }
        reserved_ += bytes;
        return true;
    }
    // Keeps an item in room reserve() made. `ownBytes` of its bytes the item
    // gives back to the budget itself when the last of its holders lets go.
    void keepReserved(Item item, size_t bytes, size_t ownBytes = 0) {
        reserved_ -= bytes;
        kept_.push_back({std::move(item), bytes, bytes - ownBytes});
        bytes_ += bytes;
    }
    // Keeps the item; false, keeping nothing, when there is no room for it
    // even without older items.
    bool keep(Item item, size_t bytes) {
        while (!kept_.empty() && kept_.size() >= count_)
            forgetOldest();
        if (!reserve(bytes))
            return false;
        keepReserved(std::move(item), bytes);
        return true;
    }

    bool forgetOldest() {
        if (kept_.empty())
            return false;
        forget(kept_.begin());
        return true;
    }
    // Takes back the item kept last.
    bool forgetNewest() {
        if (kept_.empty())
            return false;
        forget(std::prev(kept_.end()));
        return true;
    }
    void forgetIf(const std::function<bool(const Item&)>& gone) {
        for (auto kept = kept_.begin(); kept != kept_.end();)
            kept = gone(kept->item) ? forget(kept) : std::next(kept);
    }
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
    typename std::deque<Kept>::iterator forget(typename std::deque<Kept>::iterator kept) {
        if (forget_)
            forget_(kept->item);
        bytes_ -= kept->bytes;
        memory_->give(kept->counted);
        return kept_.erase(kept);
    }

    const size_t bound_;
    const size_t count_;
    MemoryBudget* memory_ = nullptr;
    std::function<void(const Item&)> forget_;
    std::deque<Kept> kept_;
    size_t bytes_ = 0;
    size_t reserved_ = 0;  // room made for items not kept yet
};
