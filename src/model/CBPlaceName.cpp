#include "model/CBPlaceName.h"

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"

std::string CBPlaceNameForList(CBGeoObject& object, const Value& translations) {
    if (auto name = object.displayName(); name && !name->empty())
        return *name;
    auto type = object.displayTypeTag();
    return type ? type->translatedAttributeFromDictionary(&translations).value_or("") : "";
}
