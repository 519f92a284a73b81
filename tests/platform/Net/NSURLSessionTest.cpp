#include "Net/NSURLSession.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "Net/NSURLError.h"
#include "NetTestServer.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    std::optional<Value::Data> data;
    std::optional<NSHTTPURLResponse> response;
    std::optional<NSError> error;
    bool onMainThread = false;
};

bool runMainUntil(const std::function<bool()>& done, double seconds = 20.0) {
    return NSRunLoop::mainRunLoop()->runUntil(done, seconds);
}

std::string text(const std::optional<Value::Data>& data) {
    return data ? std::string(data->begin(), data->end()) : "<nil>";
}

std::string fileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// Records what a session tells its delegate. It refuses every redirect,
// cancels a 404 at its response and, when asked to, keeps the answer to a
// response for the test to give.
class SessionRecorder : public NSURLSessionDataDelegate {
  public:
    void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const NSHTTPURLResponse& response, const NSURLRequest& request,
        std::function<void(std::optional<NSURLRequest>)> completionHandler) override {
        events += "redirect " + std::to_string(response.statusCode()) + " to " +
                  request.URL().path() + ", ";
        completionHandler(std::nullopt);
    }
    void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const NSHTTPURLResponse& response,
        std::function<void(NSURLSessionResponseDisposition)> completionHandler) override {
        events += "response " + std::to_string(response.statusCode()) + ", ";
        if (deferResponse) {
            answer = std::move(completionHandler);
            answerWaits = true;
            return;
        }
        completionHandler(response.statusCode() == 404 ? NSURLSessionResponseDisposition::Cancel
                                                       : NSURLSessionResponseDisposition::Allow);
    }
    void URLSessionDataTaskDidReceiveData(const std::shared_ptr<NSURLSession>&,
                                          const std::shared_ptr<NSURLSessionDataTask>&,
                                          const Value::Data& data) override {
        if (!events.ends_with("data, "))
            events += "data, ";
        body.append(data.begin(), data.end());
    }
    void URLSessionTaskDidCompleteWithError(const std::shared_ptr<NSURLSession>&,
                                            const std::shared_ptr<NSURLSessionTask>&,
                                            const std::optional<NSError>& error) override {
        events += error ? "error " + std::to_string(error->code) : std::string("complete");
        onMainThread = NSThread::isMainThread();
        ended = true;
    }

    bool deferResponse = false;
    std::function<void(NSURLSessionResponseDisposition)> answer;
    std::atomic<bool> answerWaits = false;  // set last: `answer` is there once it is
    std::string events;
    std::string body;
    bool onMainThread = true;
    std::atomic<bool> ended = false;  // set last: the other fields are complete once it is
};

class NSURLSessionTest : public ::testing::Test {
  protected:
    NSURLRequest request(const std::string& path) const {
        return NSURLRequest(*NSURL::URLWithString(server.url(path)));
    }

    // Runs a data task of a session with `delegate` and a queue of its own
    // until the delegate hears the end.
    void loadTellingDelegate(const std::shared_ptr<SessionRecorder>& delegate,
                             const std::string& path) {
        auto own = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
            NSURLSessionConfiguration::defaultSessionConfiguration(), delegate, nullptr);
        own->dataTaskWithRequest(request(path))->resume();
        EXPECT_TRUE(runMainUntil([&] { return delegate->ended.load(); }));
        own->finishTasksAndInvalidate();
    }

    // Runs a data task whose completion arrives on the main queue.
    Result load(const NSURLRequest& urlRequest) {
        Result result;
        bool done = false;
        auto task =
            session->dataTaskWithRequest(urlRequest, [&](std::optional<Value::Data> data,
                                                         std::optional<NSHTTPURLResponse> response,
                                                         std::optional<NSError> error) {
                result = {std::move(data), std::move(response), std::move(error),
                          NSThread::isMainThread()};
                done = true;
            });
        task->resume();
        EXPECT_TRUE(runMainUntil([&] { return done; }));
        return result;
    }

    NetTestServer server;
    std::shared_ptr<NSURLSession> session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration(), DispatchQueue::main());
    fs::path folder = fs::temp_directory_path() / ("kelvara-net-" + std::to_string(getpid()));

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
};

}  // namespace

TEST_F(NSURLSessionTest, DataTaskDeliversBodyAndResponseOnTheChosenQueue) {
    const Result result = load(request("/hello"));
    EXPECT_TRUE(result.onMainThread);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(text(result.data), "hello world");
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->statusCode(), 200);
    EXPECT_EQ(result.response->MIMEType(), "text/plain");
    EXPECT_EQ(result.response->textEncodingName(), "utf-8");
    EXPECT_EQ(result.response->expectedContentLength(), 11);
}

TEST_F(NSURLSessionTest, AnErrorStatusIsAResponseNotAnError) {
    const Result result = load(request("/missing"));
    EXPECT_FALSE(result.error);
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->statusCode(), 404);
    EXPECT_EQ(text(result.data), "missing");
}

TEST_F(NSURLSessionTest, SendsHeadersMethodAndBodyAndReadsResponseHeaders) {
    NSMutableURLRequest headers = request("/headers");
    headers.setValueForHTTPHeaderField("value 1", "x-test");
    const Result echoed = load(headers);
    ASSERT_TRUE(echoed.response);
    EXPECT_EQ(echoed.response->valueForHTTPHeaderField("x-echo"), "value 1");

    NSMutableURLRequest put = request("/echo");
    put.setHTTPMethod("PUT");
    const std::string body("a\0b", 3);
    put.setHTTPBody(Value::Data(body.begin(), body.end()));
    EXPECT_EQ(text(load(put).data), "PUT " + body);

    NSMutableURLRequest emptyPost = request("/echo");
    emptyPost.setHTTPMethod("POST");
    EXPECT_EQ(text(load(emptyPost).data), "POST ");
}

TEST_F(NSURLSessionTest, AHeaderFieldWithALineBreakIsRefused) {
    NSMutableURLRequest request = this->request("/headers");
    request.setValueForHTTPHeaderField("a\r\nX-Injected: 1", "X-Test");
    const Result result = load(request);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code, NSURLErrorBadURL);
    EXPECT_FALSE(result.data);
}

TEST_F(NSURLSessionTest, RangeRequestsGetPartialContent) {
    NSMutableURLRequest range = request("/data");
    range.setValueForHTTPHeaderField("bytes=99990-", "Range");
    const Result result = load(range);
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->statusCode(), 206);
    EXPECT_EQ(result.response->valueForHTTPHeaderField("Content-Range"),
              "bytes 99990-99999/100000");
    EXPECT_EQ(text(result.data), NetTestServer::dataBytes(99990));
}

TEST_F(NSURLSessionTest, RedirectsAreFollowedUnlessRefused) {
    const Result followed = load(request("/redirect"));
    ASSERT_TRUE(followed.response);
    EXPECT_EQ(followed.response->statusCode(), 200);
    EXPECT_EQ(followed.response->URL().path(), "/hello");
    EXPECT_EQ(text(followed.data), "hello world");

    NSMutableURLRequest refusing = request("/redirect");
    refusing.setHTTPShouldFollowRedirects(false);
    const Result refused = load(refusing);
    ASSERT_TRUE(refused.response);
    EXPECT_EQ(refused.response->statusCode(), 302);
    EXPECT_EQ(refused.response->valueForHTTPHeaderField("Location"), "/hello");
    EXPECT_EQ(text(refused.data), "moved");
}

TEST_F(NSURLSessionTest, AnIdleRequestTimesOut) {
    NSMutableURLRequest slow = request("/slow");
    slow.setTimeoutInterval(0.3);
    const Result result = load(slow);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->domain, NSURLErrorDomain);
    EXPECT_EQ(result.error->code, NSURLErrorTimedOut);
    EXPECT_FALSE(result.data);
}

TEST_F(NSURLSessionTest, ADroppedConnectionIsLostNotSuccess) {
    const Result result = load(request("/drop"));
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code, NSURLErrorNetworkConnectionLost);
    EXPECT_FALSE(result.data);
}

TEST_F(NSURLSessionTest, ARefusedConnectionAndAForeignSchemeFail) {
    // A port just released by a server of our own is closed.
    std::string closed;
    {
        LocalHTTPServer gone;
        gone.start();
        closed = gone.url("/");
    }
    const Result refused = load(NSURLRequest(*NSURL::URLWithString(closed)));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code, NSURLErrorCannotConnectToHost);

    const Result ftp = load(NSURLRequest(*NSURL::URLWithString("ftp://127.0.0.1/file")));
    ASSERT_TRUE(ftp.error);
    EXPECT_EQ(ftp.error->code, NSURLErrorUnsupportedURL);
}

TEST_F(NSURLSessionTest, CancelEndsARunningTaskWithCancelled) {
    std::optional<NSError> error;
    bool done = false;
    auto task = session->dataTaskWithRequest(request("/stream"),
                                             [&](auto, auto, std::optional<NSError> taskError) {
                                                 error = taskError;
                                                 done = true;
                                             });
    task->resume();
    ASSERT_TRUE(runMainUntil([&] { return task->countOfBytesReceived() > 0; }));
    task->cancel();
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, NSURLErrorCancelled);
    EXPECT_EQ(task->state(), NSURLSessionTask::State::Completed);
}

TEST_F(NSURLSessionTest, ManyTransfersRunAtOnceAndEachGetsItsOwnBody) {
    constexpr int count = 40;
    std::atomic<int> finished = 0;
    std::atomic<int> correct = 0;
    auto concurrent = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration(), DispatchQueue::global());
    std::vector<std::shared_ptr<NSURLSessionDataTask>> tasks;
    for (int i = 0; i < count; ++i) {
        NSMutableURLRequest post = request("/echo");
        post.setHTTPMethod("POST");
        const std::string body = "request " + std::to_string(i);
        post.setHTTPBody(Value::Data(body.begin(), body.end()));
        tasks.push_back(concurrent->dataTaskWithRequest(
            post, [&, body](std::optional<Value::Data> data, auto, auto) {
                if (text(data) == "POST " + body)
                    ++correct;
                ++finished;
            }));
    }
    // A transfer that never ends does not hold up the others.
    auto slow = concurrent->dataTaskWithRequest(request("/stream"), [](auto, auto, auto) {});
    slow->resume();
    for (auto& task : tasks)
        task->resume();
    ASSERT_TRUE(runMainUntil([&] { return finished == count; }));
    EXPECT_EQ(correct, count);
    EXPECT_NE(slow->state(), NSURLSessionTask::State::Completed);
    slow->cancel();
}

TEST_F(NSURLSessionTest, DownloadTaskHandsOverATemporaryFileThatGoesAfterwards) {
    std::string location;
    std::string contents;
    bool done = false;
    auto task = session->downloadTaskWithRequest(request("/data"),
                                                 [&](std::optional<std::string> path, auto, auto) {
                                                     location = path.value_or("");
                                                     contents = fileText(location);
                                                     done = true;
                                                 });
    task->resume();
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    EXPECT_EQ(contents, NetTestServer::dataBytes());
    EXPECT_FALSE(location.empty());
    EXPECT_FALSE(fs::exists(location));
}

TEST_F(NSURLSessionTest, ResumedDownloadAppendsAPartialReplyAndKeepsTheFileOnAnError) {
    const fs::path target = folder / "data.bin";
    std::ofstream(target, std::ios::binary) << NetTestServer::dataBytes(0, 60000);

    const auto download = [&](const NSURLRequest& urlRequest) {
        std::optional<NSError> error;
        std::optional<NSHTTPURLResponse> response;
        int64_t lastProgress = 0;
        bool done = false;
        auto task = session->downloadTaskWithRequestToPath(
            urlRequest, target.string(), true, [&](auto, auto taskResponse, auto taskError) {
                response = taskResponse;
                error = taskError;
                done = true;
            });
        task->setProgressHandler([&](int64_t written, int64_t) { lastProgress = written; });
        task->resume();
        EXPECT_TRUE(runMainUntil([&] { return done; }));
        EXPECT_FALSE(error);
        return std::pair(response ? response->statusCode() : 0, lastProgress);
    };

    NSMutableURLRequest missing = request("/missing");
    EXPECT_EQ(download(missing).first, 404);
    EXPECT_EQ(fs::file_size(target), 60000u);

    NSMutableURLRequest resume = request("/data");
    resume.setValueForHTTPHeaderField("bytes=60000-", "Range");
    const auto [status, progress] = download(resume);
    EXPECT_EQ(status, 206);
    EXPECT_EQ(progress, 100000);
    EXPECT_EQ(fileText(target), NetTestServer::dataBytes());

    // A server that ignores the range sends everything: the file is replaced.
    std::ofstream(target, std::ios::binary) << "stale";
    EXPECT_EQ(download(request("/data")).first, 200);
    EXPECT_EQ(fileText(target), NetTestServer::dataBytes());
}

TEST_F(NSURLSessionTest, AnInvalidatedSessionMakesNoTasks) {
    auto own = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration());
    own->finishTasksAndInvalidate();
    EXPECT_EQ(own->dataTaskWithRequest(request("/hello"), [](auto, auto, auto) {}), nullptr);
}

TEST_F(NSURLSessionTest, ADestinationThatCannotBeWrittenFailsTheDownload) {
    std::optional<NSError> error;
    std::optional<std::string> location;
    bool done = false;
    auto task = session->downloadTaskWithRequestToPath(request("/data"),
                                                       (folder / "missing" / "data.bin").string(),
                                                       false, [&](auto path, auto, auto taskError) {
                                                           location = path;
                                                           error = taskError;
                                                           done = true;
                                                       });
    task->resume();
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, NSURLErrorCannotCreateFile);
    EXPECT_FALSE(location);
}

TEST_F(NSURLSessionTest, ADelegateHearsResponseDataAndEndInOrderOnTheSessionsQueue) {
    auto delegate = std::make_shared<SessionRecorder>();
    loadTellingDelegate(delegate, "/data");
    EXPECT_EQ(delegate->events, "response 200, data, complete");
    EXPECT_EQ(delegate->body, NetTestServer::dataBytes());
    EXPECT_FALSE(delegate->onMainThread);
    // The session has ended and let its delegate go.
    EXPECT_EQ(delegate.use_count(), 1);

    // The body and the end wait for the answer to the response.
    delegate = std::make_shared<SessionRecorder>();
    delegate->deferResponse = true;
    auto own = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
        NSURLSessionConfiguration::defaultSessionConfiguration(), delegate, DispatchQueue::main());
    auto task = own->dataTaskWithRequest(request("/hello"));
    task->resume();
    ASSERT_TRUE(runMainUntil([&] { return delegate->answerWaits.load(); }));
    ASSERT_TRUE(runMainUntil([&] { return task->state() == NSURLSessionTask::State::Completed; }));
    runMainUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->events, "response 200, ");
    delegate->answer(NSURLSessionResponseDisposition::Allow);
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended.load(); }));
    EXPECT_EQ(delegate->events, "response 200, data, complete");
    EXPECT_EQ(delegate->body, "hello world");
}

TEST_F(NSURLSessionTest, ADelegateRefusesARedirectAndCancelsAtAResponse) {
    const auto refusing = std::make_shared<SessionRecorder>();
    loadTellingDelegate(refusing, "/redirect");
    EXPECT_EQ(refusing->events, "redirect 302 to /hello, response 302, data, complete");
    EXPECT_EQ(refusing->body, "moved");

    const auto cancelling = std::make_shared<SessionRecorder>();
    loadTellingDelegate(cancelling, "/missing");
    EXPECT_EQ(cancelling->events, "response 404, error " + std::to_string(NSURLErrorCancelled));
    EXPECT_EQ(cancelling->body, "");

    // A delegate that does not answer follows the redirect; a task with a
    // completion gets its reply there.
    auto silent = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
        NSURLSessionConfiguration::defaultSessionConfiguration(),
        std::make_shared<NSURLSessionDataDelegate>(), DispatchQueue::main());
    std::optional<Value::Data> body;
    bool done = false;
    silent
        ->dataTaskWithRequest(request("/redirect"),
                              [&](auto data, auto, auto) {
                                  body = data;
                                  done = true;
                              })
        ->resume();
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    EXPECT_EQ(text(body), "hello world");
}

TEST_F(NSURLSessionTest, InvalidationLetsTheDelegateGoAfterTheLastTask) {
    auto delegate = std::make_shared<SessionRecorder>();
    auto own = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
        NSURLSessionConfiguration::defaultSessionConfiguration(), delegate, nullptr);
    auto task = own->dataTaskWithRequest(request("/stream"));
    task->resume();
    own->finishTasksAndInvalidate();
    ASSERT_TRUE(runMainUntil([&] { return task->countOfBytesReceived() > 0; }));
    EXPECT_EQ(own->dataTaskWithRequest(request("/hello")), nullptr);
    EXPECT_EQ(own->delegate(), delegate);
    task->cancel();
    ASSERT_TRUE(runMainUntil([&] { return delegate.use_count() == 1; }));
    EXPECT_TRUE(delegate->ended);
    EXPECT_TRUE(delegate->events.ends_with("error " + std::to_string(NSURLErrorCancelled)));
    EXPECT_EQ(own->delegate(), nullptr);
}
