#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"

// A geo data manager over a copy of the sample city package (Neubrandenburg)
// that the package builder makes in <build>/packages, with the application's
// resources as main bundle. The package is found through
// KELVARA_PACKAGES_DIR, else next to the test binary's build tree.
class GeoPackageTest : public ::testing::Test {
  protected:
    static std::string packagesDirectory() {
        if (const char* configured = getenv("KELVARA_PACKAGES_DIR"))
            return configured;
        std::error_code error;
        auto binary = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error)
            return {};
        // <build>/tests/CBGeoData/test_CBGeoData
        return (binary.parent_path().parent_path().parent_path() / "packages").string();
    }

    static std::string resourcesPath() {
        const char* root = getenv("KELVARA_TEST_DATA");
        return std::string(root ? root : "tests/data") + "/../../resources";
    }

    static void SetUpTestSuite() {
        std::string source = packagesDirectory() + "/neubrandenburg/neubrandenburg.sqlite";
        if (!std::filesystem::is_regular_file(source))
            return;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvgeopackage.XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        directory() = pattern;
        storePath() = pattern + "/neubrandenburg.sqlite";
        std::filesystem::copy_file(source, storePath());
    }

    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!directory().empty())
            std::filesystem::remove_all(directory(), ignored);
        directory().clear();
        storePath().clear();
    }

    void SetUp() override {
        if (storePath().empty())
            GTEST_SKIP() << "the sample package is not built (target map_packages)";
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath(resourcesPath());
        manager_ = CBGeoDataManager::create();
        ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPath(storePath()), nullptr);
        ASSERT_TRUE(manager_->coreDataStackIsComplete());
    }

    void TearDown() override {
        manager_.reset();
        // Late answers of released managers go out on the main queue.
        NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.05);
        NSBundle::setMainBundlePath("");
    }

    static bool runMainLoopUntil(const std::function<bool()>& predicate, double seconds = 10.0) {
        return NSRunLoop::mainRunLoop()->runUntil(predicate, seconds);
    }
    // Lets queued work and late answers arrive.
    static void drainMainLoop(double seconds = 0.3) {
        NSRunLoop::mainRunLoop()->runUntil([] { return false; }, seconds);
    }

    static std::string& directory() {
        static std::string path;
        return path;
    }
    static std::string& storePath() {
        static std::string path;
        return path;
    }

    std::shared_ptr<CBGeoDataManager> manager_;
};
