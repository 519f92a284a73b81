#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Value.h"

// Where a telemetry file lives.
enum BITPersistenceType : int {
    BITPersistenceTypeTelemetry = 0,
    BITPersistenceTypeMetaData = 1,
};

// Posted on the main queue after each bundle file is written.
inline constexpr const char* BITPersistenceSuccessNotification =
    "BITZizavaPersistenceSuccessNotification";
inline constexpr const char* kBITTelemetryBundlePrefix = "zizava-app-bundle-";

// The telemetry file store: one bundle file per batch of JSON lines in
// "Telemetry", the meta data (the anonymous user) in "MetaData/metadata".
// Unsent bundles are handed to the sender one at a time, so no file is ever
// out twice at once; the hand-out list lives in memory only.
class BITPersistence : public std::enable_shared_from_this<BITPersistence> {
  public:
    BITPersistence();

    // <Library>/Application Support/<the maker's folder>; nullopt when the
    // folder cannot be named.
    std::optional<std::string> appZizavaSDKDirectoryPath();
    std::string folderPathForType(int type);
    // A new bundle file name on each call for 0; the meta data file for 1.
    std::string fileURLForType(int type);

    // Writes a batch as a new bundle file, asynchronously. Nothing is written
    // for missing or empty data: an empty file carries nothing to send.
    void persistBundle(const std::optional<Value::Data>& data);
    void persistMetaData(const Value::Dictionary& metaData);
    Value::Dictionary metaData();
    std::optional<Value> bundleAtFilePathWithFileBaseString(const std::optional<std::string>& path,
                                                            const std::string& baseString);
    std::optional<Value::Data> dataAtFilePath(const std::optional<std::string>& path);

    // Room for another bundle: the files on disk and those still being
    // written stay below maxFileCount.
    bool isFreeSpaceAvailable();
    // Bundle file paths of the folder, in name order; nullopt when it cannot be read.
    std::optional<std::vector<std::string>> persistedFilesForType(int type);
    std::optional<std::string> requestNextFilePath();
    void giveBackRequestedFilePath(const std::string& path);
    void deleteFileAtPath(const std::optional<std::string>& path);
    void createDirectoryStructureIfNeeded();
    void sendBundleSavedNotification();

    size_t maxFileCount() const { return maxFileCount_; }
    void setMaxFileCount(size_t count) { maxFileCount_ = count; }
    std::vector<std::string> requestedBundlePaths();
    // The serial queue every write, delete and hand-out change runs on.
    const std::shared_ptr<DispatchQueue>& persistenceQueue() const { return persistenceQueue_; }
    // Waits until every write submitted so far has finished.
    void waitForPendingWrites();

  private:
    std::optional<std::string> nextURLOfType(int type);

    std::shared_ptr<DispatchQueue> persistenceQueue_;
    size_t maxFileCount_ = 50;
    std::optional<std::string> appZizavaSDKDirectoryPath_;
    std::vector<std::string> requestedBundlePaths_;  // changed on the queue only
    // Bundles handed over but not yet on disk count against the file limit,
    // so a burst of batches cannot overshoot it.
    std::atomic<size_t> pendingBundleWrites_ = 0;
    // Held while a bundle lands on disk and leaves the pending count, and
    // while the limit is checked, so the check counts every bundle once.
    std::mutex countingMutex_;
};
