#include "CBGeoData/CBGeoGroup.h"

#include <vector>

#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSManagedObjectContext.h"

std::shared_ptr<CBGeoGroup> CBGeoGroup::groupWithNameAndSubtitleInContext(
    const std::optional<std::string>& name, const std::optional<std::string>& subtitle,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    auto group = std::dynamic_pointer_cast<CBGeoGroup>(
        context->insertNewObjectForEntityForName(kEntityName));
    if (group) {
        group->setValueForKey("name", name ? Value(*name) : Value());
        group->setValueForKey("subtitle", subtitle ? Value(*subtitle) : Value());
    }
    return group;
}

void CBGeoGroup::deleteContainedObjects() {
    // A copy: deleting an object takes it out of this list.
    std::vector<std::shared_ptr<NSManagedObject>> members = objectsForKey("objects");
    for (const auto& member : members) {
        if (auto object = std::dynamic_pointer_cast<CBGeoObject>(member))
            object->deleteAndCascadeToElementAndCheckRelationships(true, true);
    }
}

std::vector<std::shared_ptr<CBGeoObject>> CBGeoGroup::objects() {
    return objectsOfClassForKey<CBGeoObject>("objects");
}
