#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSEntityDescription.h"
#include "CoreData/NSPredicate.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"

class NSFetchRequest;

// The entities of a store, read from a model file (format in docs/COREDATA.md).
// Immutable once read, so any thread may use it.
class NSManagedObjectModel {
  public:
    // nullptr and a logged error (and *error) when the file is missing or malformed.
    static std::shared_ptr<NSManagedObjectModel> modelWithContentsOfFile(const std::string& path,
                                                                         NSError* error = nullptr);
    static std::shared_ptr<NSManagedObjectModel> modelWithText(const std::string& text,
                                                               NSError* error = nullptr);

    const std::string& name() const { return name_; }
    // Entities sorted by name; Z_ENT is the position in this list plus one.
    const std::vector<std::unique_ptr<NSEntityDescription>>& entities() const { return entities_; }
    const NSEntityDescription* entityNamed(const std::string& name) const;
    const NSEntityDescription* entityWithNumber(int number) const;
    // Entity names of a configuration; empty for an unknown one.
    std::vector<std::string> entityNamesForConfiguration(const std::string& configuration) const;
    bool hasConfiguration(const std::string& configuration) const;
    // The store metadata key of the version hash of each entity a store holds.
    static constexpr const char* NSStoreModelVersionHashesKey = "NSStoreModelVersionHashes";
    // Whether a store with that metadata holds the entities of the
    // configuration ("" for the whole model) in this model's versions: the
    // test a store passes before it is added.
    bool isConfigurationCompatibleWithStoreMetadata(const std::string& configuration,
                                                    const Value::Dictionary& metadata) const;

    // A copy of the named fetch template with its $VARIABLES replaced;
    // nullptr when there is no such template.
    std::shared_ptr<NSFetchRequest> fetchRequestFromTemplateWithNameSubstitutionVariables(
        const std::string& name, const NSPredicate::Variables& variables) const;
    std::shared_ptr<NSFetchRequest> fetchRequestTemplateForName(const std::string& name) const;

  private:
    friend class NSManagedObjectModelReader;

    bool resolve(std::string* reason);

    std::string name_;
    std::vector<std::unique_ptr<NSEntityDescription>> entities_;
    std::map<std::string, NSEntityDescription*> entitiesByName_;
    std::map<std::string, std::vector<std::string>> configurations_;
    std::map<std::string, std::shared_ptr<NSFetchRequest>> fetchTemplates_;
};
