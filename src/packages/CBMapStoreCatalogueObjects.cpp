#include <algorithm>

#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreMap.h"

namespace {

template <class T>
std::vector<std::shared_ptr<T>> sortedByLocalName(std::vector<std::shared_ptr<T>> objects) {
    std::vector<std::pair<std::string, std::shared_ptr<T>>> keyed;
    for (auto& object : objects)
        keyed.emplace_back(object->localName(), std::move(object));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return NSStringLocalizedCompare(a.first, b.first, false) < 0;
    });
    std::vector<std::shared_ptr<T>> sorted;
    for (auto& entry : keyed)
        sorted.push_back(std::move(entry.second));
    return sorted;
}

}  // namespace

std::string CBMapStoreCountry::localName() {
    const std::string code = countryCode().value_or("");
    return NSBundle::mainBundle()->localizedStringForKey(code, stringForKey("name").value_or(code),
                                                         "countrycodes");
}

std::vector<std::shared_ptr<CBMapStoreMap>> CBMapStoreCountry::maps() {
    return objectsOfClassForKey<CBMapStoreMap>("maps");
}

std::vector<std::shared_ptr<CBMapStoreFederalRegion>> CBMapStoreCountry::regions() {
    return objectsOfClassForKey<CBMapStoreFederalRegion>("regions");
}

std::shared_ptr<CBBoundingBox> CBMapStoreCountry::bbox() {
    auto corner = [this](const char* key) { return doubleForKey(key).value_or(0.0); };
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        {corner("NELatitude"), corner("NELongitude")},
        {corner("SWLatitude"), corner("SWLongitude")});
}

std::string CBMapStoreFederalRegion::localName() {
    return stringForKey("name").value_or(regionCode().value_or(""));
}

std::vector<std::shared_ptr<CBMapStoreMap>> CBMapStoreFederalRegion::maps() {
    return objectsOfClassForKey<CBMapStoreMap>("maps");
}

std::shared_ptr<CBMapStoreCountry> CBMapStoreFederalRegion::country() {
    return std::dynamic_pointer_cast<CBMapStoreCountry>(objectForKey("country"));
}

std::string CBMapStoreGroup::localName() {
    const std::string name = stringForKey("name").value_or(groupCode().value_or(""));
    return NSBundle::mainBundle()->localizedStringForKey(name);
}

std::vector<std::shared_ptr<CBMapStoreCountry>> CBMapStoreGroup::countries() {
    return objectsOfClassForKey<CBMapStoreCountry>("countries");
}

std::vector<std::shared_ptr<CBMapStoreFederalRegion>> CBMapStoreGroup::regions() {
    return objectsOfClassForKey<CBMapStoreFederalRegion>("regions");
}

const std::vector<std::shared_ptr<CBMapStoreCountry>>& CBMapStoreGroup::sortedCountries() {
    if (!sortedCountries_)
        sortedCountries_ = sortedByLocalName(countries());
    return *sortedCountries_;
}

const std::vector<std::shared_ptr<CBMapStoreFederalRegion>>& CBMapStoreGroup::sortedRegions() {
    if (!sortedRegions_)
        sortedRegions_ = sortedByLocalName(regions());
    return *sortedRegions_;
}

void CBMapStoreGroup::didTurnIntoFault() {
    sortedCountries_.reset();
    sortedRegions_.reset();
}
