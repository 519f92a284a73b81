#pragma once

#include <memory>
#include <string>

#include "UIKit/UIViewController.h"

class UITextView;

// A screen that shows a text (a licence, an attribution, a description)
// read-only; the caller sets its title. It has no toolbar of its own, so it
// hides its navigation controller's while it shows.
class CBTextViewController : public UIViewController {
  public:
    CBTextViewController() = default;
    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    void loadView() override;
    void viewWillAppear(bool animated) override;

  private:
    std::string text_;
    std::shared_ptr<UITextView> textView_;
};
