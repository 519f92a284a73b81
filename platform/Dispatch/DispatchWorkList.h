#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

// The work of one executor (the main run loop, a serial queue's thread, the
// global pool): blocks ready to run in submission order, and blocks due at a
// time. Any thread may add; the executor's threads take. Internal to Dispatch.
class DispatchWorkList {
  public:
    using Clock = std::chrono::steady_clock;
    using Block = std::function<void()>;

    // The time `seconds` from now. Negative and NaN mean now; beyond a
    // century means never (Clock::time_point::max()).
    static Clock::time_point deadlineAfter(double seconds);

    // Both return false, dropping the block, once the list is closed. An
    // empty block is dropped too: take() answers empty only when it has none.
    bool push(Block block);
    bool pushAt(Clock::time_point when, Block block);

    // The next block to run: ready blocks first come first served, a timed
    // block once due. Waits until `deadline` at the latest; answers an empty
    // block at the deadline, after interrupt(), and once closed and drained.
    Block take(Clock::time_point deadline);

    // Makes the current or next take() return at once.
    void interrupt();

    // Accepts no more blocks. Timed blocks are dropped; ready ones too when
    // `dropReady`, otherwise take() still hands them out. Dropped blocks are
    // destroyed on the calling thread, outside the lock.
    void close(bool dropReady);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;
    // Keyed by due time, then by submission so equal times keep their order.
    std::map<std::pair<Clock::time_point, uint64_t>, Block> timed_;
    uint64_t sequence_ = 0;
    bool interrupted_ = false;
    bool closed_ = false;
};
