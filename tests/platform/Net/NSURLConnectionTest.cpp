#include "Net/NSURLConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "Net/NSURLError.h"
#include "NetTestServer.h"

namespace {

// Records what the connection says, in order.
class Recorder : public NSURLConnectionDataDelegate {
  public:
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
};

bool runMainUntil(const std::function<bool()>& done, double seconds = 20.0) {
    return NSRunLoop::mainRunLoop()->runUntil(done, seconds);
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
