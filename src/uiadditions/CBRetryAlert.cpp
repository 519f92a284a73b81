#include "uiadditions/CBRetryAlert.h"

#include "Foundation/NSBundle.h"

namespace {
std::shared_ptr<CBRetryAlert>& shown() {
    static std::shared_ptr<CBRetryAlert> alert;
    return alert;
}
}  // namespace

std::shared_ptr<CBRetryAlert> CBRetryAlert::show(const std::string& title,
                                                 const std::string& message,
                                                 std::function<void()> retry) {
    if (current())
        return nullptr;
    auto made = std::make_shared<CBRetryAlert>();
    made->retry_ = std::move(retry);
    made->alert_ =
        std::make_shared<UIAlertView>(title, message, made, NSLocalizedString("Cancel"),
                                      std::vector<std::string>{NSLocalizedString("TryAgain")});
    made->alert_->show();
    if (!made->alert_->isVisible())
        return nullptr;
    shown() = made;
    return made;
}

std::shared_ptr<CBRetryAlert> CBRetryAlert::current() {
    auto& alert = shown();
    if (alert && !alert->alert_->isVisible())
        alert.reset();
    return alert;
}

void CBRetryAlert::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    // Kept until the retry has run: it may show the next alert.
    auto self = shown();
    if (shown().get() == this)
        shown().reset();
    if (index != alert.cancelButtonIndex() && retry_)
        retry_();
}
