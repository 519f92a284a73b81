#pragma once

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

// Makes tasks that share a configuration and a delegate queue, on which every
// completion and progress call of the session's tasks runs. Without a queue
// the session makes a serial one of its own.
class NSURLSession : public std::enable_shared_from_this<NSURLSession> {
  public:
    static std::shared_ptr<NSURLSession> sharedSession();
    static std::shared_ptr<NSURLSession> sessionWithConfiguration(
        NSURLSessionConfiguration configuration,
        std::shared_ptr<DispatchQueue> delegateQueue = nullptr);

    const NSURLSessionConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<DispatchQueue>& delegateQueue() const { return queue_; }

    // Tasks start suspended (call resume()). After invalidation no task is
    // made: nullptr and a logged error.
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithRequest(
        const NSURLRequest& request, NSURLSessionDataTask::Completion completion);
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

    NSURLSession(NSURLSessionConfiguration configuration, std::shared_ptr<DispatchQueue> queue);

  private:
    bool admit(const std::shared_ptr<NSURLSessionTask>& task);

    const NSURLSessionConfiguration configuration_;
    const std::shared_ptr<DispatchQueue> queue_;
    std::mutex mutex_;
    bool invalidated_ = false;
    std::vector<std::weak_ptr<NSURLSessionTask>> tasks_;
};
