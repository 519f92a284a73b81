#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIActivity.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"

class BITFeedbackManager;
class UINavigationController;

// A share-sheet activity that turns what is shared (texts, images, data,
// URLs, SDK attachments) into a feedback message to the developer.
class BITFeedbackActivity : public UIActivity, public BITFeedbackComposeViewControllerDelegate {
  public:
    // Without a manager the front's feedback manager is used.
    explicit BITFeedbackActivity(std::shared_ptr<BITFeedbackManager> manager = nullptr);

    std::string activityType() const override;
    std::string activityTitle() const override;
    std::shared_ptr<UIImage> activityImage() const override;
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    // The composer with the prepared items, made on the first call.
    std::shared_ptr<UIViewController> activityViewController() override;
    bool feedbackComposeViewControllerDidFinishWithResult(BITFeedbackComposeViewController&,
                                                          BITFeedbackComposeResult result) override;

    const std::shared_ptr<UIImage>& customActivityImage() const { return customActivityImage_; }
    void setCustomActivityImage(std::shared_ptr<UIImage> image) {
        customActivityImage_ = std::move(image);
    }
    const std::optional<std::string>& customActivityTitle() const { return customActivityTitle_; }
    void setCustomActivityTitle(std::optional<std::string> title) {
        customActivityTitle_ = std::move(title);
    }
    const UIActivityItems& items() const { return items_; }

  private:
    std::shared_ptr<UINavigationController> activityViewController_;
    std::shared_ptr<UIImage> customActivityImage_;
    std::optional<std::string> customActivityTitle_;
    UIActivityItems items_;
    std::weak_ptr<BITFeedbackManager> manager_;
};
