#include "packages/ZELDownloadManagerDownload.h"

#include <algorithm>
#include <filesystem>

#include "Foundation/NSPathUtilities.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadAddress.h"

void ZELDownloadManagerDownload::registerClass() {
    NSManagedObject::registerClass("ZELDownloadManagerDownload",
                                   [] { return std::make_shared<ZELDownloadManagerDownload>(); });
}

std::string ZELDownloadManagerDownload::identifier() {
    return stringForKey("identifier").value_or("");
}

std::string ZELDownloadManagerDownload::type() {
    return stringForKey("type").value_or("");
}

std::optional<std::string> ZELDownloadManagerDownload::title() {
    return stringForKey("title");
}

std::optional<std::string> ZELDownloadManagerDownload::subTitle() {
    return stringForKey("subTitle");
}

std::string ZELDownloadManagerDownload::address() {
    return stringForKey("url").value_or("");
}

void ZELDownloadManagerDownload::setAddress(const std::string& address) {
    setValueForKey("url", address);
}

std::string ZELDownloadManagerDownload::url() {
    return ZELDownloadAddress::urlToLoad(address(), CBMapStoreURLManager::baseURL())
        .url.value_or("");
}

std::string ZELDownloadManagerDownload::destinationPath() {
    const std::string kept = keptDestinationPath();
    if (kept.starts_with("/"))
        return kept;
    return NSPathForHomeRelativePath(kept).value_or("");
}

void ZELDownloadManagerDownload::setDestinationPath(const std::string& path) {
    setValueForKey("destinationPath", NSHomeRelativePathForPath(path).value_or(path));
}

std::string ZELDownloadManagerDownload::keptDestinationPath() {
    return stringForKey("destinationPath").value_or("");
}

bool ZELDownloadManagerDownload::keepDestinationRelativeToHome(std::string* reason) {
    const std::string kept = keptDestinationPath();
    if (!kept.starts_with("/")) {
        if (NSPathForHomeRelativePath(kept))
            return true;
        *reason = "its destination \"" + kept + "\" names no folder of the home";
        return false;
    }
    const auto relative = NSHomeRelativePathForPathInAnyHome(kept);
    if (!relative) {
        *reason = "its destination " + kept + " lies outside the application's home";
        return false;
    }
    setValueForKey("destinationPath", *relative);
    return true;
}

int ZELDownloadManagerDownload::downloadState() {
    if (isDeleted() || !managedObjectContext())
        return ZELDownloadStateDeleted;
    return static_cast<int>(integerForKey("downloadState").value_or(ZELDownloadStateWaiting));
}

void ZELDownloadManagerDownload::setDownloadState(int state) {
    setValueForKey("downloadState", state);
}

std::optional<int64_t> ZELDownloadManagerDownload::bytesLoaded() {
    return integerForKey("bytesLoaded");
}

void ZELDownloadManagerDownload::setBytesLoaded(std::optional<int64_t> bytes) {
    setValueForKey("bytesLoaded", bytes ? Value(static_cast<long long>(*bytes)) : Value(0));
}

std::optional<int64_t> ZELDownloadManagerDownload::downloadSize() {
    return integerForKey("downloadSize");
}

void ZELDownloadManagerDownload::setDownloadSize(std::optional<int64_t> bytes) {
    setValueForKey("downloadSize", bytes ? Value(static_cast<long long>(*bytes)) : Value());
}

std::optional<double> ZELDownloadManagerDownload::postProcessingProgress() {
    return doubleForKey("postProcessingProgress");
}

void ZELDownloadManagerDownload::setPostProcessingProgress(double progress) {
    setValueForKey("postProcessingProgress", std::clamp(progress, 0.0, 1.0));
}

double ZELDownloadManagerDownload::progressReservedForPostProcessing() {
    return std::clamp(doubleForKey("progressReservedForPostProcessing").value_or(0.0), 0.0, 1.0);
}

int ZELDownloadManagerDownload::priority() {
    return static_cast<int>(integerForKey("priority").value_or(0));
}

std::optional<NSDate> ZELDownloadManagerDownload::dateAdded() {
    return dateForKey("dateAdded");
}

int ZELDownloadManagerDownload::failedConnectionsCount() {
    return static_cast<int>(integerForKey("failedConnectionsCount").value_or(0));
}

void ZELDownloadManagerDownload::setFailedConnectionsCount(int count) {
    setValueForKey("failedConnectionsCount", count);
}

std::optional<std::string> ZELDownloadManagerDownload::payLoad() {
    return stringForKey("payLoad");
}

std::optional<std::string> ZELDownloadManagerDownload::integrityTag() {
    return stringForKey("integrityTag");
}

std::optional<std::string> ZELDownloadManagerDownload::entityTag() {
    return stringForKey("entityTag");
}

std::optional<std::string> ZELDownloadManagerDownload::lastModified() {
    return stringForKey("lastModified");
}

std::optional<std::string> ZELDownloadManagerDownload::md5Hash() {
    return stringForKey("md5Hash");
}

void ZELDownloadManagerDownload::setServerTags(std::optional<std::string> integrityTag,
                                               std::optional<std::string> entityTag,
                                               std::optional<std::string> lastModified,
                                               std::optional<std::string> md5Hash) {
    auto value = [](std::optional<std::string>& text) {
        return text ? Value(std::move(*text)) : Value();
    };
    setValueForKey("integrityTag", value(integrityTag));
    setValueForKey("entityTag", value(entityTag));
    setValueForKey("lastModified", value(lastModified));
    setValueForKey("md5Hash", value(md5Hash));
}

double ZELDownloadManagerDownload::progress() {
    const auto bytes = bytesLoaded();
    const auto size = downloadSize();
    if (!bytes || !size || *size <= 0)
        return 0.0;
    const double reserved = progressReservedForPostProcessing();
    const double loaded =
        std::clamp(static_cast<double>(*bytes) / static_cast<double>(*size), 0.0, 1.0);
    const double post = postProcessingProgress().value_or(0.0);
    return std::clamp(loaded * (1.0 - reserved) + reserved * post, 0.0, 1.0);
}

std::string ZELDownloadManagerDownload::zipPath() {
    return destinationPath() + "/" + identifier() + "." + type() + ".zip";
}

std::string ZELDownloadManagerDownload::stagingPath() {
    return destinationPath() + "/" + identifier() + "." + type() + ".staging";
}

std::string ZELDownloadManagerDownload::stagedItemPath() {
    std::error_code ignored;
    std::filesystem::directory_iterator entries(stagingPath(), ignored);
    if (!ignored && entries != std::filesystem::directory_iterator())
        return entries->path().string();
    return stagingPath() + "/" + identifier();
}

std::string ZELDownloadManagerDownload::installPath() {
    return destinationPath() + "/" + identifier();
}
