#pragma once

#include <memory>
#include <optional>
#include <string>

#include "packages/ZELDownloadManagerEngineDelegate.h"
#include "packages/ZELDownloadStatus.h"

// Follows the download engine for the downloads of one type and tells, per
// identifier, the typed status as its phase, step or failure changes and as
// its progress moves. A download that has left the queue is told as what is
// left of it: installed or nothing. Whoever follows downloads is one: the
// registry of installed maps and the Wikipedia manager, whose screens hear
// them in turn.
//
// Main thread only, as the engine's messages.
class ZELDownloadStatusListener : public ZELDownloadManagerEngineDelegate {
  public:
    explicit ZELDownloadStatusListener(std::string downloadType);

    const std::string& downloadType() const { return downloadType_; }
    // The download of `identifier` as it stands: its status while one is
    // queued, else installed or nothing.
    ZELDownloadStatus downloadStatusForIdentifier(const std::optional<std::string>& identifier);

    void downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                   const ZELDownloadStatus& status,
                                                   const Download& download) override;
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine& engine, double,
                                                     const Download& download) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string& type) override;

  protected:
    // The engine whose queue is read; nullptr: nothing is queued.
    virtual std::shared_ptr<ZELDownloadManagerEngine> followedDownloadEngine() const = 0;
    // Whether what the identifier's downloads bring is installed.
    virtual bool hasInstalledIdentifier(const std::string& identifier) = 0;
    // The download left the queue, installed or cancelled; called before
    // the status that is left is told.
    virtual void downloadLeftQueueWithIdentifier(const std::string&) {}
    virtual void downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                                      const std::string& identifier) = 0;
    virtual void downloadProgressChangedToForIdentifier(const ZELDownloadStatus& status,
                                                        const std::string& identifier) = 0;

  private:
    std::string downloadType_;
};
