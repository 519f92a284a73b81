#include "CBGeoData/CBGeoEntityRegistry.h"

#include <memory>
#include <mutex>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoGroup.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoNodeInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"

namespace {

template <class T>
void registerFactory(const char* className) {
    NSManagedObject::registerClass(className, [] { return std::make_shared<T>(); });
}

// A derived boolean of class T: the const object is the one the registry
// hands out, and the accessors read (and fault) it.
template <class T>
void registerFlag(const char* className, const char* key, bool (T::*accessor)()) {
    NSManagedObject::registerDerivedProperty(
        className, key, [accessor](const NSManagedObject& object) -> Value {
            auto* typed = dynamic_cast<T*>(const_cast<NSManagedObject*>(&object));
            return typed ? Value((typed->*accessor)()) : Value();
        });
}

}  // namespace

void CBGeoEntityRegistry::registerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerFactory<CBGeoObject>("CBGeoObject");
        registerFactory<CBGeoElement>("CBGeoElement");
        registerFactory<CBGeoNode>("CBGeoNode");
        registerFactory<CBGeoNodeInfo>("CBGeoNodeInfo");
        registerFactory<CBGeoMapTile>("CBGeoMapTile");
        registerFactory<CBGeoGroup>("CBGeoGroup");
        registerFactory<CBGeoTag>("CBGeoTag");
        registerFactory<CBGeoRelation>("CBGeoRelation");
        registerFactory<CBGeoElementInfo>("CBGeoElementInfo");
        registerFactory<CBGeoAddress>("CBGeoAddress");
        registerFactory<CBGeoCity>("CBGeoCity");

        registerFlag<CBGeoObject>("CBGeoObject", "isHighway", &CBGeoObject::isHighway);
        registerFlag<CBGeoObject>("CBGeoObject", "isBuilding", &CBGeoObject::isBuilding);
        registerFlag<CBGeoObject>("CBGeoObject", "isClosed", &CBGeoObject::isClosed);
        registerFlag<CBGeoObject>("CBGeoObject", "isTransportRelated",
                                  &CBGeoObject::isTransportRelated);
        registerFlag<CBGeoElement>("CBGeoElement", "isHighway", &CBGeoElement::isHighway);
        registerFlag<CBGeoElement>("CBGeoElement", "isRailway", &CBGeoElement::isRailway);
        registerFlag<CBGeoElement>("CBGeoElement", "isBuilding", &CBGeoElement::isBuilding);
        registerFlag<CBGeoElement>("CBGeoElement", "isBridge", &CBGeoElement::isBridge);
    });
}
