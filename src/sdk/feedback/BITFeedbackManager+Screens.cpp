#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIImage.h"
#include "sdk/BITImageHelpers.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"
#include "sdk/feedback/BITFeedbackListViewController.h"
#include "sdk/feedback/BITFeedbackManager.h"

std::shared_ptr<BITFeedbackListViewController> BITFeedbackManager::feedbackListViewController(
    bool modal) {
    return std::make_shared<BITFeedbackListViewController>(
        UITableViewStyleGrouped, modal,
        std::static_pointer_cast<BITFeedbackManager>(shared_from_this()));
}

void BITFeedbackManager::showFeedbackListView() {
    if (currentFeedbackListViewController()) {
        BITZizavaLogDebug("INFO: update view already visible, aborting");
        return;
    }
    scheduleOnMain(
        0, [](BITFeedbackManager& self) { self.showView(self.feedbackListViewController(true)); });
}

std::shared_ptr<BITFeedbackComposeViewController>
BITFeedbackManager::feedbackComposeViewController() {
    auto composer = std::make_shared<BITFeedbackComposeViewController>(
        std::static_pointer_cast<BITFeedbackManager>(shared_from_this()));
    const auto delegate = feedbackDelegate();
    if (delegate) {
        if (auto items = delegate->preparedItemsForFeedbackManager(*this))
            composer->prepareWithItems(*items);
    }
    composer->setHideImageAttachmentButton(feedbackComposeHideImageAttachmentButton_);
    composer->setDelegate(
        std::dynamic_pointer_cast<BITFeedbackComposeViewControllerDelegate>(delegate));
    return composer;
}

void BITFeedbackManager::showFeedbackComposeViewWithPreparedItems(const UIActivityItems& items) {
    if (currentFeedbackComposeViewController()) {
        BITZizavaLogDebug("INFO: Feedback view already visible, aborting");
        return;
    }
    auto composer = feedbackComposeViewController();
    composer->prepareWithItems(items);
    // Shown at once so that a second request before the next turn of the run
    // loop finds it current.
    setCurrentFeedbackComposeViewController(composer);
    scheduleOnMain(0, [composer](BITFeedbackManager& self) { self.showView(composer); });
}

void BITFeedbackManager::showFeedbackComposeViewWithGeneratedScreenshot() {
    showFeedbackComposeViewWithPreparedItems({bit_appScreenshot()});
}

void BITFeedbackManager::showNewMessageAlert() {
    if (incomingMessagesAlertShowing_)
        return;
    auto alert = std::make_shared<UIAlertView>(
        bit_localizedString("ZizavaFeedbackNewMessageTitle"),
        bit_localizedString("ZizavaFeedbackNewMessageText"),
        std::weak_ptr<UIAlertViewDelegate>(
            std::static_pointer_cast<BITFeedbackManager>(shared_from_this())),
        bit_localizedString("ZizavaFeedbackIgnore"),
        std::vector<std::string>{bit_localizedString("ZizavaFeedbackShow")});
    alert->setTag(0);
    alert->show();
    // Without a window to show it in, the next merge tries again.
    incomingMessagesAlertShowing_ = alert->isVisible();
}

void BITFeedbackManager::showMessageTooLargeAlert() {
    auto alert = std::make_shared<UIAlertView>(
        bit_localizedString("ZizavaFeedbackMessageTooLargeTitle"),
        bit_localizedString("ZizavaFeedbackMessageTooLargeText"),
        std::weak_ptr<UIAlertViewDelegate>(), bit_localizedString("ZizavaOK"));
    alert->show();
}

void BITFeedbackManager::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    incomingMessagesAlertShowing_ = false;
    if (index == alert.firstOtherButtonIndex())
        showFeedbackListView();
}
