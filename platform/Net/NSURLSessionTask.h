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
class NSURLSession;
class NSURLSessionDataDelegate;

// One load of a session. A task starts suspended; resume() starts it. Its
// completion runs once on the session's delegate queue: with the response and
// body on success (an HTTP error status is a success of the transfer), with
// an NSURLErrorDomain error otherwise, NSURLErrorCancelled after cancel().
// A running task keeps its session. In a session with a delegate, the
// delegate decides on each redirect.
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
    NSURLSessionTask(NSURLRequest request, std::shared_ptr<NSURLSession> session);

    const std::shared_ptr<NSURLSession>& session() const { return session_; }
    // The session's delegate, nullptr when it has none.
    std::shared_ptr<NSURLSessionDataDelegate> delegate() const;

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
    // The task ends as cancelled, also when its transfer came to an end.
    NSError markCancelled();
    // Holds the callbacks not yet run until resumeCallbacks().
    void suspendCallbacks();
    void resumeCallbacks();

  private:
    friend class NSURLSession;

    void complete(std::optional<NSError> error);

    const uint64_t identifier_;
    const NSURLRequest request_;
    const std::shared_ptr<NSURLSession> session_;
    std::shared_ptr<NetCallbackStrand> strand_;
    // The completion has run: the session no longer waits for the task.
    std::atomic<bool> ended_ = false;
    mutable std::mutex mutex_;
    State state_ = State::Suspended;
    std::optional<NSHTTPURLResponse> response_;
    std::optional<NSError> error_;
    std::optional<uint64_t> transfer_;
    std::atomic<int64_t> bytesReceived_ = 0;
    std::atomic<int64_t> bytesExpected_ = -1;
};

// With a completion, keeps the body in memory, up to kMaximumBodyLength bytes
// (beyond that the task fails with NSURLErrorDataLengthExceedsMaximum).
// Without one, in a session with a delegate, it tells the delegate as the
// load goes: the response (the next calls wait for the delegate's
// disposition; Cancel cancels the task), each piece of the body, the end.
class NSURLSessionDataTask : public NSURLSessionTask {
  public:
    static constexpr size_t kMaximumBodyLength = size_t{256} << 20;
    // Body (nullopt on failure), response (nullopt when none came), error.
    using Completion = std::function<void(
        std::optional<Value::Data>, std::optional<NSHTTPURLResponse>, std::optional<NSError>)>;

    NSURLSessionDataTask(NSURLRequest request, std::shared_ptr<NSURLSession> session,
                         Completion completion);

  protected:
    void transferDidReceiveResponse(const NSHTTPURLResponse& response) override;
    std::optional<NSError> transferDidReceiveData(const char* bytes, size_t length) override;
    void callCompletion(const std::optional<NSError>& error) override;

  private:
    std::shared_ptr<NSURLSessionDataTask> self();
    // On the delegate queue.
    void tellResponse(const NSHTTPURLResponse& response);
    void tellData(const Value::Data& data);

    Completion completion_;
    const bool tellsDelegate_;
    Value::Data body_;  // written on the transfer thread, read after completion
    std::atomic<bool> responseDecided_ = false;
    std::atomic<bool> responseCancelled_ = false;
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

    NSURLSessionDownloadTask(NSURLRequest request, std::shared_ptr<NSURLSession> session,
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
