#include "Net/NSURLSession.h"

#include <algorithm>

#include "Foundation/NSLog.h"

namespace {

std::shared_ptr<DispatchQueue> sessionQueue() {
    return DispatchQueue::createSerial("kelvara.net.session");
}

}  // namespace

std::shared_ptr<NSURLSession> NSURLSession::sharedSession() {
    static const auto session = std::make_shared<NSURLSession>(
        NSURLSessionConfiguration::defaultSessionConfiguration(), sessionQueue());
    return session;
}

std::shared_ptr<NSURLSession> NSURLSession::sessionWithConfiguration(
    NSURLSessionConfiguration configuration, std::shared_ptr<DispatchQueue> delegateQueue) {
    return sessionWithConfigurationDelegateDelegateQueue(std::move(configuration), nullptr,
                                                         std::move(delegateQueue));
}

std::shared_ptr<NSURLSession> NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
    NSURLSessionConfiguration configuration, std::shared_ptr<NSURLSessionDataDelegate> delegate,
    std::shared_ptr<DispatchQueue> delegateQueue) {
    return std::make_shared<NSURLSession>(std::move(configuration),
                                          delegateQueue ? std::move(delegateQueue) : sessionQueue(),
                                          std::move(delegate));
}

NSURLSession::NSURLSession(NSURLSessionConfiguration configuration,
                           std::shared_ptr<DispatchQueue> queue,
                           std::shared_ptr<NSURLSessionDataDelegate> delegate)
    : configuration_(std::move(configuration)),
      queue_(std::move(queue)),
      delegate_(std::move(delegate)) {}

std::shared_ptr<NSURLSessionDataDelegate> NSURLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

bool NSURLSession::admit(const std::shared_ptr<NSURLSessionTask>& task) {
    std::lock_guard lock(mutex_);
    if (invalidated_) {
        NSLogWithLevel(NSLogLevel::Error, "Task for %s refused: the session was invalidated",
                       task->originalRequest().URL().absoluteString().c_str());
        return false;
    }
    std::erase_if(tasks_, [](const std::weak_ptr<NSURLSessionTask>& entry) {
        const auto held = entry.lock();
        return !held || held->ended_;
    });
    tasks_.push_back(task);
    return true;
}

std::shared_ptr<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(
    const NSURLRequest& request, NSURLSessionDataTask::Completion completion) {
    auto task =
        std::make_shared<NSURLSessionDataTask>(request, shared_from_this(), std::move(completion));
    return admit(task) ? task : nullptr;
}

std::shared_ptr<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(
    const NSURLRequest& request) {
    return dataTaskWithRequest(request, nullptr);
}

std::shared_ptr<NSURLSessionDataTask> NSURLSession::dataTaskWithURL(
    const NSURL& url, NSURLSessionDataTask::Completion completion) {
    return dataTaskWithRequest(NSURLRequest(url), std::move(completion));
}

std::shared_ptr<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequest(
    const NSURLRequest& request, NSURLSessionDownloadTask::Completion completion) {
    auto task = std::make_shared<NSURLSessionDownloadTask>(
        request, shared_from_this(), std::nullopt, false, std::move(completion));
    return admit(task) ? task : nullptr;
}

std::shared_ptr<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequestToPath(
    const NSURLRequest& request, const std::string& path, bool appending,
    NSURLSessionDownloadTask::Completion completion) {
    auto task = std::make_shared<NSURLSessionDownloadTask>(request, shared_from_this(), path,
                                                           appending, std::move(completion));
    return admit(task) ? task : nullptr;
}

std::shared_ptr<NSURLSessionDataDelegate> NSURLSession::takeDelegateWhenDoneLocked() {
    if (!invalidated_)
        return nullptr;
    for (const auto& entry : tasks_) {
        const auto task = entry.lock();
        if (task && !task->ended_)
            return nullptr;
    }
    tasks_.clear();
    return std::move(delegate_);
}

void NSURLSession::taskDidEnd() {
    std::shared_ptr<NSURLSessionDataDelegate> released;
    std::lock_guard lock(mutex_);
    released = takeDelegateWhenDoneLocked();
}

// The shared session cannot be invalidated, as on the platform.
void NSURLSession::finishTasksAndInvalidate() {
    if (this == sharedSession().get())
        return;
    std::shared_ptr<NSURLSessionDataDelegate> released;
    std::lock_guard lock(mutex_);
    invalidated_ = true;
    released = takeDelegateWhenDoneLocked();
}

void NSURLSession::invalidateAndCancel() {
    if (this == sharedSession().get())
        return;
    std::vector<std::weak_ptr<NSURLSessionTask>> tasks;
    std::shared_ptr<NSURLSessionDataDelegate> released;
    {
        std::lock_guard lock(mutex_);
        invalidated_ = true;
        tasks = tasks_;
        released = takeDelegateWhenDoneLocked();
    }
    for (const auto& entry : tasks) {
        if (const auto task = entry.lock())
            task->cancel();
    }
}
