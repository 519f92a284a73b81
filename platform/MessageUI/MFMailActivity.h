#pragma once

#include <memory>

#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIActivity.h"

// The share sheet's Mail: strings and URLs become the body, data and images
// attachments, in a mail composer. Available while a mail program is.
class MFMailActivity : public UIActivity, public MFMailComposeViewControllerDelegate {
  public:
    // Adds Mail to every share sheet's built-in activities (once).
    static void registerBuiltIn();

    std::string activityType() const override { return UIActivityTypeMail; }
    std::string activityTitle() const override { return "Mail"; }
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    std::shared_ptr<UIViewController> activityViewController() override;

    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                       MFMailComposeResult result,
                                                       const std::optional<NSError>&) override;

  private:
    std::shared_ptr<MFMailComposeViewController> composer_;
};
