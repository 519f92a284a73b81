#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

// One sample package built by the project, opened read-only with the
// application's geo object model.
struct SamplePackage {
    std::string identifier;
    std::string englishName;
    std::string countryCode;
    bool hasTrainRoutes;
};

inline std::string packageFolder(const std::string& identifier) {
    return std::string(KV_PACKAGES_DIR) + "/" + identifier;
}

inline std::string packageStorePath(const std::string& identifier) {
    return packageFolder(identifier) + "/" + identifier + ".sqlite";
}

inline std::shared_ptr<NSManagedObjectContext> openPackage(const std::string& identifier) {
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    auto model = NSManagedObjectModel::modelWithContentsOfFile(
        std::string(KV_RESOURCES_DIR) + "/Quillmere.bundle/CBGeoObject.model");
    if (!model)
        return nullptr;
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    Value::Dictionary options{{NSReadOnlyPersistentStoreOption, Value(true)}};
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                 packageStorePath(identifier), options, nullptr))
        return nullptr;
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    return context;
}
