#include "mapkit/CBMapViewSavedState.h"

#include <filesystem>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

Value::Dictionary readStateFile() {
    const std::string path = CBMapViewSavedState::filePath();
    NSError error;
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path, &error);
    const Value::Dictionary* state = plist ? plist->dictionaryValue() : nullptr;
    if (std::error_code ignored; !state && std::filesystem::exists(path, ignored))
        NSLogWithLevel(NSLogLevel::Error, "Map view state %s unreadable, starting without it: %s",
                       path.c_str(),
                       plist ? "not a dictionary" : error.localizedDescription().c_str());
    return state ? *state : Value::Dictionary{};
}

}  // namespace

std::string CBMapViewSavedState::filePath() {
    return (std::filesystem::path(CBGeoDataManager::applicationCachesDirectory()) / kFileName)
        .string();
}

bool CBMapViewSavedState::saveBoundingBoxAndZoomlevelForMapWithIdentifier(
    const CBBoundingBox& box, int zoom, const std::optional<std::string>& identifier) {
    Value::Dictionary state = readStateFile();
    Value::Dictionary entry = box.dictionary();
    entry["zoom"] = Value(static_cast<int64_t>(zoom));
    state[identifier.value_or(kDefaultIdentifier)] = Value(std::move(entry));
    std::error_code ignored;
    std::filesystem::create_directories(CBGeoDataManager::applicationCachesDirectory(), ignored);
    if (NSPropertyListSerialization::writePropertyListToFile(
            Value(std::move(state)), filePath(), NSPropertyListSerialization::Format::XML))
        return true;
    NSLogWithLevel(NSLogLevel::Error, "CBMapViewSavedState: cannot write %s", filePath().c_str());
    return false;
}

std::optional<Value::Dictionary> CBMapViewSavedState::persistentDictionaryForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    if (!identifier)
        return std::nullopt;
    Value::Dictionary state = readStateFile();
    auto it = state.find(*identifier);
    const Value::Dictionary* entry = it == state.end() ? nullptr : it->second.dictionaryValue();
    if (!entry)
        return std::nullopt;
    return *entry;
}

std::optional<int> CBMapViewSavedState::persistentZoomlevelForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    auto entry = persistentDictionaryForMapWithIdentifier(identifier);
    if (!entry)
        return std::nullopt;
    auto it = entry->find("zoom");
    auto zoom = it == entry->end() ? std::nullopt : it->second.integerValue();
    if (!zoom)
        return std::nullopt;
    return static_cast<int>(*zoom);
}

std::shared_ptr<CBBoundingBox> CBMapViewSavedState::persistentBoundingBoxForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    auto entry = persistentDictionaryForMapWithIdentifier(identifier);
    return entry ? CBBoundingBox::bboxFromDictionary(*entry) : nullptr;
}
