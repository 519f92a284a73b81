#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class NSEntityDescription;
class NSPersistentStore;

// The identity of a managed object: its store, its entity and its row's Z_PK.
// An object inserted and not yet saved has a temporary ID (store unset until
// assigned, a negative key); saving gives it a permanent one.
class NSManagedObjectID {
  public:
    NSManagedObjectID() = default;
    NSManagedObjectID(std::shared_ptr<NSPersistentStore> store, const NSEntityDescription* entity,
                      int64_t key, bool temporary)
        : store_(std::move(store)), entity_(entity), key_(key), temporary_(temporary) {}

    bool isNull() const { return entity_ == nullptr; }
    const NSEntityDescription* entity() const { return entity_; }
    const std::shared_ptr<NSPersistentStore>& persistentStore() const { return store_; }
    int64_t primaryKey() const { return key_; }
    bool isTemporaryID() const { return temporary_; }

    // "x-coredata://<store UUID>/<entity>/p<N>"; a temporary ID gives
    // "x-coredata:///<entity>/t<N>".
    std::string URIRepresentation() const;

    bool operator==(const NSManagedObjectID& other) const;
    bool operator!=(const NSManagedObjectID& other) const { return !(*this == other); }
    size_t hash() const;

  private:
    std::shared_ptr<NSPersistentStore> store_;
    const NSEntityDescription* entity_ = nullptr;
    int64_t key_ = 0;
    bool temporary_ = false;
};

template <>
struct std::hash<NSManagedObjectID> {
    size_t operator()(const NSManagedObjectID& id) const { return id.hash(); }
};
