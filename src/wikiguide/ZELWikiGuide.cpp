#include "wikiguide/ZELWikiGuide.h"

ZELJSONObject::Descriptors ZELWikiGuide::jsonDescriptors() const {
    return {
        {"rootGroup", ZELJSONObjectDescriptor::descriptorWithJsonKeyValidationClassAndDefaultValue(
                          "rootGroup", ZELJSONClass::model<ZELWikiGuideGroup>("ZELWikiGuideGroup"),
                          std::nullopt, false)}};
}

size_t ZELWikiGuide::walksCount() const {
    const auto root = rootGroup();
    if (!root)
        return 0;
    size_t walks = 0;
    for (const auto& group : root->recursiveSubGroups())
        walks += group->type() == ZELWikiGuideItem::TypeWalk ? 1 : 0;
    return walks;
}
