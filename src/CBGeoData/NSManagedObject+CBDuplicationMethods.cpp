#include "CBGeoData/NSManagedObject+CBDuplicationMethods.h"

std::shared_ptr<NSManagedObject> duplicateToManagedContext(
    NSManagedObject& object, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context || !object.entity())
        return nullptr;
    auto copy = context->insertNewObjectForEntityForName(object.entity()->name());
    if (!copy)
        return nullptr;
    for (const auto& attribute : object.entity()->attributes()) {
        if (!copy->entity()->attributeNamed(attribute->name))
            continue;
        if (attribute->attributeType == NSAttributeType::Transformable) {
            copy->setTransformableValueForKey(attribute->name,
                                              object.transformableValueForKey(attribute->name));
        } else {
            copy->setValueForKey(attribute->name, object.valueForKey(attribute->name));
        }
    }
    return copy;
}
