#include "CBGeoData/CBGeoPlaceKey.h"

#include "CBGeoData/CBGeoSearchResult.h"

std::optional<CBGeoPlaceKey> CBGeoPlaceKey::ofResult(const CBGeoSearchResult& result) {
    const auto& object = result.object();
    if (!object)
        return std::nullopt;
    CBGeoPlaceKey key;
    key.typeID = object->typeID();
    key.canonicalName = object->canonicalName();
    key.coordinate = object->coordinate();
    if (const auto& address = result.address()) {
        key.atAddress = true;
        key.houseNumber = address->houseNumber();
        key.isStreet = object->isHighway();
    }
    return key;
}
