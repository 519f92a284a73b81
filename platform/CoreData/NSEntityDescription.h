#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "CoreData/NSAttributeDescription.h"
#include "CoreData/NSRelationshipDescription.h"

class NSManagedObject;
class NSManagedObjectContext;
class NSManagedObjectModel;

// One entity of a model. Sub-entities share their root entity's table and are
// told apart by Z_ENT, as Core Data's stores lay them out.
class NSEntityDescription {
  public:
    const std::string& name() const { return name_; }
    const std::string& managedObjectClassName() const { return className_; }
    bool isAbstract() const { return abstract_; }
    const NSEntityDescription* superentity() const { return superentity_; }
    const NSEntityDescription* rootEntity() const;
    const std::vector<const NSEntityDescription*>& subentities() const { return subentities_; }
    bool isKindOfEntity(const NSEntityDescription* other) const;
    // This entity's Z_ENT and those of all its descendants.
    std::vector<int> entityNumbersWithSubentities() const;

    int entityNumber() const { return entityNumber_; }  // Z_ENT, from 1
    const std::string& tableName() const { return rootEntity()->tableName_; }
    // The stored columns of the table after Z_PK, Z_ENT and Z_OPT (root entity's list).
    const std::vector<std::string>& tableColumns() const { return rootEntity()->tableColumns_; }
    const NSManagedObjectModel* managedObjectModel() const { return model_; }

    // Attributes and relationships, inherited ones first.
    const std::vector<std::shared_ptr<NSAttributeDescription>>& attributes() const {
        return attributes_;
    }
    const std::vector<std::shared_ptr<NSRelationshipDescription>>& relationships() const {
        return relationships_;
    }
    const NSAttributeDescription* attributeNamed(const std::string& name) const;
    const NSRelationshipDescription* relationshipNamed(const std::string& name) const;
    // Index groups declared on this entity (attribute names).
    const std::vector<std::vector<std::string>>& indexes() const { return indexes_; }

    // A hash of everything that shapes the stored rows; two models whose
    // entities hash alike read each other's stores.
    const std::string& versionHash() const { return versionHash_; }

    static std::shared_ptr<NSManagedObject> insertNewObjectForEntityForNameInManagedObjectContext(
        const std::string& entityName, const std::shared_ptr<NSManagedObjectContext>& context);
    static const NSEntityDescription* entityForNameInManagedObjectContext(
        const std::string& entityName, const std::shared_ptr<NSManagedObjectContext>& context);

  private:
    friend class NSManagedObjectModel;
    friend class NSManagedObjectModelReader;

    std::string name_;
    std::string className_ = "NSManagedObject";
    std::string superentityName_;
    bool abstract_ = false;
    const NSEntityDescription* superentity_ = nullptr;
    std::vector<const NSEntityDescription*> subentities_;
    int entityNumber_ = 0;
    std::string tableName_;
    std::vector<std::string> tableColumns_;
    const NSManagedObjectModel* model_ = nullptr;

    // As declared on this entity only; resolved lists include inherited ones.
    std::vector<std::shared_ptr<NSAttributeDescription>> ownAttributes_;
    std::vector<std::shared_ptr<NSRelationshipDescription>> ownRelationships_;
    std::vector<std::shared_ptr<NSAttributeDescription>> attributes_;
    std::vector<std::shared_ptr<NSRelationshipDescription>> relationships_;
    std::unordered_map<std::string, const NSAttributeDescription*> attributesByName_;
    std::unordered_map<std::string, const NSRelationshipDescription*> relationshipsByName_;
    std::vector<std::vector<std::string>> indexes_;
    std::string versionHash_;
};
