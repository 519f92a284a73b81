#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// Lets a thread wait for a block it handed to another thread: the wait ends
// when the block has run, or when the block is dropped unrun (its queue
// closed at exit), so a waiter never hangs on a block that will not run.
// Internal to Dispatch.
class DispatchCompletion {
  public:
    DispatchCompletion();

    // The block, wrapped so that running or destroying it ends the wait.
    std::function<void()> wrap(std::function<void()> block);
    // Answers whether the block ran.
    bool wait();

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool ran = false;
        void end(bool didRun);
    };
    // Shared by every copy of the wrapped block; the last copy's end without
    // a run means the block was dropped.
    struct Signal {
        std::shared_ptr<State> state;
        ~Signal() {
            if (state)
                state->end(false);
        }
    };

    std::shared_ptr<State> state_;
};
