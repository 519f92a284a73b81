#pragma once

#include <memory>

class UIAlertView;

// The alert of every mail the program writes when no mail program is set
// up. It sits below the application and the store, which both write mails.
namespace KelvaraSupport {
// "NoEmailAccountTitle" / "NoEmailAccountMessage" with an OK button, not yet shown.
std::shared_ptr<UIAlertView> cb_cannotSendEmailAlert();
}  // namespace KelvaraSupport
