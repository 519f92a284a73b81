#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSPathUtilities.h"

// A fresh geo store with the application's own geo object model and the geo
// entity classes, in a temporary folder (also the application's home: the
// distance unit is a user default).
class GeoEntityTest : public ::testing::Test {
  protected:
    static std::string resourcesPath() {
        const char* root = getenv("KELVARA_TEST_DATA");
        return std::string(root ? root : "tests/data") + "/../../resources";
    }

    void SetUp() override {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvgeoentity.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        NSSetApplicationHome(directory_);
        model_ = NSManagedObjectModel::modelWithContentsOfFile(
            resourcesPath() + "/Quillmere.bundle/CBGeoObject.model");
        ASSERT_NE(model_, nullptr);
        context_ = newContext();
        ASSERT_NE(context_, nullptr);
    }

    void TearDown() override {
        context_.reset();
        NSSetApplicationHome("");
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    // Another context on a coordinator over the same store file.
    std::shared_ptr<NSManagedObjectContext> newContext() {
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model_);
        if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                     directory_ + "/geo.sqlite", {}, nullptr))
            return nullptr;
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        return context;
    }

    std::string directory_;
    std::shared_ptr<NSManagedObjectModel> model_;
    std::shared_ptr<NSManagedObjectContext> context_;
};
