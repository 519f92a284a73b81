#include "widgets/CBCreateAddressBookEntryActivity.h"

#include <any>

#include "AddressBook/ABAddressBook.h"
#include "CBGeoData/CBGeoObject+CBAddressBook.h"
#include "CBGeoData/CBGeoObject.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIAlertView.h"

namespace {
std::shared_ptr<CBGeoObject> firstPlaceWithCard(const UIActivityItems& items) {
    for (const auto& item : items)
        if (const auto* object = std::any_cast<std::shared_ptr<CBGeoObject>>(&item))
            if (*object && supportsAddressBookEntry(**object))
                return *object;
    return nullptr;
}
}  // namespace

bool CBCreateAddressBookEntryActivity::canPerformWithActivityItems(
    const UIActivityItems& items) const {
    return firstPlaceWithCard(items) != nullptr;
}

void CBCreateAddressBookEntryActivity::prepareWithActivityItems(const UIActivityItems& items) {
    object_ = firstPlaceWithCard(items);
}

void CBCreateAddressBookEntryActivity::setCityAndCountry(std::optional<std::string> city,
                                                         std::optional<std::string> country) {
    city_ = std::move(city);
    country_ = std::move(country);
}

void CBCreateAddressBookEntryActivity::performActivity() {
    cardPath_.clear();
    if (!object_) {
        activityDidFinish(false);
        return;
    }
    auto card = newAddressBookEntryWithCityAndCountry(*object_, city_, country_);
    NSError error;
    if (card)
        cardPath_ = ABAddressBook::addPerson(*card, &error);
    if (cardPath_.empty()) {
        const std::string reason =
            card ? error.localizedDescription() : std::string("This place has no contact card.");
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: no contact card: %s", reason.c_str());
        failureAlert_ =
            std::make_shared<UIAlertView>("Cannot add the contact", reason,
                                          std::weak_ptr<UIAlertViewDelegate>(), std::string("OK"));
        failureAlert_->show();
        activityDidFinish(false);
        return;
    }
    activityDidFinish(true);
}
