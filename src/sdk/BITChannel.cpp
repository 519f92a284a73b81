#include "sdk/BITChannel.h"

#include <cstdlib>
#include <cstring>

#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSNotificationCenter.h"
#include "sdk/BITData.h"
#include "sdk/BITEnvelope.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITTelemetryContext.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"

std::atomic<char*> bit_telemetryEventBuffer = nullptr;

namespace {

char* newEmptyString() {
    char* string = static_cast<char*>(std::malloc(1));
    if (string)
        string[0] = '\0';
    return string;
}

// Publishes `string` as the buffer, then frees the string it replaced.
void replaceBuffer(std::atomic<char*>* buffer, char* string) {
    std::free(buffer->exchange(string));
}

}  // namespace

void bit_appendStringToJsonStream(const std::optional<std::string>& string,
                                  std::atomic<char*>* buffer) {
    if (!string || !buffer)
        return;
    const char* current = buffer->load();
    if (!current || current[0] == '\0') {
        replaceBuffer(buffer, newEmptyString());
        current = buffer->load();
    }
    if (string->empty() || !current)
        return;
    const size_t oldLength = std::strlen(current);
    char* appended = static_cast<char*>(std::malloc(oldLength + string->size() + 2));
    if (!appended)
        return;
    std::memcpy(appended, current, oldLength);
    std::memcpy(appended + oldLength, string->data(), string->size());
    appended[oldLength + string->size()] = '\n';
    appended[oldLength + string->size() + 1] = '\0';
    replaceBuffer(buffer, appended);
}

BITChannel::BITChannel()
    : maxBatchSize_(bit_isDebuggerAttached() ? 5 : 50),
      batchInterval_(bit_isDebuggerAttached() ? 3 : 15),
      queue_(DispatchQueue::createSerial("app.zizava.telemetry.senderQueue")) {
    replaceBuffer(&bit_telemetryEventBuffer, newEmptyString());
}

BITChannel::BITChannel(std::shared_ptr<BITTelemetryContext> telemetryContext,
                       std::shared_ptr<BITPersistence> persistence)
    : BITChannel() {
    telemetryContext_ = std::move(telemetryContext);
    persistence_ = std::move(persistence);
}

BITChannel::~BITChannel() = default;

void BITChannel::enqueueTelemetryItem(const std::shared_ptr<BITTelemetryData>& item) {
    if (!item) {
        BITZizavaLogWarning("WARNING: TelemetryItem was nil.");
        return;
    }
    queue_->async([self = shared_from_this(), item] {
        if (self->isQueueBusy()) {
            BITZizavaLogDebug("INFO: The channel is saturated. %s was dropped.",
                              item->dataTypeName.value_or("an item").c_str());
            if (!self->timerIsRunning())
                self->startTimer();
            return;
        }
        self->appendDictionaryToJsonStream(self->dictionaryForTelemetryData(item));
        if (self->dataItemCount_ >= self->maxBatchSize())
            self->persistDataItemQueue();
        else if (self->dataItemCount_ == 1 && !self->timerIsRunning())
            self->startTimer();
    });
}

bool BITChannel::isQueueBusy() {
    if (!channelBlocked_ && persistence_ && !persistence_->isFreeSpaceAvailable()) {
        channelBlocked_ = true;
        sendBlockingChannelNotification();
    }
    return channelBlocked_;
}

void BITChannel::persistDataItemQueue() {
    invalidateTimer();
    const char* buffer = bit_telemetryEventBuffer.load();
    if (!buffer || buffer[0] == '\0')
        return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer);
    Value::Data data(bytes, bytes + std::strlen(buffer));
    if (persistence_)
        persistence_->persistBundle(data);
    resetQueue();
}

void BITChannel::resetQueue() {
    replaceBuffer(&bit_telemetryEventBuffer, newEmptyString());
    dataItemCount_ = 0;
}

std::optional<Value::Dictionary> BITChannel::dictionaryForTelemetryData(
    const std::shared_ptr<BITTelemetryData>& item) {
    Value::Dictionary dictionary = envelopeForTelemetryData(item)->serializeToDictionary();
    // The nested parts are left out when JSON cannot carry them; an envelope
    // without its item says nothing, so it is not sent at all.
    const auto data = dictionary.find("data");
    if (data == dictionary.end() || !data->second.get("baseData")) {
        BITZizavaLogError("ERROR: The telemetry item %s could not be serialized and was dropped",
                          item->dataTypeName.value_or("").c_str());
        return std::nullopt;
    }
    return dictionary;
}

std::shared_ptr<BITEnvelope> BITChannel::envelopeForTelemetryData(
    const std::shared_ptr<BITTelemetryData>& item) {
    item->version = Value(2);
    auto data = std::make_shared<BITData>();
    data->baseData = item;
    data->baseType = item->dataTypeName;
    auto envelope = std::make_shared<BITEnvelope>();
    envelope->time = bit_utcDateString(NSDate::date());
    if (telemetryContext_) {
        envelope->iKey = telemetryContext_->appIdentifier();
        envelope->tags = telemetryContext_->contextDictionary();
    }
    envelope->data = data;
    envelope->name = item->envelopeTypeName;
    return envelope;
}

std::optional<std::string> BITChannel::serializeDictionaryToJSONString(
    const Value::Dictionary& dictionary) {
    NSError error;
    auto text = NSJSONSerialization::stringWithJSONObject(Value(dictionary), false, &error);
    if (!text) {
        BITZizavaLogError("ERROR: JSONSerialization error: %s",
                          error.localizedDescription().c_str());
        return std::nullopt;
    }
    return text;
}

void BITChannel::appendDictionaryToJsonStream(const std::optional<Value::Dictionary>& dictionary) {
    if (!dictionary)
        return;
    // A line that cannot be written is dropped rather than sent as "{}".
    const auto text = serializeDictionaryToJSONString(*dictionary);
    if (!text)
        return;
    bit_appendStringToJsonStream(text, &bit_telemetryEventBuffer);
    ++dataItemCount_;
}

void BITChannel::invalidateTimer() {
    timer_.reset();
}

void BITChannel::startTimer() {
    invalidateTimer();
    const uint64_t number = ++timerNumber_;
    timer_ = number;
    std::weak_ptr<BITChannel> weakSelf = weak_from_this();
    queue_->after(batchInterval_, [weakSelf, number] {
        const auto self = weakSelf.lock();
        if (!self || self->timer_ != number)
            return;
        if (self->dataItemCount_ > 0)
            self->persistDataItemQueue();
        else
            self->channelBlocked_ = false;
        self->invalidateTimer();
    });
}

void BITChannel::sendBlockingChannelNotification() {
    DispatchQueue::main()->async([] {
        NSNotificationCenter::defaultCenter()->postNotificationName(BITChannelBlockedNotification);
    });
}

void BITChannel::waitForEnqueuedItems() {
    queue_->sync([] {});
}
