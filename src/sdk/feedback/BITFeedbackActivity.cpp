#include "sdk/feedback/BITFeedbackActivity.h"

#include "Net/NSURL.h"
#include "UIKit/UINavigationController.h"
#include "sdk/BITImageHelpers.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITZizavaAttachment.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

bool isFeedbackItem(const std::any& item) {
    if (const auto* image = std::any_cast<std::shared_ptr<UIImage>>(&item))
        return *image != nullptr;
    if (const auto* attachment = std::any_cast<std::shared_ptr<BITZizavaAttachment>>(&item))
        return *attachment != nullptr;
    return std::any_cast<std::string>(&item) || std::any_cast<Value::Data>(&item) ||
           std::any_cast<NSURL>(&item);
}

}  // namespace

BITFeedbackActivity::BITFeedbackActivity(std::shared_ptr<BITFeedbackManager> manager) {
    if (!manager) {
        if (const auto front = BITZizavaManager::sharedZizavaManager())
            manager = std::dynamic_pointer_cast<BITFeedbackManager>(front->feedbackManager());
    }
    manager_ = manager;
}

std::string BITFeedbackActivity::activityType() const {
    return "UIActivityTypePostToZizavaSDKFeedback";
}

std::string BITFeedbackActivity::activityTitle() const {
    if (customActivityTitle_)
        return *customActivityTitle_;
    return bit_localizedStringWithFormat(
        "ZizavaFeedbackActivityButtonTitle",
        bit_appName(bit_localizedString("ZizavaFeedbackActivityAppPlaceholder")));
}

std::shared_ptr<UIImage> BITFeedbackActivity::activityImage() const {
    if (customActivityImage_)
        return customActivityImage_;
    return bit_bundleImage("feedbackActivity.png", "ZizavaSDKResources.bundle");
}

bool BITFeedbackActivity::canPerformWithActivityItems(const UIActivityItems& items) const {
    const auto front = BITZizavaManager::sharedZizavaManager();
    if ((front && front->isFeedbackManagerDisabled()) || manager_.expired())
        return false;
    for (const std::any& item : items) {
        if (isFeedbackItem(item))
            return true;
    }
    return false;
}

void BITFeedbackActivity::prepareWithActivityItems(const UIActivityItems& items) {
    for (const std::any& item : items) {
        if (isFeedbackItem(item))
            items_.push_back(item);
        else
            BITZizavaLogWarning("WARNING: Unknown item type %s", item.type().name());
    }
}

std::shared_ptr<UIViewController> BITFeedbackActivity::activityViewController() {
    if (activityViewController_)
        return activityViewController_;
    const auto manager = manager_.lock();
    if (!manager)
        return nullptr;
    auto composer = manager->feedbackComposeViewController();
    composer->setDelegate(
        std::dynamic_pointer_cast<BITFeedbackComposeViewControllerDelegate>(shared_from_this()));
    composer->prepareWithItems(items_);
    activityViewController_ =
        manager->customNavigationControllerWithRootViewControllerPresentationStyle(
            composer, UIModalPresentationFormSheet);
    activityViewController_->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    return activityViewController_;
}

bool BITFeedbackActivity::feedbackComposeViewControllerDidFinishWithResult(
    BITFeedbackComposeViewController&, BITFeedbackComposeResult result) {
    activityDidFinish(result == BITFeedbackComposeSubmitted);
    return true;
}
