#include "sdk/BITChannel.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSNotificationCenter.h"
#include "SdkTestSupport.h"
#include "TelemetryTestSupport.h"
#include "sdk/BITEventData.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITSessionStateData.h"
#include "sdk/BITTelemetryContext.h"

namespace {

std::shared_ptr<BITEventData> event(const std::string& name) {
    auto item = std::make_shared<BITEventData>();
    item->name = name;
    return item;
}

std::vector<std::string> linesOf(const Value::Data& data) {
    std::vector<std::string> lines;
    std::string text(data.begin(), data.end());
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

class BITChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTelemetryStorage();
        persistence = std::make_shared<BITPersistence>();
        context = std::make_shared<BITTelemetryContext>("01234567-89ab-cdef-0123-456789abcdef",
                                                        persistence);
        channel = std::make_shared<BITChannel>(context, persistence);
        channel->setMaxBatchSize(50);
        channel->setBatchInterval(1);
    }
    void TearDown() override { runMainLoopFor(0.05); }

    std::vector<Value::Data> bundles() {
        channel->waitForEnqueuedItems();
        std::vector<Value::Data> contents;
        for (const std::string& path : telemetryFiles(*persistence))
            contents.push_back(*persistence->dataAtFilePath(path));
        return contents;
    }

    std::shared_ptr<BITPersistence> persistence;
    std::shared_ptr<BITTelemetryContext> context;
    std::shared_ptr<BITChannel> channel;
};

TEST_F(BITChannelTest, FullBatchIsHandedOffAtOnce) {
    for (int i = 0; i < 49; ++i)
        channel->enqueueTelemetryItem(event("e" + std::to_string(i)));
    EXPECT_TRUE(bundles().empty());
    EXPECT_EQ(channel->dataItemCount(), 49u);
    channel->enqueueTelemetryItem(event("e49"));
    const auto written = bundles();
    ASSERT_EQ(written.size(), 1u);
    const auto lines = linesOf(written[0]);
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(channel->dataItemCount(), 0u);
    EXPECT_STREQ(bit_telemetryEventBuffer.load(), "");
    const auto first = NSJSONSerialization::JSONObjectWithString(lines[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first->get("data")->get("baseData")->get("name"), Value("e0"));
    EXPECT_EQ(*first->get("iKey"), Value("01234567-89ab-cdef-0123-456789abcdef"));
    EXPECT_TRUE(first->get("tags")->get("ai.user.id"));
}

TEST_F(BITChannelTest, LoneItemIsHandedOffByTheTimer) {
    channel->enqueueTelemetryItem(std::make_shared<BITSessionStateData>());
    channel->waitForEnqueuedItems();
    EXPECT_TRUE(channel->timerIsRunning());
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !telemetryFiles(*persistence).empty(); }, 10));
    const auto written = bundles();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(linesOf(written[0]).size(), 1u);
    EXPECT_FALSE(channel->timerIsRunning());
}

TEST_F(BITChannelTest, NonASCIINamesStayWholeUTF8) {
    channel->enqueueTelemetryItem(event("Straße → Zürich 🗺"));
    channel->waitForEnqueuedItems();
    const std::string pending = bit_telemetryEventBuffer.load();
    ASSERT_FALSE(pending.empty());
    EXPECT_EQ(pending.back(), '\n');
    const auto line =
        NSJSONSerialization::JSONObjectWithString(pending.substr(0, pending.size() - 1));
    ASSERT_TRUE(line);
    EXPECT_EQ(*line->get("data")->get("baseData")->get("name"), Value("Straße → Zürich 🗺"));
}

TEST_F(BITChannelTest, NilItemChangesNothing) {
    LogCapture log;
    channel->enqueueTelemetryItem(nullptr);
    channel->waitForEnqueuedItems();
    EXPECT_TRUE(log.contains("WARNING: TelemetryItem was nil."));
    EXPECT_EQ(channel->dataItemCount(), 0u);
    EXPECT_FALSE(channel->timerIsRunning());
}

TEST_F(BITChannelTest, ItemThatCannotBeSerialisedIsDropped) {
    auto broken = event("broken");
    broken->properties = Value::Dictionary{{"bytes", Value(Value::Data{1, 2})}};
    channel->enqueueTelemetryItem(broken);
    channel->enqueueTelemetryItem(event("fine"));
    channel->waitForEnqueuedItems();
    EXPECT_EQ(channel->dataItemCount(), 1u);
    const std::string pending = bit_telemetryEventBuffer.load();
    EXPECT_EQ(pending.find("{}\n"), std::string::npos);
    EXPECT_EQ(pending.find("broken"), std::string::npos);
    EXPECT_NE(pending.find("fine"), std::string::npos);
}

TEST_F(BITChannelTest, FullPersistenceBlocksUntilTheTimerFindsNothing) {
    persistence->setMaxFileCount(2);
    writeTelemetryFile(*persistence, {"{}"});
    writeTelemetryFile(*persistence, {"{}"});
    int blocked = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        BITChannelBlockedNotification, nullptr, {}, [&](const NSNotification&) { ++blocked; });
    for (int i = 0; i < 5; ++i)
        channel->enqueueTelemetryItem(event("dropped"));
    channel->waitForEnqueuedItems();
    EXPECT_TRUE(channel->channelBlocked());
    EXPECT_EQ(channel->dataItemCount(), 0u);
    EXPECT_TRUE(channel->timerIsRunning());
    ASSERT_TRUE(drainMainQueue());  // the notice goes out on the main queue
    EXPECT_EQ(blocked, 1);
    // The sender would empty the folder meanwhile.
    for (const std::string& path : telemetryFiles(*persistence))
        persistence->deleteFileAtPath(path);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return !channel->channelBlocked(); }, 10));
    channel->enqueueTelemetryItem(event("accepted"));
    channel->waitForEnqueuedItems();
    EXPECT_EQ(channel->dataItemCount(), 1u);
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

TEST_F(BITChannelTest, BatchSizeZeroMeansFifty) {
    channel->setMaxBatchSize(0);
    EXPECT_EQ(channel->maxBatchSize(), 50u);
}

TEST(BITChannelBufferTest, AppendingBuildsLines) {
    std::atomic<char*> buffer = nullptr;
    bit_appendStringToJsonStream(std::string("a"), &buffer);
    bit_appendStringToJsonStream(std::string(""), &buffer);
    bit_appendStringToJsonStream(std::nullopt, &buffer);
    bit_appendStringToJsonStream(std::string("b"), &buffer);
    bit_appendStringToJsonStream(std::string("c"), nullptr);
    EXPECT_STREQ(buffer.load(), "a\nb\n");
    std::free(buffer.load());
}

}  // namespace
