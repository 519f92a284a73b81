#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// One thread that waits for its sockets with epoll, is woken by the threads
// that hand it work, and looks at its deadlines now and then: what the
// intake and the writer each run on. Its steps run on its thread.
class SocketPoller {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSweepInterval{50};

    struct Steps {
        std::function<void(uint64_t key)> ready;           // a socket watched under `key` is
        std::function<void()> woken;                       // after each wait
        std::function<void(Clock::time_point now)> sweep;  // every kSweepInterval or so
        std::function<void()> stopped;                     // once, last
    };

    // Starts the thread: an owner makes it last, once all its steps use is made.
    explicit SocketPoller(Steps steps);
    ~SocketPoller();
    SocketPoller(const SocketPoller&) = delete;
    SocketPoller& operator=(const SocketPoller&) = delete;

    void watch(int socket, uint32_t events, uint64_t key);
    void forget(int socket);
    // Has the thread run `woken` soon (any thread).
    void wake();
    // Ends the thread after `stopped` and waits for it (any other thread).
    void stop();

  private:
    void run();

    const Steps steps_;
    int epoll_ = -1;
    int wake_ = -1;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};
