#include "CBGeoData/CBGeoAddress.h"

#include <cctype>
#include <cstdio>

#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSStringFolding.h"
#include "foundation/NSString+CBNSStringAdditions.h"

std::shared_ptr<CBGeoAddress> CBGeoAddress::addressInContext(
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    return std::dynamic_pointer_cast<CBGeoAddress>(
        context->insertNewObjectForEntityForName(kEntityName));
}

std::shared_ptr<CBGeoAddress> CBGeoAddress::addressAtCoordinateForObjectInContext(
    CLLocationCoordinate2D coordinate, const std::shared_ptr<CBGeoObject>& object,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    auto address = addressInContext(context);
    if (!address)
        return nullptr;
    if (object)
        address->addObject(object);
    address->setValueForKey("latitude", Value(coordinate.latitude));
    address->setValueForKey("longitude", Value(coordinate.longitude));
    return address;
}

std::vector<std::shared_ptr<CBGeoObject>> CBGeoAddress::objects() {
    return objectsOfClassForKey<CBGeoObject>("objects");
}

CLLocationCoordinate2D CBGeoAddress::coordinate() {
    return {doubleForKey("latitude").value_or(0.0), doubleForKey("longitude").value_or(0.0)};
}

std::optional<std::string> CBGeoAddress::streetName() {
    if (auto stored = street())
        return stored;
    auto object = streetObject();
    return object ? object->name() : std::nullopt;
}

std::shared_ptr<CBGeoObject> CBGeoAddress::streetObject() {
    for (const auto& object : objects()) {
        if (object->isHighway())
            return object;
    }
    return nullptr;
}

std::string CBGeoAddress::shortFormattedString() {
    auto name = streetName();
    auto number = houseNumber();
    if (name && number)
        return stringWithObjectsNameAndHouseNumber(name, number).value_or(*name + " " + *number);
    if (name)
        return *name + " ";
    if (number)
        return *number;
    return "";
}

std::string CBGeoAddress::formattedStringWithCityFallback(
    const std::optional<std::string>& fallback) {
    std::string text = shortFormattedString();
    bool hasContent = false;
    for (unsigned char c : text) {
        if (!std::isspace(c))
            hasContent = true;
    }
    if (hasContent)
        text += "\r";
    if (auto zip = zipCode())
        text += *zip + " ";
    auto cityName = city();
    if (!cityName)
        cityName = fallback;
    if (cityName)
        text += *cityName;
    return text;
}

int CBGeoAddress::compareHouseNumber(const std::shared_ptr<CBGeoAddress>& other) {
    std::string mine = houseNumber().value_or("");
    std::string theirs = other ? other->houseNumber().value_or("") : std::string();
    int order = NSStringLocalizedCompare(mine, theirs, true);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string CBGeoAddress::debugDescription() {
    char head[96];
    auto point = coordinate();
    std::snprintf(head, sizeof head, "ADDRESS: @ lat,lon %f %f\n", point.latitude, point.longitude);
    return head + streetName().value_or("(null)") + " " + houseNumber().value_or("(null)") + "\n" +
           zipCode().value_or("(null)") + " " + city().value_or("(null)");
}
