#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "UIKit/UIActivity.h"

class BITFeedbackManager;

// What the host may tell the feedback manager. Every method is optional:
// nullopt means the delegate does not answer.
class BITFeedbackManagerDelegate {
  public:
    virtual ~BITFeedbackManagerDelegate() = default;

    // Items (texts, URLs, images, data, attachments) added to every new composer.
    virtual std::optional<UIActivityItems> preparedItemsForFeedbackManager(BITFeedbackManager&) {
        return std::nullopt;
    }
    // YES: the next message opens a new thread.
    virtual std::optional<bool> forceNewFeedbackThreadForFeedbackManager(BITFeedbackManager&) {
        return std::nullopt;
    }
    virtual void feedbackManagerDidReceiveNewFeedback(BITFeedbackManager&) {}
    // NO suppresses the automatic refresh.
    virtual std::optional<bool> allowAutomaticFetchingForNewFeedbackForManager(
        BITFeedbackManager&) {
        return std::nullopt;
    }
};
