#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIActivity.h"

class CBGeoObject;
class UIAlertView;

inline constexpr const char* CBActivityTypeCreateAddressBookEntry =
    "CBActivityTypeCreateAddressBookEntry";

// Share-sheet entry that makes a contact card of a shared place (a
// shared_ptr<CBGeoObject> among the items; streets have no card) and hands
// it to the desktop's address book. An address without a city gets the city
// the sharing screen gives (the current map's), and the card its country.
class CBCreateAddressBookEntryActivity : public UIActivity {
  public:
    std::string activityType() const override { return CBActivityTypeCreateAddressBookEntry; }
    std::string activityTitle() const override { return "Add to Contacts"; }
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    // A card that cannot be written is reported in an alert; the activity
    // then finishes with false.
    void performActivity() override;

    // The city and country the card falls back on; none unless given.
    void setCityAndCountry(std::optional<std::string> city, std::optional<std::string> country);
    // The card file written last (empty before or after a failure).
    const std::string& cardPath() const { return cardPath_; }
    const std::shared_ptr<UIAlertView>& failureAlert() const { return failureAlert_; }

  private:
    std::shared_ptr<CBGeoObject> object_;
    std::optional<std::string> city_;
    std::optional<std::string> country_;
    std::string cardPath_;
    std::shared_ptr<UIAlertView> failureAlert_;
};
