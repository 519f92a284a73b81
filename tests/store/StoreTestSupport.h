#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "MapStoreServerProcess.h"
#include "TileServerProcess.h"
#include "mapkit/MapkitTestSupport.h"

class CBMapStoreEngine;
class CBUserMapStoreEngine;
class UIWindow;
class UIViewController;
class ZELDownloadManagerEngine;

// The store as the application has it: a home of its own, the bundle with
// the built catalogue, the map store server over the built store content,
// the online tile service of the preview maps, and the download engine,
// catalogue and installed-maps registry over them.
class StoreFixture {
  public:
    StoreFixture();
    ~StoreFixture();
    // Switches on a fault for the package of a map ("throttle=200000").
    void faultPackage(const std::string& identifier, const std::string& query);
    void show(const std::shared_ptr<UIViewController>& controller);
    void layout();
    // Downloads and installs a map of the catalogue as the store does.
    void install(const std::string& identifier);
    // Whether the server was asked for a package's rest (a Range not from 0).
    bool resumedWithRange() const;
    // How often the server was asked for the catalogue.
    size_t catalogueRequests() const;
    // Run the loop until a text matching the pattern (as a scenario's
    // expect has it) is on screen, or until none is; within a bound generous
    // enough for a loaded machine. Answer whether it came to be.
    bool waitUntilShown(const std::string& pattern);
    bool waitUntilGone(const std::string& pattern);

    TemporaryFolder home;
    std::unique_ptr<MapStoreServerProcess> server;
    std::unique_ptr<TileServerProcess> tiles;
    std::shared_ptr<ZELDownloadManagerEngine> downloads;
    std::shared_ptr<CBMapStoreEngine> catalogue;
    std::shared_ptr<CBUserMapStoreEngine> registry;
    std::shared_ptr<UIWindow> window;
};
