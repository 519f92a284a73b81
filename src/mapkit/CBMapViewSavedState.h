#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Value.h"

class CBBoundingBox;

// The part of each map last seen, kept across launches in
// "CBMap_state.plist" in the caches directory: per map identifier (the
// open map's; "default" for none) the visible box and the native zoom level.
// A missing or unreadable file counts as empty; the next save replaces an
// unreadable one.
//
// Threads: main thread.
class CBMapViewSavedState {
  public:
    static constexpr const char* kFileName = "CBMap_state.plist";
    static constexpr const char* kDefaultIdentifier = "default";

    static std::string filePath();
    // Records the box and zoom under the identifier (nullopt: "default");
    // false (logged) when the file cannot be written.
    static bool saveBoundingBoxAndZoomlevelForMapWithIdentifier(
        const CBBoundingBox& box, int zoom, const std::optional<std::string>& identifier);
    // nullopt for a nullopt identifier or one with nothing saved.
    static std::optional<Value::Dictionary> persistentDictionaryForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::optional<int> persistentZoomlevelForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::shared_ptr<CBBoundingBox> persistentBoundingBoxForMapWithIdentifier(
        const std::optional<std::string>& identifier);
};
