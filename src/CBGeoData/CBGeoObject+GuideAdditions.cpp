#include "CBGeoData/CBGeoObject+GuideAdditions.h"

#include <set>

#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "foundation/NSString+ZELRegexAdditions.h"

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> tagsForDisplay(CBGeoObject& object) {
    if (isTopTableObject(object))
        return std::nullopt;
    static const std::set<std::string> hidden = {"phone",
                                                 "url",
                                                 "email",
                                                 "building",
                                                 "highway",
                                                 "firstLetter",
                                                 "originalCanonicalName",
                                                 "linkedTT_ID",
                                                 "kelvara:desc"};
    std::vector<std::shared_ptr<CBGeoTag>> shown;
    for (const auto& tag : object.tags()) {
        const std::string key = tag->key();
        if (!hidden.count(key) && key.rfind("name:", 0) != 0)
            shown.push_back(tag);
    }
    return shown;
}

std::string dynamicFirstLetter(CBGeoObject& object) {
    const auto letter = object.firstLetterOfName();
    if (!letter)
        return "-";
    return isMatchedByRegex(*letter, "\\p{L}") ? *letter : "#";
}
