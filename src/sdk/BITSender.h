#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSError.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/Value.h"
#include "Net/NSURL.h"
#include "Net/NSURLRequest.h"

class BITHTTPOperationQueue;
class BITPersistence;
class NSURLSession;
class NSURLSessionDataTask;

// Uploads the telemetry bundle files gzip-compressed, one file per request,
// at most maxRequestCount at once. It wakes up when the metrics manager
// starts, after each written bundle and when the channel blocks; after each
// accepted upload it goes on with the next file at once.
class BITSender : public std::enable_shared_from_this<BITSender> {
  public:
    static std::shared_ptr<BITSender> create(std::shared_ptr<BITPersistence> persistence,
                                             NSURL serverURL);
    virtual ~BITSender();

    void registerObservers();
    void sendSavedDataAsync();
    void sendSavedData();
    void sendDataWithFilePath(const std::optional<Value::Data>& data,
                              const std::optional<std::string>& filePath);
    virtual void sendRequestFilePath(const std::optional<NSMutableURLRequest>& request,
                                     const std::optional<std::string>& filePath);
    bool isURLSessionSupported() const;
    void sendUsingURLSessionWithRequestFilePath(const NSMutableURLRequest& request,
                                                const std::string& filePath);
    // Sends the task's request: the answer comes to its completion.
    void resumeSessionDataTask(NSURLSessionDataTask& task);
    void sendUsingURLConnectionWithRequestFilePath(const NSMutableURLRequest& request,
                                                   const std::string& filePath);
    void handleResponseWithStatusCodeResponseDataFilePathError(
        long statusCode, const std::optional<Value::Data>& responseData,
        const std::string& filePath, const std::optional<NSError>& error);
    NSMutableURLRequest requestForData(const Value::Data& data) const;
    // Accepted (2xx) or refused for good (4xx other than 408 and 429): the
    // file goes. Time-outs, throttling, server errors and no answer at all
    // keep it for a later try.
    static bool shouldDeleteDataWithStatusCode(long statusCode);

    size_t runningRequestsCount() const;
    void setRunningRequestsCount(size_t count);
    size_t maxRequestCount() const { return maxRequestCount_; }
    const NSURL& serverURL() const { return serverURL_; }
    const std::shared_ptr<BITPersistence>& persistence() const { return persistence_; }
    const std::shared_ptr<DispatchQueue>& senderTasksQueue() const { return senderTasksQueue_; }

  protected:
    BITSender(std::shared_ptr<BITPersistence> persistence, NSURL serverURL);

  private:
    // One indivisible change of the count; answers the new count.
    size_t releaseRequestSlot();
    std::shared_ptr<NSURLSession> session();
    std::shared_ptr<BITHTTPOperationQueue> operationQueue();

    mutable std::mutex countMutex_;
    size_t runningRequestsCount_ = 0;
    std::shared_ptr<BITPersistence> persistence_;
    std::shared_ptr<DispatchQueue> senderTasksQueue_;
    const size_t maxRequestCount_ = 10;
    NSURL serverURL_;
    std::mutex lazyMutex_;
    std::shared_ptr<NSURLSession> session_;
    std::shared_ptr<BITHTTPOperationQueue> operationQueue_;
    std::shared_ptr<NSNotificationObserver> persistenceObserver_;
    std::shared_ptr<NSNotificationObserver> blockedObserver_;
};
