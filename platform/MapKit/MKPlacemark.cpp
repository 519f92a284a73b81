#include "MapKit/MKPlacemark.h"

std::optional<std::string> MKPlacemark::addressText(const char* key) const {
    if (!addressDictionary_)
        return std::nullopt;
    const auto found = addressDictionary_->find(key);
    if (found == addressDictionary_->end())
        return std::nullopt;
    const std::string* text = found->second.stringValue();
    if (!text || text->empty())
        return std::nullopt;
    return *text;
}

std::optional<std::string> MKPlacemark::locality() const {
    return addressText(kAddressCityKey);
}

std::optional<std::string> MKPlacemark::thoroughfare() const {
    auto street = addressText(kAddressThoroughfareKey);
    return street ? street : addressText(kAddressStreetKey);
}

std::optional<std::string> MKPlacemark::postalCode() const {
    return addressText(kAddressZIPKey);
}
