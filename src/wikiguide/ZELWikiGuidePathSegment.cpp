#include "wikiguide/ZELWikiGuidePathSegment.h"

ZELJSONObject::Descriptors ZELWikiGuidePathSegment::jsonDescriptors() const {
    return {{"coordinates", ZELJSONObjectArrayDescriptor::
                                descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                                    "coordinates", ZELJSONClass::number(), std::nullopt, true)}};
}

std::vector<double> ZELWikiGuidePathSegment::coordinates() const {
    std::vector<double> numbers;
    if (const auto* members = valueForProperty("coordinates").array()) {
        numbers.reserve(members->size());
        for (const auto& member : *members) {
            if (const Value* value = member.value())
                numbers.push_back(value->doubleValue().value_or(0.0));
        }
    }
    return numbers;
}
