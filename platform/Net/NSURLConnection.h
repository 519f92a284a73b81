#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"

class NSURLConnection;
class NetCallbackStrand;

// What a connection tells its delegate, in order: the response, the body in
// chunks, then either the failure or the end. Every method is optional.
class NSURLConnectionDataDelegate {
  public:
    virtual ~NSURLConnectionDataDelegate() = default;
    // Asked before a redirect is followed, with the redirect reply: answers
    // the request to send (by default the one proposed), or nullopt to refuse
    // it, and the redirect reply is then the response.
    virtual std::optional<NSURLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<NSURLConnection>&, const NSURLRequest& request,
        const NSHTTPURLResponse& /*redirectResponse*/) {
        return request;
    }
    virtual void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                              const NSHTTPURLResponse&) {}
    virtual void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                          const Value::Data&) {}
    virtual void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                            const NSError&) {}
    virtual void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) {}
};

// One load that reports to a delegate as the bytes arrive. The connection
// holds its delegate until it finishes, fails or is cancelled. Delegate calls
// run on the delegate queue: the main queue unless another is set before
// start. After cancel() the delegate hears nothing more.
class NSURLConnection : public std::enable_shared_from_this<NSURLConnection> {
  public:
    using Completion = std::function<void(std::optional<NSHTTPURLResponse>,
                                          std::optional<Value::Data>, std::optional<NSError>)>;

    // Starts at once.
    static std::shared_ptr<NSURLConnection> connectionWithRequestDelegate(
        const NSURLRequest& request, std::shared_ptr<NSURLConnectionDataDelegate> delegate);
    static std::shared_ptr<NSURLConnection> createWithRequestDelegateStartImmediately(
        const NSURLRequest& request, std::shared_ptr<NSURLConnectionDataDelegate> delegate,
        bool startImmediately);

    // Blocks the calling thread (a worker, never the main thread while the
    // main thread is needed elsewhere) until the load ends. Answers the body,
    // also for an HTTP error status; nullopt and the error on failure.
    static std::optional<Value::Data> sendSynchronousRequest(
        const NSURLRequest& request, std::optional<NSHTTPURLResponse>* response = nullptr,
        NSError* error = nullptr);
    // The completion runs on `queue` with the response, the body and the error.
    static void sendAsynchronousRequest(const NSURLRequest& request,
                                        std::shared_ptr<DispatchQueue> queue,
                                        Completion completion);

    const NSURLRequest& originalRequest() const { return request_; }
    void setDelegateQueue(std::shared_ptr<DispatchQueue> queue);
    void start();
    void cancel();

    NSURLConnection(const NSURLRequest& request,
                    std::shared_ptr<NSURLConnectionDataDelegate> delegate);

  private:
    // Runs `call` on the delegate queue unless the connection was cancelled
    // or has ended by then.
    void deliver(std::function<void(NSURLConnectionDataDelegate&)> call, bool last);

    const NSURLRequest request_;
    std::mutex mutex_;
    std::shared_ptr<NSURLConnectionDataDelegate> delegate_;
    std::shared_ptr<DispatchQueue> queue_;
    std::shared_ptr<NetCallbackStrand> strand_;
    std::optional<uint64_t> transfer_;
    bool started_ = false;
    bool cancelled_ = false;
};
