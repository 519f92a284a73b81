#include "CoreData/NSManagedObjectID.h"

#include "CoreData/NSEntityDescription.h"
#include "CoreData/NSPersistentStore.h"

std::string NSManagedObjectID::URIRepresentation() const {
    if (!entity_)
        return {};
    if (temporary_)
        return "x-coredata:///" + entity_->name() + "/t" + std::to_string(-key_);
    return "x-coredata://" + (store_ ? store_->identifier() : std::string()) + "/" +
           entity_->name() + "/p" + std::to_string(key_);
}

bool NSManagedObjectID::operator==(const NSManagedObjectID& other) const {
    if (temporary_ != other.temporary_ || key_ != other.key_)
        return false;
    if (temporary_)
        return true;
    if (!entity_ || !other.entity_)
        return entity_ == other.entity_;
    return store_ == other.store_ && entity_->rootEntity() == other.entity_->rootEntity();
}

size_t NSManagedObjectID::hash() const {
    size_t value = std::hash<int64_t>()(key_);
    if (!temporary_) {
        value ^= std::hash<const void*>()(store_.get()) + 0x9e3779b97f4a7c15ULL + (value << 6);
    }
    return value;
}
