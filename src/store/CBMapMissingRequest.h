#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CBGeoData/CBBoundingBox.h"

class UIViewController;
class MFMailComposeViewControllerDelegate;

// A user's wish for a map the catalogue lacks, sent by mail. What the store
// knows about the wish goes into an HTML block the user should leave as it
// is; every value is escaped, since search texts and names come from users
// and servers.
class CBMapMissingRequest {
  public:
    std::optional<std::string> searchTerm;
    std::optional<std::string> countryCode;
    std::optional<std::string> countryName;
    std::optional<std::string> regionCode;
    std::optional<std::string> regionName;
    std::optional<std::string> group;
    std::optional<CBBoundingBox> bbox;

    // The mailbox the requests go to.
    static const char* const kRecipient;

    // Opens the mail composer over the controller, which is also its mail
    // delegate and dismisses it; without a mail program the
    // "NoEmailAccountTitle" alert instead.
    void startRequestInViewController(
        UIViewController& controller,
        const std::shared_ptr<MFMailComposeViewControllerDelegate>& mailDelegate) const;

    std::string htmlDescription() const;
};
