#include "widgets/UIAlertView+NoEmailAccount.h"

#include "Foundation/NSBundle.h"
#include "UIKit/UIAlertView.h"

namespace KelvaraSupport {

std::shared_ptr<UIAlertView> cb_cannotSendEmailAlert() {
    return std::make_shared<UIAlertView>(
        NSLocalizedString("NoEmailAccountTitle"), NSLocalizedString("NoEmailAccountMessage"),
        std::weak_ptr<UIAlertViewDelegate>(), NSLocalizedString("OK"));
}

}  // namespace KelvaraSupport
