#pragma once

#include <cstddef>
#include <string_view>

// Where one HTTP request ends among the bytes of its connection, told from
// the bytes as they arrive. The head ends with the first empty line (CRLF)
// after the request line, as the HTTP library reads it; the body is as long
// as its Content-Length says. A body the server will not hold (sent in
// chunks, of an unreadable length or longer than the bound) is left out: the
// request is whole with its head, and its connection carries no other.
class RequestFraming {
  public:
    enum class State {
        Head,                // the head is still coming
        Body,                // the head is whole, the body still coming
        Whole,               // the request is whole: end() bytes
        RequestLineTooLong,  // no line end within the head's bound
        HeadTooLarge,        // no empty line within the head's bound
    };

    RequestFraming(size_t maximumHeadBytes, size_t maximumBodyBytes);

    // Reads the connection's bytes so far: the same bytes, and maybe more,
    // on every call.
    State update(std::string_view bytes);

    State state() const { return state_; }
    // Once past the head: the bytes of the head, and those the request takes;
    // those after them belong to the next request.
    size_t headEnd() const { return headEnd_; }
    size_t end() const { return end_; }
    bool bodyLeftOut() const { return bodyLeftOut_; }
    // The head asks for kContinue before it sends its body.
    bool expectsContinue() const { return expectsContinue_; }
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

  private:
    void readHead(std::string_view head);

    const size_t maximumHeadBytes_;
    const size_t maximumBodyBytes_;
    State state_ = State::Head;
    size_t scanned_ = 0;  // head bytes searched for its end so far
    size_t headEnd_ = 0;
    size_t end_ = 0;
    bool bodyLeftOut_ = false;
    bool expectsContinue_ = false;
};
