#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSDate.h"

class NSManagedObjectContext;
class CBGeoAddress;
class CBGeoCity;
class CBGeoElement;
class CBGeoGroup;
class CBGeoNode;
class CBGeoRelation;
class CBGeoTag;

// A named thing on the map (a place, a shop, a street, a building, a stop, a
// bookmark): its tags, elements, addresses, nodes, groups, city and the
// public-transport relations it matters to.
class CBGeoObject : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "object";
    static constexpr int64_t kBookmarkTypeID = -1;

    // Public-transport families of the "pubtrans" tag.
    enum PublicTransportType : int {
        kPubTransNone = -1,
        kPubTransTramLike = 0,
        kPubTransTrainLike = 1,
        kPubTransBusLike = 2,
        kPubTransFerryLike = 3,
        kPubTransOther = 99,
    };
    // The tag attributes of a family (0 to 3); empty for others.
    static const std::vector<std::string>& pubTransAttributesOfType(int type);

    static std::shared_ptr<CBGeoObject> objectInContext(
        const std::shared_ptr<NSManagedObjectContext>& context);
    // A new object at the coordinate with one simple element there.
    static std::shared_ptr<CBGeoObject> objectInContextAtCoordinate(
        const std::shared_ptr<NSManagedObjectContext>& context, CLLocationCoordinate2D coordinate);

    // The street-name abbreviation of the current map's country.
    static void setCurrentCountryForShortenedNamesWithCountryCode(
        const std::optional<std::string>& countryCode);
    static std::string shortenedNameForCurrentCountryFromString(const std::string& name);
    // The search form of a name: folded ignoring case and diacritics, the same
    // folding the search applies to what the user types.
    static std::string canonicalNameForString(const std::string& name);

    // Stored values.
    std::optional<std::string> name() { return stringForKey("name"); }
    std::optional<std::string> canonicalName() { return stringForKey("canonicalName"); }
    std::optional<NSDate> timestamp() { return dateForKey("timestamp"); }
    std::optional<int64_t> typeID() { return integerForKey("typeID"); }
    std::optional<std::string> firstLetterOfName() { return stringForKey("firstLetterOfName"); }
    std::optional<std::string> firstTwoLettersOfName() {
        return stringForKey("firstTwoLettersOfName");
    }
    std::shared_ptr<CBGeoCity> city();
    std::vector<std::shared_ptr<CBGeoTag>> tags();
    std::vector<std::shared_ptr<CBGeoElement>> elements();
    std::vector<std::shared_ptr<CBGeoAddress>> addresses();
    std::vector<std::shared_ptr<CBGeoNode>> nodes();
    std::vector<std::shared_ptr<CBGeoGroup>> groups();
    std::vector<std::shared_ptr<CBGeoRelation>> importantRelations();

    // Names.
    void updateNameAndCanonicalNameForString(const std::optional<std::string>& name);
    // Locale: an ICU locale name, "en_US" when none is given.
    void updateNameAndCanonicalNameForStringWithLocale(const std::optional<std::string>& name,
                                                       const std::optional<std::string>& locale);
    std::optional<std::string> displayName();
    void calculateFirstLetterOfName();
    void calculateFirstTwoLettersOfName();
    std::optional<std::string> title();
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    // The annotation's subtitle: the routes of a stop, else the distance
    // from the location service's last fix (nullptr: none) as text.
    std::optional<std::string> subtitle();
    // Tags whose key begins with "name:", by key; nullopt when none.
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>> internationalNames();
    NSManagedObjectID uniqueIdentifier() const { return objectID(); }

    // Tags and members.
    void addTag(const std::shared_ptr<NSManagedObject>& tag) { addObjectForKey("tags", tag); }
    void removeTag(const std::shared_ptr<NSManagedObject>& tag) { removeObjectForKey("tags", tag); }
    void addElement(const std::shared_ptr<NSManagedObject>& element) {
        addObjectForKey("elements", element);
    }
    void addAddress(const std::shared_ptr<NSManagedObject>& address) {
        addObjectForKey("addresses", address);
    }
    void removeAddress(const std::shared_ptr<NSManagedObject>& address) {
        removeObjectForKey("addresses", address);
    }
    void addGroup(const std::shared_ptr<NSManagedObject>& group) {
        addObjectForKey("groups", group);
    }
    void removeFromGroup(const std::shared_ptr<NSManagedObject>& group) {
        removeObjectForKey("groups", group);
    }
    // Keys containing the text (LIKE "*key*", case-sensitive).
    std::vector<std::shared_ptr<CBGeoTag>> getTagsForKey(const std::string& key);
    std::shared_ptr<CBGeoTag> getTagForKey(const std::string& key);
    std::optional<std::string> getAttributeOfTagForKey(const std::string& key);
    std::shared_ptr<CBGeoTag> displayTypeTag();
    std::optional<std::string> iconImageName();
    std::vector<std::shared_ptr<CBGeoTag>> tagsToDuplicate();
    // Addresses with a house number, in house-number order; nullopt without addresses.
    std::optional<std::vector<std::shared_ptr<CBGeoAddress>>> sortedAddresses();

    // Type tests.
    bool isHighway();
    bool isBuilding();
    bool isClosed();
    bool isTransportRelated();

    // Geometry and position.
    CLLocationCoordinate2D coordinate();
    std::shared_ptr<CLLocation> coreLocation();
    // Metres from the location service's last fix; nullopt without one.
    std::optional<double> distanceFromLastLocation();
    std::shared_ptr<CBBoundingBox> bbox();
    int64_t primaryKey();

    // A link of the application's own scheme; a named object carries a place marker.
    std::string createKelvaraURLatZoomLevel(unsigned zoom);
    std::string createGoogleURLatZoomLevel(unsigned zoom);
    std::string debugDescription();

    // Deletion and copying.
    void deleteObject() { deleteAndCascadeToElementAndCheckRelationships(true, false); }
    void deleteAndCascadeToElementAndCheckRelationships(bool cascade, bool check);
    void deleteAndCheckRelationships(bool check);
    std::shared_ptr<CBGeoObject> duplicateToManagedContext(
        const std::shared_ptr<NSManagedObjectContext>& context);

    // Relations and public transport.
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allRelations();
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>>
    allRelationsTaggedWithKeyAndAttribute(const std::optional<std::string>& key,
                                          const std::optional<std::string>& attribute);
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allRelationsTaggedWithKey(
        const std::string& key) {
        return allRelationsTaggedWithKeyAndAttribute(key, std::nullopt);
    }
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allBusLikeRelations();
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allTramLikeRelations();
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allTrainLikeRelations();
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> allFerryLikeRelations();
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> otherPubTransRelations();
    int publicTransportType();
    std::optional<std::vector<std::shared_ptr<CBGeoObject>>> relatedStops();
    std::optional<std::string> pubTransRouteNamesSeparatedBy(const std::string& separator);

  private:
    std::optional<std::vector<std::shared_ptr<CBGeoRelation>>> routesOfFamily(int type);
    void deleteIfOnlyMine(const std::shared_ptr<NSManagedObject>& row);

    std::shared_ptr<CLLocation> cachedCoreLocation_;
    std::optional<std::string> title_;
};
