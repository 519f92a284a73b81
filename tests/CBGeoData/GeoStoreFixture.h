#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"

// A temporary folder (also the application's home), the test bundle with the
// geo object model as main bundle, and helpers to write geo stores.
class GeoStoreTest : public ::testing::Test {
  protected:
    static std::string bundlePath() {
        const char* root = getenv("KELVARA_TEST_DATA");
        return std::string(root ? root : "tests/data") + "/coredata/bundle";
    }

    void SetUp() override {
        CBCoordinatePathValueTransformer::registerTransformer();
        NSBundle::setMainBundlePath(bundlePath());
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvgeostore.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        NSSetApplicationHome(directory_);
        model_ = NSManagedObjectModel::modelWithContentsOfFile(
            bundlePath() + "/Quillmere.bundle/CBGeoObject.model");
        ASSERT_NE(model_, nullptr);
    }

    void TearDown() override {
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    std::string file(const std::string& name) const { return directory_ + "/" + name; }

    // Writes a geo store holding objects with the given names.
    std::string makeStore(const std::string& name, const std::vector<std::string>& objectNames) {
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model_);
        EXPECT_NE(
            coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", file(name), {}, nullptr),
            nullptr);
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        for (const std::string& objectName : objectNames) {
            auto object = context->insertNewObjectForEntityForName("object");
            object->setValueForKey("name", Value(objectName));
            object->setValueForKey("canonicalName", Value(objectName));
        }
        EXPECT_TRUE(context->save());
        return file(name);
    }

    static std::vector<uint8_t> bytesOfFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    std::string makeCorruptFile(const std::string& name) {
        std::ofstream out(file(name), std::ios::binary);
        out << std::string(2048, 'x');
        return file(name);
    }

    static void runMainLoopUntil(const std::function<bool()>& predicate) {
        NSRunLoop::mainRunLoop()->runUntil(predicate, 10.0);
    }

    std::string directory_;
    std::shared_ptr<NSManagedObjectModel> model_;
};
