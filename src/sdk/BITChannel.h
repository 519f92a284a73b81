#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Value.h"

class BITEnvelope;
class BITPersistence;
class BITTelemetryContext;
class BITTelemetryData;

// Posted on the main queue when the channel starts dropping items because
// persistence is full.
inline constexpr const char* BITChannelBlockedNotification = "BITChannelBlockedNotification";

// The pending telemetry lines of the process as one NUL-terminated string,
// never null once a channel exists. A signal handler may read it at any
// moment, so a new string is always published before the old one is freed.
extern std::atomic<char*> bit_telemetryEventBuffer;

// Appends `string` and a line feed to the buffer `buffer` points at, by
// replacing it with a longer copy.
void bit_appendStringToJsonStream(const std::optional<std::string>& string,
                                  std::atomic<char*>* buffer);

// Turns telemetry items into envelopes, appends each as one JSON line to the
// buffer, and hands a batch to persistence when it is full or a short time
// after its first line. While persistence is full it drops items and wakes
// the sender.
class BITChannel : public std::enable_shared_from_this<BITChannel> {
  public:
    BITChannel();
    BITChannel(std::shared_ptr<BITTelemetryContext> telemetryContext,
               std::shared_ptr<BITPersistence> persistence);
    ~BITChannel();

    void enqueueTelemetryItem(const std::shared_ptr<BITTelemetryData>& item);
    bool isQueueBusy();
    void persistDataItemQueue();
    void resetQueue();

    // nullopt when the item cannot be carried as JSON: such an item is dropped.
    std::optional<Value::Dictionary> dictionaryForTelemetryData(
        const std::shared_ptr<BITTelemetryData>& item);
    std::shared_ptr<BITEnvelope> envelopeForTelemetryData(
        const std::shared_ptr<BITTelemetryData>& item);
    std::optional<std::string> serializeDictionaryToJSONString(const Value::Dictionary& dictionary);
    void appendDictionaryToJsonStream(const std::optional<Value::Dictionary>& dictionary);

    size_t maxBatchSize() const { return maxBatchSize_ == 0 ? 50 : maxBatchSize_; }
    void setMaxBatchSize(size_t size) { maxBatchSize_ = size; }
    int32_t batchInterval() const { return batchInterval_; }
    void setBatchInterval(int32_t seconds) { batchInterval_ = seconds; }
    void invalidateTimer();
    bool timerIsRunning() const { return timer_.has_value(); }
    void startTimer();
    void sendBlockingChannelNotification();

    bool channelBlocked() const { return channelBlocked_; }
    size_t dataItemCount() const { return dataItemCount_; }
    const std::shared_ptr<BITPersistence>& persistence() const { return persistence_; }
    const std::shared_ptr<BITTelemetryContext>& telemetryContext() const {
        return telemetryContext_;
    }
    const std::shared_ptr<DispatchQueue>& dataItemsOperations() const { return queue_; }
    // Returns once every item enqueued so far has been handled.
    void waitForEnqueuedItems();

  private:
    std::atomic<bool> channelBlocked_ = false;
    std::shared_ptr<BITPersistence> persistence_;
    std::shared_ptr<BITTelemetryContext> telemetryContext_;
    size_t maxBatchSize_;
    int32_t batchInterval_;
    std::optional<uint64_t> timer_;  // the running timer's number; changed on the queue
    uint64_t timerNumber_ = 0;
    std::shared_ptr<DispatchQueue> queue_;
    std::atomic<size_t> dataItemCount_ = 0;
};
