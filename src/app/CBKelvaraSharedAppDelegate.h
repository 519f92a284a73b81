#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIApplication.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaServices.h"

class CBBookmarksManager;
class CBBrokenLinksAlert;
class CBCurrentMap;
class CBFirstDownloadNotice;
class CBMapInstalledNotification;
class CBLinkedStoreMapOffer;
class CBMapStoreEngine;
class CBMapViewController;
class CBRootViewController;
class CBRunningInstance;
class CBSampleDownloadAlert;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class NSNotificationObserver;
class ZELDownloadManagerEngine;

// What the command line asks of the application.
struct CBLaunchOptions {
    std::optional<std::string> mapPath;  // a geo store shown instead of the current map
    std::optional<std::string> sdkURL;   // the SDK service; no SDK without one
    std::optional<std::string> link;     // a kelvara2 link to open after start-up
    std::string sampleStorePath;  // the build's sample city, shown while nothing is installed
};

// The application delegate: builds and owns the services in their order,
// the window with the root container, and stores state on the way out. It
// is the Wikipedia screens' host: the verbs on the map screen they use.
class CBKelvaraSharedAppDelegate : public UIApplicationDelegate, public CBWikipediaHost {
  public:
    explicit CBKelvaraSharedAppDelegate(CBLaunchOptions options);
    ~CBKelvaraSharedAppDelegate() override;

    static std::shared_ptr<CBKelvaraSharedAppDelegate> shared();

    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    const std::shared_ptr<CBUserMapStoreEngine>& userMapStoreEngine() const {
        return userMapStoreEngine_;
    }
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return wikipediaManager_;
    }
    // The map shown and what belongs to it (its bookmarks, restaurant guide
    // and Wikipedia): the one the application has, following the registry's
    // current map.
    const std::shared_ptr<CBCurrentMap>& currentMap() const { return currentMap_; }
    // The bookmarks of the current map (its bookmark store); nullptr before
    // start-up made the services.
    std::shared_ptr<CBBookmarksManager> bookmarksManager() const;
    // What the screens that open Wikipedia screens hand them; the host is
    // the application's delegate.
    CBWikipediaServices wikipediaServices() const;
    const std::shared_ptr<CBMapViewController>& mapViewController() const {
        return mapViewController_;
    }
    const std::shared_ptr<CBRootViewController>& rootViewController() const {
        return rootViewController_;
    }

    // Whether the review prompt may be shown: not once asked, else after 20 launches.
    bool canAskForAutoreview() const;
    void setAskedForAutoreview(bool asked);

    // Opens a kelvara2 link; false (and a message on screen) when it is broken
    // or points outside every installed map. A place that a map of the store
    // holds brings the offer to show that map's page in the store.
    bool openLink(const std::string& url);
    // The offer of the last link to a place on a map of the store only.
    const std::shared_ptr<CBLinkedStoreMapOffer>& storeMapOffer() const { return storeMapOffer_; }

    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                    bool centered) override;
    std::vector<std::string> objectAnnotationIdentifiers() const override;
    void showFailedMessageForIndividualDownload(const ZELDownloadStatus& status) override;

    bool applicationDidFinishLaunchingWithOptions(UIApplication& application,
                                                  const Value& options) override;
    // Becoming active at start and back from the background shows the map
    // data's attribution; coming back also counts as a launch. (The location
    // service hears the life cycle itself and pauses while the program is
    // inactive or in the background.)
    void applicationDidBecomeActive(UIApplication& application) override;
    void applicationDidEnterBackground(UIApplication& application) override;
    void applicationWillEnterForeground(UIApplication& application) override;
    void applicationWillTerminate(UIApplication& application) override;
    bool applicationOpenURL(UIApplication& application, const std::string& url) override;
    // The notification of an installed map: the map opens.
    void applicationDidReceiveLocalNotification(UIApplication& application,
                                                const UILocalNotification& notification) override;
    // Opens the installed map on the map screen; false when it is not
    // installed (any more) or still installing.
    bool openInstalledMapWithIdentifier(const std::string& identifier) override;
    const std::shared_ptr<CBFirstDownloadNotice>& firstDownloadNotice() const {
        return firstDownloadNotice_;
    }

  private:
    void startServiceSDK();
    void setUpDefaults();
    void countLaunch();
    void setUpTileCache();
    void createServices();
    void installSampleOnEmptyHome();
    void setAsideDamagedCurrentMap();
    // The current map's store failed while open: told once, as at start.
    void tellDamagedStoreAtPath(const std::string& path, const std::string& reason);
    // Whatever screen covers the shelf or the map is dismissed.
    void dismissCoveringScreens();
    void storeState();

    CBLaunchOptions options_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreEngine> catalogue_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::shared_ptr<CBWikipediaManager> wikipediaManager_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::shared_ptr<CBMapViewController> mapViewController_;
    std::shared_ptr<CBRootViewController> rootViewController_;
    std::shared_ptr<NSNotificationObserver> unitsObserver_;
    std::shared_ptr<NSNotificationObserver> damagedStoreObserver_;
    std::shared_ptr<CBLinkedStoreMapOffer> storeMapOffer_;
    // Broken links are told one alert at a time, however many arrive.
    std::shared_ptr<CBBrokenLinksAlert> brokenLinksAlert_;
    std::shared_ptr<CBFirstDownloadNotice> firstDownloadNotice_;
    std::shared_ptr<CBMapInstalledNotification> mapInstalledNotification_;
    std::shared_ptr<CBSampleDownloadAlert> sampleDownloadAlert_;
    bool activeBefore_ = false;
    bool returningFromBackground_ = false;
    // Takes the links later starts on this home hand over.
    std::shared_ptr<CBRunningInstance> runningInstance_;
};
