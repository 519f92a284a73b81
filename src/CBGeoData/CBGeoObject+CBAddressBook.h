#pragma once

#include <memory>
#include <optional>
#include <string>

#include "AddressBook/ABPerson.h"

class CBGeoObject;

// A place as a contact card: an organisation with the place's name, one of
// its addresses, its phone, e-mail and web site, and links to the place on
// an outside web map and in the application. Streets have no card.
bool supportsAddressBookEntry(CBGeoObject& object);
// The fallback city is used when the address has none; either may be nullopt.
std::optional<ABPerson> newAddressBookEntryWithCityAndCountry(
    CBGeoObject& object, const std::optional<std::string>& city,
    const std::optional<std::string>& country);
// The card as vCard 3.0 text (RFC 2426), also for a street: its name and links.
std::string vCardWithCityAndCountry(CBGeoObject& object, const std::optional<std::string>& city,
                                    const std::optional<std::string>& country);
