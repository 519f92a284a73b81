#include "Net/NSURLSessionTask.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"
#include "Net/NSURLSession.h"
#include "Net/NetCallbackStrand.h"
#include "Net/NetTransferEngine.h"

namespace {

std::atomic<uint64_t> nextTaskIdentifier = 1;

}  // namespace

NSURLSessionTask::NSURLSessionTask(NSURLRequest request, std::shared_ptr<NSURLSession> session)
    : identifier_(nextTaskIdentifier++),
      request_(std::move(request)),
      session_(std::move(session)),
      strand_(std::make_shared<NetCallbackStrand>(session_->delegateQueue())) {}

std::shared_ptr<NSURLSessionDataDelegate> NSURLSessionTask::delegate() const {
    return session_->delegate();
}

NSURLSessionTask::State NSURLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::optional<NSHTTPURLResponse> NSURLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<NSError> NSURLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void NSURLSessionTask::post(std::function<void()> block) {
    strand_->post(std::move(block));
}

NSError NSURLSessionTask::markCancelled() {
    const NSError cancelled =
        NSURLErrorMake(NSURLErrorCancelled, "cancelled", request_.URL().absoluteString());
    std::lock_guard lock(mutex_);
    error_ = cancelled;
    return cancelled;
}

void NSURLSessionTask::suspendCallbacks() {
    strand_->suspend();
}

void NSURLSessionTask::resumeCallbacks() {
    strand_->resume();
}

void NSURLSessionTask::resume() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Suspended)
            return;
        state_ = State::Running;
    }
    // The handlers keep the task alive until it completes.
    auto self = shared_from_this();
    NetTransferHandlers handlers;
    handlers.response = [self](const NSHTTPURLResponse& response) {
        {
            std::lock_guard lock(self->mutex_);
            self->response_ = response;
        }
        self->bytesExpected_ = response.expectedContentLength();
        self->transferDidReceiveResponse(response);
    };
    handlers.data = [self](const char* bytes, size_t length) {
        self->bytesReceived_ += static_cast<int64_t>(length);
        return self->transferDidReceiveData(bytes, length);
    };
    handlers.complete = [self](const std::optional<NSError>& error) {
        self->complete(self->transferDidComplete(error));
    };
    if (delegate()) {
        handlers.redirect = [self](const NSHTTPURLResponse& response, const NSURLRequest& request,
                                   NetTransferHandlers::RedirectDecision decide) {
            self->post([self, response, request, decide] {
                const auto delegate = self->delegate();
                if (!delegate)
                    return decide(request);
                delegate->URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
                    self->session_, self, response, request, decide);
            });
        };
    }
    const auto transfer = NetTransferEngine::shared().start(request_, std::move(handlers));
    bool cancelled = false;
    {
        std::lock_guard lock(mutex_);
        transfer_ = transfer;
        cancelled = state_ == State::Canceling;
    }
    if (cancelled)
        NetTransferEngine::shared().cancel(transfer);
}

void NSURLSessionTask::cancel() {
    std::optional<uint64_t> transfer;
    bool neverStarted = false;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Completed || state_ == State::Canceling)
            return;
        neverStarted = state_ == State::Suspended;
        state_ = State::Canceling;
        transfer = transfer_;
    }
    if (neverStarted) {
        complete(markCancelled());
    } else if (transfer) {
        NetTransferEngine::shared().cancel(*transfer);
    }
}

void NSURLSessionTask::complete(std::optional<NSError> error) {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Completed)
            return;
        state_ = State::Completed;
        error_ = error;
    }
    post([self = shared_from_this(), error = std::move(error)] {
        self->callCompletion(error);
        self->ended_ = true;
        self->session_->taskDidEnd();
    });
}

NSURLSessionDataTask::NSURLSessionDataTask(NSURLRequest request,
                                           std::shared_ptr<NSURLSession> session,
                                           Completion completion)
    : NSURLSessionTask(std::move(request), std::move(session)),
      completion_(std::move(completion)),
      tellsDelegate_(!completion_ && delegate()) {}

std::shared_ptr<NSURLSessionDataTask> NSURLSessionDataTask::self() {
    return std::static_pointer_cast<NSURLSessionDataTask>(shared_from_this());
}

void NSURLSessionDataTask::transferDidReceiveResponse(const NSHTTPURLResponse& response) {
    if (tellsDelegate_)
        post([self = self(), response] { self->tellResponse(response); });
}

void NSURLSessionDataTask::tellResponse(const NSHTTPURLResponse& response) {
    const auto delegate = this->delegate();
    if (!delegate)
        return;
    // The body and the end wait for the delegate's answer.
    suspendCallbacks();
    delegate->URLSessionDataTaskDidReceiveResponseCompletionHandler(
        session(), self(), response, [self = self()](NSURLSessionResponseDisposition disposition) {
            if (self->responseDecided_.exchange(true))
                return;
            if (disposition == NSURLSessionResponseDisposition::Cancel) {
                self->responseCancelled_ = true;
                self->cancel();
            }
            self->resumeCallbacks();
        });
}

void NSURLSessionDataTask::tellData(const Value::Data& data) {
    if (responseCancelled_)
        return;
    if (const auto delegate = this->delegate())
        delegate->URLSessionDataTaskDidReceiveData(session(), self(), data);
}

std::optional<NSError> NSURLSessionDataTask::transferDidReceiveData(const char* bytes,
                                                                    size_t length) {
    if (tellsDelegate_) {
        post([self = self(), data = Value::Data(bytes, bytes + length)] { self->tellData(data); });
        return std::nullopt;
    }
    if (body_.size() + length > kMaximumBodyLength) {
        return NSURLErrorMake(NSURLErrorDataLengthExceedsMaximum,
                              "The response body is too large to keep in memory.",
                              originalRequest().URL().absoluteString());
    }
    body_.insert(body_.end(), bytes, bytes + length);
    return std::nullopt;
}

void NSURLSessionDataTask::callCompletion(const std::optional<NSError>& error) {
    if (tellsDelegate_) {
        // A response the delegate cancelled ends so even when all of it came.
        const std::optional<NSError> ending = responseCancelled_ ? markCancelled() : error;
        if (const auto delegate = this->delegate())
            delegate->URLSessionTaskDidCompleteWithError(session(), self(), ending);
        return;
    }
    Completion completion = std::move(completion_);
    if (!completion)
        return;
    if (error)
        completion(std::nullopt, response(), error);
    else
        completion(std::move(body_), response(), std::nullopt);
}

NSURLSessionDownloadTask::NSURLSessionDownloadTask(NSURLRequest request,
                                                   std::shared_ptr<NSURLSession> session,
                                                   std::optional<std::string> destination,
                                                   bool appending, Completion completion)
    : NSURLSessionTask(std::move(request), std::move(session)),
      destination_(std::move(destination)),
      appending_(appending),
      completion_(std::move(completion)) {}

NSURLSessionDownloadTask::~NSURLSessionDownloadTask() {
    closeFile();
}

std::optional<NSError> NSURLSessionDownloadTask::openFile(const NSHTTPURLResponse& response) {
    const std::string url = originalRequest().URL().absoluteString();
    if (!destination_) {
        std::error_code error;
        std::string pattern =
            (std::filesystem::temp_directory_path(error) / "kelvara-download-XXXXXX").string();
        descriptor_ = mkstemp(pattern.data());
        if (descriptor_ < 0) {
            return NSURLErrorMake(
                NSURLErrorCannotCreateFile,
                std::string("Cannot create a temporary file: ") + std::strerror(errno), url);
        }
        path_ = pattern;
        temporary_ = true;
        return std::nullopt;
    }
    const long status = response.statusCode();
    if (status < 200 || status > 299)
        return std::nullopt;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (appending_ && status == 206) {
        flags |= O_APPEND;
    } else {
        flags |= O_TRUNC;
    }
    descriptor_ = ::open(destination_->c_str(), flags, 0644);
    if (descriptor_ < 0) {
        return NSURLErrorMake(NSURLErrorCannotCreateFile,
                              "Cannot open " + *destination_ + ": " + std::strerror(errno), url);
    }
    if (flags & O_APPEND) {
        const off_t end = ::lseek(descriptor_, 0, SEEK_END);
        startOffset_ = end > 0 ? end : 0;
    }
    path_ = destination_;
    return std::nullopt;
}

void NSURLSessionDownloadTask::closeFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

void NSURLSessionDownloadTask::transferDidReceiveResponse(const NSHTTPURLResponse& response) {
    openError_ = openFile(response);
}

std::optional<NSError> NSURLSessionDownloadTask::transferDidReceiveData(const char* bytes,
                                                                        size_t length) {
    if (openError_)
        return openError_;
    if (descriptor_ < 0)
        return std::nullopt;  // an error reply for a destination: not written
    size_t done = 0;
    while (done < length) {
        const ssize_t count = ::write(descriptor_, bytes + done, length - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            return NSURLErrorMake(
                NSURLErrorCannotWriteToFile,
                "Cannot write " + path_.value_or("") + ": " + std::strerror(errno),
                originalRequest().URL().absoluteString());
        }
        done += static_cast<size_t>(count);
    }
    written_ += static_cast<int64_t>(length);
    if (progress_ && !progressPending_.exchange(true)) {
        post([self = std::static_pointer_cast<NSURLSessionDownloadTask>(shared_from_this())] {
            self->progressPending_ = false;
            const int64_t expected = self->countOfBytesExpectedToReceive();
            self->progress_(self->startOffset_ + self->written_,
                            expected < 0 ? -1 : self->startOffset_ + expected);
        });
    }
    return std::nullopt;
}

std::optional<NSError> NSURLSessionDownloadTask::transferDidComplete(std::optional<NSError> error) {
    closeFile();
    if (!error && openError_)
        error = openError_;
    if (error && temporary_ && path_) {
        ::unlink(path_->c_str());
        path_.reset();
    }
    return error;
}

void NSURLSessionDownloadTask::callCompletion(const std::optional<NSError>& error) {
    Completion completion = std::move(completion_);
    if (completion)
        completion(error ? std::nullopt : path_, response(), error);
    if (temporary_ && path_)
        ::unlink(path_->c_str());
}
