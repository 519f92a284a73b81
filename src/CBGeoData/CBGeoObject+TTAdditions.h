#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CBGeoDataManager;
class CBGeoObject;
class CBGeoTag;

// The restaurant guide's data of a place: guide objects carry "TT..." tags in
// a store opened under the key "toptable"; a map object points to its guide
// entry with "linkedTT_ID".

// "TT_ID", else "linkedTT_ID", as a number.
std::optional<int64_t> ttID(CBGeoObject& object);
bool isTopTableObject(CBGeoObject& object);
bool hasRelatedTopTableObject(CBGeoObject& object);
bool hasTopTableRatings(CBGeoObject& object);
bool hasTopTableMenus(CBGeoObject& object);
std::optional<std::string> toptableImageFileName(CBGeoObject& object);
// The guide entry of a map object, looked up in the "toptable" store when
// one is open. Main thread.
std::shared_ptr<CBGeoObject> relatedTopTableObjectFromDataManager(
    CBGeoObject& object, const std::shared_ptr<CBGeoDataManager>& manager);
// "cuisine", "TTPriceBand", "TTSignatureDish", "TTDressCode", then
// "opening_hours" and the other guide tags by key (no ratings, menus,
// status, image, identifiers, checklist or essential information).
std::vector<std::shared_ptr<CBGeoTag>> topTableTags(CBGeoObject& object);
std::vector<std::shared_ptr<CBGeoTag>> topTableChecklist(CBGeoObject& object);
std::vector<std::shared_ptr<CBGeoTag>> topTableSortedMenus(CBGeoObject& object);
std::vector<std::shared_ptr<CBGeoTag>> topTableDetailedRatings(CBGeoObject& object);
std::optional<std::string> overallRating(CBGeoObject& object);
std::optional<std::string> ratingCount(CBGeoObject& object);
std::optional<std::string> topTableEssentialInfo(CBGeoObject& object);
// 1: online and telephone booking; 2: telephone only; -1: none.
int bookingStatus(CBGeoObject& object);
