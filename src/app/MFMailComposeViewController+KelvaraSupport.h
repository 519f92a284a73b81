#pragma once

#include <memory>
#include <optional>
#include <string>

// The category's alert, KelvaraSupport::cb_cannotSendEmailAlert, lives with
// the widgets, where the store's mails reach it too.
#include "widgets/UIAlertView+NoEmailAccount.h"

class MFMailComposeViewController;

// The support mail: a composer addressed to the support mailbox with the
// subject "SupportSubject" and a summary of the program and device as body.
namespace KelvaraSupport {
inline constexpr const char* kSupportAddress = "support@kelvara.invalid";
inline constexpr const char* kStoreAddress = "https://apps.kelvara.invalid";

std::shared_ptr<MFMailComposeViewController> cb_defaultSupportMailViewController();
// The summary the support mail starts with.
std::string deviceSummary();
// The store's review page of the application, for the browser; nullopt for
// an empty identifier.
std::optional<std::string> appStoreReviewURLForAppID(const std::string& appID);
}  // namespace KelvaraSupport
