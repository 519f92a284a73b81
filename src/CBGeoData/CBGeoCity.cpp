#include "CBGeoData/CBGeoCity.h"

#include <unicode/locid.h>
#include <algorithm>
#include <cctype>

std::optional<std::string> CBGeoCity::localizedName() {
    std::string language = icu::Locale::getDefault().getLanguage();
    std::transform(language.begin(), language.end(), language.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return localizedNameForLanguage(language);
}

std::optional<std::string> CBGeoCity::localizedNameForLanguage(const std::string& language) {
    const auto& records = objectsForKey("names");
    for (const std::string& wanted : {language, std::string("EN")}) {
        for (const auto& record : records) {
            if (record->stringForKey("lang") == wanted)
                return record->stringForKey("name");
        }
    }
    if (records.empty())
        return std::nullopt;
    return records.front()->stringForKey("name");
}

std::shared_ptr<CBBoundingBox> CBGeoCity::boundingBox() {
    auto corner = [this](const char* key) {
        return static_cast<double>(static_cast<float>(doubleForKey(key).value_or(0.0)));
    };
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        {corner("NELatitude"), corner("NELongitude")},
        {corner("SWLatitude"), corner("SWLongitude")});
}

bool CBGeoCity::hasOverlayType(int64_t mask) {
    return (overlay().value_or(0) & mask) == mask;
}
