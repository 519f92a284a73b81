// The shelf's actions: delete and info from edit mode, the store, the
// settings, opening a map, the server's notice and the review request.
#include <algorithm>

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UIApplication.h"
#include "model/CBCurrentMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBServerNotificationController.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfHost.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBDownloadStatusText.h"
#include "store/CBMapStorePage.h"
#include "uiadditions/UIApplication+SafeURL.h"
#include "widgets/UIAlertView+NoEmailAccount.h"

namespace {
std::string formatWithName(const std::string& key, const std::string& name) {
    const NSFormatArgument argument(name);
    return NSStringWithFormat(NSLocalizedString(key), {&argument, 1}).value_or(name);
}

}  // namespace

void CBMapShelfViewController::showAlert(std::shared_ptr<UIAlertView> alert) {
    alert_ = std::move(alert);
    alert_->show();
}

void CBMapShelfViewController::deleteMapForButton(const UIView& button) {
    if (auto path = mapIndexPathForViewWithTag(button.tag()))
        deleteMap(mapAtIndexPath(*path));
}

void CBMapShelfViewController::deleteMap(const Map& map) {
    if (!map)
        return;
    // While the engine unpacks or installs the package (or must still finish
    // installing it) its files are in use: deleting the map then would let
    // the install bring it back or work on removed files.
    if (registry_->downloadStatusForMapIdentifier(map->identifier()).holdsPackage()) {
        showAlert(std::make_shared<UIAlertView>(
            NSLocalizedString("CannotDeleteExtractingMapTitle"),
            formatWithName("CannotDeleteExtractingMapMessage", map->localName()),
            std::weak_ptr<UIAlertViewDelegate>(), NSLocalizedString("Cancel")));
        return;
    }
    auto alert = std::make_shared<UIAlertView>(
        NSLocalizedString("Delete map"), formatWithName("DeleteMapMessageFormat", map->localName()),
        std::weak_ptr<UIAlertViewDelegate>(self()), NSLocalizedString("Cancel"),
        std::vector<std::string>{NSLocalizedString("Delete")});
    alert->setTag(kDeleteAlertTag);
    alert->setDestructiveButtonIndex(alert->firstOtherButtonIndex());
    mapToDelete_ = map;
    showAlert(alert);
}

void CBMapShelfViewController::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    if (alert.tag() == kGoOnWithDownloadAlertTag) {
        auto map = std::move(mapToGoOnWith_);
        mapToGoOnWith_.reset();
        if (map && index != alert.cancelButtonIndex())
            registry_->downloadOrRetryMap(map);
        return;
    }
    if (alert.tag() == kDownloadAgainAlertTag) {
        auto map = std::move(mapToDownloadAgain_);
        mapToDownloadAgain_.reset();
        if (map && index != alert.cancelButtonIndex() && !registry_->downloadOrRetryMap(map))
            showAlert(std::make_shared<UIAlertView>(
                NSLocalizedString("downloadFailed"),
                formatWithName("MapNotInStoreMessageFormat", map->localName()),
                std::weak_ptr<UIAlertViewDelegate>(), NSLocalizedString("OK")));
        return;
    }
    if (alert.tag() == kReviewRequestAlertTag) {
        answerReviewRequest(index);
        return;
    }
    if (alert.tag() != kDeleteAlertTag)
        return;
    auto map = std::move(mapToDelete_);
    mapToDelete_.reset();
    if (index != alert.cancelButtonIndex() && map)
        registry_->deleteMap(map);
}

void CBMapShelfViewController::fireAutoReviewRequestIfPossible() {
    auto host = host_.lock();
    if (!host || !maps_ || maps_->size() < kMapsBeforeReviewRequest || !host->canAskForAutoreview())
        return;
    auto alert = std::make_shared<UIAlertView>(
        NSLocalizedString("ReviewRequestTitle"), NSLocalizedString("ReviewRequestMessage"),
        std::weak_ptr<UIAlertViewDelegate>(self()), NSLocalizedString("Cancel"),
        std::vector<std::string>{NSLocalizedString("ReviewRequestWriteReview"),
                                 NSLocalizedString("ReviewRequestFeedback")});
    alert->setTag(kReviewRequestAlertTag);
    showAlert(alert);
    host->setAskedForAutoreview(true);
}

void CBMapShelfViewController::answerReviewRequest(long index) {
    constexpr long kWriteReview = 1;
    constexpr long kFeedback = 2;
    auto host = host_.lock();
    if (!host)
        return;
    if (index == kWriteReview) {
        openURLSafe_zel(UIApplication::sharedApplication(), host->reviewPageURL());
    } else if (index == kFeedback) {
        if (!MFMailComposeViewController::canSendMail()) {
            showAlert(KelvaraSupport::cb_cannotSendEmailAlert());
            return;
        }
        auto mail = host->supportMailViewController();
        mail->setMailComposeDelegate(self());
        presentViewControllerAnimatedCompletion(mail, true, nullptr);
    }
}

void CBMapShelfViewController::mailComposeControllerDidFinishWithResultError(
    MFMailComposeViewController&, MFMailComposeResult, const std::optional<NSError>&) {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBMapShelfViewController::showInfoForButton(const UIView& button) {
    if (auto path = mapIndexPathForViewWithTag(button.tag()))
        showInfoForMap(mapAtIndexPath(*path));
}

void CBMapShelfViewController::showInfoForMap(const Map& map) {
    CBMapStorePage::presentOverViewController(*this, map, downloadManager_, registry_,
                                              wikipedia_.manager);
}

void CBMapShelfViewController::done() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBMapShelfViewController::openStore() {
    setEditingAnimated(false, false);
    auto store = CBMapStoreController::create(downloadManager_, registry_);
    store->setWikipediaManager(wikipedia_.manager);
    store->setMapStoreDelegate(self());
    presentViewControllerAnimatedCompletion(store, true, nullptr);
}

void CBMapShelfViewController::hideMapStoreController(CBMapStoreController&) {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBMapShelfViewController::openSettings() {
    auto host = host_.lock();
    if (auto settings = host ? host->settingsController() : nullptr)
        presentViewControllerAnimatedCompletion(settings, true, nullptr);
}

void CBMapShelfViewController::openMapWithFancyAnimation(const Map& map, bool) {
    if (!map || isEditing())
        return;
    // An update loads beside the installed files, which open as they are.
    if (map->isDownloading() && !CBCurrentMap::installedStorePath(map)) {
        const auto status = registry_->downloadStatusForMapIdentifier(map->identifier());
        if (status.phase == ZELDownloadPhase::Paused || status.phase == ZELDownloadPhase::Failed)
            askToGoOnWithDownloadOfMap(map, status);
        else
            showAlert(std::make_shared<UIAlertView>(NSLocalizedString("MapLoadingCantOpenTitle"),
                                                    NSLocalizedString("MapLoadingCantOpenMessage"),
                                                    std::weak_ptr<UIAlertViewDelegate>(),
                                                    std::string("OK")));
        return;
    }
    if (registry_->checkMapIsDamaged(map)) {
        if (auto cell = mapShelfCellForIdentifier(*map->identifier()))
            configureMapCell(*cell, map);
        askToDownloadDamagedMapAgain(map);
        return;
    }
    registry_->setCurrentMap(map);
    if (auto path = indexPathForMap(map))
        presentMapViewControllerFromIndexPath(*path);
}

void CBMapShelfViewController::askToDownloadDamagedMapAgain(const Map& map) {
    auto alert = std::make_shared<UIAlertView>(
        NSLocalizedString("MapDamagedTitle"),
        formatWithName("MapDamagedMessageFormat", map->localName()),
        std::weak_ptr<UIAlertViewDelegate>(self()), NSLocalizedString("Cancel"),
        std::vector<std::string>{NSLocalizedString("DownloadAgain")});
    alert->setTag(kDownloadAgainAlertTag);
    mapToDownloadAgain_ = map;
    showAlert(alert);
}

// The cover of a stopped download says why and offers to go on: a paused one
// resumes, a failed one is retried from the bytes it has.
void CBMapShelfViewController::askToGoOnWithDownloadOfMap(const Map& map,
                                                          const ZELDownloadStatus& status) {
    const std::string name = map->localName();
    std::string title, message, action;
    if (status.phase == ZELDownloadPhase::Paused) {
        title = NSLocalizedString("MapDownloadPausedTitle");
        message = formatWithName("MapDownloadPausedMessageFormat", name);
        action = NSLocalizedString("Resume");
    } else {
        title = NSLocalizedString("downloadFailed");
        const auto reason = CBDownloadStatusText::failureReason(status.failure);
        const std::string advice = CBDownloadStatusText::failureAdvice(status.failure);
        message = reason
                      ? NSLocalizedFormat("MapDownloadFailedMessageFormat", {name, *reason, advice})
                      : NSLocalizedFormat("MapDownloadFailedUnknownMessageFormat", {name, advice});
        action = NSLocalizedString("Retry");
    }
    auto alert = std::make_shared<UIAlertView>(
        title, message, std::weak_ptr<UIAlertViewDelegate>(self()), NSLocalizedString("Cancel"),
        std::vector<std::string>{action});
    alert->setTag(kGoOnWithDownloadAlertTag);
    mapToGoOnWith_ = map;
    showAlert(alert);
}

void CBMapShelfViewController::requestServerNotification() {
    auto url = CBMapStoreURLManager::stringForServerNotificationURL();
    if (!url)
        return;
    auto notice = std::make_shared<CBServerNotificationController>(*url);
    notice->setMainViewController(self());
    notice->start();
}
