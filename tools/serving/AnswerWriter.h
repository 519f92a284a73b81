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
//   whose body brings no byte for as long;
// - the bytes held for all connections stay within `capacity`: an answer or
//   a piece without room makes the connections that have gone longest
//   without taking a byte give way (only an answer alone may be larger);
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

    // The bytes held for connections now.
    size_t held() const { return held_; }

  private:
    struct Writing {
        Answer answer;
        std::deque<std::string> pieces;  // the head, the body or the pieces pulled of it
        size_t sent = 0;                 // of the first piece
        size_t held = 0;                 // the pieces and a piece being pulled
        bool pulling = false;
        bool gaveUp = false;  // the endpoint gave up on the body, or its file was cut short
        Clock::time_point progress;
    };
    struct Pulled {
        uint64_t id;
        std::string piece;
        bool provided;
    };
    using Connections = std::map<uint64_t, Writing>;

    void takeArrivals();
    void resetAll();
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
    std::vector<char> fileBuffer_ = std::vector<char>(kFileReadBytes);
    SocketPoller poller_;
};
