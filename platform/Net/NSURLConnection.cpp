#include "Net/NSURLConnection.h"

#include <condition_variable>

#include "Net/NSURLError.h"
#include "Net/NSURLSessionTask.h"
#include "Net/NetCallbackStrand.h"
#include "Net/NetTransferEngine.h"

namespace {

// A whole load kept in memory, for the synchronous and block-based calls.
struct Collected {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::optional<NSHTTPURLResponse> response;
    Value::Data body;
    std::optional<NSError> error;
};

NetTransferHandlers collectingHandlers(const std::shared_ptr<Collected>& collected,
                                       const NSURLRequest& request,
                                       std::function<void()> whenDone) {
    NetTransferHandlers handlers;
    handlers.response = [collected](const NSHTTPURLResponse& response) {
        std::lock_guard lock(collected->mutex);
        collected->response = response;
    };
    const std::string url = request.URL().absoluteString();
    handlers.data = [collected, url](const char* bytes, size_t length) -> std::optional<NSError> {
        std::lock_guard lock(collected->mutex);
        if (collected->body.size() + length > NSURLSessionDataTask::kMaximumBodyLength) {
            return NSURLErrorMake(NSURLErrorDataLengthExceedsMaximum,
                                  "The response body is too large to keep in memory.", url);
        }
        collected->body.insert(collected->body.end(), bytes, bytes + length);
        return std::nullopt;
    };
    handlers.complete = [collected,
                         whenDone = std::move(whenDone)](const std::optional<NSError>& error) {
        {
            std::lock_guard lock(collected->mutex);
            collected->error = error;
            collected->done = true;
        }
        collected->ended.notify_all();
        if (whenDone)
            whenDone();
    };
    return handlers;
}

}  // namespace

std::shared_ptr<NSURLConnection> NSURLConnection::connectionWithRequestDelegate(
    const NSURLRequest& request, std::shared_ptr<NSURLConnectionDataDelegate> delegate) {
    return createWithRequestDelegateStartImmediately(request, std::move(delegate), true);
}

std::shared_ptr<NSURLConnection> NSURLConnection::createWithRequestDelegateStartImmediately(
    const NSURLRequest& request, std::shared_ptr<NSURLConnectionDataDelegate> delegate,
    bool startImmediately) {
    auto connection = std::make_shared<NSURLConnection>(request, std::move(delegate));
    if (startImmediately)
        connection->start();
    return connection;
}

NSURLConnection::NSURLConnection(const NSURLRequest& request,
                                 std::shared_ptr<NSURLConnectionDataDelegate> delegate)
    : request_(request), delegate_(std::move(delegate)) {}

void NSURLConnection::setDelegateQueue(std::shared_ptr<DispatchQueue> queue) {
    std::lock_guard lock(mutex_);
    if (!started_)
        queue_ = std::move(queue);
}

void NSURLConnection::start() {
    {
        std::lock_guard lock(mutex_);
        if (started_ || cancelled_)
            return;
        started_ = true;
        strand_ = std::make_shared<NetCallbackStrand>(queue_ ? queue_ : DispatchQueue::main());
    }
    auto self = shared_from_this();
    NetTransferHandlers handlers;
    handlers.response = [self](const NSHTTPURLResponse& response) {
        self->deliver(
            [self, response](NSURLConnectionDataDelegate& delegate) {
                delegate.connectionDidReceiveResponse(self, response);
            },
            false);
    };
    handlers.data = [self](const char* bytes, size_t length) -> std::optional<NSError> {
        self->deliver(
            [self,
             data = Value::Data(bytes, bytes + length)](NSURLConnectionDataDelegate& delegate) {
                delegate.connectionDidReceiveData(self, data);
            },
            false);
        return std::nullopt;
    };
    handlers.redirect = [self](const NSHTTPURLResponse& response, const NSURLRequest& request,
                               NetTransferHandlers::RedirectDecision decide) {
        self->deliver(
            [self, response, request, decide](NSURLConnectionDataDelegate& delegate) {
                decide(delegate.connectionWillSendRequestRedirectResponse(self, request, response));
            },
            false);
    };
    handlers.complete = [self](const std::optional<NSError>& error) {
        if (error) {
            self->deliver(
                [self, error = *error](NSURLConnectionDataDelegate& delegate) {
                    delegate.connectionDidFailWithError(self, error);
                },
                true);
        } else {
            self->deliver(
                [self](NSURLConnectionDataDelegate& delegate) {
                    delegate.connectionDidFinishLoading(self);
                },
                true);
        }
    };
    const auto transfer = NetTransferEngine::shared().start(request_, std::move(handlers));
    std::lock_guard lock(mutex_);
    transfer_ = transfer;
    if (cancelled_)
        NetTransferEngine::shared().cancel(transfer);
}

void NSURLConnection::cancel() {
    std::optional<uint64_t> transfer;
    std::shared_ptr<NSURLConnectionDataDelegate> released;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
        cancelled_ = true;
        released = std::move(delegate_);
        transfer = transfer_;
    }
    if (transfer)
        NetTransferEngine::shared().cancel(*transfer);
}

void NSURLConnection::deliver(std::function<void(NSURLConnectionDataDelegate&)> call, bool last) {
    std::shared_ptr<NetCallbackStrand> strand;
    {
        std::lock_guard lock(mutex_);
        strand = strand_;
    }
    strand->post([self = shared_from_this(), call = std::move(call), last] {
        std::shared_ptr<NSURLConnectionDataDelegate> delegate;
        {
            std::lock_guard lock(self->mutex_);
            if (self->cancelled_ || !self->delegate_)
                return;
            delegate = self->delegate_;
            if (last)
                self->delegate_.reset();
        }
        call(*delegate);
    });
}

std::optional<Value::Data> NSURLConnection::sendSynchronousRequest(
    const NSURLRequest& request, std::optional<NSHTTPURLResponse>* response, NSError* error) {
    auto collected = std::make_shared<Collected>();
    NetTransferEngine::shared().start(request, collectingHandlers(collected, request, nullptr));
    std::unique_lock lock(collected->mutex);
    collected->ended.wait(lock, [&] { return collected->done; });
    if (response)
        *response = collected->response;
    if (collected->error) {
        if (error)
            *error = *collected->error;
        return std::nullopt;
    }
    return std::move(collected->body);
}

void NSURLConnection::sendAsynchronousRequest(const NSURLRequest& request,
                                              std::shared_ptr<DispatchQueue> queue,
                                              Completion completion) {
    auto collected = std::make_shared<Collected>();
    auto whenDone = [collected, queue, completion = std::move(completion)] {
        queue->async([collected, completion] {
            std::lock_guard lock(collected->mutex);
            if (collected->error)
                completion(collected->response, std::nullopt, collected->error);
            else
                completion(collected->response, std::move(collected->body), std::nullopt);
        });
    };
    NetTransferEngine::shared().start(request, collectingHandlers(collected, request, whenDone));
}
