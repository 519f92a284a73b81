#include "sdk/BITSender.h"

#include "Foundation/NSJSONSerialization.h"
#include "Net/NSURLResponse.h"
#include "Net/NSURLSession.h"
#include "sdk/BITChannel.h"
#include "sdk/BITHTTPOperation.h"
#include "sdk/BITHTTPOperationQueue.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/NSData+BITGZIP.h"

std::shared_ptr<BITSender> BITSender::create(std::shared_ptr<BITPersistence> persistence,
                                             NSURL serverURL) {
    std::shared_ptr<BITSender> sender(new BITSender(std::move(persistence), std::move(serverURL)));
    sender->registerObservers();
    return sender;
}

BITSender::BITSender(std::shared_ptr<BITPersistence> persistence, NSURL serverURL)
    : persistence_(std::move(persistence)),
      senderTasksQueue_(DispatchQueue::global()),
      serverURL_(std::move(serverURL)) {}

BITSender::~BITSender() {
    const auto center = NSNotificationCenter::defaultCenter();
    if (persistenceObserver_)
        center->removeObserver(persistenceObserver_);
    if (blockedObserver_)
        center->removeObserver(blockedObserver_);
}

void BITSender::registerObservers() {
    const auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<BITSender> weakSelf = weak_from_this();
    const auto wake = [weakSelf](const NSNotification&) {
        if (const auto self = weakSelf.lock())
            self->sendSavedDataAsync();
    };
    persistenceObserver_ =
        center->addObserverForName(BITPersistenceSuccessNotification, nullptr, {}, wake);
    blockedObserver_ = center->addObserverForName(BITChannelBlockedNotification, nullptr, {}, wake);
}

void BITSender::sendSavedDataAsync() {
    senderTasksQueue_->async([self = shared_from_this()] { self->sendSavedData(); });
}

void BITSender::sendSavedData() {
    {
        std::lock_guard lock(countMutex_);
        if (runningRequestsCount_ >= maxRequestCount_)
            return;
        ++runningRequestsCount_;
        BITZizavaLogDebug("INFO: Create new sender thread. Current count is %zu",
                          runningRequestsCount_);
    }
    const auto path = persistence_->requestNextFilePath();
    sendDataWithFilePath(persistence_->dataAtFilePath(path), path);
}

void BITSender::sendDataWithFilePath(const std::optional<Value::Data>& data,
                                     const std::optional<std::string>& filePath) {
    if (data && !data->empty()) {
        if (const auto gzipped = bit_gzippedData(*data)) {
            sendRequestFilePath(requestForData(*gzipped), filePath);
            return;
        }
    }
    const size_t count = releaseRequestSlot();
    BITZizavaLogDebug("INFO: Close sender thread due empty package. Current count is %zu", count);
    // An empty bundle (a crash with nothing pending) carries nothing and would
    // hold a place in the folder's file limit for good: it goes, and the next
    // file follows as after an accepted upload.
    if (data && data->empty() && filePath) {
        persistence_->deleteFileAtPath(filePath);
        sendSavedData();
    }
}

void BITSender::sendRequestFilePath(const std::optional<NSMutableURLRequest>& request,
                                    const std::optional<std::string>& filePath) {
    if (!request || !filePath)
        return;
    if (isURLSessionSupported())
        sendUsingURLSessionWithRequestFilePath(*request, *filePath);
    else
        sendUsingURLConnectionWithRequestFilePath(*request, *filePath);
}

bool BITSender::isURLSessionSupported() const {
    return BITZizavaHelper::isURLSessionSupported();
}

void BITSender::sendUsingURLSessionWithRequestFilePath(const NSMutableURLRequest& request,
                                                       const std::string& filePath) {
    std::weak_ptr<BITSender> weakSelf = weak_from_this();
    const auto task = session()->dataTaskWithRequest(
        request, [weakSelf, filePath](std::optional<Value::Data> data,
                                      std::optional<NSHTTPURLResponse> response,
                                      std::optional<NSError> error) {
            if (const auto self = weakSelf.lock())
                self->handleResponseWithStatusCodeResponseDataFilePathError(
                    response ? response->statusCode() : 0, data, filePath, error);
        });
    if (!task) {
        handleResponseWithStatusCodeResponseDataFilePathError(0, std::nullopt, filePath,
                                                              std::nullopt);
        return;
    }
    resumeSessionDataTask(*task);
}

void BITSender::resumeSessionDataTask(NSURLSessionDataTask& task) {
    task.resume();
}

void BITSender::sendUsingURLConnectionWithRequestFilePath(const NSMutableURLRequest& request,
                                                          const std::string& filePath) {
    const auto operation = BITHTTPOperation::operationWithRequest(request);
    std::weak_ptr<BITSender> weakSelf = weak_from_this();
    operation->setCompletion([weakSelf, filePath](const std::shared_ptr<BITHTTPOperation>& done,
                                                  const std::optional<Value::Data>& data,
                                                  const std::optional<NSError>& error) {
        if (const auto self = weakSelf.lock()) {
            const auto response = done->response();
            self->handleResponseWithStatusCodeResponseDataFilePathError(
                response ? response->statusCode() : 0, data, filePath, error);
        }
    });
    operationQueue()->addOperation(operation);
}

void BITSender::handleResponseWithStatusCodeResponseDataFilePathError(
    long statusCode, const std::optional<Value::Data>& responseData, const std::string& filePath,
    const std::optional<NSError>& error) {
    const size_t count = releaseRequestSlot();
    BITZizavaLogDebug("INFO: Close sender thread due incoming response. Current count is %zu",
                      count);
    if (shouldDeleteDataWithStatusCode(statusCode)) {
        BITZizavaLogDebug("INFO: Sent data with status code: %ld", statusCode);
        if (responseData && !responseData->empty()) {
            BITZizavaLogDebug("INFO: Response data:\n%s", bit_loggedBody(*responseData).c_str());
        }
        persistence_->deleteFileAtPath(filePath);
        sendSavedData();
        return;
    }
    BITZizavaLogError("ERROR: Sending telemetry data failed");
    BITZizavaLogError("Error description: %s",
                      error ? error->localizedDescription().c_str()
                            : ("status code " + std::to_string(statusCode)).c_str());
    persistence_->giveBackRequestedFilePath(filePath);
}

NSMutableURLRequest BITSender::requestForData(const Value::Data& data) const {
    NSMutableURLRequest request(serverURL_, NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    request.setHTTPMethod("POST");
    request.setHTTPBody(data);
    request.setAllHTTPHeaderFields({{"Charset", "UTF-8"},
                                    {"Content-Encoding", "gzip"},
                                    {"Content-Type", "application/x-json-stream"},
                                    {"Accept-Encoding", "gzip"}});
    return request;
}

bool BITSender::shouldDeleteDataWithStatusCode(long statusCode) {
    if (statusCode >= 200 && statusCode < 300)
        return true;
    return statusCode >= 400 && statusCode < 500 && statusCode != 408 && statusCode != 429;
}

size_t BITSender::runningRequestsCount() const {
    std::lock_guard lock(countMutex_);
    return runningRequestsCount_;
}

void BITSender::setRunningRequestsCount(size_t count) {
    std::lock_guard lock(countMutex_);
    runningRequestsCount_ = count;
}

size_t BITSender::releaseRequestSlot() {
    std::lock_guard lock(countMutex_);
    if (runningRequestsCount_ > 0)
        --runningRequestsCount_;
    return runningRequestsCount_;
}

std::shared_ptr<NSURLSession> BITSender::session() {
    std::lock_guard lock(lazyMutex_);
    if (!session_)
        session_ = NSURLSession::sessionWithConfiguration(
            NSURLSessionConfiguration::defaultSessionConfiguration());
    return session_;
}

std::shared_ptr<BITHTTPOperationQueue> BITSender::operationQueue() {
    std::lock_guard lock(lazyMutex_);
    if (!operationQueue_)
        operationQueue_ = std::make_shared<BITHTTPOperationQueue>();
    return operationQueue_;
}
