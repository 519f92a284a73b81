#include "CBGeoData/CBGeoTag.h"

#include <filesystem>
#include <mutex>
#include <vector>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CoreData/NSManagedObjectContext.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "foundation/NSString+CBNSStringAdditions.h"

namespace {

const Value& iconTable() {
    static std::once_flag once;
    static Value table;
    std::call_once(once, [] {
        auto path =
            NSBundle::mainBundle()->pathForResource("Quillmere.bundle/CBGeoTag-Icons", "plist");
        if (path) {
            if (auto loaded = NSPropertyListSerialization::propertyListWithContentsOfFile(*path))
                table = std::move(*loaded);
        }
    });
    return table;
}

}  // namespace

std::shared_ptr<CBGeoTag> CBGeoTag::tagWithKeyAndAttributeInContext(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context) {
        NSLog("WARNING: no context to create tag");
        return nullptr;
    }
    auto tag =
        std::dynamic_pointer_cast<CBGeoTag>(context->insertNewObjectForEntityForName(kEntityName));
    if (!tag)
        return nullptr;
    tag->setValueForKey("key", Value(key.value_or("")));
    tag->setValueForKey("attribute", Value(attribute.value_or("")));
    return tag;
}

std::shared_ptr<CBGeoTag> CBGeoTag::getTagWithKeyAndAttributeFromContext(
    const std::string& key, const std::string& attribute,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    NSFetchRequest request(kEntityName);
    request.predicate = NSPredicate::predicateWithFormat("key = %@ AND attribute = %@",
                                                         {Value(key), Value(attribute)});
    request.fetchLimit = 1;
    auto results = context->executeFetchRequest(request);
    if (!results || results->empty())
        return nullptr;
    return std::dynamic_pointer_cast<CBGeoTag>(results->back());
}

bool CBGeoTag::translatesOpeningHourAttributeForKey(const std::string& key) {
    return key == "opening_hours" || key == "collection_times";
}

std::string CBGeoTag::localizedOpeningHours(const std::string& value) {
    // Full day names before their abbreviations, so "MONDAY" never becomes "MO." + "NDAY".
    static const std::vector<std::string> tokens = {
        "MONDAY",    "MO.",         "TUESDAY",       "TU.",          "WEDNESDAY",  "WE.",
        "THURSDAY",  "TH.",         "FRIDAY",        "FR.",          "SATURDAY",   "SA.",
        "SUNDAY",    "SU.",         "xBANKHOLIDAYx", "xPUBHOLIDAYx", "xWEEKENDSx", "xWEEKDAYSx",
        "xMORNINGx", "xAFTERNOONx", "xDAYOFFx",      "xDAILYx",      "xCLOSEDx",   "xOPENx",
        "xTOx",      "xFROMx",      "xEXCEPTx"};
    static const std::vector<std::string> keys = {
        "MONDAY",      "MO.",        "TUESDAY",  "TU.",      "WEDNESDAY", "WE.",       "THURSDAY",
        "TH.",         "FRIDAY",     "FR.",      "SATURDAY", "SA.",       "SUNDAY",    "SU.",
        "BANKHOLIDAY", "PUBHOLIDAY", "WEEKENDS", "WEEKDAYS", "MORNING",   "AFTERNOON", "DAYOFF",
        "DAILY",       "CLOSED",     "OPEN",     "TO",       "FROM",      "EXCEPT"};
    std::vector<std::string> words;
    auto bundle = NSBundle::mainBundle();
    for (const std::string& key : keys)
        words.push_back(bundle ? bundle->localizedStringForKey(key, "") : std::string());
    return stringByReplacingOccurrencesOfStringsWithStringsOptions(value, &tokens, &words, 0);
}

std::optional<std::string> CBGeoTag::translatedKeyFromDictionary(const Value* dictionary) {
    if (!dictionary)
        return std::nullopt;
    const Value* entry = dictionary->get(key());
    if (!entry)
        return std::nullopt;
    if (const std::string* text = entry->stringValue())
        return *text;
    if (const Value* description = entry->get("description")) {
        if (const std::string* text = description->stringValue())
            return *text;
    }
    return std::nullopt;
}

std::optional<std::string> CBGeoTag::translatedAttributeFromDictionary(const Value* dictionary) {
    if (!dictionary)
        return std::nullopt;
    std::string value = attribute();
    if (translatesOpeningHourAttributeForKey(key()))
        return localizedOpeningHours(value);
    if (const Value* entry = dictionary->get(key())) {
        if (const Value* text = entry->get(value)) {
            if (const std::string* string = text->stringValue())
                return *string;
        }
    }
    return value;
}

std::optional<std::string> CBGeoTag::iconImageName() {
    const Value* entry = iconTable().get(key());
    if (!entry)
        return std::nullopt;
    for (const std::string& name : {attribute(), std::string("all")}) {
        if (const Value* image = entry->get(name)) {
            if (const std::string* text = image->stringValue())
                return *text;
        }
    }
    return std::nullopt;
}

std::optional<std::string> CBGeoTag::iconPath() {
    auto name = iconImageName();
    auto bundle = NSBundle::mainBundle();
    if (!name || !bundle)
        return std::nullopt;
    // Icon names are relative to the map engine's bundle.
    return bundle->pathForResource("Quillmere.bundle/" + *name, "png");
}

std::string CBGeoTag::debugDescription() {
    return "---------\rk: " + key() + "\rv: " + attribute();
}

std::vector<std::shared_ptr<CBGeoObject>> CBGeoTag::objects() {
    return objectsOfClassForKey<CBGeoObject>("objects");
}

std::vector<std::shared_ptr<CBGeoRelation>> CBGeoTag::relations() {
    return objectsOfClassForKey<CBGeoRelation>("relations");
}
