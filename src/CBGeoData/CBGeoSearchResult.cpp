#include "CBGeoData/CBGeoSearchResult.h"

std::shared_ptr<CBGeoSearchResult> CBGeoSearchResult::geoSearchResultWithObject(
    std::shared_ptr<CBGeoObject> object) {
    return geoSearchResultWithObjectAndAddress(std::move(object), nullptr);
}

std::shared_ptr<CBGeoSearchResult> CBGeoSearchResult::geoSearchResultWithObjectAndAddress(
    std::shared_ptr<CBGeoObject> object, std::shared_ptr<CBGeoAddress> address) {
    if (!object)
        return nullptr;
    auto result = std::make_shared<CBGeoSearchResult>();
    result->object_ = std::move(object);
    result->address_ = std::move(address);
    return result;
}

CLLocationCoordinate2D CBGeoSearchResult::coordinate() const {
    if (address_)
        return address_->coordinate();
    if (object_)
        return object_->coordinate();
    return {};
}

std::optional<std::string> CBGeoSearchResult::title() const {
    return object_ ? object_->title() : std::nullopt;
}

std::optional<std::string> CBGeoSearchResult::subtitle() const {
    if (!address_)
        return std::nullopt;
    return address_->shortFormattedString();
}

std::string CBGeoSearchResult::uniqueIdentifier() const {
    if (address_)
        return address_->uniqueIdentifier().URIRepresentation();
    if (object_)
        return object_->uniqueIdentifier().URIRepresentation();
    return std::to_string(reinterpret_cast<uintptr_t>(this));
}
