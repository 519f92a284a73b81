#pragma once

#include <memory>

#include "UIKit/UIViewController.h"

class MFMailComposeViewController;
class UITextField;
class UITextView;

// The composer's screen: To, Cc and Subject fields over the body, Cancel
// and Send in the navigation bar. What the caller set fills it; what the
// person types goes back into the message when Send is tapped.
class MFMailComposeFormController : public UIViewController {
  public:
    explicit MFMailComposeFormController(std::weak_ptr<MFMailComposeViewController> composer);

    const std::shared_ptr<UITextField>& toField() const { return to_; }
    const std::shared_ptr<UITextField>& ccField() const { return cc_; }
    const std::shared_ptr<UITextField>& subjectField() const { return subject_; }
    const std::shared_ptr<UITextView>& bodyView() const { return body_; }

    void loadView() override;
    void viewDidLayoutSubviews() override;

  private:
    // Copies the fields into the composer's message.
    void store();

    std::weak_ptr<MFMailComposeViewController> composer_;
    std::shared_ptr<UITextField> to_, cc_, subject_;
    std::shared_ptr<UITextView> body_;
};
