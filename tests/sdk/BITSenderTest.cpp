#include "sdk/BITSender.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSNotificationCenter.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"
#include "TelemetryTestSupport.h"
#include "sdk/BITPersistence.h"
#include "sdk/NSData+BITGZIP.h"

namespace {

constexpr const char* kLine =
    R"({"ver":1,"name":"Zizava.Telemetry.SessionState","time":"2026-01-02T03:04:05.678Z",)"
    R"("sampleRate":100.0,"iKey":"01234567-89ab-cdef-0123-456789abcdef",)"
    R"("tags":{"ai.session.id":"s"},)"
    R"("data":{"baseType":"SessionStateData","baseData":{"ver":2,"state":0}}})";

// A sender whose uploads never leave: they wait until the test answers them.
class HeldSender : public BITSender {
  public:
    static std::shared_ptr<HeldSender> make(std::shared_ptr<BITPersistence> persistence) {
        std::shared_ptr<HeldSender> sender(
            new HeldSender(std::move(persistence), *NSURL::URLWithString("http://127.0.0.1:9/")));
        return sender;
    }
    void sendRequestFilePath(const std::optional<NSMutableURLRequest>& request,
                             const std::optional<std::string>& filePath) override {
        std::lock_guard lock(mutex);
        held.emplace_back(*request, *filePath);
    }
    std::mutex mutex;
    std::vector<std::pair<NSMutableURLRequest, std::string>> held;

  private:
    using BITSender::BITSender;
};

class BITSenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTelemetryStorage();
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelVerbose);
    }
    void TearDown() override {
        runMainLoopFor(0.05);
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelWarning);
    }

    // Uploads one file and waits for the answer.
    void uploadOnce(BITSender& sender) {
        sender.sendSavedData();
        // Answered once the file is neither out nor being deleted or given back.
        ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return sender.runningRequestsCount() == 0 &&
                       persistence->requestedBundlePaths().empty();
            },
            20));
    }

    std::shared_ptr<BITPersistence> persistence = std::make_shared<BITPersistence>();
};

TEST_F(BITSenderTest, StatusDecidesWhetherTheFileGoes) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const auto sender =
        BITSender::create(persistence, *NSURL::URLWithString(service.baseURL() + "v2/track"));
    const std::vector<std::pair<int, bool>> cases = {
        {408, false}, {429, false}, {500, false}, {502, false}, {503, false}, {504, false},
        {511, false}, {400, true},  {401, true},  {404, true},  {413, true},  {202, true}};
    for (const auto& [status, deleted] : cases) {
        const std::string path = writeTelemetryFile(*persistence, {kLine});
        service.answerNextWith(status);
        uploadOnce(*sender);
        EXPECT_EQ(std::filesystem::exists(path), !deleted) << status;
        if (!deleted) {
            // Given back: the next upload takes it again and the service accepts it.
            uploadOnce(*sender);
            EXPECT_FALSE(std::filesystem::exists(path)) << status;
        }
    }
    EXPECT_TRUE(telemetryFiles(*persistence).empty());
}

TEST_F(BITSenderTest, ServiceRefusesLinesThatAreNoEnvelope) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const auto sender =
        BITSender::create(persistence, *NSURL::URLWithString(service.baseURL() + "v2/track"));
    const std::string path = writeTelemetryFile(*persistence, {kLine, "{}"});
    uploadOnce(*sender);
    EXPECT_FALSE(std::filesystem::exists(path));  // refused for good
    const Value::Array exchanges = trackExchanges(service.received());
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(*exchanges[0].get("status"), Value(422));
    EXPECT_GT(exchanges[0].get("violations")->count(), 0u);
    EXPECT_TRUE(receivedTelemetryLines(service.baseURL()).empty());
}

TEST_F(BITSenderTest, AnyTwoHundredDeletesWhateverItsBody) {
    const auto sender = HeldSender::make(persistence);
    for (const long status : {200L, 201L, 204L}) {
        const std::string path = writeTelemetryFile(*persistence, {kLine});
        sender->sendSavedData();
        ASSERT_EQ(sender->held.size(), 1u);
        sender->held.clear();
        sender->handleResponseWithStatusCodeResponseDataFilePathError(status, Value::Data{}, path,
                                                                      std::nullopt);
        EXPECT_FALSE(std::filesystem::exists(path)) << status;
    }
    EXPECT_EQ(sender->runningRequestsCount(), 0u);
}

TEST_F(BITSenderTest, NoAnswerKeepsTheFile) {
    LogCapture log;
    const auto sender = BITSender::create(
        persistence, *NSURL::URLWithString("http://127.0.0.1:" + std::to_string(unusedLocalPort()) +
                                           "/v2/track"));
    const std::string path = writeTelemetryFile(*persistence, {kLine});
    uploadOnce(*sender);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(log.contains("ERROR: Sending telemetry data failed"));
    EXPECT_TRUE(persistence->requestedBundlePaths().empty());
}

TEST_F(BITSenderTest, SuccessGoesOnWithTheNextFile) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const auto sender =
        BITSender::create(persistence, *NSURL::URLWithString(service.baseURL() + "v2/track"));
    for (int i = 0; i < 5; ++i)
        writeTelemetryFile(*persistence, {kLine, kLine});
    sender->sendSavedData();  // one wake-up drains the folder
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return telemetryFiles(*persistence).empty(); }, 20));
    EXPECT_EQ(receivedTelemetryLines(service.baseURL()).size(), 10u);
}

TEST_F(BITSenderTest, AtMostTenUploadsAtOnce) {
    const auto sender = HeldSender::make(persistence);
    std::vector<std::string> paths;
    for (int i = 0; i < 15; ++i)
        paths.push_back(writeTelemetryFile(*persistence, {kLine}));
    for (int i = 0; i < 15; ++i)
        sender->sendSavedData();
    EXPECT_EQ(sender->held.size(), 10u);
    EXPECT_EQ(sender->runningRequestsCount(), 10u);
    std::set<std::string> distinct;
    for (const auto& [request, path] : sender->held)
        distinct.insert(path);
    EXPECT_EQ(distinct.size(), 10u);  // never the same file twice

    // Answering one frees its slot, which the chain takes for the next file.
    const auto [request, path] = sender->held.front();
    sender->handleResponseWithStatusCodeResponseDataFilePathError(200, std::nullopt, path,
                                                                  std::nullopt);
    EXPECT_EQ(sender->held.size(), 11u);
    EXPECT_EQ(sender->runningRequestsCount(), 10u);
}

TEST_F(BITSenderTest, TheCountSetFromOutsideBoundsTheUploads) {
    const auto sender = HeldSender::make(persistence);
    writeTelemetryFile(*persistence, {kLine});
    sender->setRunningRequestsCount(sender->maxRequestCount());
    sender->sendSavedData();
    EXPECT_TRUE(sender->held.empty());
    sender->setRunningRequestsCount(0);
    sender->senderTasksQueue()->sync([&] { sender->sendSavedData(); });
    EXPECT_EQ(sender->held.size(), 1u);
    EXPECT_EQ(sender->runningRequestsCount(), 1u);
}

TEST_F(BITSenderTest, ConcurrentUploadsStayWithinTheBound) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const auto sender =
        BITSender::create(persistence, *NSURL::URLWithString(service.baseURL() + "v2/track"));
    for (int i = 0; i < 40; ++i)
        writeTelemetryFile(*persistence, {kLine});
    for (int i = 0; i < 25; ++i)
        sender->sendSavedDataAsync();
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return telemetryFiles(*persistence).empty() && sender->runningRequestsCount() == 0; },
        30));
    const Value received = receivedTelemetry(service.baseURL());
    EXPECT_EQ(received.get("lines")->count(), 40u);  // each file once: no duplicates
    const auto inFlight = received.get("maxInFlight")->integerValue();
    EXPECT_GE(*inFlight, 2);
    EXPECT_LE(*inFlight, 10);
}

TEST_F(BITSenderTest, EmptyFilesAndNoFilesReleaseTheSlot) {
    LogCapture log;
    const auto sender = HeldSender::make(persistence);
    sender->sendSavedData();
    EXPECT_TRUE(log.contains("INFO: Close sender thread due empty package. Current count is 0"));
    // Empty bundles (crashes with nothing pending) go, so they cannot fill the
    // limit; one wake-up clears them all and reaches the real file behind them.
    for (int i = 0; i < 50; ++i)
        writeTelemetryFile(*persistence, {});
    EXPECT_FALSE(persistence->isFreeSpaceAvailable());
    const std::string real = writeTelemetryFile(*persistence, {kLine});
    sender->sendSavedData();
    ASSERT_EQ(sender->held.size(), 1u);
    EXPECT_EQ(sender->held[0].second, real);
    sender->handleResponseWithStatusCodeResponseDataFilePathError(200, std::nullopt, real,
                                                                  std::nullopt);
    EXPECT_TRUE(telemetryFiles(*persistence).empty());
    EXPECT_EQ(sender->held.size(), 1u);
    EXPECT_EQ(sender->runningRequestsCount(), 0u);
}

TEST_F(BITSenderTest, RequestCarriesFourHeadersAndAGzipBody) {
    const auto sender = HeldSender::make(persistence);
    writeTelemetryFile(*persistence, {kLine});
    sender->sendSavedData();
    ASSERT_EQ(sender->held.size(), 1u);
    const NSMutableURLRequest& request = sender->held[0].first;
    EXPECT_EQ(request.HTTPMethod(), "POST");
    EXPECT_EQ(request.cachePolicy(), NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    EXPECT_EQ(request.allHTTPHeaderFields(),
              (NSHTTPHeaderFields{{"Charset", "UTF-8"},
                                  {"Content-Encoding", "gzip"},
                                  {"Content-Type", "application/x-json-stream"},
                                  {"Accept-Encoding", "gzip"}}));
    const std::string expected = std::string(kLine) + "\n";
    EXPECT_EQ(bit_gunzippedData(request.HTTPBody()), Value::Data(expected.begin(), expected.end()));
}

TEST_F(BITSenderTest, WrittenBundlesWakeTheSender) {
    const auto sender = HeldSender::make(persistence);
    sender->registerObservers();
    const std::string line = std::string(kLine) + "\n";
    persistence->persistBundle(Value::Data(line.begin(), line.end()));
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] {
            std::lock_guard lock(sender->mutex);
            return sender->held.size() == 1;
        },
        10));
}

}  // namespace
