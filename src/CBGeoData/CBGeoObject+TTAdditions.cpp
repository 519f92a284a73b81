#include "CBGeoData/CBGeoObject+TTAdditions.h"

#include <algorithm>
#include <set>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"

namespace {

using Tags = std::vector<std::shared_ptr<CBGeoTag>>;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

Tags tagsWhere(CBGeoObject& object, const std::function<bool(CBGeoTag&)>& keep) {
    Tags chosen;
    for (const auto& tag : object.tags())
        if (keep(*tag))
            chosen.push_back(tag);
    return chosen;
}

Tags sortedBy(Tags tags, std::string (CBGeoTag::*field)()) {
    std::stable_sort(tags.begin(), tags.end(), [field](const auto& a, const auto& b) {
        return ((*a).*field)() < ((*b).*field)();
    });
    return tags;
}

}  // namespace

std::optional<int64_t> ttID(CBGeoObject& object) {
    auto text = object.getAttributeOfTagForKey("TT_ID");
    if (!text)
        text = object.getAttributeOfTagForKey("linkedTT_ID");
    if (!text)
        return std::nullopt;
    try {
        return std::stoll(*text);
    } catch (const std::exception&) {
        return 0;
    }
}

bool isTopTableObject(CBGeoObject& object) {
    return object.getTagForKey("TT_ID") != nullptr;
}

bool hasRelatedTopTableObject(CBGeoObject& object) {
    return object.getTagForKey("linkedTT_ID") != nullptr;
}

bool hasTopTableRatings(CBGeoObject& object) {
    return object.getTagForKey("TTRatingOverall") != nullptr;
}

bool hasTopTableMenus(CBGeoObject& object) {
    return !topTableSortedMenus(object).empty();
}

std::optional<std::string> toptableImageFileName(CBGeoObject& object) {
    return object.getAttributeOfTagForKey("TTImage");
}

std::shared_ptr<CBGeoObject> relatedTopTableObjectFromDataManager(
    CBGeoObject& object, const std::shared_ptr<CBGeoDataManager>& manager) {
    const auto linked = object.getAttributeOfTagForKey("linkedTT_ID");
    if (!manager || !linked)
        return nullptr;
    auto request = manager->requestForTagsWithKeyAndAttribute("TT_ID", *linked);
    if (!request)
        return nullptr;
    const auto stores = manager->persistentStoresDictionary();
    if (auto guide = stores.find(CBGeoDataManager::kTopTableStoreKey);
        guide != stores.end() && guide->second)
        request->affectedStores = {guide->second};
    request->fetchLimit = 1;
    auto context = manager->managedObjectContext();
    const auto found = context ? context->executeFetchRequest(*request) : std::nullopt;
    if (!found || found->empty())
        return nullptr;
    auto tag = std::dynamic_pointer_cast<CBGeoTag>(found->front());
    if (!tag)
        return nullptr;
    for (const auto& candidate : tag->objectsForKey("objects"))
        if (auto guideObject = std::dynamic_pointer_cast<CBGeoObject>(candidate))
            return guideObject;
    return nullptr;
}

std::vector<std::shared_ptr<CBGeoTag>> topTableTags(CBGeoObject& object) {
    Tags result;
    for (const char* key : {"cuisine", "TTPriceBand", "TTSignatureDish", "TTDressCode"})
        if (auto tag = object.getTagForKey(key))
            result.push_back(tag);
    static const std::set<std::string> excluded = {
        "cuisine",      "TTPriceBand", "TTEssentialInfo", "TTSignatureDish", "TTImage",
        "TTRestaurant", "TTStatus",    "TTDressCode",     "TT_ID",           "TTChecklist"};
    const Tags others =
        sortedBy(tagsWhere(object,
                           [](CBGeoTag& tag) {
                               const std::string key = tag.key();
                               return key == "opening_hours" ||
                                      (!excluded.count(key) && !startsWith(key, "TTRating") &&
                                       !startsWith(key, "TTMenuCourse") && startsWith(key, "TT"));
                           }),
                 &CBGeoTag::key);
    result.insert(result.end(), others.begin(), others.end());
    return result;
}

std::vector<std::shared_ptr<CBGeoTag>> topTableChecklist(CBGeoObject& object) {
    return sortedBy(tagsWhere(object, [](CBGeoTag& tag) { return tag.key() == "TTChecklist"; }),
                    &CBGeoTag::attribute);
}

std::vector<std::shared_ptr<CBGeoTag>> topTableSortedMenus(CBGeoObject& object) {
    return sortedBy(
        tagsWhere(object, [](CBGeoTag& tag) { return startsWith(tag.key(), "TTMenuCourse"); }),
        &CBGeoTag::key);
}

std::vector<std::shared_ptr<CBGeoTag>> topTableDetailedRatings(CBGeoObject& object) {
    return sortedBy(tagsWhere(object,
                              [](CBGeoTag& tag) {
                                  const std::string key = tag.key();
                                  return key != "TTRatingOverall" && key != "TTRatingCount" &&
                                         startsWith(key, "TTRating");
                              }),
                    &CBGeoTag::key);
}

std::optional<std::string> overallRating(CBGeoObject& object) {
    return object.getAttributeOfTagForKey("TTRatingOverall");
}

std::optional<std::string> ratingCount(CBGeoObject& object) {
    return object.getAttributeOfTagForKey("TTRatingCount");
}

std::optional<std::string> topTableEssentialInfo(CBGeoObject& object) {
    return object.getAttributeOfTagForKey("TTEssentialInfo");
}

int bookingStatus(CBGeoObject& object) {
    const auto status = object.getAttributeOfTagForKey("TTStatus");
    if (!status)
        return -1;
    if (*status == "bookable")
        return 1;
    if (*status == "directory" || *status == "offlinerequestable" || *status == "plannable")
        return 2;
    return -1;
}
