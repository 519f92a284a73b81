#include "sdk/BITHTTPOperation.h"

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSThread.h"
#include "Net/NSURLError.h"

std::shared_ptr<BITHTTPOperation> BITHTTPOperation::operationWithRequest(
    const NSURLRequest& request) {
    return std::make_shared<BITHTTPOperation>(request);
}

bool BITHTTPOperation::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool BITHTTPOperation::isExecuting() const {
    std::lock_guard lock(mutex_);
    return executing_;
}

bool BITHTTPOperation::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::optional<NSHTTPURLResponse> BITHTTPOperation::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<NSError> BITHTTPOperation::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::optional<Value::Data> BITHTTPOperation::data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

void BITHTTPOperation::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}

void BITHTTPOperation::setFinishObserver(std::function<void()> observer) {
    std::lock_guard lock(mutex_);
    finishObserver_ = std::move(observer);
}

void BITHTTPOperation::cancel() {
    std::shared_ptr<NSURLConnection> connection;
    bool wasExecuting = false;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || finished_)
            return;
        cancelled_ = true;
        connection = connection_;
        wasExecuting = executing_;
    }
    if (connection)
        connection->cancel();
    // A cancelled connection says nothing more, so the operation ends here.
    if (wasExecuting)
        finish();
}

void BITHTTPOperation::start() {
    if (!NSThread::isMainThread() && !isCancelled()) {
        DispatchQueue::main()->async([self = shared_from_this()] { self->start(); });
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (finished_ || executing_)
            return;
        executing_ = !cancelled_;
    }
    if (isCancelled()) {
        finish();
        return;
    }
    auto connection = NSURLConnection::connectionWithRequestDelegate(request_, shared_from_this());
    std::lock_guard lock(mutex_);
    connection_ = std::move(connection);
}

void BITHTTPOperation::finish() {
    Completion completion;
    std::function<void()> observer;
    {
        std::lock_guard lock(mutex_);
        if (finished_)
            return;
        executing_ = false;
        finished_ = true;
        connection_.reset();
        completion = std::move(completion_);
        completion_ = nullptr;
        observer = std::move(finishObserver_);
    }
    if (completion) {
        DispatchQueue::main()->async([self = shared_from_this(), completion] {
            if (!self->isCancelled())
                completion(self, self->data(), self->error());
        });
    }
    if (observer)
        observer();
}

void BITHTTPOperation::connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                                    const NSHTTPURLResponse& response) {
    std::lock_guard lock(mutex_);
    data_ = Value::Data();
    response_ = response;
}

void BITHTTPOperation::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection,
                                                const Value::Data& data) {
    {
        std::lock_guard lock(mutex_);
        if (!data_)
            data_ = Value::Data();
        if (data_->size() + data.size() <= kMaximumBodyLength) {
            data_->insert(data_->end(), data.begin(), data.end());
            return;
        }
    }
    connection->cancel();
    connectionDidFailWithError(connection, NSURLErrorMake(NSURLErrorDataLengthExceedsMaximum,
                                                          "The response body is too large.",
                                                          request_.URL().absoluteString()));
}

void BITHTTPOperation::connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                                  const NSError& error) {
    {
        std::lock_guard lock(mutex_);
        error_ = error;
        data_.reset();
    }
    finish();
}

void BITHTTPOperation::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) {
    finish();
}
