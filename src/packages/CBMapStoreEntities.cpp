#include "packages/CBMapStoreEntities.h"

#include <memory>
#include <mutex>

#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreMapTitle.h"

namespace {
template <class T>
void registerFactory(const char* className) {
    NSManagedObject::registerClass(className, [] { return std::make_shared<T>(); });
}
}  // namespace

void CBMapStoreEntities::registerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerFactory<CBMapStoreGroup>("CBMapStoreGroup");
        registerFactory<CBMapStoreCountry>("CBMapStoreCountry");
        registerFactory<CBMapStoreFederalRegion>("CBMapStoreFederalRegion");
        registerFactory<CBMapStoreMap>("CBMapStoreMap");
        registerFactory<CBMapStoreMapTitle>("CBMapStoreMapTitle");
    });
}
