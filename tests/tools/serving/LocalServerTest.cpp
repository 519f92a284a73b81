#include "LocalServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackAttack.h"
#include "RawHttp.h"

namespace {

// A LocalServer of this process that answers GET /hello and echoes POST
// /echo, with a bound on waiting connections and a budget of its own.
class Serving {
  public:
    Serving(size_t waiting, size_t budgetBytes) : budget_(budgetBytes), server_(budget_, waiting) {
        server_.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello", "text/plain");
        });
        server_.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "text/plain");
        });
        port_ = server_.bindToLoopback(0);
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Serving() {
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    MemoryBudget& budget() { return budget_; }

  private:
    MemoryBudget budget_;
    LocalServer server_;
    int port_ = 0;
    std::thread thread_;
};

// Waits (without a deadline of its own: ctest has one) until `done`.
template <typename Done>
void waitFor(Done done) {
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

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
        waitFor([&] { return attack.cutOff() >= 32; });
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
    waitFor([&] { return serving.budget().used() == 2 * (200 * 1024 - 1); });
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(200 * 1024, 'n'))), 200);
    EXPECT_EQ(rawReceive(waiting, 30), "");  // it gave way, unanswered
    ::close(waiting);
    EXPECT_EQ(rawStatus(serving.port(), post(std::string(400 * 1024, 'n'))), 503);
    waitFor([&] { return serving.budget().used() == 0; });
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
    waitFor([&] { return ::poll(&closed, 1, 10) > 0; });
    char ignored;
    EXPECT_EQ(::recv(silent.front(), &ignored, 1, 0), 0);
    ASSERT_TRUE(rawSend(started, "Connection: close\r\n\r\n"));
    const std::string answer = rawReceive(started, 30);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    ::close(started);
    for (const int socket : silent)
        ::close(socket);
}
