#include "CoreData/NSManagedObjectModel.h"

#include <functional>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectModelReader.h"
#include "Foundation/NSLog.h"

namespace {

std::string upper(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string fnv1aHex(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

int depth(const NSEntityDescription* entity) {
    int levels = 0;
    for (; entity->superentity(); entity = entity->superentity())
        ++levels;
    return levels;
}

std::shared_ptr<NSManagedObjectModel> failed(const std::string& reason, NSError* error) {
    NSLogWithLevel(NSLogLevel::Error, "Managed object model: %s", reason.c_str());
    if (error) {
        *error = NSError::errorWithDomain(NSError::NSCocoaErrorDomain,
                                          NSError::NSFileReadCorruptFileError,
                                          {{NSError::NSLocalizedDescriptionKey, Value(reason)}});
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<NSManagedObjectModel> NSManagedObjectModel::modelWithContentsOfFile(
    const std::string& path, NSError* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        NSLogWithLevel(NSLogLevel::Error, "No managed object model at %s", path.c_str());
        NSError::setCocoaError(error, NSError::NSFileNoSuchFileError, "No model file", path);
        return nullptr;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return modelWithText(text.str(), error);
}

std::shared_ptr<NSManagedObjectModel> NSManagedObjectModel::modelWithText(const std::string& text,
                                                                          NSError* error) {
    std::string reason;
    std::shared_ptr<NSManagedObjectModel> model = NSManagedObjectModelReader::read(text, &reason);
    if (!model || !model->resolve(&reason))
        return failed(reason, error);
    return model;
}

bool NSManagedObjectModel::resolve(std::string* reason) {
    std::sort(entities_.begin(), entities_.end(),
              [](const auto& a, const auto& b) { return a->name_ < b->name_; });
    for (size_t i = 0; i < entities_.size(); ++i) {
        NSEntityDescription& entity = *entities_[i];
        entity.entityNumber_ = static_cast<int>(i + 1);
        entity.model_ = this;
        if (!entity.superentityName_.empty()) {
            auto parent = entitiesByName_.find(entity.superentityName_);
            if (parent == entitiesByName_.end()) {
                *reason =
                    "entity " + entity.name_ + " has unknown parent " + entity.superentityName_;
                return false;
            }
            entity.superentity_ = parent->second;
            parent->second->subentities_.push_back(&entity);
        }
    }
    // Parents first, so inherited properties are resolved before their heirs.
    std::vector<NSEntityDescription*> ordered;
    for (auto& entity : entities_) {
        int levels = 0;
        for (const NSEntityDescription* e = entity.get(); e->superentity_; e = e->superentity_) {
            if (++levels > static_cast<int>(entities_.size())) {
                *reason = "entity " + entity->name_ + " inherits from itself";
                return false;
            }
        }
        ordered.push_back(entity.get());
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto* a, const auto* b) { return depth(a) < depth(b); });
    for (NSEntityDescription* entity : ordered) {
        if (entity->superentity_) {
            entity->attributes_ = entity->superentity_->attributes_;
            entity->relationships_ = entity->superentity_->relationships_;
        } else {
            entity->tableName_ = "Z" + upper(entity->name_);
        }
        for (auto& attribute : entity->ownAttributes_) {
            attribute->slot = entity->attributes_.size();
            if (!attribute->transient)
                attribute->columnName = "Z" + upper(attribute->name);
            if (attribute->attributeType == NSAttributeType::Transformable &&
                attribute->valueTransformerName.empty()) {
                *reason = "transformable " + entity->name_ + "." + attribute->name +
                          " needs transformer=";
                return false;
            }
            entity->attributes_.push_back(attribute);
        }
        for (auto& relationship : entity->ownRelationships_) {
            relationship->slot = entity->relationships_.size();
            relationship->entity = entity;
            if (!relationship->toMany)
                relationship->columnName = "Z" + upper(relationship->name);
            entity->relationships_.push_back(relationship);
        }
        for (const auto& attribute : entity->attributes_) {
            if (!entity->attributesByName_.emplace(attribute->name, attribute.get()).second) {
                *reason = "entity " + entity->name_ + " declares " + attribute->name + " twice";
                return false;
            }
        }
        for (const auto& relationship : entity->relationships_) {
            if (entity->attributesByName_.count(relationship->name) ||
                !entity->relationshipsByName_.emplace(relationship->name, relationship.get())
                     .second) {
                *reason = "entity " + entity->name_ + " declares " + relationship->name + " twice";
                return false;
            }
        }
        for (const auto& index : entity->indexes_) {
            for (const std::string& name : index) {
                if (!entity->attributeNamed(name) && !entity->relationshipNamed(name)) {
                    *reason = "index of " + entity->name_ + " names unknown " + name;
                    return false;
                }
            }
        }
    }
    for (auto& entity : entities_) {
        for (auto& relationship : entity->ownRelationships_) {
            auto destination = entitiesByName_.find(relationship->destinationEntityName);
            if (destination == entitiesByName_.end()) {
                *reason = "relationship " + entity->name_ + "." + relationship->name +
                          " has unknown destination " + relationship->destinationEntityName;
                return false;
            }
            relationship->destinationEntity = destination->second;
            if (!relationship->inverseName.empty()) {
                auto* inverse = const_cast<NSRelationshipDescription*>(
                    destination->second->relationshipNamed(relationship->inverseName));
                if (!inverse ||
                    !entity->isKindOfEntity(entitiesByName_[inverse->destinationEntityName])) {
                    *reason = "relationship " + entity->name_ + "." + relationship->name +
                              " has no matching inverse " + relationship->inverseName;
                    return false;
                }
                relationship->inverseRelationship = inverse;
            } else if (relationship->toMany) {
                *reason = "to-many relationship " + entity->name_ + "." + relationship->name +
                          " needs an inverse";
                return false;
            }
        }
    }
    for (auto& entity : entities_) {
        for (auto& relationship : entity->ownRelationships_) {
            if (!relationship->isManyToMany())
                continue;
            const NSRelationshipDescription* inverse = relationship->inverseRelationship;
            auto sideKey = [](const NSRelationshipDescription* r) {
                return std::make_pair(r->entity->entityNumber_, r->name);
            };
            bool canonical = sideKey(relationship.get()) <= sideKey(inverse);
            const NSRelationshipDescription* first = canonical ? relationship.get() : inverse;
            relationship->ownsJoinTable = first == relationship.get();
            relationship->joinTable =
                "Z_" + std::to_string(first->entity->entityNumber_) + upper(first->name);
            relationship->joinSourceColumn =
                "Z_" + std::to_string(entity->entityNumber_) + upper(inverse->name);
            relationship->joinDestinationColumn =
                "Z_" + std::to_string(inverse->entity->entityNumber_) + upper(relationship->name);
        }
    }
    // Columns of each table: every stored attribute and to-one relationship of
    // the root's family, in entity number order, each name once.
    for (auto& entity : entities_) {
        NSEntityDescription* root = const_cast<NSEntityDescription*>(entity->rootEntity());
        auto columnFor = [root](const std::string& column) {
            auto& columns = root->tableColumns_;
            auto found = std::find(columns.begin(), columns.end(), column);
            if (found != columns.end())
                return static_cast<int>(found - columns.begin());
            columns.push_back(column);
            return static_cast<int>(columns.size() - 1);
        };
        for (auto& attribute : entity->attributes_) {
            if (!attribute->transient)
                attribute->columnIndex = columnFor(attribute->columnName);
        }
        for (auto& relationship : entity->relationships_) {
            if (!relationship->toMany)
                relationship->columnIndex = columnFor(relationship->columnName);
        }
    }
    for (auto& entity : entities_) {
        std::ostringstream shape;
        shape << entity->name_ << "<" << entity->superentityName_ << ">";
        std::vector<std::string> parts;
        for (const auto& attribute : entity->attributes_) {
            if (attribute->transient)
                continue;
            parts.push_back("a:" + attribute->name + ":" +
                            NSAttributeTypeName(attribute->attributeType));
        }
        for (const auto& relationship : entity->relationships_) {
            parts.push_back("r:" + relationship->name + ":" + relationship->destinationEntityName +
                            (relationship->toMany ? ":*" : ":1"));
        }
        std::sort(parts.begin(), parts.end());
        for (const std::string& part : parts)
            shape << part << ";";
        entity->versionHash_ = fnv1aHex(shape.str());
    }
    for (const auto& [name, entityNames] : configurations_) {
        for (const std::string& entityName : entityNames) {
            if (!entitiesByName_.count(entityName)) {
                *reason = "configuration " + name + " names unknown entity " + entityName;
                return false;
            }
        }
    }
    for (const auto& [name, request] : fetchTemplates_) {
        if (!entitiesByName_.count(request->entityName)) {
            *reason = "fetch template " + name + " names unknown entity " + request->entityName;
            return false;
        }
    }
    return true;
}

const NSEntityDescription* NSManagedObjectModel::entityNamed(const std::string& name) const {
    auto found = entitiesByName_.find(name);
    return found == entitiesByName_.end() ? nullptr : found->second;
}

const NSEntityDescription* NSManagedObjectModel::entityWithNumber(int number) const {
    if (number < 1 || number > static_cast<int>(entities_.size()))
        return nullptr;
    return entities_[static_cast<size_t>(number - 1)].get();
}

std::vector<std::string> NSManagedObjectModel::entityNamesForConfiguration(
    const std::string& configuration) const {
    auto found = configurations_.find(configuration);
    return found == configurations_.end() ? std::vector<std::string>{} : found->second;
}

bool NSManagedObjectModel::hasConfiguration(const std::string& configuration) const {
    return configurations_.count(configuration) != 0;
}

bool NSManagedObjectModel::isConfigurationCompatibleWithStoreMetadata(
    const std::string& configuration, const Value::Dictionary& metadata) const {
    auto stored = metadata.find(NSStoreModelVersionHashesKey);
    const Value::Dictionary* hashes =
        stored == metadata.end() ? nullptr : stored->second.dictionaryValue();
    if (!hashes)
        return false;
    std::map<std::string, std::string> expected;
    std::function<void(const NSEntityDescription*)> add = [&](const NSEntityDescription* entity) {
        expected[entity->name()] = entity->versionHash();
        for (const NSEntityDescription* sub : entity->subentities())
            add(sub);
    };
    if (configuration.empty()) {
        for (const auto& entity : entities_)
            expected[entity->name()] = entity->versionHash();
    } else {
        for (const std::string& name : entityNamesForConfiguration(configuration))
            if (const NSEntityDescription* entity = entityNamed(name))
                add(entity);
    }
    std::map<std::string, std::string> found;
    for (const auto& [name, hash] : *hashes)
        if (const std::string* text = hash.stringValue())
            found[name] = *text;
    return expected == found;
}

std::shared_ptr<NSFetchRequest> NSManagedObjectModel::fetchRequestTemplateForName(
    const std::string& name) const {
    auto found = fetchTemplates_.find(name);
    if (found == fetchTemplates_.end())
        return nullptr;
    return std::make_shared<NSFetchRequest>(*found->second);
}

std::shared_ptr<NSFetchRequest>
NSManagedObjectModel::fetchRequestFromTemplateWithNameSubstitutionVariables(
    const std::string& name, const NSPredicate::Variables& variables) const {
    std::shared_ptr<NSFetchRequest> request = fetchRequestTemplateForName(name);
    if (request && request->predicate) {
        request->predicate = request->predicate->predicateWithSubstitutionVariables(variables);
    }
    return request;
}
