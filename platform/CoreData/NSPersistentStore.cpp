#include "CoreData/NSPersistentStore.h"

#include "CoreData/NSEntityDescription.h"

NSPersistentStore::NSPersistentStore(std::string configuration, std::string path,
                                     Value::Dictionary options)
    : configuration_(std::move(configuration)),
      path_(std::move(path)),
      options_(std::move(options)) {}

bool NSPersistentStore::holdsEntity(const NSEntityDescription* entity) const {
    return entity && (entities_.empty() || entities_.count(entity) != 0);
}
