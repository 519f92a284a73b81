#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"
#include "Foundation/Value.h"

class CBGeoObject;
class CBGeoRelation;
class NSManagedObjectContext;

// One key and attribute pair ("amenity" = "restaurant"), shared by every
// object and relation that carries it; counts its objects for the city guide.
class CBGeoTag : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "tag";

    // A new tag (nil key or attribute stored as ""); nullptr and a warning
    // without a context.
    static std::shared_ptr<CBGeoTag> tagWithKeyAndAttributeInContext(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute,
        const std::shared_ptr<NSManagedObjectContext>& context);
    // The stored tag with exactly this pair, or nullptr.
    static std::shared_ptr<CBGeoTag> getTagWithKeyAndAttributeFromContext(
        const std::string& key, const std::string& attribute,
        const std::shared_ptr<NSManagedObjectContext>& context);
    static bool translatesOpeningHourAttributeForKey(const std::string& key);
    // The opening-hours tokens of a stored value replaced by their localised words.
    static std::string localizedOpeningHours(const std::string& value);

    std::string key() { return stringForKey("key").value_or(""); }
    std::string attribute() { return stringForKey("attribute").value_or(""); }
    std::optional<int64_t> total() { return integerForKey("total"); }
    std::optional<int64_t> totalNamed() { return integerForKey("totalNamed"); }

    std::vector<std::shared_ptr<CBGeoObject>> objects();
    std::vector<std::shared_ptr<CBGeoRelation>> relations();
    void addObject(const std::shared_ptr<NSManagedObject>& object) {
        addObjectForKey("objects", object);
    }

    // The readable name of the key from the translation dictionary
    // ("OSMTags-HReadable"): a string entry, or a dictionary's "description".
    std::optional<std::string> translatedKeyFromDictionary(const Value* dictionary);
    // The readable attribute: opening hours localised; else the dictionary's
    // text for the attribute, else the attribute itself. nullopt without a dictionary.
    std::optional<std::string> translatedAttributeFromDictionary(const Value* dictionary);

    // The image name from the icon table ("CBGeoTag-Icons"): the attribute's
    // entry, else the key's "all" entry.
    std::optional<std::string> iconImageName();
    // The image file of iconImageName in the map engine's bundle, if it exists.
    std::optional<std::string> iconPath();

    std::string debugDescription();
};
