#include "app/CBBrokenLinksAlert.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"

void CBBrokenLinksAlert::reportBrokenLinkWithReason(const std::string& reason) {
    if (auto shown = alert()) {
        ++count_;
        shown->setTitle(NSLocalizedString("LinksCannotOpenTitle"));
        shown->setMessage(NSLocalizedPluralFormat("LinksCannotOpenCountFormat", long(count_)));
        return;
    }
    alert_ = std::make_shared<UIAlertView>(NSLocalizedString("LinkCannotOpenTitle"), reason,
                                           weak_from_this(), NSLocalizedString("OK"));
    count_ = 1;
    alert_->show();
}

std::shared_ptr<UIAlertView> CBBrokenLinksAlert::alert() const {
    // An alert that could not show (no window yet) counts as gone.
    return alert_ && alert_->isVisible() ? alert_ : nullptr;
}

void CBBrokenLinksAlert::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long) {
    if (&alert == alert_.get()) {
        alert_.reset();
        count_ = 0;
    }
}
