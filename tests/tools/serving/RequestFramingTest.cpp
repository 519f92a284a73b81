#include "RequestFraming.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using State = RequestFraming::State;

constexpr size_t kHead = 1024;
constexpr size_t kBody = 100;

// The framing after the bytes came one at a time.
RequestFraming byteByByte(const std::string& bytes) {
    RequestFraming framing(kHead, kBody);
    for (size_t count = 1; count <= bytes.size(); ++count)
        framing.update(std::string_view(bytes).substr(0, count));
    return framing;
}

}  // namespace

TEST(RequestFraming, ARequestIsWholeWithItsHeadAndTheBodyItsLengthAnnounces) {
    const std::string get = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string post = "POST /b HTTP/1.1\r\ncontent-LENGTH:  5 \r\n\r\nhello";
    for (const std::string& request : {get, post}) {
        RequestFraming framing(kHead, kBody);
        EXPECT_EQ(framing.update(request.substr(0, request.size() - 1)),
                  request == get ? State::Head : State::Body);
        // The next request's bytes that came along are not this one's.
        EXPECT_EQ(framing.update(request + "GET /next"), State::Whole);
        EXPECT_EQ(framing.end(), request.size());
        EXPECT_FALSE(framing.bodyLeftOut());
        // However the bytes were cut up on their way.
        const RequestFraming slow = byteByByte(request);
        EXPECT_EQ(slow.state(), State::Whole);
        EXPECT_EQ(slow.end(), request.size());
    }
    // No headers at all.
    EXPECT_EQ(RequestFraming(kHead, kBody).update("GET / HTTP/1.0\r\n\r\n"), State::Whole);
}

// The HTTP library ends the head only at a line that is a bare CRLF and
// passes over lines ending in a bare LF: so must the framing, or a request
// would be cut where the library reads on.
TEST(RequestFraming, OnlyAnEmptyCRLFLineEndsTheHead) {
    RequestFraming framing(kHead, kBody);
    EXPECT_EQ(framing.update("GET / HTTP/1.1\r\nA: b\n\nContent-Length: 3\n\r\nabc"), State::Whole);
    // The LF-ended length line is not one the library reads.
    EXPECT_EQ(framing.end(),
              std::string("GET / HTTP/1.1\r\nA: b\n\nContent-Length: 3\n\r\n").size());
}

TEST(RequestFraming, ABodyTheServerWillNotHoldIsLeftOut) {
    for (const std::string& header :
         {std::string("Transfer-Encoding: chunked"), std::string("Content-Length: 101"),
          std::string("Content-Length: 99999999999999999999999"), std::string("Content-Length: 5x"),
          std::string("Content-Length: -1")}) {
        RequestFraming framing(kHead, kBody);
        const std::string head = "POST / HTTP/1.1\r\n" + header + "\r\n\r\n";
        EXPECT_EQ(framing.update(head + "abc"), State::Whole) << header;
        EXPECT_EQ(framing.end(), head.size()) << header;
        EXPECT_TRUE(framing.bodyLeftOut()) << header;
    }
    // Two lengths that differ: which one a reader believes cannot be told.
    RequestFraming twice(kHead, kBody);
    EXPECT_EQ(twice.update("POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab"),
              State::Whole);
    EXPECT_TRUE(twice.bodyLeftOut());
    RequestFraming same(kHead, kBody);
    EXPECT_EQ(same.update("POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nab"),
              State::Whole);
    EXPECT_FALSE(same.bodyLeftOut());
}

TEST(RequestFraming, AHeadPastItsBoundIsRefusedByWhatItLacks) {
    // A request line of 1 MB.
    const std::string line = "GET /" + std::string(1 << 20, 'a');
    EXPECT_EQ(RequestFraming(kHead, kBody).update(line), State::RequestLineTooLong);
    EXPECT_EQ(byteByByte(line.substr(0, kHead + 1)).state(), State::RequestLineTooLong);
    // Headers that never end.
    std::string endless = "GET / HTTP/1.1\r\n";
    while (endless.size() <= kHead)
        endless += "X: y\r\n";
    EXPECT_EQ(RequestFraming(kHead, kBody).update(endless), State::HeadTooLarge);
    EXPECT_EQ(byteByByte(endless).state(), State::HeadTooLarge);
    // Up to the bound a head is read.
    std::string full = "GET / HTTP/1.1\r\nX: ";
    full += std::string(kHead - full.size() - 4, 'y') + "\r\n\r\n";
    ASSERT_EQ(full.size(), kHead);
    EXPECT_EQ(RequestFraming(kHead, kBody).update(full), State::Whole);
}

TEST(RequestFraming, ContinueIsAskedForOnlyBeforeABodyThatWillBeRead) {
    RequestFraming asks(kHead, kBody);
    EXPECT_EQ(asks.update("PUT / HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 4\r\n\r\n"),
              State::Body);
    EXPECT_TRUE(asks.expectsContinue());
    RequestFraming empty(kHead, kBody);
    empty.update("PUT / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 0\r\n\r\n");
    EXPECT_FALSE(empty.expectsContinue());
    RequestFraming large(kHead, kBody);
    large.update("PUT / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 1000\r\n\r\n");
    EXPECT_FALSE(large.expectsContinue());
}
