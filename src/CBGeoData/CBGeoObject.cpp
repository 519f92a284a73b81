#include "CBGeoData/CBGeoObject.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoGroup.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "CBGeoData/CBStreetNameAbbreviation.h"
#include "CBGeoData/NSManagedObject+CBDuplicationMethods.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSStringFolding.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"

namespace {

// Percent-encoding of a query value: everything but the unreserved characters.
std::string percentEncoded(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

std::string numberText(const std::optional<int64_t>& number) {
    return number ? std::to_string(*number) : std::string("(null)");
}

}  // namespace

std::shared_ptr<CBGeoObject> CBGeoObject::objectInContext(
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    auto object = std::dynamic_pointer_cast<CBGeoObject>(
        context->insertNewObjectForEntityForName(kEntityName));
    if (object)
        object->setValueForKey("timestamp", Value(NSDate::date()));
    return object;
}

std::shared_ptr<CBGeoObject> CBGeoObject::objectInContextAtCoordinate(
    const std::shared_ptr<NSManagedObjectContext>& context, CLLocationCoordinate2D coordinate) {
    auto object = objectInContext(context);
    if (!object)
        return nullptr;
    object->setValueForKey("latitude", Value(coordinate.latitude));
    object->setValueForKey("longitude", Value(coordinate.longitude));
    if (auto element = CBGeoElement::simpleElementInContextWithCoordinate(context, coordinate))
        object->addElement(element);
    return object;
}

void CBGeoObject::setCurrentCountryForShortenedNamesWithCountryCode(
    const std::optional<std::string>& countryCode) {
    CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(countryCode);
}

std::string CBGeoObject::shortenedNameForCurrentCountryFromString(const std::string& name) {
    return CBStreetNameAbbreviation::shortenedNameForCurrentCountryFromString(name);
}

std::string CBGeoObject::canonicalNameForString(const std::string& name) {
    return NSStringFold(name, kPredicateCaseInsensitive | kPredicateDiacriticInsensitive);
}

std::shared_ptr<CBGeoCity> CBGeoObject::city() {
    return std::dynamic_pointer_cast<CBGeoCity>(objectForKey("city"));
}
std::vector<std::shared_ptr<CBGeoTag>> CBGeoObject::tags() {
    return objectsOfClassForKey<CBGeoTag>("tags");
}
std::vector<std::shared_ptr<CBGeoElement>> CBGeoObject::elements() {
    return objectsOfClassForKey<CBGeoElement>("elements");
}
std::vector<std::shared_ptr<CBGeoAddress>> CBGeoObject::addresses() {
    return objectsOfClassForKey<CBGeoAddress>("addresses");
}
std::vector<std::shared_ptr<CBGeoNode>> CBGeoObject::nodes() {
    return objectsOfClassForKey<CBGeoNode>("nodes");
}
std::vector<std::shared_ptr<CBGeoGroup>> CBGeoObject::groups() {
    return objectsOfClassForKey<CBGeoGroup>("groups");
}
std::vector<std::shared_ptr<CBGeoRelation>> CBGeoObject::importantRelations() {
    return objectsOfClassForKey<CBGeoRelation>("importantRelations");
}

std::optional<std::string> CBGeoObject::subtitle() {
    if (isTransportRelated())
        return pubTransRouteNamesSeparatedBy(", ");
    if (auto distance = distanceFromLastLocation())
        return stringWithDistanceFromFloat(static_cast<float>(*distance));
    return std::nullopt;
}

std::vector<std::shared_ptr<CBGeoTag>> CBGeoObject::getTagsForKey(const std::string& key) {
    std::vector<std::shared_ptr<CBGeoTag>> result;
    for (const auto& tag : tags()) {
        if (NSStringLikeMatch(tag->key(), "*" + key + "*"))
            result.push_back(tag);
    }
    return result;
}

std::shared_ptr<CBGeoTag> CBGeoObject::getTagForKey(const std::string& key) {
    for (const auto& tag : tags()) {
        if (tag->key() == key)
            return tag;
    }
    return nullptr;
}

std::optional<std::string> CBGeoObject::getAttributeOfTagForKey(const std::string& key) {
    auto tag = getTagForKey(key);
    if (!tag)
        return std::nullopt;
    return tag->attribute();
}

std::shared_ptr<CBGeoTag> CBGeoObject::displayTypeTag() {
    for (const char* key : {"amenity", "pubtrans", "shop", "tourism", "historic", "leisure",
                            "sport", "place", "natural", "aeroway", "highway"}) {
        if (auto tag = getTagForKey(key))
            return tag;
    }
    return nullptr;
}

std::optional<std::string> CBGeoObject::iconImageName() {
    auto tag = displayTypeTag();
    return tag ? tag->iconImageName() : std::nullopt;
}

std::vector<std::shared_ptr<CBGeoTag>> CBGeoObject::tagsToDuplicate() {
    std::vector<std::shared_ptr<CBGeoTag>> result;
    for (const auto& tag : tags()) {
        std::string key = tag->key();
        if (key != "building" && key != "highway" && key != "firstLetter" && key != "pID")
            result.push_back(tag);
    }
    return result;
}

std::optional<std::vector<std::shared_ptr<CBGeoAddress>>> CBGeoObject::sortedAddresses() {
    auto all = addresses();
    if (all.empty())
        return std::nullopt;
    std::vector<std::shared_ptr<CBGeoAddress>> numbered;
    for (const auto& address : all) {
        if (address->houseNumber())
            numbered.push_back(address);
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a->compareHouseNumber(b) < 0; });
    return numbered;
}

bool CBGeoObject::isHighway() {
    for (const auto& element : elements()) {
        if (element->isHighway())
            return true;
    }
    return false;
}

bool CBGeoObject::isBuilding() {
    for (const auto& element : elements()) {
        if (element->isBuilding())
            return true;
    }
    return false;
}

bool CBGeoObject::isClosed() {
    for (const auto& element : elements()) {
        if (!element->isArchitectureType(CBGeoElement::kClosed))
            return false;
    }
    return true;
}

bool CBGeoObject::isTransportRelated() {
    return getTagForKey("pubtrans") != nullptr;
}

CLLocationCoordinate2D CBGeoObject::coordinate() {
    auto latitude = doubleForKey("latitude");
    auto longitude = doubleForKey("longitude");
    if (!latitude || !longitude)
        return kCLLocationCoordinate2DInvalid;
    return {*latitude, *longitude};
}

std::shared_ptr<CLLocation> CBGeoObject::coreLocation() {
    if (!cachedCoreLocation_) {
        auto point = coordinate();
        cachedCoreLocation_ = std::make_shared<CLLocation>(point.latitude, point.longitude);
    }
    return cachedCoreLocation_;
}

std::optional<double> CBGeoObject::distanceFromLastLocation() {
    const auto lastLocation = CBLocationManager::sharedInstance()->location();
    if (!lastLocation)
        return std::nullopt;
    return lastLocation->distanceFromLocation(*coreLocation());
}

std::shared_ptr<CBBoundingBox> CBGeoObject::bbox() {
    auto point = coordinate();
    auto box = std::make_shared<CBBoundingBox>(point, point);
    for (const auto& element : elements()) {
        if (!element->growBoundingBoxByPath(*box)) {
            auto own = element->coordinate();
            if (CLLocationCoordinate2DIsValid(own))
                box->growToIncludeCoordinate(own);
        }
    }
    return box;
}

int64_t CBGeoObject::primaryKey() {
    // The store's row number; an object not yet saved has none (0).
    if (objectID().isTemporaryID())
        return 0;
    return objectID().primaryKey();
}

std::string CBGeoObject::createKelvaraURLatZoomLevel(unsigned zoom) {
    auto point = coordinate();
    auto stored = name();
    bool marked = stored && !stored->empty();
    char head[160];
    std::snprintf(head, sizeof head,
                  "kelvara2://?ll=%f,%f&z=%i&placemarker=%i&placename=", point.latitude,
                  point.longitude, static_cast<int>(zoom), marked ? 1 : 0);
    return head + (marked ? percentEncoded(*stored) : std::string());
}

std::string CBGeoObject::createGoogleURLatZoomLevel(unsigned) {
    auto point = coordinate();
    char link[200];
    std::snprintf(link, sizeof link, "http://www.openstreetmap.org/?ll=%f,%f&z=13&q=%f,%f",
                  point.latitude, point.longitude, point.latitude, point.longitude);
    return link;
}

std::string CBGeoObject::debugDescription() {
    std::string text = "*********\nCBGeoObject:\nname: " + name().value_or("(null)") +
                       "\ntypeID: " + numberText(typeID()) + "\n";
    auto sortedTags = tags();
    std::sort(sortedTags.begin(), sortedTags.end(),
              [](const auto& a, const auto& b) { return a->key() < b->key(); });
    text += std::to_string(sortedTags.size()) + " tags:\n";
    for (const auto& tag : sortedTags)
        text += tag->debugDescription() + "\n";
    auto ownElements = elements();
    text += std::to_string(ownElements.size()) + " elements:\n";
    for (const auto& element : ownElements)
        text += element->debugDescription() + "\n";
    auto ownAddresses = addresses();
    text += std::to_string(ownAddresses.size()) + " address:\n";
    for (const auto& address : ownAddresses)
        text += address->debugDescription() + "\n";
    return text + "*********\n";
}

void CBGeoObject::deleteAndCascadeToElementAndCheckRelationships(bool cascade, bool check) {
    auto context = managedObjectContext();
    if (!context)
        return;
    if (cascade) {
        for (const auto& element : elements())
            context->deleteObject(element);
    }
    deleteAndCheckRelationships(check);
}

void CBGeoObject::deleteIfOnlyMine(const std::shared_ptr<NSManagedObject>& row) {
    const auto& owners = row->objectsForKey("objects");
    if (owners.size() == 1 && owners.front().get() == this)
        managedObjectContext()->deleteObject(row);
}

void CBGeoObject::deleteAndCheckRelationships(bool check) {
    auto context = managedObjectContext();
    if (!context)
        return;
    if (check) {
        for (const auto& tag : tags())
            deleteIfOnlyMine(tag);
        for (const auto& address : addresses())
            deleteIfOnlyMine(address);
        for (const auto& node : nodes())
            deleteIfOnlyMine(node);
    }
    context->deleteObject(shared_from_this());
}

std::shared_ptr<CBGeoObject> CBGeoObject::duplicateToManagedContext(
    const std::shared_ptr<NSManagedObjectContext>& context) {
    auto copy = std::dynamic_pointer_cast<CBGeoObject>(::duplicateToManagedContext(*this, context));
    if (!copy)
        return nullptr;
    for (const auto& tag : tagsToDuplicate()) {
        if (auto tagCopy = ::duplicateToManagedContext(*tag, context))
            copy->addTag(tagCopy);
    }
    for (const auto& element : elements()) {
        if (auto elementCopy = ::duplicateToManagedContext(*element, context))
            copy->addElement(elementCopy);
    }
    if (!isHighway()) {
        for (const auto& address : addresses()) {
            if (auto addressCopy = ::duplicateToManagedContext(*address, context))
                copy->addAddress(addressCopy);
        }
    }
    return copy;
}
