#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "UIKit/UIAlertView.h"
#include "packages/ZELDownloadInstaller.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"

class CBMapStoreEngine;
class ZELDownloadManagerEngine;

// Keeps the catalogue current: a silent check of the server's catalogue
// ("mapStore.zip") at most once a week, a manual check with a waiting alert,
// the offer of a newer catalogue, and its download through the download
// engine (type "mapStore"), whose installer it is for that download: it
// validates the new catalogue before it replaces the one in use.
//
// Main thread. A check in flight, the offer and a queued catalogue download
// keep the updater alive until they end.
class CBMapStoreUpdater : public UIAlertViewDelegate,
                          public ZELDownloadManagerEngineDelegate,
                          public ZELDownloadInstaller,
                          public std::enable_shared_from_this<CBMapStoreUpdater> {
  public:
    static constexpr const char* kDownloadType = "mapStore";
    using Download = ZELDownloadManagerEngineDelegate::Download;
    static constexpr const char* kDownloadIdentifier = "mapStore";
    // The server date of the catalogue being downloaded.
    static constexpr const char* kPendingCatalogueDateKey = "MapStorePendingCatalogueDate";

    static constexpr const char* kPeriodicCheckDateKey = "MapStorePeriodicCheckDate";
    // The server's Last-Modified of the catalogue in use, once one was installed.
    static constexpr const char* kCatalogueDateKey = "MapStoreCatalogueDate";
    static constexpr double kPeriodicCheckInterval = 7 * 24 * 3600.0;

    // Joins the download engine's delegates.
    static std::shared_ptr<CBMapStoreUpdater> createWithDownloadManager(
        std::shared_ptr<ZELDownloadManagerEngine> downloadManager);
    explicit CBMapStoreUpdater(std::shared_ptr<ZELDownloadManagerEngine> downloadManager);
    ~CBMapStoreUpdater() override;

    void setMapStoreEngine(std::weak_ptr<CBMapStoreEngine> engine) { engine_ = std::move(engine); }
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager() const { return downloadManager_; }

    // When the last check is older than a week (or there was none).
    void startPeriodicUpdateIfNeeded();
    // At once, with the "CheckingForUpdates" alert while it runs. The stored
    // statistics are marked for refetching and stay in use until fresh ones
    // have arrived, so a check without a connection loses nothing.
    void startManualUpdate();

    // The date of the catalogue in use: the server date of the installed
    // update, else the bundled catalogue's file date.
    static std::optional<NSDate> installedCatalogueDate();
    // Installs the unpacked update (the download's post-processing): the
    // catalogue file itself, or a folder holding "mapStore.sqlite"; records
    // the server's date. false, with the catalogue in use untouched, when it
    // does not validate.
    bool installCatalogueFromStagedItem(const std::string& path, const std::optional<NSDate>& date);

    // The alert offering a newer catalogue, while it is shown.
    const std::shared_ptr<UIAlertView>& offerAlert() const { return offerAlert_; }
    const std::shared_ptr<UIAlertView>& checkingAlert() const { return checkingAlert_; }
    // A manual check the store did not answer: it says so and offers to
    // try again.
    const std::shared_ptr<UIAlertView>& retryAlert() const { return retryAlert_; }
    // The server date of the catalogue last offered.
    std::optional<NSDate> offeredCatalogueDate() const { return offeredDate_; }
    bool isChecking() const { return checking_; }

    // Queues the catalogue download of the offered (or given) server date;
    // this updater installs it.
    void startCatalogueDownload(const std::optional<NSDate>& date);

    void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override;
    void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                        const Download& download) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine& engine,
                                                               const std::string& identifier,
                                                               const std::string& type) override;

  private:
    void check(bool manual);
    void finishCheck(std::optional<NSDate> serverDate, bool answered, bool manual);
    void offerUpdate(NSDate serverDate);

    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::weak_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<UIAlertView> checkingAlert_;
    std::shared_ptr<UIAlertView> offerAlert_;
    std::shared_ptr<UIAlertView> retryAlert_;
    std::optional<NSDate> offeredDate_;
    bool checking_ = false;
    std::shared_ptr<CBMapStoreUpdater> keepAlive_;  // while a catalogue download is queued
};
