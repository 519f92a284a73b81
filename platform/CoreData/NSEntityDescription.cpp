#include "CoreData/NSEntityDescription.h"

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

const NSEntityDescription* NSEntityDescription::rootEntity() const {
    const NSEntityDescription* entity = this;
    while (entity->superentity_)
        entity = entity->superentity_;
    return entity;
}

bool NSEntityDescription::isKindOfEntity(const NSEntityDescription* other) const {
    for (const NSEntityDescription* entity = this; entity; entity = entity->superentity_) {
        if (entity == other)
            return true;
    }
    return false;
}

std::vector<int> NSEntityDescription::entityNumbersWithSubentities() const {
    std::vector<int> numbers{entityNumber_};
    for (const NSEntityDescription* sub : subentities_) {
        std::vector<int> more = sub->entityNumbersWithSubentities();
        numbers.insert(numbers.end(), more.begin(), more.end());
    }
    return numbers;
}

const NSAttributeDescription* NSEntityDescription::attributeNamed(const std::string& name) const {
    auto found = attributesByName_.find(name);
    return found == attributesByName_.end() ? nullptr : found->second;
}

const NSRelationshipDescription* NSEntityDescription::relationshipNamed(
    const std::string& name) const {
    auto found = relationshipsByName_.find(name);
    return found == relationshipsByName_.end() ? nullptr : found->second;
}

const NSEntityDescription* NSEntityDescription::entityForNameInManagedObjectContext(
    const std::string& entityName, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    const auto& model = context->persistentStoreCoordinator()->managedObjectModel();
    return model ? model->entityNamed(entityName) : nullptr;
}

std::shared_ptr<NSManagedObject>
NSEntityDescription::insertNewObjectForEntityForNameInManagedObjectContext(
    const std::string& entityName, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    return context->insertNewObjectForEntityForName(entityName);
}
