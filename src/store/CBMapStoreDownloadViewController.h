#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UITableViewController.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"

class CBMapStoreDownloadCell;
class CBMapStoreEngine;
class CBMapStoreUpdater;
class CBUserMapStoreEngine;
class UITableViewCell;
class ZELDownloadManagerEngine;
struct ZELDownloadStatus;

// The store's downloads tab: the engine's queue in its order (maps,
// Wikipedia packages and catalogue updates), each row with title, cover,
// state, progress and a cancel button; a bar button pauses, resumes or
// retries the queue, the tab badge counts the queue, and the footer button checks the
// server for a newer catalogue. It follows the engine's queue and shows each
// row by the engine's typed status of its download, in the words the detail
// screen and the shelf use (CBDownloadStatusText).
class CBMapStoreDownloadViewController : public UITableViewController,
                                         public ZELDownloadManagerEngineDelegate {
  public:
    using Download = ZELDownloadManagerEngineDelegate::Download;

    // Registers the screen with the engine; it leaves when destroyed.
    static std::shared_ptr<CBMapStoreDownloadViewController> createWithDownloadManager(
        std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
        std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    CBMapStoreDownloadViewController(std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
                                     std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    ~CBMapStoreDownloadViewController() override;

    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    std::shared_ptr<CBMapStoreEngine> mapStoreEngine() const { return mapStoreEngine_.lock(); }
    void setMapStoreEngine(std::weak_ptr<CBMapStoreEngine> engine) {
        mapStoreEngine_ = std::move(engine);
    }

    // The rows: a snapshot of the engine's queue; nullopt while off screen.
    const std::optional<std::vector<Download>>& queue() const { return queue_; }
    void reloadDataAndTable(bool reloadTable);
    Download downloadAtIndexPath(const NSIndexPath& indexPath) const;
    void setDownloadButtonTitle();
    void toggleDownload();
    void updateBadgeValue();
    void updateCellForDownload(const Download& download);
    void updateCellForProgressOfDownload(const Download& download);
    void configureCellAtIndexPath(std::shared_ptr<UITableViewCell> cell,
                                  const NSIndexPath& indexPath);
    void updateProgressForCellAtIndexPath(const std::shared_ptr<UITableViewCell>& cell,
                                          const NSIndexPath& indexPath);
    // Cancels the queued download of that identifier and type, wherever its
    // row is now.
    void cancelDownload(const std::string& identifier, const std::string& type);
    void updateMapStore();
    const std::shared_ptr<CBMapStoreUpdater>& lastUpdater() const { return updater_; }

    // The alert of a failed download, shown by the screens that start them:
    // a lost connection asks to check it, another failure says its reason.
    // One failure is one alert: while the alert is up, the other screens
    // that follow the same download add none.
    static void showFailedMessageForIndividualDownload(const ZELDownloadStatus& status);
    // What the bar button does: pause what loads, resume a held or waiting
    // queue, or retry the failed downloads when nothing else is left; while
    // only installs run (they cannot be paused) it does nothing and reads
    // "Pause", dimmed.
    enum class QueueAction { Pause, Resume, Retry, None };
    QueueAction queueAction() const;
    // The bar button's title and state, without reloading the rows.
    void updateQueueButton();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override;
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, long) override;

    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerWillRemove(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string&,
                                                               const std::string&) override;
    void downloadManagerDidCancelDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string&,
                                                               const std::string&) override;
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&, double,
                                                     const Download&) override;
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerWillPauseLoading(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                   const Download&) override;
    void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                          const Download&) override;
    void downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                   const ZELDownloadStatus&,
                                                   const Download& download) override;
    void downloadManagerDidChangeResumeDisabledStateTo(ZELDownloadManagerEngine&, bool) override;

  private:
    std::optional<long> rowOfDownload(const Download& download) const;
    std::optional<NSIndexPath> visibleRowOfDownload(const Download& download) const;

    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::weak_ptr<CBMapStoreEngine> mapStoreEngine_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::optional<std::vector<Download>> queue_;
    std::shared_ptr<CBMapStoreUpdater> updater_;
};
