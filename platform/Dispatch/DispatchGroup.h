#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class DispatchQueue;

// Tracks a set of tasks: enter() when one starts, leave() when it ends. When
// none is outstanding, the notify blocks registered so far are submitted to
// their queues and waiters return. Any thread may use a group; blocks given
// to async() keep what they need alive, so the group may go first.
class DispatchGroup {
  public:
    using Block = std::function<void()>;

    DispatchGroup();

    void enter();
    // A leave() without its enter() is a programming error.
    void leave();
    // Runs the block on the queue as one task of the group.
    void async(const std::shared_ptr<DispatchQueue>& queue, Block block);
    // Submits the block to the queue once no task is outstanding (at once
    // when none is now).
    void notify(const std::shared_ptr<DispatchQueue>& queue, Block block);
    // Waits until no task is outstanding.
    void wait();
    // The same, for at most `timeoutSeconds`; answers whether it got there.
    bool wait(double timeoutSeconds);

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable empty;
        long outstanding = 0;
        std::vector<std::pair<std::shared_ptr<DispatchQueue>, Block>> notifications;
        void leave();
    };

    std::shared_ptr<State> state_;
};
