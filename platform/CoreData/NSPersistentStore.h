#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "Foundation/Value.h"

class NSEntityDescription;
class NSManagedObjectModel;
class NSPersistentStoreCoordinator;

// One SQLite file added to a coordinator. Contexts open their own connection
// to it; the store object only describes it.
class NSPersistentStore {
  public:
    const std::string& type() const { return type_; }
    const std::string& configurationName() const { return configuration_; }
    const std::string& path() const { return path_; }
    const std::string& identifier() const { return identifier_; }  // the store UUID
    const Value::Dictionary& options() const { return options_; }
    const Value::Dictionary& metadata() const { return metadata_; }
    bool isReadOnly() const { return readOnly_; }
    const Value::Dictionary& pragmas() const { return pragmas_; }
    // Does the store hold rows of this entity (its configuration names it)?
    bool holdsEntity(const NSEntityDescription* entity) const;
    // False once removed from its coordinator; contexts stop using it.
    bool isAttached() const { return attached_; }

    NSPersistentStore(std::string configuration, std::string path, Value::Dictionary options);

  private:
    friend class NSPersistentStoreCoordinator;

    std::string type_ = "SQLite";
    std::string configuration_;
    std::string path_;
    std::string identifier_;
    Value::Dictionary options_;
    Value::Dictionary metadata_;
    Value::Dictionary pragmas_;
    bool readOnly_ = false;
    std::set<const NSEntityDescription*> entities_;  // empty: all
    std::atomic<bool> attached_ = true;
};
