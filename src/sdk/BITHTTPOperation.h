#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "Net/NSURLConnection.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"

// One request of the HTTP client: ready, then executing, then finished. The
// connection runs on the main thread; the completion runs on the main queue
// with the body (nullopt after a transport failure) and the error. An HTTP
// error status is not an error here: the caller reads response(). A cancelled
// operation never calls its completion.
class BITHTTPOperation : public NSURLConnectionDataDelegate,
                         public std::enable_shared_from_this<BITHTTPOperation> {
  public:
    // The service's answers are small; a longer body fails the operation.
    static constexpr size_t kMaximumBodyLength = size_t{64} << 20;

    using Completion = std::function<void(const std::shared_ptr<BITHTTPOperation>& operation,
                                          const std::optional<Value::Data>& data,
                                          const std::optional<NSError>& error)>;

    static std::shared_ptr<BITHTTPOperation> operationWithRequest(const NSURLRequest& request);

    bool isConcurrent() const { return true; }
    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;

    void cancel();
    // Off the main thread the start moves to the main thread.
    void start();

    const NSURLRequest& URLRequest() const { return request_; }
    std::optional<NSHTTPURLResponse> response() const;
    std::optional<NSError> error() const;
    std::optional<Value::Data> data() const;

    // An empty callable clears the completion.
    void setCompletion(Completion completion);
    // Told once when the operation finishes; the client's queue starts the next one.
    void setFinishObserver(std::function<void()> observer);

    explicit BITHTTPOperation(NSURLRequest request) : request_(std::move(request)) {}

    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>& connection,
                                      const NSHTTPURLResponse& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection,
                                  const Value::Data& data) override;
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>& connection,
                                    const NSError& error) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection) override;

  private:
    void finish();

    const NSURLRequest request_;
    mutable std::mutex mutex_;
    std::shared_ptr<NSURLConnection> connection_;
    std::optional<Value::Data> data_;
    std::optional<NSHTTPURLResponse> response_;
    std::optional<NSError> error_;
    bool cancelled_ = false;
    bool executing_ = false;
    bool finished_ = false;
    Completion completion_;
    std::function<void()> finishObserver_;
};
