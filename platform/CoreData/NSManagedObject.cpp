#include "CoreData/NSManagedObject.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "CoreData/NSManagedObjectContext.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSValueTransformer.h"

namespace {

struct ClassRegistry {
    std::shared_mutex mutex;
    std::map<std::string, NSManagedObject::Factory> factories;
    std::map<std::string, std::map<std::string, NSManagedObject::DerivedProperty>> derived;
};

// Never destroyed: worker threads make objects of fetched rows through it.
ClassRegistry& registry() {
    static auto* shared = new ClassRegistry;
    return *shared;
}

const std::vector<std::shared_ptr<NSManagedObject>>& noObjects() {
    static const std::vector<std::shared_ptr<NSManagedObject>> empty;
    return empty;
}

}  // namespace

void NSManagedObject::registerClass(const std::string& className, Factory factory) {
    std::unique_lock lock(registry().mutex);
    registry().factories[className] = std::move(factory);
}

void NSManagedObject::registerDerivedProperty(const std::string& className, const std::string& key,
                                              DerivedProperty property) {
    std::unique_lock lock(registry().mutex);
    registry().derived[className][key] = std::move(property);
}

std::shared_ptr<NSManagedObject> NSManagedObject::makeObjectOfClass(const std::string& className) {
    {
        std::shared_lock lock(registry().mutex);
        auto found = registry().factories.find(className);
        if (found != registry().factories.end() && found->second) {
            if (auto object = found->second())
                return object;
        }
    }
    return std::make_shared<NSManagedObject>();
}

const NSManagedObject::DerivedProperty* NSManagedObject::derivedPropertyForEntity(
    const NSEntityDescription* entity, const std::string& key) {
    std::shared_lock lock(registry().mutex);
    for (; entity; entity = entity->superentity()) {
        auto byClass = registry().derived.find(entity->managedObjectClassName());
        if (byClass == registry().derived.end())
            continue;
        auto found = byClass->second.find(key);
        // Entries are never removed, so the pointer stays valid after unlocking.
        if (found != byClass->second.end())
            return &found->second;
    }
    return nullptr;
}

const NSAttributeDescription* NSManagedObject::attributeOrLog(const std::string& key) const {
    const NSAttributeDescription* attribute = entity_ ? entity_->attributeNamed(key) : nullptr;
    if (!attribute && entity_) {
        NSLogWithLevel(NSLogLevel::Warning, "Entity %s has no attribute %s",
                       entity_->name().c_str(), key.c_str());
    }
    return attribute;
}

const NSRelationshipDescription* NSManagedObject::relationshipOrLog(const std::string& key,
                                                                    bool toMany) const {
    const NSRelationshipDescription* relationship =
        entity_ ? entity_->relationshipNamed(key) : nullptr;
    if ((!relationship || relationship->toMany != toMany) && entity_) {
        NSLogWithLevel(NSLogLevel::Warning, "Entity %s has no %s relationship %s",
                       entity_->name().c_str(), toMany ? "to-many" : "to-one", key.c_str());
        return nullptr;
    }
    return relationship;
}

bool NSManagedObject::fireFault() {
    if (!fault_)
        return true;
    auto context = context_.lock();
    return context && context->fireFault(*this);
}

const Value* NSManagedObject::attributeValueForKey(const std::string& key) {
    const NSAttributeDescription* attribute = entity_ ? entity_->attributeNamed(key) : nullptr;
    if (!attribute)
        return nullptr;
    if (!attribute->transient)
        fireFault();
    return &values_[attribute->slot];
}

Value NSManagedObject::valueForKey(const std::string& key) {
    if (const Value* stored = attributeValueForKey(key))
        return *stored;
    if (const DerivedProperty* property = derivedPropertyForEntity(entity_, key))
        return (*property)(*this);
    return Value();
}

void NSManagedObject::willChange() {
    fireFault();
    if (!inserted_)
        updated_ = true;
    // Every change counts for the next change report, not only the first.
    if (pendingChange_ && inChangeList_)
        return;
    if (auto context = context_.lock())
        context->noteChanged(shared_from_this());
}

void NSManagedObject::setValueForKey(const std::string& key, Value value) {
    const NSAttributeDescription* attribute = attributeOrLog(key);
    if (!attribute)
        return;
    if (attribute->attributeType == NSAttributeType::Transformable) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Set transformable %s through setTransformableValueForKey", key.c_str());
        return;
    }
    if (!attribute->transient)
        willChange();
    values_[attribute->slot] = std::move(value);
}

// The typed getters read a stored attribute in place: the renderer asks an
// element for its codes many times per tile, and a copy of the value each
// time (a string's a heap allocation) was a good part of that.
std::optional<std::string> NSManagedObject::stringForKey(const std::string& key) {
    const Value* stored = attributeValueForKey(key);
    const Value derived = stored ? Value() : valueForKey(key);
    const std::string* text = (stored ? stored : &derived)->stringValue();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<int64_t> NSManagedObject::integerForKey(const std::string& key) {
    if (const Value* stored = attributeValueForKey(key))
        return stored->integerValue();
    return valueForKey(key).integerValue();
}

std::optional<double> NSManagedObject::doubleForKey(const std::string& key) {
    if (const Value* stored = attributeValueForKey(key))
        return stored->doubleValue();
    return valueForKey(key).doubleValue();
}

std::optional<bool> NSManagedObject::boolForKey(const std::string& key) {
    return valueForKey(key).boolValue();
}

std::optional<NSDate> NSManagedObject::dateForKey(const std::string& key) {
    return valueForKey(key).dateValue();
}

std::any NSManagedObject::transformableValueForKey(const std::string& key) {
    const NSAttributeDescription* attribute = attributeOrLog(key);
    if (!attribute)
        return {};
    if (!attribute->transient)
        fireFault();
    std::any& cached = transformed_[attribute->slot];
    if (!cached.has_value()) {
        const Value::Data* data = values_[attribute->slot].dataValue();
        auto transformer =
            NSValueTransformer::valueTransformerForName(attribute->valueTransformerName);
        if (data && transformer)
            cached = transformer->reverseTransformedValue(std::any(*data));
    }
    return cached;
}

void NSManagedObject::setTransformableValueForKey(const std::string& key, std::any object) {
    const NSAttributeDescription* attribute = attributeOrLog(key);
    if (!attribute)
        return;
    auto transformer = NSValueTransformer::valueTransformerForName(attribute->valueTransformerName);
    Value stored;
    if (object.has_value()) {
        if (!transformer) {
            NSLogWithLevel(NSLogLevel::Error, "No value transformer named %s",
                           attribute->valueTransformerName.c_str());
            return;
        }
        std::any data = transformer->transformedValue(object);
        if (const auto* bytes = std::any_cast<Value::Data>(&data))
            stored = Value(*bytes);
    }
    if (!attribute->transient)
        willChange();
    values_[attribute->slot] = std::move(stored);
    transformed_[attribute->slot] = std::move(object);
}

Value NSManagedObject::primitiveValueForKey(const std::string& key) const {
    const NSAttributeDescription* attribute = entity_ ? entity_->attributeNamed(key) : nullptr;
    return attribute ? values_[attribute->slot] : Value();
}

void NSManagedObject::setPrimitiveValueForKey(const std::string& key, Value value) {
    const NSAttributeDescription* attribute = entity_ ? entity_->attributeNamed(key) : nullptr;
    if (attribute)
        values_[attribute->slot] = std::move(value);
}

NSManagedObject::ToOne& NSManagedObject::loadedToOne(
    const NSRelationshipDescription* relationship) {
    ToOne& slot = toOne_[relationship->slot];
    if (!slot.loaded) {
        fireFault();
        if (auto context = context_.lock()) {
            slot.object = context->resolveToOne(*this, relationship);
        }
        slot.loaded = true;
    }
    return slot;
}

NSManagedObject::ToMany& NSManagedObject::loadedToMany(
    const NSRelationshipDescription* relationship) {
    ToMany& slot = toMany_[relationship->slot];
    if (!slot.loaded) {
        if (auto context = context_.lock())
            context->loadToMany(*this, relationship);
        slot.loaded = true;
    }
    return slot;
}

std::shared_ptr<NSManagedObject> NSManagedObject::objectForKey(const std::string& key) {
    const NSRelationshipDescription* relationship = relationshipOrLog(key, false);
    return relationship ? loadedToOne(relationship).object : nullptr;
}

const std::vector<std::shared_ptr<NSManagedObject>>& NSManagedObject::objectsForKey(
    const std::string& key) {
    const NSRelationshipDescription* relationship = relationshipOrLog(key, true);
    return relationship ? loadedToMany(relationship).objects : noObjects();
}

void NSManagedObject::primitiveAdd(const NSRelationshipDescription* relationship,
                                   const std::shared_ptr<NSManagedObject>& object) {
    ToMany& slot = loadedToMany(relationship);
    if (!slot.members.insert(object.get()).second)
        return;
    slot.objects.push_back(object);
    if (relationship->isManyToMany()) {
        slot.dirty = true;
        willChange();
    }
}

void NSManagedObject::primitiveRemove(const NSRelationshipDescription* relationship,
                                      const NSManagedObject* object) {
    ToMany& slot = loadedToMany(relationship);
    if (!slot.members.erase(object))
        return;
    slot.objects.erase(std::find_if(slot.objects.begin(), slot.objects.end(),
                                    [object](const auto& item) { return item.get() == object; }));
    if (relationship->isManyToMany()) {
        slot.dirty = true;
        willChange();
    }
}

void NSManagedObject::primitiveSetToOne(const NSRelationshipDescription* relationship,
                                        const std::shared_ptr<NSManagedObject>& object) {
    ToOne& slot = loadedToOne(relationship);
    if (slot.object == object)
        return;
    willChange();
    slot.object = object;
    slot.key = 0;
}

void NSManagedObject::setObjectForKey(const std::string& key,
                                      const std::shared_ptr<NSManagedObject>& object) {
    const NSRelationshipDescription* relationship = relationshipOrLog(key, false);
    if (!relationship)
        return;
    if (object && !object->entity_->isKindOfEntity(relationship->destinationEntity)) {
        NSLogWithLevel(NSLogLevel::Error, "%s.%s cannot hold an object of entity %s",
                       entity_->name().c_str(), key.c_str(), object->entity_->name().c_str());
        return;
    }
    std::shared_ptr<NSManagedObject> old = loadedToOne(relationship).object;
    if (old == object)
        return;
    const NSRelationshipDescription* inverse = relationship->inverseRelationship;
    auto self = shared_from_this();
    if (inverse && old) {
        if (inverse->toMany) {
            old->primitiveRemove(inverse, this);
        } else {
            old->primitiveSetToOne(inverse, nullptr);
        }
    }
    primitiveSetToOne(relationship, object);
    if (inverse && object) {
        if (inverse->toMany) {
            object->primitiveAdd(inverse, self);
        } else {
            // The new destination leaves its former partner.
            std::shared_ptr<NSManagedObject> previous = object->loadedToOne(inverse).object;
            if (previous && previous.get() != this)
                previous->primitiveSetToOne(relationship, nullptr);
            object->primitiveSetToOne(inverse, self);
        }
    }
}

void NSManagedObject::addObjectForKey(const std::string& key,
                                      const std::shared_ptr<NSManagedObject>& object) {
    const NSRelationshipDescription* relationship = relationshipOrLog(key, true);
    if (!relationship || !object)
        return;
    if (!object->entity_->isKindOfEntity(relationship->destinationEntity)) {
        NSLogWithLevel(NSLogLevel::Error, "%s.%s cannot hold an object of entity %s",
                       entity_->name().c_str(), key.c_str(), object->entity_->name().c_str());
        return;
    }
    const NSRelationshipDescription* inverse = relationship->inverseRelationship;
    if (!inverse->toMany) {
        // The inverse to-one moves the object here from its former owner.
        object->setObjectForKey(inverse->name, shared_from_this());
        return;
    }
    primitiveAdd(relationship, object);
    object->primitiveAdd(inverse, shared_from_this());
}

void NSManagedObject::removeObjectForKey(const std::string& key,
                                         const std::shared_ptr<NSManagedObject>& object) {
    const NSRelationshipDescription* relationship = relationshipOrLog(key, true);
    if (!relationship || !object)
        return;
    if (!loadedToMany(relationship).members.count(object.get()))
        return;
    const NSRelationshipDescription* inverse = relationship->inverseRelationship;
    if (!inverse->toMany) {
        object->setObjectForKey(inverse->name, nullptr);
        return;
    }
    primitiveRemove(relationship, object.get());
    object->primitiveRemove(inverse, this);
}

void NSManagedObject::clearRelationships() {
    for (ToOne& slot : toOne_)
        slot = ToOne{};
    for (ToMany& slot : toMany_)
        slot = ToMany{};
}
