#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "CatalogueWriter.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "MapStoreServerProcess.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreURLManager.h"

// The application bundle of the source tree (resources/).
inline std::string mapStoreSourceResources() {
    const char* data = getenv("KELVARA_TEST_DATA");
    return (std::filesystem::path(data ? data : "tests/data") / ".." / ".." / "resources")
        .lexically_normal()
        .string();
}

inline bool runMainLoopUntil(const std::function<bool()>& done, double seconds = 10.0) {
    return NSRunLoop::mainRunLoop()->runUntil(done, seconds);
}

// The map store server (tools/mapstore-server) over a folder, on a port of
// its own, while it lives; stop() ends it, as a server out of reach.
class StoreServer {
  public:
    explicit StoreServer(const std::string& root) {
        std::filesystem::create_directories(root);
        process_ = std::make_unique<MapStoreServerProcess>(root);
        EXPECT_TRUE(process_->running());
        url_ = process_->baseURL();
    }
    void stop() { process_.reset(); }
    const std::string& url() const { return url_; }
    Value::Array log() const { return process_ ? process_->log() : Value::Array{}; }

  private:
    std::unique_ptr<MapStoreServerProcess> process_;
    std::string url_;
};

// A home of its own, the source bundle as the main bundle, no store URL.
class MapStoreHome : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvmapstore.XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        home_ = pattern;
        NSSetApplicationHome(home_);
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePath(mapStoreSourceResources());
        CBMapStoreURLManager::setBaseURL("");
        // Alerts show over the key window.
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        window_.reset();
        CBMapStoreURLManager::setBaseURL("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
    std::string file(const std::string& name) const { return home_ + "/" + name; }

    std::string home_;
    std::shared_ptr<UIWindow> window_;
};

// A small catalogue of our own: groups, countries, regions and maps chosen
// so the search rules and the box lookups can be told apart.
inline CatalogueWriter::Catalogue sampleCatalogue() {
    using namespace CatalogueWriter;
    Catalogue catalogue;
    catalogue.groups = {
        {"asia", "Asia"}, {"europe", "Europe"}, {"US", "USA"}, {"africa", "Africa"}};
    catalogue.countries = {
        {"DE", "Germany", {55.0, 15.0, 47.3, 5.9}, std::string("europe")},
        {"LI", "Liechtenstein", {47.27, 9.64, 47.05, 9.47}, std::string("europe")},
        {"US", "United States", {49.0, -67.0, 25.0, -125.0}, std::nullopt},
    };
    catalogue.regions = {{"DE-MV", "Mecklenburg-Vorpommern", "DE", std::nullopt},
                         {"US-MI", "Michigan", "US", std::string("US")}};
    auto square = [](double south, double west, double north, double east) {
        return std::vector<CLLocationCoordinate2D>{
            {south, west}, {south, east}, {north, east}, {north, west}, {south, west}};
    };
    Map neubrandenburg;
    neubrandenburg.identifier = "neubrandenburg";
    neubrandenburg.name = "Neubrandenburg";
    neubrandenburg.titles = {{"en", "Neubrandenburg"}, {"de", "Neubrandenburg"}};
    neubrandenburg.places = {"Neubrandenburg", "Burg Stargard", "Neuendorf"};
    neubrandenburg.priority = 5;
    neubrandenburg.box = {53.62, 13.41, 53.44, 13.11};
    neubrandenburg.shape = square(53.44, 13.11, 53.62, 13.41);
    neubrandenburg.countryCode = "DE";
    neubrandenburg.regionCode = "DE-MV";
    Map neustrelitz = neubrandenburg;
    neustrelitz.identifier = "neustrelitz";
    neustrelitz.name = "Neustrelitz";
    neustrelitz.titles = {{"en", "Neustrelitz"}};
    neustrelitz.places = {"Neustrelitz", "Strelitz-Alt"};
    neustrelitz.priority = 9;
    neustrelitz.box = {53.40, 13.13, 53.33, 13.02};
    // A triangle: the box's north-west corner lies outside it.
    neustrelitz.shape = {{53.33, 13.02}, {53.33, 13.13}, {53.40, 13.13}, {53.33, 13.02}};
    Map liechtenstein;
    liechtenstein.identifier = "liechtenstein";
    liechtenstein.name = "Liechtenstein";
    liechtenstein.titles = {{"en", "Liechtenstein"}, {"de", "Fürstentum Liechtenstein"}};
    liechtenstein.places = {"Vaduz", "Schaan", "Neu-Schellenberg"};
    liechtenstein.priority = 3;
    liechtenstein.box = {47.27, 9.64, 47.05, 9.47};
    liechtenstein.shape = square(47.05, 9.47, 47.27, 9.64);
    liechtenstein.countryCode = "LI";
    Map threeRivers;
    threeRivers.identifier = "three-rivers";
    threeRivers.name = "Three Rivers";
    threeRivers.titles = {{"en", "Three Rivers"}};
    threeRivers.places = {"Three Rivers", "Constantine"};
    threeRivers.priority = 1;
    threeRivers.box = {42.0, -85.58, 41.92, -85.65};
    threeRivers.shape = square(41.92, -85.65, 42.0, -85.58);
    threeRivers.countryCode = "US";
    threeRivers.regionCode = "US-MI";
    catalogue.maps = {neubrandenburg, neustrelitz, liechtenstein, threeRivers};
    return catalogue;
}

inline std::string writeSampleCatalogue(
    const std::string& path, const CatalogueWriter::Catalogue& catalogue = sampleCatalogue()) {
    std::string error;
    EXPECT_TRUE(
        CatalogueWriter::writeCatalogue(catalogue, path, CBMapStoreEngine::mapStoreModel(), &error))
        << error;
    return path;
}
