#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "MemoryBudget.h"
#include "RequestFraming.h"
#include "SocketPoller.h"

// Connections whose next request has not come whole, watched by one thread,
// so that no worker ever waits on a client: a request goes to a worker only
// once all of it is here. However many clients send slowly or nothing, from
// however many addresses:
// - a new connection is taken at once, and goes to a worker at once when its
//   request came with it, so it never waits behind the others;
// - at most `connections` wait: beyond them the one that has waited longest
//   gives way (unless its request has come whole meanwhile). Those that have
//   sent part of a request are held to the bound at once; one that has sent
//   nothing gives way once it has had its `turn`, or before it when more than
//   `crowd` wait in all, so that the request of a client that sends it at
//   once, come a little after its connection, is still read;
// - a connection closes when it pauses longer than `pause` (also before its
//   first byte), when its head is not whole `head` after the request began,
//   or its body `body` after the head (408 once part of a request came);
// - a head over `headBytes` is answered 414 or 431; a body over `bodyBytes`
//   is left out (the server answers the head, then closes);
// - a connection refused with an answer is read to its end, for as long as
//   it may pause, before it closes, so that the client reads the answer
//   rather than a reset;
// - every byte of a body held counts kCopies times against the budget (as
//   received and as the server reads it; heads are bounded by their number
//   and size); when the budget has no room, waiting connections give way,
//   oldest first, and without one to give way the connection is answered 503.
class RequestIntake {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kCopies = 2;

    struct Limits {
        size_t connections = 0;
        size_t crowd = 0;
        Clock::duration turn{};
        size_t headBytes = 0;
        size_t bodyBytes = 0;
        Clock::duration pause{};
        Clock::duration head{};
        Clock::duration body{};
    };

    // A request that came whole, on its connection.
    struct Request {
        int socket = -1;
        std::string bytes;  // the request's `end` bytes, then any that came of the next one
        size_t end = 0;
        bool lastOnConnection = false;  // its body was left out
        size_t reserved = 0;            // of the budget, for its body's bytes
        size_t served = 0;              // requests answered on the connection before it
        bool continued = false;         // the client had its "100 Continue"
    };

    // `whole` is called on the intake's thread and must not wait.
    RequestIntake(Limits limits, MemoryBudget& budget, std::function<void(Request)> whole);
    ~RequestIntake();
    RequestIntake(const RequestIntake&) = delete;
    RequestIntake& operator=(const RequestIntake&) = delete;

    // Takes a new connection; waits only while the intake has yet to take
    // as many as may wait.
    void admitNew(int socket);
    // Watches the connection until its next request is whole. `bytes`: what
    // came of that request already; `served`: requests answered on it before.
    void admit(int socket, std::string bytes = {}, size_t served = 0);
    // Reads the rest of a connection that has had its last answer, then closes it.
    void drain(int socket);

    // Closes every waiting connection; those admitted later are closed at once.
    void stop();

  private:
    struct Waiting {
        int socket = -1;
        std::string bytes;
        RequestFraming framing;
        Clock::time_point since;     // admitted: the age by which it gives way
        Clock::time_point lastByte;  // or admitted
        Clock::time_point begun;     // the request's first byte, or admitted
        Clock::time_point headDone;
        size_t reserved = 0;
        size_t served = 0;
        bool continued = false;  // "100 Continue" sent
        bool draining = false;   // answered for the last time: read to its end
    };
    struct Arrival {
        int socket;
        std::string bytes;
        size_t served;
        bool draining;
    };
    using Connections = std::map<int, Waiting>;

    void takeArrivals();
    void closeAll();
    // Reads what the connection has sent; answers whether it still waits.
    bool read(Connections::iterator connection);
    // Goes on after new bytes; answers whether the connection still waits.
    bool judge(Connections::iterator connection);
    // Takes bytes of the budget for the connection, others holding bytes
    // giving way.
    bool reserve(Connections::iterator connection, size_t bytes);
    // Closes connections, longest waiting first, until they keep to their bounds.
    void makeRoom();
    // The connection holding bytes of the budget that has waited longest
    // other than `spared`, or end().
    Connections::iterator oldestHolding(Connections::iterator spared);
    void sweep(Clock::time_point now);
    void close(Connections::iterator connection);
    // Sends the last answer and reads the connection to its end.
    void refuse(Connections::iterator connection, const char* answer);
    void handOver(Connections::iterator connection);

    const Limits limits_;
    MemoryBudget& budget_;
    const std::function<void(Request)> whole_;
    std::mutex mutex_;
    std::condition_variable taken_;  // arrivals_ were taken
    std::vector<Arrival> arrivals_;  // under mutex_
    bool stopped_ = false;           // under mutex_
    Connections waiting_;            // the intake thread's own
    SocketPoller poller_;
};
