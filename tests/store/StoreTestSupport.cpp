#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "Host/HostScreenTexts.h"
#include "PackagesTestSupport.h"
#include "TileCachePrefillStep.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBDiskTileCache.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"

StoreFixture::StoreFixture() {
    NSSetApplicationHome(home.path());
    NSUserDefaults::resetStandardUserDefaults();
    installApplicationBundle(home.file("bundle"), KELVARA_GENERATED_RESOURCES);
    server = std::make_unique<MapStoreServerProcess>(KELVARA_MAPSTORE_ROOT);
    EXPECT_TRUE(server->running());
    CBMapStoreURLManager::setBaseURL(server->baseURL());
    tiles = std::make_unique<TileServerProcess>();
    EXPECT_TRUE(tiles->running());
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(tiles->host()),
                                                            "CBOnlineTileServiceHost");
    downloads = ZELDownloadManagerEngine::createWithStorePath(
        home.path() + "/Documents/DownloadManagerQueue.sqlite");
    catalogue = std::make_shared<CBMapStoreEngine>();
    catalogue->setDownloadManager(downloads);
    registry = CBUserMapStoreEngine::createWithDownloadManager(downloads, catalogue);
    registry->setPostInstallStep(tileCachePrefillStep());
    registry->migrateDownloadQueue();
    downloads->setResumeDisabled(false);
    window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
}

StoreFixture::~StoreFixture() {
    window.reset();
    // The registry ends the pre-fill of a map it was installing; the tiles
    // drawn by then are written before the home goes.
    registry.reset();
    CBDiskTileCache::sharedCache()->waitUntilIdle();
    catalogue.reset();
    downloads.reset();
    server.reset();
    tiles.reset();
    runUntil([] { return false; }, 0.05);
    CBMapStoreURLManager::setBaseURL("");
    NSBundle::setMainBundlePath("");
    NSUserDefaults::resetStandardUserDefaults();
    NSSetApplicationHome("");
}

void StoreFixture::faultPackage(const std::string& identifier, const std::string& query) {
    auto url = catalogue->urlForMap(catalogue->mapForIdentifier(identifier));
    ASSERT_TRUE(url);
    server->fault(url->substr(server->baseURL().size()), query);
}

void StoreFixture::install(const std::string& identifier) {
    auto map = catalogue->mapForIdentifier(identifier);
    ASSERT_NE(map, nullptr);
    auto url = catalogue->urlForMap(map);
    ASSERT_TRUE(url);
    downloads
        ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
            *url, catalogue->basePathForMaps(), identifier, map->localName(), map->places(),
            std::nullopt, "map", 0, identifier, 0.4);
    downloads->resumeDownloads();
    ASSERT_TRUE(runUntil(
        [&] {
            auto installed = registry->mapForIdentifier(identifier);
            return installed && installed->dateAdded() && downloads->currentQueueLength() == 0;
        },
        120));
}

bool StoreFixture::resumedWithRange() const {
    for (const Value& entry : server->log())
        if (const Value* range = entry.get("range"); range && range->stringValue())
            if (range->stringValue()->rfind("bytes=", 0) == 0 &&
                range->stringValue()->find("bytes=0-") == std::string::npos)
                return true;
    return false;
}

void StoreFixture::show(const std::shared_ptr<UIViewController>& controller) {
    window->setRootViewController(std::make_shared<UINavigationController>(controller));
    layout();
}

void StoreFixture::layout() {
    window->layoutIfNeeded();
}

size_t StoreFixture::catalogueRequests() const {
    size_t count = 0;
    for (const Value& entry : server->log())
        if (const Value* path = entry.get("path");
            path && path->stringValue() && *path->stringValue() == "/mapStore.zip")
            ++count;
    return count;
}

namespace {

bool showsText(StoreFixture& fixture, const std::string& pattern) {
    fixture.layout();
    for (const HostScreenText& text : HostVisibleTexts(fixture.window))
        if (HostTextMatches(pattern, text.text))
            return true;
    return false;
}

}  // namespace

bool StoreFixture::waitUntilShown(const std::string& pattern) {
    return runUntil([&] { return showsText(*this, pattern); });
}

bool StoreFixture::waitUntilGone(const std::string& pattern) {
    return runUntil([&] { return !showsText(*this, pattern); });
}
