#include "LocalServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "LoopbackAttack.h"
#include "RawHttp.h"

namespace {

// A LocalServer of this process that answers GET /hello, echoes POST
// /echo, serves one kept body of kKeptBytes to every reader from GET /kept
// (a piece at a time, from one copy), makes a text of kTextBytes for each
// GET /text and streams GET /stream in chunks, with a bound on waiting
// connections, a budget of its own, a bound on the answers on their way out
// and a write timeout.
class Serving {
  public:
    static constexpr size_t kKeptBytes = 8 << 20;
    static constexpr size_t kTextBytes = 8 << 20;

    Serving(size_t waiting, size_t budgetBytes, size_t answerBytes = LocalServer::kAnswerBytes,
            time_t writeTimeoutSeconds = 5)
        : budget_(budgetBytes), server_(budget_, waiting, answerBytes) {
        std::string kept(kKeptBytes, '\0');
        for (size_t i = 0; i < kept.size(); ++i)
            kept[i] = char('a' + i % 26 + i / 26 % 7);
        kept_ = std::make_shared<const std::string>(std::move(kept));
        server_.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello", "text/plain");
        });
        server_.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "text/plain");
        });
        server_.Get("/kept", [kept = kept_](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(
                kept->size(), "application/octet-stream",
                [kept](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sink.write(kept->data() + offset, length);
                });
        });
        server_.Get("/text", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(kTextBytes, 't'), "text/plain");
        });
        server_.Get("/stream", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [](size_t offset, httplib::DataSink& sink) {
                                                      if (offset == 6)
                                                          sink.done();
                                                      else
                                                          sink.write(&"abcdef"[offset], 2);
                                                      return true;
                                                  });
        });
        server_.set_write_timeout(writeTimeoutSeconds);
        port_ = server_.bindToLoopback(0);
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Serving() {
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    MemoryBudget& budget() { return budget_; }
    LocalServer& server() { return server_; }
    const std::string& kept() const { return *kept_; }

  private:
    MemoryBudget budget_;
    LocalServer server_;
    std::shared_ptr<const std::string> kept_;
    int port_ = 0;
    std::thread thread_;
};

std::string post(const std::string& body, const std::string& headers = {}) {
    return "POST /echo HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

// Four dozen clients over six loopback addresses, three times as many as may
// wait at once, silent or sending a header byte now and then and connecting
// again as soon as they are cut off: the clients that waited longest give
// way, and a normal request is answered all along (with a thread per
// waiting connection it waited for a deadline to cut someone off).
TEST(LocalServer, ClientsFromManyAddressesCannotHoldOffANormalRequest) {
    for (const auto kind : {LoopbackAttack::Kind::Silent, LoopbackAttack::Kind::Trickling}) {
        Serving serving(16, 1 << 20);
        ASSERT_GT(serving.port(), 0);
        LoopbackAttack attack(serving.port(), 48, 6, kind, std::chrono::milliseconds(200));
        ASSERT_TRUE(eventually([&] { return attack.cutOff() >= 32; }));
        for (int request = 0; request < 5; ++request)
            EXPECT_EQ(rawStatus(serving.port(), rawGet("/hello")), 200);
        EXPECT_GE(attack.cutOff(), 32u);
    }
}

TEST(LocalServer, AConnectionKeptAliveWaitsForItsNextRequestWithoutAWorker) {
    Serving serving(4, 1 << 20);
    const int socket = rawConnect(serving.port());
    ASSERT_GE(socket, 0);
    // Two requests sent at once come back answered in order.
    const std::string two = "GET /hello HTTP/1.1\r\nHost: a\r\n\r\n" + post("abc");
    ASSERT_TRUE(rawSend(socket, two));
    const std::string answers = rawReceive(socket, 30);
    EXPECT_EQ(answers.rfind("HTTP/1.1 200", 0), 0u) << answers;
    EXPECT_NE(answers.find("hello"), std::string::npos);
    EXPECT_NE(answers.find("\r\n\r\nabc"), std::string::npos) << answers;
    ::close(socket);
}

TEST(LocalServer, RequestsPastTheirBoundsAreAnsweredAndClosed) {
    Serving serving(8, 8 << 20);
    // A request line of 1 MB.
    EXPECT_EQ(rawStatus(serving.port(), rawGet("/" + std::string(1 << 20, 'a'))), 414);
    // Headers that never end.
    std::string endless = "GET /hello HTTP/1.1\r\n";
    while (endless.size() <= LocalServer::kHeadBytes)
        endless += "X-Filler: yyyyyyyyyyyyyyyy\r\n";
    EXPECT_EQ(rawStatus(serving.port(), endless), 431);
    // A body over the bound is not read.
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(LocalServer::kBodyBytes + 1, 'b'))), 413);
    // One up to it is.
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(LocalServer::kBodyBytes, 'b'))), 200);
    // A body shorter than its length: cut off once it pauses too long.
    const int socket = rawConnect(serving.port());
    ASSERT_TRUE(rawSend(socket, post("abc").substr(0, post("abc").size() - 1)));
    const std::string said = rawReceive(socket, 30);
    EXPECT_EQ(said.rfind("HTTP/1.1 408", 0), 0u) << said;
    ::close(socket);
    // The server still answers.
    EXPECT_EQ(rawStatus(serving.port(), rawGet("/hello")), 200);
}

// The bytes of waiting requests count against the budget: a request that
// needs their room makes the one that has waited longest give way, and with
// no one to give way it is answered 503.
TEST(LocalServer, WaitingRequestsGiveWayWhenTheBudgetIsShort) {
    Serving serving(8, 600 * 1024);
    const int waiting = rawConnect(serving.port());
    const std::string large = post(std::string(200 * 1024, 'w'));
    ASSERT_TRUE(rawSend(waiting, large.substr(0, large.size() - 1)));
    // Two copies of all its body but the last byte.
    ASSERT_TRUE(eventually([&] { return serving.budget().used() == 2 * (200 * 1024 - 1); }));
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(200 * 1024, 'n'))), 200);
    EXPECT_EQ(rawReceive(waiting, 30), "");  // it gave way, unanswered
    ::close(waiting);
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(400 * 1024, 'n'))), 503);
    ASSERT_TRUE(eventually([&] { return serving.budget().used() == 0; }));
}

TEST(LocalServer, ExpectContinueIsAnsweredBeforeTheBody) {
    Serving serving(8, 1 << 20);
    const int socket = rawConnect(serving.port());
    ASSERT_TRUE(rawSend(socket,
                        "POST /echo HTTP/1.1\r\nHost: a\r\nConnection: close\r\nExpect: "
                        "100-continue\r\nContent-Length: 2\r\n\r\n"));
    char continued[64] = {};
    ASSERT_GT(::recv(socket, continued, sizeof continued - 1, 0), 0);
    EXPECT_EQ(std::string(continued), "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(rawSend(socket, "ok"));
    const std::string answer = rawReceive(socket, 30);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_EQ(answer.substr(answer.size() - 2), "ok");
    ::close(socket);
}

// A body an endpoint makes as it goes out is pulled a piece at a time, yet
// goes out as the library would send it: whole, as one range of it, or in
// chunks; the connection then waits for its next request.
TEST(LocalServer, ABodyMadeAsItGoesOutIsSentAsAskedFor) {
    Serving serving(8, 1 << 20);
    const std::string& kept = serving.kept();
    const std::string size = std::to_string(kept.size());
    const std::string whole = rawAnswer(serving.port(), rawGet("/kept"));
    EXPECT_EQ(whole.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_NE(whole.find("Content-Length: " + size + "\r\n"), std::string::npos);
    EXPECT_TRUE(rawBody(whole) == kept);

    struct Case {
        std::string range;
        int status;
        std::string contentRange;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"bytes=100-199", 206, "bytes 100-199/" + size, kept.substr(100, 100)},
        {"bytes=-5", 206,
         "bytes " + std::to_string(kept.size() - 5) + "-" + std::to_string(kept.size() - 1) + "/" +
             size,
         kept.substr(kept.size() - 5)},
        // A range past the end ends with the body.
        {"bytes=" + std::to_string(kept.size() - 3) + "-99999999999", 206,
         "bytes " + std::to_string(kept.size() - 3) + "-" + std::to_string(kept.size() - 1) + "/" +
             size,
         kept.substr(kept.size() - 3)},
        {"bytes=" + size + "-", 416, "bytes */" + size, ""},
        // Several ranges: the whole body, never a multiple of it.
        {"bytes=0-,0-,0-", 200, "", kept},
    };
    for (const Case& asked : cases) {
        SCOPED_TRACE(asked.range);
        const std::string answer =
            rawAnswer(serving.port(), rawGet("/kept", "Range: " + asked.range + "\r\n"));
        EXPECT_EQ(std::atoi(answer.c_str() + 9), asked.status);
        EXPECT_EQ(answer.find("Content-Range: " + asked.contentRange + "\r\n") != std::string::npos,
                  !asked.contentRange.empty());
        EXPECT_NE(answer.find("Content-Length: " + std::to_string(asked.body.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(rawBody(answer) == asked.body);
    }

    // Three requests on one connection: a range, chunks, a text.
    const int socket = rawConnect(serving.port());
    ASSERT_TRUE(rawSend(socket,
                        "GET /kept HTTP/1.1\r\nHost: a\r\nRange: bytes=0-9\r\n\r\n"
                        "GET /stream HTTP/1.1\r\nHost: a\r\n\r\n" +
                            rawGet("/hello")));
    const std::string answers = rawReceive(socket, 30);
    ::close(socket);
    const size_t chunks = answers.find("2\r\nab\r\n2\r\ncd\r\n2\r\nef\r\n0\r\n\r\n");
    EXPECT_NE(answers.find("\r\n\r\n" + kept.substr(0, 10) + "HTTP/1.1 200"), std::string::npos)
        << answers;
    EXPECT_NE(answers.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    ASSERT_NE(chunks, std::string::npos) << answers;
    EXPECT_EQ(answers.find("HTTP/1.1 200", chunks), chunks + 26);
    EXPECT_EQ(answers.substr(answers.size() - 5), "hello");
}

// Clients that ask for a large body and read none of it, more of them than
// the server has workers: every one is answered at once, a normal request
// is answered meanwhile, and each is reset once it has read nothing for the
// write timeout (a worker writing to it was held for as long as it read).
TEST(LocalServer, ClientsThatReadNothingHoldNoWorkerAndAreResetAfterTheWriteTimeout) {
    Serving serving(16, 1 << 20, LocalServer::kAnswerBytes, 1);
    const size_t clients = std::max(32u, 4 * std::thread::hardware_concurrency()) + 16;
    {
        LoopbackAttack readers(serving.port(), clients, 10, rawGet("/kept"), 0);
        ASSERT_TRUE(eventually([&] { return readers.answered() == clients; }));
        EXPECT_EQ(rawStatus(serving.port(), rawGet("/hello")), 200);
        ASSERT_TRUE(eventually([&] { return readers.cutOff() >= clients; }));
    }
    ASSERT_TRUE(eventually([&] { return serving.server().answerBytesHeld() == 0; }));
}

// Answers of a text made for each request, to clients that read none of it,
// never hold more than the bound on answers on their way out: the client
// that has gone longest without reading gives way to the next answer.
TEST(LocalServer, AnswersOnTheirWayOutHoldNoMoreThanTheirBound) {
    constexpr size_t kBound = 2 * Serving::kTextBytes + (1 << 20);
    Serving serving(16, 1 << 20, kBound, 60);
    LoopbackAttack readers(serving.port(), 8, 4, rawGet("/text"), 0);
    // Looked at without pause: two answers are held together only between
    // one answer's coming and the next's.
    size_t most = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (readers.cutOff() < 16 && std::chrono::steady_clock::now() < end)
        most = std::max(most, serving.server().answerBytesHeld());
    ASSERT_GE(readers.cutOff(), 16u);
    EXPECT_LE(most, kBound);
    EXPECT_GT(most, Serving::kTextBytes);
    EXPECT_EQ(rawStatus(serving.port(), rawGet("/hello")), 200);
}

// A connection that has sent part of its request waits on while ones that
// have sent nothing give way to newer ones, so the request can still come.
TEST(LocalServer, ConnectionsThatHaveSentNothingGiveWayFirst) {
    Serving serving(4, 1 << 20);
    const int started = rawConnect(serving.port());
    ASSERT_TRUE(rawSend(started, "GET /hello HTTP/1.1\r\nHost: a\r\n"));
    std::vector<int> silent;
    for (int connection = 0; connection < 4; ++connection)
        silent.push_back(rawConnect(serving.port()));
    // The first of them gives way to the last.
    pollfd closed{silent.front(), POLLIN, 0};
    ASSERT_TRUE(eventually([&] { return ::poll(&closed, 1, 10) > 0; }));
    char ignored;
    EXPECT_EQ(::recv(silent.front(), &ignored, 1, 0), 0);
    ASSERT_TRUE(rawSend(started, "Connection: close\r\n\r\n"));
    const std::string answer = rawReceive(started, 30);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    ::close(started);
    for (const int socket : silent)
        ::close(socket);
}
