#include "packages/ZELDownloadFailureFile.h"

#include <filesystem>

#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

constexpr const char* kFailureKey = "failure";
constexpr const char* kDomainKey = "domain";
constexpr const char* kCodeKey = "code";
constexpr const char* kDescriptionKey = "description";

std::optional<ZELDownloadFailureFile::Entry> entryFromValue(const Value& value) {
    const Value* failure = value.get(kFailureKey);
    const Value* domain = value.get(kDomainKey);
    if (!failure || !failure->stringValue() || !domain || !domain->stringValue())
        return std::nullopt;
    ZELDownloadFailureFile::Entry entry;
    entry.failure = ZELDownloadFailureForName(*failure->stringValue());
    Value::Dictionary userInfo;
    if (const Value* description = value.get(kDescriptionKey);
        description && description->stringValue())
        userInfo[NSError::NSLocalizedDescriptionKey] = *description;
    const Value* code = value.get(kCodeKey);
    entry.error = NSError::errorWithDomain(*domain->stringValue(),
                                           code ? long(code->integerValue().value_or(0)) : 0,
                                           std::move(userInfo));
    return entry;
}

}  // namespace

std::string ZELDownloadFailureFile::pathForQueueStore(const std::string& storePath) {
    return std::filesystem::path(storePath).replace_extension(".failures.plist").string();
}

ZELDownloadFailureFile::ZELDownloadFailureFile(std::string path) : path_(std::move(path)) {
    std::error_code ignored;
    if (!std::filesystem::exists(path_, ignored))
        return;
    NSError error;
    const auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path_, &error);
    const Value::Dictionary* entries = plist ? plist->dictionaryValue() : nullptr;
    if (!entries) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Download failures %s unreadable (%s): failed downloads show no reason",
                       path_.c_str(), plist ? "not a dictionary" : error.description().c_str());
        // Written anew at the next change or check.
        unreadable_ = true;
        return;
    }
    for (const auto& [key, value] : *entries) {
        if (auto entry = entryFromValue(value))
            entries_[key] = std::move(*entry);
    }
}

std::string ZELDownloadFailureFile::keyForDownload(const std::string& type,
                                                   const std::string& identifier) {
    return type + "/" + identifier;
}

std::optional<ZELDownloadFailureFile::Entry> ZELDownloadFailureFile::entryForDownload(
    const std::string& type, const std::string& identifier) const {
    const auto found = entries_.find(keyForDownload(type, identifier));
    if (found == entries_.end())
        return std::nullopt;
    return found->second;
}

void ZELDownloadFailureFile::setEntryForDownload(const std::string& type,
                                                 const std::string& identifier,
                                                 const Entry& entry) {
    entries_[keyForDownload(type, identifier)] = entry;
    write();
}

void ZELDownloadFailureFile::removeEntryForDownload(const std::string& type,
                                                    const std::string& identifier) {
    if (entries_.erase(keyForDownload(type, identifier)))
        write();
}

void ZELDownloadFailureFile::keepOnlyEntries(const std::set<std::string>& keys) {
    bool changed = false;
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        if (keys.count(entry->first)) {
            ++entry;
        } else {
            entry = entries_.erase(entry);
            changed = true;
        }
    }
    if (changed || unreadable_)
        write();
}

void ZELDownloadFailureFile::write() {
    unreadable_ = false;
    std::error_code ignored;
    if (entries_.empty()) {
        std::filesystem::remove(path_, ignored);
        return;
    }
    Value::Dictionary plist;
    for (const auto& [key, entry] : entries_) {
        plist[key] = Value::Dictionary{
            {kFailureKey, ZELDownloadFailureName(entry.failure)},
            {kDomainKey, entry.error.domain},
            {kCodeKey, entry.error.code},
            {kDescriptionKey, entry.error.localizedDescription()},
        };
    }
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            plist, path_, NSPropertyListSerialization::Format::XML, &error))
        NSLogWithLevel(NSLogLevel::Warning, "Download failures %s not written: %s", path_.c_str(),
                       error.description().c_str());
}
