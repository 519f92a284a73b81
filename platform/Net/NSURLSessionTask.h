#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"

class NetCallbackStrand;

// One load of a session. A task starts suspended; resume() starts it. Its
// completion runs once on the session's delegate queue: with the response and
// body on success (an HTTP error status is a success of the transfer), with
// an NSURLErrorDomain error otherwise, NSURLErrorCancelled after cancel().
class NSURLSessionTask : public std::enable_shared_from_this<NSURLSessionTask> {
  public:
    enum class State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

    virtual ~NSURLSessionTask() = default;

    uint64_t taskIdentifier() const { return identifier_; }
    const NSURLRequest& originalRequest() const { return request_; }
    State state() const;
    std::optional<NSHTTPURLResponse> response() const;
    std::optional<NSError> error() const;
    int64_t countOfBytesReceived() const { return bytesReceived_; }
    // -1 until a response says.
    int64_t countOfBytesExpectedToReceive() const { return bytesExpected_; }

    void resume();
    void cancel();

  protected:
    NSURLSessionTask(NSURLRequest request, std::shared_ptr<DispatchQueue> queue);

    // On the transfer thread.
    virtual void transferDidReceiveResponse(const NSHTTPURLResponse&) {}
    virtual std::optional<NSError> transferDidReceiveData(const char* bytes, size_t length) = 0;
    // Answers the error the task ends with (a file error may replace success).
    virtual std::optional<NSError> transferDidComplete(std::optional<NSError> error) {
        return error;
    }
    // On the delegate queue, once.
    virtual void callCompletion(const std::optional<NSError>& error) = 0;

    void post(std::function<void()> block);

  private:
    void complete(std::optional<NSError> error);

    const uint64_t identifier_;
    const NSURLRequest request_;
    std::shared_ptr<NetCallbackStrand> strand_;
    mutable std::mutex mutex_;
    State state_ = State::Suspended;
    std::optional<NSHTTPURLResponse> response_;
    std::optional<NSError> error_;
    std::optional<uint64_t> transfer_;
    std::atomic<int64_t> bytesReceived_ = 0;
    std::atomic<int64_t> bytesExpected_ = -1;
};

// Keeps the body in memory, up to kMaximumBodyLength bytes (beyond that the
// task fails with NSURLErrorDataLengthExceedsMaximum).
class NSURLSessionDataTask : public NSURLSessionTask {
  public:
    static constexpr size_t kMaximumBodyLength = size_t{256} << 20;
    // Body (nullopt on failure), response (nullopt when none came), error.
    using Completion = std::function<void(
        std::optional<Value::Data>, std::optional<NSHTTPURLResponse>, std::optional<NSError>)>;

    NSURLSessionDataTask(NSURLRequest request, std::shared_ptr<DispatchQueue> queue,
                         Completion completion);

  protected:
    std::optional<NSError> transferDidReceiveData(const char* bytes, size_t length) override;
    void callCompletion(const std::optional<NSError>& error) override;

  private:
    Completion completion_;
    Value::Data body_;  // written on the transfer thread, read after completion
};

// Streams the body into a file as it arrives.
//
// Without a destination the body goes to a temporary file that is handed to
// the completion and removed when the completion returns (move it to keep it).
// With a destination (resumable downloads) only a 2xx body is written: with
// `appending` and a 206 reply it is added to the file's end, otherwise it
// replaces the file; an error reply leaves the file as it was.
class NSURLSessionDownloadTask : public NSURLSessionTask {
  public:
    // File path (nullopt when nothing was written), response, error.
    using Completion = std::function<void(
        std::optional<std::string>, std::optional<NSHTTPURLResponse>, std::optional<NSError>)>;
    // Bytes written so far and expected in all (-1 unknown); on the delegate queue.
    using ProgressHandler = std::function<void(int64_t written, int64_t expected)>;

    NSURLSessionDownloadTask(NSURLRequest request, std::shared_ptr<DispatchQueue> queue,
                             std::optional<std::string> destination, bool appending,
                             Completion completion);
    ~NSURLSessionDownloadTask() override;

    // Set before resume().
    void setProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }

  protected:
    void transferDidReceiveResponse(const NSHTTPURLResponse& response) override;
    std::optional<NSError> transferDidReceiveData(const char* bytes, size_t length) override;
    std::optional<NSError> transferDidComplete(std::optional<NSError> error) override;
    void callCompletion(const std::optional<NSError>& error) override;

  private:
    std::optional<NSError> openFile(const NSHTTPURLResponse& response);
    void closeFile();

    std::optional<std::string> destination_;
    bool appending_;
    Completion completion_;
    ProgressHandler progress_;
    std::optional<std::string> path_;  // the file written, once opened
    bool temporary_ = false;
    int descriptor_ = -1;
    std::optional<NSError> openError_;
    std::atomic<int64_t> written_ = 0;
    int64_t startOffset_ = 0;
    std::atomic<bool> progressPending_ = false;
};
