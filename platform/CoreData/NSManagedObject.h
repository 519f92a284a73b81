#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "CoreData/NSEntityDescription.h"
#include "CoreData/NSManagedObjectID.h"
#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

class NSManagedObjectContext;
struct FaultBatch;

// One row of an entity, owned by one context and used on that context's
// thread. Attributes are Values (dates as Value dates, booleans as bools,
// transformables through their transformer); a fault reads its row on first
// access; a to-many relationship is read with one query on first access.
// Subclasses add typed accessors over these and register a factory under
// their class name so fetches make them.
class NSManagedObject : public std::enable_shared_from_this<NSManagedObject> {
  public:
    using Factory = std::function<std::shared_ptr<NSManagedObject>()>;
    using DerivedProperty = std::function<Value(const NSManagedObject&)>;

    NSManagedObject() = default;
    virtual ~NSManagedObject() = default;
    NSManagedObject(const NSManagedObject&) = delete;
    NSManagedObject& operator=(const NSManagedObject&) = delete;

    // Class registry: entity class name to factory, and the properties a
    // class derives in code (readable by predicates and valueForKey).
    static void registerClass(const std::string& className, Factory factory);
    static void registerDerivedProperty(const std::string& className, const std::string& key,
                                        DerivedProperty property);
    static std::shared_ptr<NSManagedObject> makeObjectOfClass(const std::string& className);
    static const DerivedProperty* derivedPropertyForEntity(const NSEntityDescription* entity,
                                                           const std::string& key);

    const NSEntityDescription* entity() const { return entity_; }
    const NSManagedObjectID& objectID() const { return objectID_; }
    std::shared_ptr<NSManagedObjectContext> managedObjectContext() const { return context_.lock(); }
    bool isFault() const { return fault_; }
    bool isInserted() const { return inserted_; }
    bool isDeleted() const { return deleted_; }
    bool isUpdated() const { return updated_; }
    bool hasChanges() const { return inserted_ || deleted_ || updated_; }

    // Attributes (transient ones included) and derived properties; nil (a
    // null Value) for an unknown key. Setting an unknown key is ignored and logged.
    Value valueForKey(const std::string& key);
    void setValueForKey(const std::string& key, Value value);
    std::optional<std::string> stringForKey(const std::string& key);
    std::optional<int64_t> integerForKey(const std::string& key);
    std::optional<double> doubleForKey(const std::string& key);
    std::optional<bool> boolForKey(const std::string& key);
    std::optional<NSDate> dateForKey(const std::string& key);

    // Transformable attributes as the transformer's object (empty when nil).
    std::any transformableValueForKey(const std::string& key);
    void setTransformableValueForKey(const std::string& key, std::any object);

    // Primitive access for transient caches: never faults, never marks dirty.
    Value primitiveValueForKey(const std::string& key) const;
    void setPrimitiveValueForKey(const std::string& key, Value value);

    // Relationships. Setting keeps the inverse side in step. The list a
    // to-many accessor returns is valid until that relationship changes.
    std::shared_ptr<NSManagedObject> objectForKey(const std::string& key);
    void setObjectForKey(const std::string& key, const std::shared_ptr<NSManagedObject>& object);
    const std::vector<std::shared_ptr<NSManagedObject>>& objectsForKey(const std::string& key);
    // The members of the to-many relationship `key` that are of class T.
    template <class T>
    std::vector<std::shared_ptr<T>> objectsOfClassForKey(const std::string& key) {
        std::vector<std::shared_ptr<T>> result;
        for (const auto& member : objectsForKey(key)) {
            if (auto typed = std::dynamic_pointer_cast<T>(member))
                result.push_back(typed);
        }
        return result;
    }
    void addObjectForKey(const std::string& key, const std::shared_ptr<NSManagedObject>& object);
    void removeObjectForKey(const std::string& key, const std::shared_ptr<NSManagedObject>& object);

    // Reads the row now if this is a fault; false when the row is gone.
    bool fireFault();

  protected:
    // Called once the object is set up in its context (fetched or inserted).
    virtual void awakeFromFetch() {}
    virtual void awakeFromInsert() {}
    // Called when the object turns into a fault or its context resets.
    virtual void didTurnIntoFault() {}

  private:
    friend class NSManagedObjectContext;

    // The slot of a stored or transient attribute (a fault fired first for a
    // stored one); nullptr for a key that names none.
    const Value* attributeValueForKey(const std::string& key);

    struct ToOne {
        bool loaded = false;  // object (or nil) resolved from key
        int64_t key = 0;      // destination Z_PK, 0 for none
        std::shared_ptr<NSManagedObject> object;
    };
    struct ToMany {
        bool loaded = false;
        bool dirty = false;  // join rows need rewriting
        std::vector<std::shared_ptr<NSManagedObject>> objects;
        std::unordered_set<const NSManagedObject*> members;
    };

    const NSAttributeDescription* attributeOrLog(const std::string& key) const;
    const NSRelationshipDescription* relationshipOrLog(const std::string& key, bool toMany) const;
    void willChange();
    ToMany& loadedToMany(const NSRelationshipDescription* relationship);
    ToOne& loadedToOne(const NSRelationshipDescription* relationship);
    // Inverse bookkeeping without recursion back into this side.
    void primitiveAdd(const NSRelationshipDescription* relationship,
                      const std::shared_ptr<NSManagedObject>& object);
    void primitiveRemove(const NSRelationshipDescription* relationship,
                         const NSManagedObject* object);
    void primitiveSetToOne(const NSRelationshipDescription* relationship,
                           const std::shared_ptr<NSManagedObject>& object);
    void clearRelationships();

    const NSEntityDescription* entity_ = nullptr;
    std::weak_ptr<NSManagedObjectContext> context_;
    NSManagedObjectID objectID_;
    std::vector<Value> values_;
    std::vector<std::any> transformed_;  // decoded transformables, by attribute slot
    std::vector<ToOne> toOne_;           // by relationship slot (to-many slots unused)
    std::vector<ToMany> toMany_;         // by relationship slot (to-one slots unused)
    std::shared_ptr<FaultBatch> batch_;  // rows read together on first access
    size_t batchIndex_ = 0;
    bool fault_ = false;
    bool inserted_ = false;
    bool deleted_ = false;
    bool updated_ = false;
    bool inChangeList_ = false;
    bool pendingChange_ = false;    // changed since the last processPendingChanges
    bool announcedInsert_ = false;  // reported as inserted since the last save
    int64_t savedKey_ = 0;          // the key a save is giving this new object
};
