#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "UIKit/UIAlertView.h"

// Links that cannot be opened are told in one alert at a time. The first
// says why it could not be opened; each one arriving while that alert shows
// turns it into a count of the links, updated in place. A flood of links
// then asks for one tap, and the count never hides behind a second alert.
class CBBrokenLinksAlert : public UIAlertViewDelegate,
                           public std::enable_shared_from_this<CBBrokenLinksAlert> {
  public:
    // Shows the alert, or counts the link in the one on show.
    void reportBrokenLinkWithReason(const std::string& reason);

    // The alert on show; nullptr once it was dismissed.
    std::shared_ptr<UIAlertView> alert() const;
    // The links the alert on show tells of.
    size_t count() const { return alert() ? count_ : 0; }

    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;

  private:
    std::shared_ptr<UIAlertView> alert_;
    size_t count_ = 0;
};
