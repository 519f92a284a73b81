#include "CBGeoData/CBGeoObject+CBAddressBook.h"

#include "AddressBook/ABVCard.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"

namespace {

constexpr int kContactMapZoom = 14;

// The record without the streets check.
ABPerson contactOf(CBGeoObject& object, const std::optional<std::string>& city,
                   const std::optional<std::string>& country) {
    ABPerson person;
    person.kind = ABPersonKind::Organization;
    const auto displayName = object.displayName();
    // The organisation is the place's name, else the name it is shown with.
    person.organization = object.name().value_or(displayName.value_or(""));
    const auto addresses = object.addresses();
    if (!addresses.empty()) {
        auto& address = *addresses.front();
        ABPostalAddress postal;
        postal.label = kABWorkLabel;
        if (address.streetName())
            postal.street = address.shortFormattedString();
        postal.city = address.city().value_or(city.value_or(""));
        postal.country = country.value_or("");
        postal.zip = address.zipCode().value_or("");
        person.addresses.push_back(postal);
    }
    if (auto phone = object.getAttributeOfTagForKey("phone"); phone && !phone->empty())
        person.phones.push_back({kABPersonPhoneMainLabel, *phone});
    if (auto email = object.getAttributeOfTagForKey("email"); email && !email->empty())
        person.emails.push_back({kABWorkLabel, *email});
    if (auto url = object.getAttributeOfTagForKey("url"); url && !url->empty())
        person.urls.push_back({kABPersonHomePageLabel, *url});
    if (const auto location = object.coreLocation()) {
        person.urls.push_back({"Google Maps", googleUrlForZoomlevel(*location, kContactMapZoom)});
        person.urls.push_back({"Kelvara 2", kelvara2UrlForZoomlevelWithTitle(
                                                *location, kContactMapZoom, displayName)});
    }
    return person;
}

}  // namespace

bool supportsAddressBookEntry(CBGeoObject& object) {
    return !object.isHighway();
}

std::optional<ABPerson> newAddressBookEntryWithCityAndCountry(
    CBGeoObject& object, const std::optional<std::string>& city,
    const std::optional<std::string>& country) {
    if (!supportsAddressBookEntry(object))
        return std::nullopt;
    return contactOf(object, city, country);
}

std::string vCardWithCityAndCountry(CBGeoObject& object, const std::optional<std::string>& city,
                                    const std::optional<std::string>& country) {
    return ABVCard::representationOfPeople({contactOf(object, city, country)});
}
