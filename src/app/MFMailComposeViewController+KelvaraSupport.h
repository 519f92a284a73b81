#pragma once

#include <memory>
#include <string>

// The category's alert, KelvaraSupport::cb_cannotSendEmailAlert, lives with
// the widgets, where the store's mails reach it too.
#include "widgets/UIAlertView+NoEmailAccount.h"

class MFMailComposeViewController;

// The support mail: a composer addressed to the support mailbox with the
// subject "SupportSubject" and a summary of the program and device as body.
namespace KelvaraSupport {
inline constexpr const char* kSupportAddress = "support@kelvara.invalid";

std::shared_ptr<MFMailComposeViewController> cb_defaultSupportMailViewController();
// The summary the support mail starts with.
std::string deviceSummary();
}  // namespace KelvaraSupport
