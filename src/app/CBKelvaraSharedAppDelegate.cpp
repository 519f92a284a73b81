#include "app/CBKelvaraSharedAppDelegate.h"

#include <cstdlib>
#include <filesystem>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLocale.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "app/CBBrokenLinksAlert.h"
#include "app/CBFirstDownloadNotice.h"
#include "app/CBInstalledMapPrefill.h"
#include "app/CBMapInstalledNotification.h"
#include "app/CBMapViewController.h"
#include "app/CBRootViewController.h"
#include "app/CBRunningInstance.h"
#include "app/CBSampleDownloadAlert.h"
#include "app/CBSettingsVC.h"
#include "app/CBTileCacheLocation.h"
#include "app/ServiceSDK.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBMapStoreDownloadViewController.h"

namespace {
constexpr const char* kLaunchCountKey = "numShelfViews-v202";
constexpr const char* kAskedForAutoreviewKey = "askedForAutoreview-v202";
constexpr const char* kSampleMapIdentifier = "neubrandenburg";
constexpr double kResumeDelay = 10;
constexpr double kOldTileCacheRemovalDelay = 5;

// Miles where the user's own locale names a country that uses them; a
// process without a locale (C, POSIX) gets kilometres.
bool localeUsesMiles() {
    std::string name;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    const std::string identifier = NSLocale::localeIdentifierFromPOSIXName(name);
    if (identifier.empty())
        return false;
    const std::string region = NSLocale(identifier).countryCode().value_or("");
    return region == "US" || region == "GB" || region == "LR" || region == "MM";
}
}  // namespace

CBKelvaraSharedAppDelegate::CBKelvaraSharedAppDelegate(CBLaunchOptions options)
    : options_(std::move(options)), brokenLinksAlert_(std::make_shared<CBBrokenLinksAlert>()) {}

CBKelvaraSharedAppDelegate::~CBKelvaraSharedAppDelegate() = default;

std::shared_ptr<CBKelvaraSharedAppDelegate> CBKelvaraSharedAppDelegate::shared() {
    auto application = UIApplication::sharedApplication();
    return application
               ? std::dynamic_pointer_cast<CBKelvaraSharedAppDelegate>(application->delegate())
               : nullptr;
}

bool CBKelvaraSharedAppDelegate::applicationDidFinishLaunchingWithOptions(UIApplication&,
                                                                          const Value&) {
    startServiceSDK();
    setUpDefaults();
    // Before any geo store opens.
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    setUpTileCache();
    createServices();

    setAsideDamagedCurrentMap();
    const std::string fallback = options_.mapPath.value_or(options_.sampleStorePath);
    const auto registry = options_.mapPath ? nullptr : userMapStoreEngine_;
    currentMap_ = CBCurrentMap::create(registry, CBBookmarksManager::create(), wikipediaManager_);
    mapViewController_ = std::make_shared<CBMapViewController>(registry, fallback, currentMap_);
    const auto wikipedia = wikipediaServices();
    mapViewController_->setWikipediaServices(wikipedia);
    if (registry)
        mapViewController_->setCatalogue(catalogue_);
    rootViewController_ = std::make_shared<CBRootViewController>(
        mapViewController_, options_.mapPath ? nullptr : userMapStoreEngine_, wikipedia);
    window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    // Key before its first screen appears, as on the phone, where screens
    // appear once the window shows: what they present then (an alert) needs
    // the key window.
    window->makeKeyAndVisible();
    window->setRootViewController(rootViewController_);
    if (!rootViewController_->isShowingShelf() && !mapViewController_->hasMap()) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: cannot open the map package %s",
                       fallback.c_str());
        return false;
    }
    std::weak_ptr<CBMapViewController> map = mapViewController_;
    unitsObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        CBUnitsDidChangeNotification, nullptr, {}, [map](const NSNotification&) {
            if (auto screen = map.lock(); screen && screen->mapView())
                if (auto scale = screen->mapView()->scaleBar()->mapScaleView())
                    scale->setPointsPerKilometer(
                        float(screen->mapView()->visibleArea()->pointsPerKilometer()));
        });
    damagedStoreObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        CBGeoDataManager::CBGeoDataManagerStoreDamagedNotification, nullptr, {},
        [](const NSNotification& notification) {
            const auto text = [&](const char* key) {
                auto found = notification.userInfo.find(key);
                const std::string* value =
                    found == notification.userInfo.end() ? nullptr : found->second.stringValue();
                return value ? *value : std::string();
            };
            if (auto delegate = shared())
                delegate->tellDamagedStoreAtPath(text("path"), text("reason"));
        });
    if (downloadManager_) {
        std::weak_ptr<ZELDownloadManagerEngine> engine = downloadManager_;
        DispatchQueue::main()->after(kResumeDelay, [engine] {
            if (auto downloads = engine.lock())
                downloads->resumeDownloads();
        });
    }
    // A later start on this home hands over to this one: its link, or the
    // request to come to the front.
    runningInstance_ = CBRunningInstance::listen(
        CBRunningInstance::socketPathForHome(
            NSSearchPathForDirectory(NSSearchPathDirectory::Documents)),
        [](const std::string& link) {
            if (auto delegate = shared())
                delegate->openLink(link);
        },
        [] {
            if (auto application = UIApplication::sharedApplication())
                application->requestActivation();
        });
    if (options_.link)
        openLink(*options_.link);
    return true;
}

void CBKelvaraSharedAppDelegate::startServiceSDK() {
    if (!options_.sdkURL) {
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: no SDK service given; the SDK stays off");
        return;
    }
    ::startServiceSDK(*options_.sdkURL);
}

void CBKelvaraSharedAppDelegate::setUpDefaults() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    CrashInformation::rotate();
    if (!defaults->objectForKey("km"))
        defaults->setBoolForKey(!localeUsesMiles(), "km");
    countLaunch();
}

void CBKelvaraSharedAppDelegate::countLaunch() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setIntegerForKey(defaults->integerForKey(kLaunchCountKey) + 1, kLaunchCountKey);
    defaults->synchronize();
}

// Old tiles are removed off the main thread once start-up is done, so
// the first screen does not wait for a large folder to go.
void CBKelvaraSharedAppDelegate::setUpTileCache() {
    const std::string caches = NSSearchPathForDirectory(NSSearchPathDirectory::Caches);
    const std::string version = CBTileCacheLocation::currentVersion();
    CBTileCacheLocation::setUpInCachesDirectory(caches, version);
    DispatchQueue::global()->after(kOldTileCacheRemovalDelay, [caches, version] {
        CBTileCacheLocation::removeOldItemsInCachesDirectory(caches, version);
    });
}

void CBKelvaraSharedAppDelegate::createServices() {
    const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
    std::error_code ignored;
    std::filesystem::create_directories(documents, ignored);
    downloadManager_ =
        ZELDownloadManagerEngine::createWithStorePath(documents + "/DownloadManagerQueue.sqlite");
    if (!downloadManager_) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the download queue cannot be opened");
        return;
    }
    catalogue_ = std::make_shared<CBMapStoreEngine>();
    userMapStoreEngine_ =
        CBUserMapStoreEngine::createWithDownloadManager(downloadManager_, catalogue_);
    userMapStoreEngine_->setPostInstallStep(CBInstalledMapPrefillStep());
    userMapStoreEngine_->setDeletedMapStep(CBDeletedMapTilesStep());
    userMapStoreEngine_->setReleaseMapStep(CBReleaseOpenMapStep());
    // The Wikipedia manager follows the current map and installs its own
    // packages; it repairs its queue entries before the registry does.
    wikipediaManager_ = CBWikipediaManager::create(downloadManager_, catalogue_);
    downloadManager_->addDelegate(wikipediaManager_);
    userMapStoreEngine_->addDelegate(wikipediaManager_);
    wikipediaManager_->migrateDownloadQueue();
    userMapStoreEngine_->migrateDownloadQueue();
    wikipediaManager_->resetWikipediaForMapIdentifier(userMapStoreEngine_->currentMapIdentifier());
    downloadManager_->setResumeDisabled(false);
    sampleDownloadAlert_ = CBSampleDownloadAlert::create(*downloadManager_, kSampleMapIdentifier);
    installSampleOnEmptyHome();
    // The user's own downloads: the sample above is none of them.
    firstDownloadNotice_ = CBFirstDownloadNotice::create(*downloadManager_);
    mapInstalledNotification_ = std::make_shared<CBMapInstalledNotification>();
    userMapStoreEngine_->addDelegate(mapInstalledNotification_);
}

// A current map that cannot be read is not replaced by another one unsaid:
// it is marked damaged (the registry's log line says why) and the program
// starts on the shelf, which offers to load it again.
void CBKelvaraSharedAppDelegate::setAsideDamagedCurrentMap() {
    auto map = userMapStoreEngine_ ? userMapStoreEngine_->currentMap() : nullptr;
    if (map && userMapStoreEngine_->checkMapIsDamaged(map))
        userMapStoreEngine_->setCurrentMap(nullptr);
}

// The same as at start: the map is marked damaged and never shown again
// until loaded anew; the shelf, where its cover says so, offers to load it.
// Reads of other stores (bookmarks, Wikipedia) are not the map's.
void CBKelvaraSharedAppDelegate::tellDamagedStoreAtPath(const std::string& path,
                                                        const std::string& reason) {
    auto map =
        userMapStoreEngine_ && !options_.mapPath ? userMapStoreEngine_->currentMap() : nullptr;
    const auto mapPath = map ? map->filePath() : std::nullopt;
    std::error_code ignored;
    if (!mapPath || !rootViewController_ || !std::filesystem::equivalent(*mapPath, path, ignored) ||
        !userMapStoreEngine_->markMapDamaged(map, reason))
        return;
    dismissCoveringScreens();
    if (mapViewController_)
        mapViewController_->endSearch();
    std::weak_ptr<CBRootViewController> weakRoot = rootViewController_;
    std::weak_ptr<CBUserMapStoreEngine> weakRegistry = userMapStoreEngine_;
    rootViewController_->transitionToShelfWithCompletion([weakRoot, weakRegistry, map] {
        auto root = weakRoot.lock();
        auto registry = weakRegistry.lock();
        if (!root || !registry)
            return;
        registry->setCurrentMap(nullptr);
        if (auto shelf = root->shelf())
            shelf->askToDownloadDamagedMapAgain(map);
    });
}

// A new user sees a city at once: the sample is loaded from the map store
// and installed like any download (validation, record, cover, pre-fill), or
// copied from the build's packages when there is no store.
void CBKelvaraSharedAppDelegate::installSampleOnEmptyHome() {
    if (options_.mapPath || !userMapStoreEngine_->allIdentifiers().empty() ||
        downloadManager_->currentQueueLength() > 0)
        return;
    // Without a map store the build's own copy is installed, so that the
    // shelf lists the city the map shows.
    if (!CBMapStoreURLManager::baseURL()) {
        const auto folder = std::filesystem::path(options_.sampleStorePath).parent_path();
        if (auto sample = userMapStoreEngine_->installLocalPackageWithIdentifierFromFolder(
                kSampleMapIdentifier, folder.string()))
            userMapStoreEngine_->setCurrentMap(sample);
        return;
    }
    auto map = catalogue_->mapForIdentifier(std::string(kSampleMapIdentifier));
    auto request = map ? catalogue_->downloadRequestForMap(map) : std::nullopt;
    if (!request) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the catalogue has no sample map");
        return;
    }
    downloadManager_->addDownload(*request);
    downloadManager_->resumeDownloads();
}

std::shared_ptr<CBBookmarksManager> CBKelvaraSharedAppDelegate::bookmarksManager() const {
    return currentMap_ ? currentMap_->bookmarks() : nullptr;
}

CBWikipediaServices CBKelvaraSharedAppDelegate::wikipediaServices() const {
    return {shared(), wikipediaManager_, downloadManager_, userMapStoreEngine_, currentMap_};
}

void CBKelvaraSharedAppDelegate::presentAnnotationsCentered(
    const std::vector<CBAnnotationRef>& annotations, bool centered) {
    if (mapViewController_)
        mapViewController_->presentAnnotationsCentered(annotations, centered);
}

std::vector<std::string> CBKelvaraSharedAppDelegate::objectAnnotationIdentifiers() const {
    return mapViewController_ ? mapViewController_->objectAnnotationIdentifiers()
                              : std::vector<std::string>{};
}

void CBKelvaraSharedAppDelegate::showFailedMessageForIndividualDownload(
    const ZELDownloadStatus& status) {
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(status);
}

bool CBKelvaraSharedAppDelegate::canAskForAutoreview() const {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kAskedForAutoreviewKey))
        return false;
    return defaults->integerForKey(kLaunchCountKey) > 20;
}

void CBKelvaraSharedAppDelegate::setAskedForAutoreview(bool asked) {
    NSUserDefaults::standardUserDefaults()->setBoolForKey(asked, kAskedForAutoreviewKey);
}

void CBKelvaraSharedAppDelegate::storeState() {
    if (userMapStoreEngine_)
        userMapStoreEngine_->storeState();
    if (downloadManager_)
        downloadManager_->saveChanges();
    if (mapViewController_)
        mapViewController_->applicationDidMoveToBackground();
    NSUserDefaults::standardUserDefaults()->synchronize();
}

// At start and back from the background (not at every change of the
// desktop's keyboard focus): the launch counts and the attribution shows.
void CBKelvaraSharedAppDelegate::applicationDidBecomeActive(UIApplication&) {
    if (activeBefore_ && !returningFromBackground_)
        return;
    if (returningFromBackground_)
        countLaunch();
    activeBefore_ = true;
    returningFromBackground_ = false;
    if (mapViewController_)
        mapViewController_->showMapDataAttribution();
}

void CBKelvaraSharedAppDelegate::applicationDidEnterBackground(UIApplication&) {
    storeState();
}

void CBKelvaraSharedAppDelegate::applicationWillEnterForeground(UIApplication&) {
    returningFromBackground_ = true;
}

void CBKelvaraSharedAppDelegate::applicationWillTerminate(UIApplication&) {
    storeState();
    runningInstance_.reset();
    unitsObserver_.reset();
    damagedStoreObserver_.reset();
    // Views go while the application still exists.
    rootViewController_.reset();
    mapViewController_.reset();
    window.reset();
}
