#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreData/NSManagedObject.h"

// The area of a map package: its names in several languages, its country,
// its box and the overlay layers it offers. Name records are "cityName" rows
// (`lang` upper case, `name`).
class CBGeoCity : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "city";
    static constexpr const char* kNameEntityName = "cityName";

    std::optional<std::string> countryCode() { return stringForKey("countryCode"); }
    std::optional<int64_t> overlay() { return integerForKey("overlay"); }
    // The "cityName" records.
    const std::vector<std::shared_ptr<NSManagedObject>>& names() { return objectsForKey("names"); }
    void addLocalizedName(const std::shared_ptr<NSManagedObject>& nameRecord) {
        addObjectForKey("names", nameRecord);
    }
    // The name in the current locale's language, else "EN", else any; nullopt without names.
    std::optional<std::string> localizedName();
    // The same for a given language code (upper case).
    std::optional<std::string> localizedNameForLanguage(const std::string& language);
    // The corners read at single precision, as the stored box has always been read.
    std::shared_ptr<CBBoundingBox> boundingBox();
    bool hasOverlayType(int64_t mask);
};
