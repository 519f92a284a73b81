#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>

#include "MemoryBudget.h"
#include "RequestIntake.h"

// An HTTP server on 127.0.0.1 that slow, silent or greedy clients cannot take
// over, from however many local addresses they come. A connection is watched
// by one intake thread until its request is whole (RequestIntake); only then
// does a worker take it, and the worker hands the answer it made to one
// writer thread (AnswerWriter), which sends it as the client reads it. A
// connection kept alive goes back to the intake to wait for its next
// request. So:
// - a connection is taken at once and a request that comes with it goes to
//   a worker at once; at most kWaitingConnections wait for their requests,
//   all addresses together: beyond them the one that has waited longest
//   gives way; one that has sent nothing only once it has had kWaitingTurn,
//   unless four times as many wait;
// - a request must arrive whole in time, however steadily its bytes trickle
//   in: no pause over kPauseLimit, its headers within kHeaderDeadline, then
//   its body within kBodyDeadline;
// - a head is at most kHeadBytes; a body at most the payload bound
//   (kBodyBytes unless set otherwise), else it is answered 413 unread;
// - the bodies of requests count against a memory budget, the server's own
//   or one its owner shares with what it keeps;
// - no worker waits for a client to read: a connection that takes no byte
//   of its answer for the write timeout is reset, and the answers on their
//   way out hold at most kAnswerBytes, the connections that have gone
//   longest without reading giving way. The kernel shows a slow reader's
//   bytes only as it nearly empties its 128 KB receive buffer: every 127 s
//   at 1 KB/s, 32 s at 4 KB/s, 7.9 s at 16 KB/s, 2 s at 64 KB/s, 1 s at
//   128 KB/s, 0.5 s at 256 KB/s. So the write timeout is kWriteTimeout
//   unless set otherwise: a reader that has stopped costs a socket of
//   kSendBufferBytes until then, and gives way first when the answers'
//   bytes or the descriptors run short. So does a slow reader still
//   reading, when stalled readers that connect again as soon as they are
//   cut off keep the shortage going, each having taken bytes more lately:
//   under such a flood, with 1,024 descriptors or the SDK service's answer
//   memory running short, every answer to a reader at 16 to 256 KB/s was
//   cut off within 0.05 to 0.7 s of its last bytes (and at the map store
//   some 40 % of requests were answered 503); a full-speed download came
//   whole at the SDK service, but at the map store up to 2 % were cut off
//   as well on a busy machine;
// - the soft limit on open descriptors is raised to the hard limit; an
//   endpoint that cannot open what an answer needs for lack of them answers
//   503 and tells the server (descriptorsRanOut), whose stalled readers then
//   give way, as they do whenever few descriptors are left, so that accepting
//   connections goes on;
// - a request for several ranges is answered whole, as a server may, so
//   that ranges that overlap cannot multiply an answer.
//
// An endpoint hands over a body it keeps as a content provider
// (`set_content_provider(size, type, provider)`): the writer asks it for at
// most 64 KiB at a time, from the offset it gives, as the client reads, and
// holds no more of it per connection than two such pieces. A provider that
// captures a `std::shared_ptr<const std::string>` and writes at most
// `length` bytes from `offset` of it serves every reader from one copy
// (`set_content` copies the text into each answer). A file goes as a
// FileBody, sent from the file. A post-routing handler is set through this
// class, which takes the body after running it.
class LocalServer : public httplib::Server {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kWaitingTurn{100};
    static constexpr std::chrono::seconds kPauseLimit{2};
    static constexpr std::chrono::seconds kHeaderDeadline{5};
    static constexpr std::chrono::seconds kBodyDeadline{30};
    static constexpr size_t kWaitingConnections = 256;
    static constexpr size_t kHeadBytes = 64 * 1024;
    static constexpr size_t kBodyBytes = 1024 * 1024;
    static constexpr size_t kMemoryBytes = 64 * 1024 * 1024;
    static constexpr size_t kAnswerBytes = 64 * 1024 * 1024;
    static constexpr std::chrono::minutes kWriteTimeout{3};
    // What the kernel may hold of a connection's answer (it books twice as
    // much for its own keeping); fixed, so that it does not grow the buffer
    // to megabytes for a client that reads nothing.
    static constexpr int kSendBufferBytes = 128 * 1024;
    // Blocks from this size up are mapped apart from the allocator's arenas.
    static constexpr size_t kMappedApartBytes = 128 * 1024;
    // The allocator's arenas, for all threads together.
    static constexpr int kArenas = 2;

    // With a budget of kMemoryBytes of its own.
    LocalServer();
    // The bodies of requests count against `budget`, which must hold two
    // copies of the largest body.
    explicit LocalServer(MemoryBudget& budget, size_t waitingConnections = kWaitingConnections,
                         size_t answerBytes = kAnswerBytes);
    ~LocalServer() override;

    // Runs `handler` where the library runs its post-routing handler, before
    // the answer's body is taken for the writer.
    LocalServer& set_post_routing_handler(Handler handler);

    // Binds to 127.0.0.1 (port 0: a free one) with room for many waiting
    // connections; answers the port or -1.
    int bindToLoopback(int port);

    MemoryBudget& budget() { return budget_; }
    // An endpoint could not open what an answer needs for lack of
    // descriptors: the readers that have gone longest without taking a byte
    // give way (any thread).
    void descriptorsRanOut();
    // The bytes of answers on their way out, while the server listens.
    size_t answerBytesHeld() const;

  private:
    class Serving;

    static unsigned workerCount();

    void configure();
    bool process_and_close_socket(socket_t socket) override;
    void serve(Serving& serving, RequestIntake::Request& request);

    std::unique_ptr<MemoryBudget> ownBudget_;
    MemoryBudget& budget_;
    const size_t waitingConnections_;
    const size_t answerBytes_;
    Handler postRouting_;
    std::atomic<Serving*> serving_ = nullptr;
};
