#include "Net/NSURLConnection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "Net/NSURLError.h"
#include "NetTestServer.h"

namespace {

// Records what the connection says, in order.
class Recorder : public NSURLConnectionDataDelegate {
  public:
    std::optional<NSURLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<NSURLConnection>&, const NSURLRequest& request,
        const NSHTTPURLResponse& redirectResponse) override {
        events += "redirect " + std::to_string(redirectResponse.statusCode()) + " ";
        if (refuseRedirects)
            return std::nullopt;
        return request;
    }
    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                      const NSHTTPURLResponse& response) override {
        events += "response ";
        status = response.statusCode();
        mainThread = mainThread && NSThread::isMainThread();
    }
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                  const Value::Data& data) override {
        if (!events.ends_with("data "))
            events += "data ";
        body.append(data.begin(), data.end());
        mainThread = mainThread && NSThread::isMainThread();
    }
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                    const NSError& error) override {
        events += "fail";
        errorCode = error.code;
        ended = true;
    }
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override {
        events += "finish";
        ended = true;
    }

    std::string events;
    std::string body;
    long status = 0;
    long errorCode = 0;
    std::atomic<bool> ended = false;  // set last: the other fields are complete once it is
    bool mainThread = true;
    bool refuseRedirects = false;
};

bool runMainUntil(const std::function<bool()>& done, double seconds = 20.0) {
    return NSRunLoop::mainRunLoop()->runUntil(done, seconds);
}

// A block waits for a request to a server that takes the connection and
// never answers, when the program ends.
void endWhileABlockWaitsForARequest() {
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(server, 1) != 0 ||
        getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::_Exit(2);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    DispatchQueue::global()->async([url] {
        NSError error;
        NSURLConnection::sendSynchronousRequest(NSURLRequest(*NSURL::URLWithString(url)), nullptr,
                                                &error);
        std::fprintf(stderr, "the request ended with %ld %s the end\n", error.code,
                     DispatchQueue::isEnding() ? "after" : "before");
    });
    // The request has reached the server.
    pollfd request{server, POLLIN, 0};
    if (poll(&request, 1, 30000) != 1)
        std::_Exit(3);
    std::atexit([] { std::fputs("the exit handlers ran\n", stderr); });
    DispatchQueue::exitProgram(0);
}

class NSURLConnectionTest : public ::testing::Test {
  protected:
    NSURLRequest request(const std::string& path) const {
        return NSURLRequest(*NSURL::URLWithString(server.url(path)));
    }
    NetTestServer server;
};

}  // namespace

TEST_F(NSURLConnectionTest, DelegateHearsResponseDataAndEndInOrderOnTheMainThread) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = NSURLConnection::connectionWithRequestDelegate(request("/data"), recorder);
    ASSERT_TRUE(runMainUntil([&] { return recorder->ended.load(); }));
    EXPECT_EQ(recorder->events, "response data finish");
    EXPECT_EQ(recorder->status, 200);
    EXPECT_EQ(recorder->body, NetTestServer::dataBytes());
    EXPECT_TRUE(recorder->mainThread);
}

TEST_F(NSURLConnectionTest, TheDelegateFollowsOrRefusesARedirect) {
    for (const bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "refused" : "followed");
        auto recorder = std::make_shared<Recorder>();
        recorder->refuseRedirects = refuse;
        auto connection =
            NSURLConnection::connectionWithRequestDelegate(request("/redirect"), recorder);
        ASSERT_TRUE(runMainUntil([&] { return recorder->ended.load(); }));
        EXPECT_EQ(recorder->events, "redirect 302 response data finish");
        EXPECT_EQ(recorder->status, refuse ? 302 : 200);
        EXPECT_EQ(recorder->body, refuse ? "moved" : "hello world");
    }
}

TEST_F(NSURLConnectionTest, ADroppedConnectionFailsAfterThePartThatCame) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = NSURLConnection::connectionWithRequestDelegate(request("/drop"), recorder);
    ASSERT_TRUE(runMainUntil([&] { return recorder->ended.load(); }));
    EXPECT_EQ(recorder->events, "response data fail");
    EXPECT_EQ(recorder->errorCode, NSURLErrorNetworkConnectionLost);
    EXPECT_EQ(recorder->body, std::string(100, 'd'));
}

TEST_F(NSURLConnectionTest, AfterCancelTheDelegateHearsNothingAndIsReleased) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = NSURLConnection::connectionWithRequestDelegate(request("/stream"), recorder);
    ASSERT_TRUE(runMainUntil([&] { return !recorder->body.empty(); }));
    connection->cancel();
    const std::string heard = recorder->events;
    EXPECT_EQ(recorder.use_count(), 1);
    runMainUntil([] { return false; }, 0.2);
    EXPECT_EQ(recorder->events, heard);
    EXPECT_FALSE(recorder->ended);
}

TEST_F(NSURLConnectionTest, ANotStartedConnectionWaitsForStartOnItsQueue) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = NSURLConnection::createWithRequestDelegateStartImmediately(request("/hello"),
                                                                                 recorder, false);
    connection->setDelegateQueue(DispatchQueue::global());
    runMainUntil([] { return false; }, 0.1);
    EXPECT_EQ(recorder->events, "");
    connection->start();
    ASSERT_TRUE(runMainUntil([&] { return recorder->ended.load(); }));
    EXPECT_EQ(recorder->body, "hello world");
    EXPECT_FALSE(recorder->mainThread);
}

TEST_F(NSURLConnectionTest, SynchronousRequestsFromWorkerThreads) {
    std::vector<std::thread> workers;
    std::atomic<int> correct = 0;
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back([&] {
            std::optional<NSHTTPURLResponse> response;
            NSError error;
            const auto data =
                NSURLConnection::sendSynchronousRequest(request("/hello"), &response, &error);
            if (data && std::string(data->begin(), data->end()) == "hello world" && response &&
                response->statusCode() == 200)
                ++correct;
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(correct, 8);

    NSMutableURLRequest slow = request("/slow");
    slow.setTimeoutInterval(0.2);
    NSError error;
    EXPECT_FALSE(NSURLConnection::sendSynchronousRequest(slow, nullptr, &error));
    EXPECT_EQ(error.code, NSURLErrorTimedOut);
}

// The program's end cancels a request under way: the block waiting for it
// ends at once, and the program ends through its exit handlers rather than
// leaving the block behind.
TEST(NSURLConnectionDeathTest, TheProgramsEndCancelsTheRequestsBlocksWaitFor) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(endWhileABlockWaitsForARequest(), testing::ExitedWithCode(0),
                "the request ended with -999 after the end.*the exit handlers ran");
}

TEST_F(NSURLConnectionTest, AsynchronousRequestCompletesOnTheGivenQueue) {
    std::string body;
    bool onMain = false;
    bool done = false;
    NSURLConnection::sendAsynchronousRequest(
        request("/hello"), DispatchQueue::main(), [&](auto, std::optional<Value::Data> data, auto) {
            body = data ? std::string(data->begin(), data->end()) : "";
            onMain = NSThread::isMainThread();
            done = true;
        });
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    EXPECT_EQ(body, "hello world");
    EXPECT_TRUE(onMain);
}
