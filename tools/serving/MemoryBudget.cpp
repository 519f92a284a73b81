#include "MemoryBudget.h"

#include <utility>

bool MemoryBudget::take(size_t bytes) {
    return takeLeaving(bytes, 0);
}

bool MemoryBudget::takeLeaving(size_t bytes, size_t leaving) {
    size_t used = used_.load();
    do {
        if (bytes > capacity_ - used || leaving > capacity_ - used - bytes)
            return false;
    } while (!used_.compare_exchange_weak(used, used + bytes));
    return true;
}

void MemoryBudget::give(size_t bytes) {
    used_ -= bytes;
}

bool MemoryBudget::takeFor(const std::string& address, size_t bytes, size_t holding) {
    std::lock_guard lock(mutex_);
    const auto held = byAddress_.find(address);
    const size_t already = held == byAddress_.end() ? 0 : held->second;
    const bool small = holding <= kSmallBytes;
    if (!small && already + bytes > share())
        return false;
    if (!takeLeaving(bytes, small ? 0 : reserve()))
        return false;
    byAddress_[address] = already + bytes;
    return true;
}

void MemoryBudget::giveFor(const std::string& address, size_t bytes) {
    std::lock_guard lock(mutex_);
    const auto held = byAddress_.find(address);
    if (held->second == bytes)
        byAddress_.erase(held);
    else
        held->second -= bytes;
    give(bytes);
}

size_t MemoryBudget::heldBy(const std::string& address) const {
    std::lock_guard lock(mutex_);
    const auto held = byAddress_.find(address);
    return held == byAddress_.end() ? 0 : held->second;
}

MemoryClaim::MemoryClaim(MemoryBudget& budget, std::string address)
    : budget_(budget), address_(std::move(address)) {}

MemoryClaim::~MemoryClaim() {
    if (held_ > 0)
        budget_.giveFor(address_, held_);
}

bool MemoryClaim::grow(size_t bytes) {
    if (!budget_.takeFor(address_, bytes, held_ + bytes))
        return false;
    held_ += bytes;
    return true;
}
