#pragma once

#include <functional>
#include <memory>
#include <string>

#include "UIKit/UIAlertView.h"

// The one alert of something the map store must answer and did not (no
// store address, no connection, an answer that makes no sense): a title, a
// line that says what could not be loaded, "Cancel" and "Try again". Only
// one shows at a time: while one is up, another adds nothing, so a failure
// seen by several screens is told once. The alert keeps itself while shown.
class CBRetryAlert : public UIAlertViewDelegate {
  public:
    // Shows the alert unless one is up; `retry` runs on "Try again".
    static std::shared_ptr<CBRetryAlert> show(const std::string& title, const std::string& message,
                                              std::function<void()> retry);
    // The alert on screen, or nullptr.
    static std::shared_ptr<CBRetryAlert> current();

    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;

  private:
    std::shared_ptr<UIAlertView> alert_;
    std::function<void()> retry_;
};
