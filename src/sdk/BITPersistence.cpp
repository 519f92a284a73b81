#include "sdk/BITPersistence.h"

#include <algorithm>
#include <mutex>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"

namespace {

constexpr const char* kMakerFolderName = "app.zizava";
constexpr const char* kTelemetryFolder = "Telemetry";
constexpr const char* kMetaDataFolder = "MetaData";
constexpr const char* kMetaDataFileName = "metadata";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Bundle files are named "<prefix><UUID>" without extension; anything else in
// the folder (a half-written temporary file, a stray) is not telemetry.
bool isBundleFileName(const std::string& name) {
    return name.rfind(kBITTelemetryBundlePrefix, 0) == 0 && name.find('.') == std::string::npos;
}

}  // namespace

BITPersistence::BITPersistence()
    : persistenceQueue_(DispatchQueue::createSerial("app.zizava.persistenceQueue")) {
    createDirectoryStructureIfNeeded();
}

std::optional<std::string> BITPersistence::appZizavaSDKDirectoryPath() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!appZizavaSDKDirectoryPath_) {
        // The phone's Application Support folder lives in the Library.
        const std::string library = NSSearchPathForDirectory(NSSearchPathDirectory::Library);
        if (library.empty())
            return std::nullopt;
        appZizavaSDKDirectoryPath_ = library + "/Application Support/" + kMakerFolderName;
    }
    return appZizavaSDKDirectoryPath_;
}

std::string BITPersistence::folderPathForType(int type) {
    const std::string root = appZizavaSDKDirectoryPath().value_or("");
    switch (type) {
        case BITPersistenceTypeTelemetry:
            return root + "/" + kTelemetryFolder;
        case BITPersistenceTypeMetaData:
            return root + "/" + kMetaDataFolder;
        default:
            return root;
    }
}

std::string BITPersistence::fileURLForType(int type) {
    if (type == BITPersistenceTypeMetaData)
        return folderPathForType(BITPersistenceTypeMetaData) + "/" + kMetaDataFileName;
    return folderPathForType(BITPersistenceTypeTelemetry) + "/" + kBITTelemetryBundlePrefix +
           bit_UUID();
}

void BITPersistence::persistBundle(const std::optional<Value::Data>& data) {
    const std::string path = fileURLForType(BITPersistenceTypeTelemetry);
    if (!data) {
        BITZizavaLogWarning("WARNING: Unable to write %s as provided bundle was null",
                            path.c_str());
        return;
    }
    if (data->empty()) {
        BITZizavaLogDebug("INFO: Nothing to write for an empty bundle");
        return;
    }
    ++pendingBundleWrites_;
    persistenceQueue_->async([self = shared_from_this(), path, bytes = *data] {
        bool written = false;
        {
            std::lock_guard<std::mutex> counting(self->countingMutex_);
            written = writeDataToFile(bytes, path, true);
            --self->pendingBundleWrites_;
        }
        if (!written) {
            BITZizavaLogError("Error writing bundle to %s", path.c_str());
            return;
        }
        BITZizavaLogDebug("INFO: Wrote bundle to %s", path.c_str());
        self->sendBundleSavedNotification();
    });
}

void BITPersistence::persistMetaData(const Value::Dictionary& metaData) {
    const std::string path = fileURLForType(BITPersistenceTypeMetaData);
    persistenceQueue_->async([path, metaData] {
        const auto data = NSPropertyListSerialization::dataWithPropertyList(
            Value(metaData), NSPropertyListSerialization::Format::Binary);
        if (!data || !writeDataToFile(*data, path, true))
            BITZizavaLogError("ERROR: Writing the telemetry meta data to %s failed", path.c_str());
    });
}

Value::Dictionary BITPersistence::metaData() {
    const auto stored = bundleAtFilePathWithFileBaseString(
        fileURLForType(BITPersistenceTypeMetaData), kMetaDataFileName);
    if (!stored || !stored->dictionaryValue()) {
        BITZizavaLogDebug("INFO: The context meta data file could not be loaded.");
        return {};
    }
    return *stored->dictionaryValue();
}

std::optional<Value> BITPersistence::bundleAtFilePathWithFileBaseString(
    const std::optional<std::string>& path, const std::string& baseString) {
    if (!path || !contains(*path, baseString))
        return std::nullopt;
    const auto data = dataWithContentsOfFile(*path, nullptr, size_t{16} << 20);
    if (!data)
        return std::nullopt;
    return NSPropertyListSerialization::propertyListWithData(*data);
}

std::optional<Value::Data> BITPersistence::dataAtFilePath(const std::optional<std::string>& path) {
    if (!path || !contains(*path, kBITTelemetryBundlePrefix))
        return std::nullopt;
    return dataWithContentsOfFile(*path, nullptr, size_t{64} << 20);
}

bool BITPersistence::isFreeSpaceAvailable() {
    std::lock_guard<std::mutex> counting(countingMutex_);
    const auto files = persistedFilesForType(BITPersistenceTypeTelemetry);
    return (files ? files->size() : 0) + pendingBundleWrites_ < maxFileCount_;
}

std::optional<std::vector<std::string>> BITPersistence::persistedFilesForType(int type) {
    const std::string folder = folderPathForType(type);
    const auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(folder);
    if (!names)
        return std::nullopt;
    std::vector<std::string> paths;
    for (const std::string& name : *names) {
        if (name.empty() || name[0] == '.')
            continue;
        if (type == BITPersistenceTypeTelemetry && !isBundleFileName(name))
            continue;
        paths.push_back(folder + "/" + name);
    }
    return paths;
}

std::optional<std::string> BITPersistence::nextURLOfType(int type) {
    const auto paths = persistedFilesForType(type);
    if (!paths)
        return std::nullopt;
    for (const std::string& path : *paths) {
        if (std::find(requestedBundlePaths_.begin(), requestedBundlePaths_.end(), path) ==
            requestedBundlePaths_.end())
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> BITPersistence::requestNextFilePath() {
    std::optional<std::string> path;
    persistenceQueue_->sync([&] {
        path = nextURLOfType(BITPersistenceTypeTelemetry);
        if (path)
            requestedBundlePaths_.push_back(*path);
    });
    return path;
}

void BITPersistence::giveBackRequestedFilePath(const std::string& path) {
    std::weak_ptr<BITPersistence> weakSelf = weak_from_this();
    persistenceQueue_->async([weakSelf, path] {
        if (const auto self = weakSelf.lock())
            std::erase(self->requestedBundlePaths_, path);
    });
}

void BITPersistence::deleteFileAtPath(const std::optional<std::string>& path) {
    persistenceQueue_->sync([&] {
        if (!path || !contains(*path, kBITTelemetryBundlePrefix)) {
            BITZizavaLogDebug("INFO: Empty path, nothing to delete");
            return;
        }
        if (!NSFileManager::defaultManager()->removeItemAtPath(*path)) {
            BITZizavaLogError("Error deleting file at path %s", path->c_str());
            return;
        }
        BITZizavaLogDebug("INFO: Successfully deleted file at path %s", path->c_str());
        std::erase(requestedBundlePaths_, *path);
    });
}

void BITPersistence::createDirectoryStructureIfNeeded() {
    const auto root = appZizavaSDKDirectoryPath();
    if (!root)
        return;
    const auto manager = NSFileManager::defaultManager();
    for (const std::string& folder : {*root, folderPathForType(BITPersistenceTypeMetaData),
                                      folderPathForType(BITPersistenceTypeTelemetry)}) {
        NSError error;
        if (!manager->createDirectoryAtPathWithIntermediateDirectories(folder, true, &error)) {
            BITZizavaLogError("ERROR: %s", error.localizedDescription().c_str());
            return;
        }
    }
    bit_fixBackupAttributeForURL(*root);
    BITZizavaLogDebug("INFO: Exclude %s from backup", root->c_str());
}

void BITPersistence::sendBundleSavedNotification() {
    DispatchQueue::main()->async([] {
        NSNotificationCenter::defaultCenter()->postNotificationName(
            BITPersistenceSuccessNotification);
    });
}

std::vector<std::string> BITPersistence::requestedBundlePaths() {
    std::vector<std::string> paths;
    persistenceQueue_->sync([&] { paths = requestedBundlePaths_; });
    return paths;
}

void BITPersistence::waitForPendingWrites() {
    persistenceQueue_->sync([] {});
}
