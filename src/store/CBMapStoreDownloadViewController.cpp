#include "store/CBMapStoreDownloadViewController.h"

#include <algorithm>

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITableView.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreUpdater.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBDownloadStatusText.h"
#include "store/CBMapStoreDownloadCell.h"
#include "widgets/CBButtonGridView.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

}  // namespace

std::shared_ptr<CBMapStoreDownloadViewController>
CBMapStoreDownloadViewController::createWithDownloadManager(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine) {
    auto screen = std::make_shared<CBMapStoreDownloadViewController>(std::move(downloadManager),
                                                                     std::move(userMapStoreEngine));
    screen->downloadManager_->addDelegate(screen);
    return screen;
}

CBMapStoreDownloadViewController::CBMapStoreDownloadViewController(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine)
    : UITableViewController(UITableViewStyleGrouped),
      downloadManager_(std::move(downloadManager)),
      userMapStoreEngine_(std::move(userMapStoreEngine)) {
    setTitle(NSLocalizedString("DownloadsVCTitle"));
    auto item = std::make_shared<UITabBarItem>(UITabBarSystemItemDownloads, 3);
    setTabBarItem(item);
    updateBadgeValue();
}

CBMapStoreDownloadViewController::~CBMapStoreDownloadViewController() = default;

void CBMapStoreDownloadViewController::viewDidLoad() {
    tableView()->setRowHeight(66);
    navigationItem()->setLeftBarButtonItem(std::make_shared<UIBarButtonItem>(
        NSLocalizedString("Resume"), UIBarButtonItemStyleBordered,
        [weak = weak_from_this()](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<CBMapStoreDownloadViewController>(weak.lock()))
                self->toggleDownload();
        }));
    setDownloadButtonTitle();

    auto footer = std::make_shared<CBButtonGridView>(CGRectMake(0, 0, 320, 100));
    footer->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    footer->setBackgroundColor(UIColor::clearColor());
    auto button = std::make_shared<ZELRoundedGradientButton>(CGRectMake(20, 60, 280, 40), 2);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    button->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                UIViewAutoresizingFlexibleRightMargin |
                                UIViewAutoresizingFlexibleTopMargin);
    button->setTitleForState(NSLocalizedString("UpdateMapStore"), UIControlStateNormal);
    button->addTargetForControlEvents(
        [weak = weak_from_this()](UIControl&) {
            if (auto self = std::static_pointer_cast<CBMapStoreDownloadViewController>(weak.lock()))
                self->updateMapStore();
        },
        UIControlEventTouchUpInside);
    footer->addButton(button);
    tableView()->setTableFooterView(footer);
}

void CBMapStoreDownloadViewController::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    reloadDataAndTable(true);
}

void CBMapStoreDownloadViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

void CBMapStoreDownloadViewController::viewWillDisappear(bool animated) {
    UITableViewController::viewWillDisappear(animated);
    queue_.reset();
}

void CBMapStoreDownloadViewController::reloadDataAndTable(bool reloadTable) {
    queue_ = downloadManager_->currentQueue().value_or(std::vector<Download>{});
    if (reloadTable && isViewLoaded())
        tableView()->reloadData();
}

CBMapStoreDownloadViewController::Download CBMapStoreDownloadViewController::downloadAtIndexPath(
    const NSIndexPath& indexPath) const {
    if (!queue_ || indexPath.row < 0 || indexPath.row >= long(queue_->size()))
        return nullptr;
    return (*queue_)[size_t(indexPath.row)];
}

CBMapStoreDownloadViewController::QueueAction CBMapStoreDownloadViewController::queueAction()
    const {
    if (downloadManager_->isDownloading())
        return QueueAction::Pause;
    bool failed = false;
    bool waiting = downloadManager_->isPaused();
    for (const auto& download :
         downloadManager_->currentQueue().value_or(std::vector<Download>{})) {
        const ZELDownloadStatus status = downloadManager_->statusForDownload(download);
        waiting |= status.isWaiting() || status.phase == ZELDownloadPhase::Paused;
        failed |= status.phase == ZELDownloadPhase::Failed;
    }
    if (waiting)
        return QueueAction::Resume;
    // Only failed downloads are left to go on with, or only installs run.
    return failed ? QueueAction::Retry : QueueAction::None;
}

void CBMapStoreDownloadViewController::setDownloadButtonTitle() {
    updateQueueButton();
    reloadDataAndTable(true);
}

void CBMapStoreDownloadViewController::updateQueueButton() {
    auto item = isViewLoaded() ? navigationItem()->leftBarButtonItem() : nullptr;
    if (!item)
        return;
    size_t length = downloadManager_->currentQueueLength();
    const QueueAction action = length != 0 ? queueAction() : QueueAction::Resume;
    const char* title = action == QueueAction::Retry    ? "Retry"
                        : action == QueueAction::Resume ? "Resume"
                                                        : "Pause";
    item->setTitle(NSLocalizedString(title));
    item->setEnabled(length != 0 && action != QueueAction::None &&
                     !downloadManager_->isResumeDisabled());
}

void CBMapStoreDownloadViewController::toggleDownload() {
    switch (queueAction()) {
        case QueueAction::Pause:
            downloadManager_->pauseDownloads();
            break;
        case QueueAction::Retry:
            for (const auto& download :
                 downloadManager_->currentQueue().value_or(std::vector<Download>{})) {
                if (downloadManager_->statusForDownload(download).phase == ZELDownloadPhase::Failed)
                    downloadManager_->retryDownload(download);
            }
            break;
        case QueueAction::Resume:
            downloadManager_->resumeDownloads();
            break;
        case QueueAction::None:
            break;
    }
    setDownloadButtonTitle();
}

void CBMapStoreDownloadViewController::updateBadgeValue() {
    size_t length = downloadManager_->currentQueueLength();
    tabBarItem()->setBadgeValue(length ? std::optional(std::to_string(length)) : std::nullopt);
    setDownloadButtonTitle();
}

std::optional<long> CBMapStoreDownloadViewController::rowOfDownload(const Download& d) const {
    if (!queue_ || !d)
        return std::nullopt;
    auto found = std::find(queue_->begin(), queue_->end(), d);
    if (found == queue_->end())
        return std::nullopt;
    return long(found - queue_->begin());
}

std::optional<NSIndexPath> CBMapStoreDownloadViewController::visibleRowOfDownload(
    const Download& download) const {
    auto row = rowOfDownload(download);
    if (!row || !isViewLoaded())
        return std::nullopt;
    return NSIndexPath::indexPathForRowInSection(*row, 0);
}

void CBMapStoreDownloadViewController::updateCellForDownload(const Download& download) {
    if (auto path = visibleRowOfDownload(download))
        if (auto cell = tableView()->cellForRowAtIndexPath(*path))
            configureCellAtIndexPath(cell, *path);
}

void CBMapStoreDownloadViewController::updateCellForProgressOfDownload(const Download& download) {
    if (auto path = visibleRowOfDownload(download))
        if (auto cell = tableView()->cellForRowAtIndexPath(*path))
            updateProgressForCellAtIndexPath(cell, *path);
}

void CBMapStoreDownloadViewController::configureCellAtIndexPath(
    std::shared_ptr<UITableViewCell> cell, const NSIndexPath& indexPath) {
    if (!cell && isViewLoaded())
        cell = tableView()->cellForRowAtIndexPath(indexPath);
    auto downloadCell = std::dynamic_pointer_cast<CBMapStoreDownloadCell>(cell);
    auto download = downloadAtIndexPath(indexPath);
    if (!downloadCell || !download)
        return;
    downloadCell->textLabel()->setText(download->title().value_or(""));
    const ZELDownloadStatus status = downloadManager_->statusForDownload(download);
    downloadCell->detailTextLabel()->setText(CBDownloadStatusText::stateText(status));
    downloadCell->detailTextLabel()->setTextColor(CBDownloadStatusText::stateColor(status));

    // What the engine is unpacking or installing cannot be cancelled.
    downloadCell->setShowsCancelButton(status.phase != ZELDownloadPhase::Installed &&
                                       !status.holdsPackage());
    if (auto button = downloadCell->cancelButton()) {
        // The button names its download, not its row: rows move when others go.
        button->setTag(indexPath.row);
        button->setAccessibilityLabel("cancel " + download->identifier());
        button->addTargetForControlEvents(
            [weak = weak_from_this(), identifier = download->identifier(),
             type = download->type()](UIControl&) {
                if (auto self =
                        std::static_pointer_cast<CBMapStoreDownloadViewController>(weak.lock()))
                    self->cancelDownload(identifier, type);
            },
            UIControlEventTouchUpInside);
    }

    std::shared_ptr<UIImage> cover;
    if (userMapStoreEngine_) {
        if (auto map = userMapStoreEngine_->mapForIdentifier(download->identifier())) {
            cover = map->coverImage;
            if (!cover) {
                auto weak = weak_from_this();
                cover = userMapStoreEngine_->coverImageForMapCompletion(
                    map, [weak, indexPath](const std::shared_ptr<UIImage>&) {
                        if (auto self = std::static_pointer_cast<CBMapStoreDownloadViewController>(
                                weak.lock()))
                            self->configureCellAtIndexPath(nullptr, indexPath);
                    });
            }
        }
    }
    downloadCell->imageView()->setImage(cover);
    downloadCell->secondaryImageView()->setImage(
        download->type() == "wikipedia" ? UIImage::imageNamed("download-wiki") : nullptr);
    downloadCell->progressView()->setProgress(float(status.progress));
    downloadCell->setNeedsLayout();
}

void CBMapStoreDownloadViewController::updateProgressForCellAtIndexPath(
    const std::shared_ptr<UITableViewCell>& cell, const NSIndexPath& indexPath) {
    auto downloadCell = std::dynamic_pointer_cast<CBMapStoreDownloadCell>(cell);
    auto download = downloadAtIndexPath(indexPath);
    if (!downloadCell || !download)
        return;
    const ZELDownloadStatus status = downloadManager_->statusForDownload(download);
    // Loading and installing rows tell how far they are on every step.
    if (status.phase == ZELDownloadPhase::Loading || status.isInstalling())
        downloadCell->detailTextLabel()->setText(CBDownloadStatusText::stateText(status));
    downloadCell->progressView()->setProgress(float(status.progress));
}

void CBMapStoreDownloadViewController::cancelDownload(const std::string& identifier,
                                                      const std::string& type) {
    if (auto download = downloadManager_->downloadForIdentifierOfType(identifier, type))
        downloadManager_->cancelDownloads({download});
}

void CBMapStoreDownloadViewController::updateMapStore() {
    updater_ = CBMapStoreUpdater::createWithDownloadManager(downloadManager_);
    updater_->setMapStoreEngine(mapStoreEngine_);
    updater_->startManualUpdate();
}

void CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(
    const ZELDownloadStatus& status) {
    static std::weak_ptr<UIAlertView> shown;
    if (auto up = shown.lock(); up && up->isVisible())
        return;
    const auto reason = CBDownloadStatusText::failureReason(status.failure);
    std::shared_ptr<UIAlertView> alert;
    if (status.failure == ZELDownloadFailure::ConnectionLost) {
        alert = std::make_shared<UIAlertView>(
            NSLocalizedString("ConnectionErrorTitle"),
            NSLocalizedString("MapStoreDetailConnectionErrorMessage"),
            std::weak_ptr<UIAlertViewDelegate>(), NSLocalizedString("OK"));
    } else {
        const std::string advice = CBDownloadStatusText::failureAdvice(status.failure);
        alert = std::make_shared<UIAlertView>(
            NSLocalizedString("downloadFailed"),
            reason ? NSLocalizedFormat("DownloadFailedMessageFormat", {*reason, advice})
                   : NSLocalizedFormat("DownloadFailedUnknownMessageFormat", {advice}),
            std::weak_ptr<UIAlertViewDelegate>(), NSLocalizedString("OK"));
    }
    alert->show();
    shown = alert;
}

long CBMapStoreDownloadViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
    return queue_ ? long(queue_->size()) : 0;
}

std::shared_ptr<UITableViewCell> CBMapStoreDownloadViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<CBMapStoreDownloadCell>(kCellIdentifier);
        cell->detailTextLabel()->setText(" ");
    }
    auto download = downloadAtIndexPath(indexPath);
    if (download && !download->isDeleted())
        configureCellAtIndexPath(cell, indexPath);
    return cell;
}

std::optional<std::string> CBMapStoreDownloadViewController::tableViewTitleForFooterInSection(
    UITableView&, long) {
    if (queue_ && !queue_->empty())
        return std::nullopt;
    return "\n\n\n" + NSLocalizedString("NoCurrentDownloads") + "\n\n\n";
}

void CBMapStoreDownloadViewController::downloadManagerDidAdd(ZELDownloadManagerEngine&,
                                                             const Download&) {
    if (queue_)
        reloadDataAndTable(true);
    updateBadgeValue();
}

void CBMapStoreDownloadViewController::downloadManagerWillRemove(ZELDownloadManagerEngine&,
                                                                 const Download& download) {
    if (!download || !queue_)
        return;
    auto row = rowOfDownload(download);
    if (!row) {
        reloadDataAndTable(true);
        return;
    }
    auto rows = *queue_;
    rows.erase(rows.begin() + *row);
    queue_ = std::move(rows);
    if (isViewLoaded())
        tableView()->deleteRowsAtIndexPathsWithRowAnimation(
            {NSIndexPath::indexPathForRowInSection(*row, 0)}, UITableViewRowAnimationFade);
}

void CBMapStoreDownloadViewController::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string&, const std::string&) {
    updateBadgeValue();
}

void CBMapStoreDownloadViewController::downloadManagerDidCancelDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string&, const std::string&) {
    if (isViewLoaded())
        tableView()->reloadData();
}

void CBMapStoreDownloadViewController::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine&, double, const Download& download) {
    updateCellForProgressOfDownload(download);
}

void CBMapStoreDownloadViewController::downloadManagerWillStartLoading(ZELDownloadManagerEngine&,
                                                                       const Download& download) {
    setDownloadButtonTitle();
    updateCellForDownload(download);
}

void CBMapStoreDownloadViewController::downloadManagerWillPauseLoading(ZELDownloadManagerEngine&,
                                                                       const Download& download) {
    updateCellForDownload(download);
    setDownloadButtonTitle();
}

void CBMapStoreDownloadViewController::downloadManagerFailedToLoadDownload(
    ZELDownloadManagerEngine&, const Download& download) {
    updateCellForDownload(download);
}

void CBMapStoreDownloadViewController::downloadManagerWillStartUnzippingDownload(
    ZELDownloadManagerEngine&, const Download& download) {
    updateCellForDownload(download);
}

void CBMapStoreDownloadViewController::downloadManagerDidStartPostProcessingForDownload(
    ZELDownloadManagerEngine&, const Download& download) {
    updateCellForDownload(download);
}

// A download that fails, or stops loading to be unpacked, changes what the
// bar button can do.
void CBMapStoreDownloadViewController::downloadManagerChangedStatusToForDownload(
    ZELDownloadManagerEngine&, const ZELDownloadStatus&, const Download& download) {
    updateQueueButton();
    updateCellForDownload(download);
}

void CBMapStoreDownloadViewController::downloadManagerDidChangeResumeDisabledStateTo(
    ZELDownloadManagerEngine&, bool) {
    updateQueueButton();
}
