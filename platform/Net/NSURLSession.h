#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Net/NSURLSessionTask.h"

// Only the default configuration is used: requests go out as they are.
struct NSURLSessionConfiguration {
    static NSURLSessionConfiguration defaultSessionConfiguration() { return {}; }
};

class NSURLSession;

enum class NSURLSessionResponseDisposition { Cancel = 0, Allow = 1 };

// What a session tells its delegate. Every method is optional; by default a
// response goes on and a redirect is followed. A completion handler may be
// called later and from any thread; until it is, the task's next calls wait.
class NSURLSessionDataDelegate {
  public:
    virtual ~NSURLSessionDataDelegate() = default;
    // Any task of the session: answers the request to send, or nullopt to
    // refuse the redirect, and the redirect reply is then the response.
    virtual void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const NSHTTPURLResponse& /*response*/, const NSURLRequest& request,
        std::function<void(std::optional<NSURLRequest>)> completionHandler) {
        completionHandler(request);
    }
    // Data tasks made without a completion, in order: the response, each
    // piece of the body, the end.
    virtual void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const NSHTTPURLResponse&,
        std::function<void(NSURLSessionResponseDisposition)> completionHandler) {
        completionHandler(NSURLSessionResponseDisposition::Allow);
    }
    virtual void URLSessionDataTaskDidReceiveData(const std::shared_ptr<NSURLSession>&,
                                                  const std::shared_ptr<NSURLSessionDataTask>&,
                                                  const Value::Data&) {}
    virtual void URLSessionTaskDidCompleteWithError(const std::shared_ptr<NSURLSession>&,
                                                    const std::shared_ptr<NSURLSessionTask>&,
                                                    const std::optional<NSError>&) {}
};

// Makes tasks that share a configuration and a delegate queue, on which every
// completion, progress and delegate call of the session's tasks runs. Without
// a queue the session makes a serial one of its own. A session holds its
// delegate until it is invalidated and its last task has ended.
class NSURLSession : public std::enable_shared_from_this<NSURLSession> {
  public:
    static std::shared_ptr<NSURLSession> sharedSession();
    static std::shared_ptr<NSURLSession> sessionWithConfiguration(
        NSURLSessionConfiguration configuration,
        std::shared_ptr<DispatchQueue> delegateQueue = nullptr);
    static std::shared_ptr<NSURLSession> sessionWithConfigurationDelegateDelegateQueue(
        NSURLSessionConfiguration configuration, std::shared_ptr<NSURLSessionDataDelegate> delegate,
        std::shared_ptr<DispatchQueue> delegateQueue);

    const NSURLSessionConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<DispatchQueue>& delegateQueue() const { return queue_; }
    // nullptr once released.
    std::shared_ptr<NSURLSessionDataDelegate> delegate() const;

    // Tasks start suspended (call resume()). After invalidation no task is
    // made: nullptr and a logged error.
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithRequest(
        const NSURLRequest& request, NSURLSessionDataTask::Completion completion);
    // Tells the session's delegate as the load goes.
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithRequest(const NSURLRequest& request);
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithURL(
        const NSURL& url, NSURLSessionDataTask::Completion completion);
    std::shared_ptr<NSURLSessionDownloadTask> downloadTaskWithRequest(
        const NSURLRequest& request, NSURLSessionDownloadTask::Completion completion);
    // Streams the body into `path` (see NSURLSessionDownloadTask).
    std::shared_ptr<NSURLSessionDownloadTask> downloadTaskWithRequestToPath(
        const NSURLRequest& request, const std::string& path, bool appending,
        NSURLSessionDownloadTask::Completion completion);

    // Running tasks finish; no new ones are made.
    void finishTasksAndInvalidate();
    // Running tasks are cancelled; no new ones are made.
    void invalidateAndCancel();

    NSURLSession(NSURLSessionConfiguration configuration, std::shared_ptr<DispatchQueue> queue,
                 std::shared_ptr<NSURLSessionDataDelegate> delegate = nullptr);

  private:
    friend class NSURLSessionTask;

    bool admit(const std::shared_ptr<NSURLSessionTask>& task);
    // A task's completion has run.
    void taskDidEnd();
    // With the lock held: the delegate, taken from the session once it is
    // invalidated and no task runs any more (else nullptr); the caller lets
    // it go after the lock.
    std::shared_ptr<NSURLSessionDataDelegate> takeDelegateWhenDoneLocked();

    const NSURLSessionConfiguration configuration_;
    const std::shared_ptr<DispatchQueue> queue_;
    mutable std::mutex mutex_;
    bool invalidated_ = false;
    std::shared_ptr<NSURLSessionDataDelegate> delegate_;
    std::vector<std::weak_ptr<NSURLSessionTask>> tasks_;
};
