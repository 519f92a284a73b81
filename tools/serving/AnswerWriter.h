#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Answer.h"
#include "SocketPoller.h"

// Answers on their way out, sent by one thread as their connections take
// bytes, so that no worker ever waits on a client, however slowly it reads:
// - an answer goes out with non-blocking writes as its socket takes bytes;
//   a body of a file is read as the socket takes it; a body an endpoint
//   makes as it goes out is pulled a piece at a time on a worker
//   (`elsewhere`), the next piece while the last one goes out;
// - a connection that takes no byte for `timeout` while bytes wait for it
//   is reset, so that the kernel keeps none of its bytes either; so is one
//   whose body brings no byte for as long. A connection takes bytes when
//   the kernel has room for it again, takes more in a write, or holds fewer
//   of its bytes than at the writer's last look (sent and acknowledged), so
//   that a slow reader shows even when it frees too little room to wake the
//   writer;
// - the bytes held for all connections stay within `capacity`: an answer or
//   a piece without room makes the connections that have gone longest
//   without taking a byte give way (only an answer alone may be larger),
//   never one that waits for the next piece of its body with nothing else
//   to send, as that wait is the server's;
// - when the process runs short of descriptors (DescriptorTable), looked at
//   now and then and whenever an endpoint could not open what it needed,
//   the connections that have gone longest without taking a byte give way,
//   as many as descriptors are missing, so that new connections are taken
//   and their files opened;
// - an answer written whole goes to `written`, which keeps the connection
//   or reads it to its end; one whose body the endpoint gave up on is sent
//   as far as it came, with its keep-alive dropped.
class AnswerWriter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kPieceBytes = 64 * 1024;
    // What one read of a file takes, for all connections.
    static constexpr size_t kFileReadBytes = 256 * 1024;

    AnswerWriter(Clock::duration timeout, size_t capacity,
                 std::function<void(std::function<void()>)> elsewhere,
                 std::function<void(Answer&)> written);
    ~AnswerWriter();
    AnswerWriter(const AnswerWriter&) = delete;
    AnswerWriter& operator=(const AnswerWriter&) = delete;

    // Sends the answer on its connection (any thread).
    void write(Answer answer);
    // Resets every connection; those given later are reset at once.
    void stop();
    // An endpoint could not open what it needed for lack of descriptors
    // (any thread).
    void descriptorsRanOut();

    // The bytes held for connections now.
    size_t held() const { return held_; }

  private:
    struct Writing {
        Answer answer;
        std::deque<std::string> pieces;  // the head, the body or the pieces pulled of it
        size_t sent = 0;                 // of the first piece
        size_t held = 0;                 // the pieces and a piece being pulled
        bool pulling = false;
        bool gaveUp = false;         // the endpoint gave up on the body, or its file was cut short
        Clock::time_point progress;  // the connection last took a byte
        int queued = 0;              // bytes the kernel held for it at the last look
    };
    struct Pulled {
        uint64_t id;
        std::string piece;
        bool provided;
    };
    using Connections = std::map<uint64_t, Writing>;

    void takeArrivals();
    void resetAll();
    // The socket takes bytes again: sends them.
    void writable(uint64_t id);
    // Sends what the socket takes, then pulls more or ends the answer.
    void send(uint64_t id);
    // Each sends what the socket takes of the pieces or the file; false
    // when the connection failed.
    bool sendPieces(Writing& writing);
    bool sendFile(Writing& writing);
    void pull(Connections::iterator connection);
    void took(Pulled pulled);
    // Counts bytes held for the connection, others giving way without room.
    void reserve(Connections::iterator connection, size_t bytes);
    void release(Writing& writing, size_t bytes);
    // The connection other than `spared` that has gone longest without
    // taking a byte (of those holding bytes, when `holding`), or end(); not
    // one waiting for the next piece of its body with nothing to send.
    Connections::iterator longestStalled(Connections::iterator spared, bool holding);
    // Notes the bytes the peer took since the last look.
    static void lookAtKernel(Writing& writing, Clock::time_point now);
    void freeDescriptors();
    void sweep(Clock::time_point now);
    void finish(Connections::iterator connection);
    void reset(Connections::iterator connection);

    const Clock::duration timeout_;
    const size_t capacity_;
    const std::function<void(std::function<void()>)> elsewhere_;
    const std::function<void(Answer&)> written_;
    std::mutex mutex_;
    std::vector<Answer> arrivals_;  // under mutex_
    std::vector<Pulled> pulled_;    // under mutex_
    bool stopped_ = false;          // under mutex_
    Connections writing_;           // the writer thread's own
    uint64_t nextId_ = 1;
    std::atomic<size_t> held_ = 0;
    std::atomic<bool> descriptorsRanOut_ = false;
    std::vector<char> fileBuffer_ = std::vector<char>(kFileReadBytes);
    SocketPoller poller_;
};
