#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

// The bytes a server may hold in memory at once, counted by everything that
// holds them: requests on their way in and whatever the server keeps of
// them. Whoever takes bytes gives them back when it lets them go.
//
// What requests take as they grow (MemoryClaim) is counted by the address
// they came from too, so that large requests cannot take it all and keep
// small ones out: a request past kSmallBytes may take only what leaves a
// reserve free, and only while the requests of its address hold at most a
// share of the budget, however many connections that address opens. A
// small request may take any room left, whatever its address holds: the
// workers bound how many there are at once.
class MemoryBudget {
  public:
    static constexpr size_t kShareDivisor = 4;
    static constexpr size_t kReserveDivisor = 16;
    static constexpr size_t kSmallBytes = 256 * 1024;

    explicit MemoryBudget(size_t capacity) : capacity_(capacity) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Takes the bytes when they fit; takes nothing and answers false when not.
    bool take(size_t bytes);
    void give(size_t bytes);

    // Takes the bytes for a request from `address` that would then hold
    // `holding` in all, when they fit and, for a request past kSmallBytes,
    // the reserve stays free and the address keeps to its share.
    bool takeFor(const std::string& address, size_t bytes, size_t holding);
    void giveFor(const std::string& address, size_t bytes);

    size_t capacity() const { return capacity_; }
    size_t used() const { return used_; }
    size_t share() const { return capacity_ / kShareDivisor; }
    size_t reserve() const { return capacity_ / kReserveDivisor; }
    // What the requests from the address hold now.
    size_t heldBy(const std::string& address) const;

  private:
    // Takes the bytes when `leaving` bytes stay free beside them.
    bool takeLeaving(size_t bytes, size_t leaving);

    const size_t capacity_;
    std::atomic<size_t> used_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, size_t> byAddress_;  // under mutex_; none holding nothing
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

// Bytes of a budget that one request from `address` takes in pieces as it
// needs them, rather than the most it might need from the start, and gives
// back all at once when this ends, however the request ended.
class MemoryClaim {
  public:
    MemoryClaim(MemoryBudget& budget, std::string address);
    ~MemoryClaim();
    MemoryClaim(const MemoryClaim&) = delete;
    MemoryClaim& operator=(const MemoryClaim&) = delete;

    // Takes `bytes` more; false, taking nothing, when the budget has no room
    // for them (MemoryBudget::takeFor).
    bool grow(size_t bytes);
    size_t held() const { return held_; }

  private:
    MemoryBudget& budget_;
    const std::string address_;
    size_t held_ = 0;
};
