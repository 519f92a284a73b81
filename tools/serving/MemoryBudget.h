#pragma once

#include <atomic>
#include <cstddef>

// The bytes a server may hold in memory at once, counted by everything that
// holds them: requests on their way in and whatever the server keeps of
// them. Whoever takes bytes gives them back when it lets them go.
class MemoryBudget {
  public:
    explicit MemoryBudget(size_t capacity) : capacity_(capacity) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Takes the bytes when they fit; takes nothing and answers false when not.
    bool take(size_t bytes);
    void give(size_t bytes);

    size_t capacity() const { return capacity_; }
    size_t used() const { return used_; }

  private:
    const size_t capacity_;
    std::atomic<size_t> used_ = 0;
};

// Bytes of a budget held for as long as this lives, when they fit.
class MemoryHold {
  public:
    MemoryHold(MemoryBudget& budget, size_t bytes)
        : budget_(budget), bytes_(bytes), held_(budget.take(bytes)) {}
    ~MemoryHold() {
        if (held_)
            budget_.give(bytes_);
    }
    MemoryHold(const MemoryHold&) = delete;
    MemoryHold& operator=(const MemoryHold&) = delete;

    explicit operator bool() const { return held_; }

  private:
    MemoryBudget& budget_;
    const size_t bytes_;
    const bool held_;
};
