#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "Foundation/NSError.h"
#include "packages/ZELDownloadStatus.h"

// Why queued downloads failed, kept in a property list beside the queue
// store, so that a failed download still tells its reason after the program
// restarted. The queue store keeps its schema: stores written before open
// unchanged, and a missing or damaged side file only loses the reasons.
//
// One entry per download, keyed by type and identifier, with the failure's
// name and the error (domain, code, description). Main thread only, like the
// engine; every change is written at once (atomically).
class ZELDownloadFailureFile {
  public:
    struct Entry {
        ZELDownloadFailure failure = ZELDownloadFailure::Unknown;
        NSError error;
    };

    // "<dir>/DownloadManagerQueue.sqlite" -> "<dir>/DownloadManagerQueue.failures.plist"
    static std::string pathForQueueStore(const std::string& storePath);

    // Reads the file when there is one.
    explicit ZELDownloadFailureFile(std::string path);

    std::optional<Entry> entryForDownload(const std::string& type,
                                          const std::string& identifier) const;
    void setEntryForDownload(const std::string& type, const std::string& identifier,
                             const Entry& entry);
    void removeEntryForDownload(const std::string& type, const std::string& identifier);
    // Forgets the entries of downloads no longer queued (keys of
    // keyForDownload).
    void keepOnlyEntries(const std::set<std::string>& keys);
    static std::string keyForDownload(const std::string& type, const std::string& identifier);

  private:
    void write();

    std::string path_;
    std::map<std::string, Entry> entries_;
    bool unreadable_ = false;
};
