#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CBGeoData/CBCoreDataManager.h"
#include "UIKit/UIActionSheet.h"
#include "foundation/ZELMulticastDelegate.h"
#include "model/CBWikipediaManagerDelegate.h"
#include "model/CBWikipediaPackageList.h"
#include "model/CBWikipediaTitleIndex.h"
#include "packages/CBUserMapStoreEngineDelegate.h"
#include "packages/ZELDownloadInstaller.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELDownloadStatus.h"
#include "packages/ZELDownloadStatusListener.h"
#include "wikiguide/CBWikipediaArticle.h"

class CBMapStoreEngine;
class CBMapStoreInfoMap;
class CBMapStoreMap;
class UIView;

// The offline Wikipedia of the installed maps. Each map may have one package
// (one language): the article store <id>_wiki.sqlite, the images folder
// <id>_wiki and the guide file <id>_wikipedia, all in <Documents>/wikipedia.
// The manager opens the current map's store and closes it when the map
// changes, answers title searches and look-ups by link, queues a package
// after asking for its language, installs a loaded package over the old one
// (the download engine's installer of "wikipedia" packages), answers what
// each map's package download is at and tells its delegates as that
// changes, and deletes a map's package.
//
// Everything public runs on the main thread; searches run on the serial
// queue "CBWikiManagerSearch".
class CBWikipediaManager : public CBCoreDataManager,
                           public ZELDownloadStatusListener,
                           public ZELDownloadInstaller,
                           public CBUserMapStoreEngineDelegate,
                           public UIActionSheetDelegate {
  public:
    static constexpr const char* kDownloadType = "wikipedia";
    using Download = ZELDownloadStatusListener::Download;
    using Articles = std::vector<std::shared_ptr<CBWikipediaArticle>>;
    // nullopt when nothing matched.
    using SearchCompletion = std::function<void(const std::optional<Articles>&)>;

    // `catalogue` answers the catalogue look-ups (the installed-maps
    // registry in the application). The manager installs the engine's
    // "wikipedia" packages; the application makes it one of the engine's
    // delegates.
    static std::shared_ptr<CBWikipediaManager> create(
        std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
        std::shared_ptr<CBMapStoreEngine> catalogue);
    CBWikipediaManager(std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
                       std::shared_ptr<CBMapStoreEngine> catalogue);
    ~CBWikipediaManager() override;

    static std::string basePathForWikipedia();
    static std::string filePathForWikipediaForMapIdentifier(const std::string& identifier);
    static std::string filePathForWikipediaImagesForMapIdentifier(const std::string& identifier);
    static std::string filePathForWikipediaGuideForMapIdentifier(const std::string& identifier);
    // The names of a package's items in the base folder, in that order.
    static std::vector<std::string> packageItemNamesForMapIdentifier(const std::string& identifier);

    void addDelegate(const std::shared_ptr<CBWikipediaManagerDelegate>& delegate);
    void removeDelegate(const std::shared_ptr<CBWikipediaManagerDelegate>& delegate);

    bool userHasWikipediaForMapIdentifier(const std::string& identifier) const;
    // Whether the map's article store is there but does not open as one:
    // asked of the file itself, whatever store is open now.
    bool wikipediaIsDamagedForMapIdentifier(const std::string& identifier);
    // The download of the map's package as it stands: its status while one
    // is queued, else installed or nothing.
    ZELDownloadStatus downloadStatusForMapIdentifier(const std::string& identifier) {
        return downloadStatusForIdentifier(identifier);
    }
    bool userHasWikipediaGuideForMapIdentifier(const std::string& identifier) const;
    bool wikipediaAvailableForDownloadForMapIdentifier(const std::string& identifier);
    // What the store's list says of the map's package: from the stored list
    // when there is one (a stale one too), else whether it is being asked
    // for, could not be had or no store is set. Asks nothing.
    CBWikipediaPackageList packageListForMapIdentifier(const std::string& identifier);
    // Asks the store for the list again; the delegates hear when the answer
    // or the failure arrives (and at once when a failure is forgotten).
    void askStoreForPackageListOfMapIdentifier(const std::string& identifier);
    static std::optional<std::string> urlForWikipediaOfMapWithLanguageCode(
        const Map& map, const std::string& languageCode);

    // Opens the store at the path (closing the open one first); nullopt or a
    // missing file leaves the manager closed.
    void setSqlitePath(const std::optional<std::string>& path);
    void resetWikipediaForMapIdentifier(const std::optional<std::string>& identifier);
    // Opens the map's articles unless they are the ones open (a screen of a
    // map shown while the registry has no current map); whether they are
    // open now.
    bool openWikipediaForMapIdentifier(const std::string& identifier);
    bool wikipediaAvailable() const { return wikipediaAvailable_; }
    std::string currentImgPath() const;
    const std::optional<std::string>& currentMapIdentifier() const { return currentMapIdentifier_; }

    // Closes the store: no search or look-up runs on it afterwards.
    void releaseCoreDataStack() override;
    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override;
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override;
    std::shared_ptr<NSManagedObjectContext> searchObjectContext() override;

    std::shared_ptr<CBWikipediaArticle> articleForUrl(const std::string& url);
    // The url of every article of the open store; nullopt without a store.
    std::optional<std::vector<std::string>> allAvailableWikipediaLinks();
    // false (and the completion never runs) without a store or when the
    // base class refuses the text.
    bool searchArticleWithTitlesMatchingDelayedWithCompletionBlock(const std::string& text,
                                                                   bool delayed,
                                                                   SearchCompletion completion);
    void startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) override;
    std::shared_ptr<NSPredicate> predicateForCanonicalSearchTerm(const std::string& term) override;

    // The language sheet; nothing without a view or an identifier, nor for
    // statistics that offer no language. Statistics the store cannot give,
    // and a store without an address, are said in one line with a way to
    // try again.
    void startDownloadForMapInView(const Map& map, const std::shared_ptr<UIView>& view);
    // The same for the catalogue's record of the map: the one whose package
    // list the screens show, current in the registry or not yet.
    void startDownloadForMapIdentifierInView(const std::string& identifier,
                                             const std::shared_ptr<UIView>& view);
    const Map& mapToDownload() const { return mapToDownload_; }
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) override;

    // Removes the map's package; the open store is closed only when it is
    // that map's.
    void deleteWikipediaContentForMapIdentifier(const std::string& identifier);
    // Repairs queued package downloads after an update; waits for the main
    // queue, so it is called from a background thread.
    void migrateDownloadQueue();
    static void displayWalkWarningIfNeeded();

    // Yes for its packages. It has no say about other downloads (a no would
    // keep every map from being unpacked), so it leaves them unanswered.
    std::optional<bool> downloadManagerShouldUnzipDownload(ZELDownloadManagerEngine&,
                                                           const Download& download) override;
    void downloadManagerDidCancelDownloadWithIdentifierAndType(ZELDownloadManagerEngine& engine,
                                                               const std::string& identifier,
                                                               const std::string& type) override;

    // The installer of "wikipedia" packages: three items, validated and put
    // over their namesakes.
    std::optional<std::vector<std::string>> downloadManagerStagedItemNamesForDownload(
        ZELDownloadManagerEngine&, const Download& download) override;
    void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                        const Download& download) override;

    // The current map's store opens, the previous one closes; what the
    // store offers for the map is asked for.
    void changeCurrentMapTo(const Map& map);
    // The map's package goes; the current map's store stays open unless it
    // is that map's.
    void didDeleteMapWithIdentifier(const std::string& identifier);
    void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) override {
        changeCurrentMapTo(map);
    }
    void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                const std::string& identifier) override {
        didDeleteMapWithIdentifier(identifier);
    }

  protected:
    std::shared_ptr<DispatchQueue> createSearchQueue() override;
    // What the package downloads are at, told to the delegates.
    std::shared_ptr<ZELDownloadManagerEngine> followedDownloadEngine() const override {
        return downloadManager_;
    }
    bool hasInstalledIdentifier(const std::string& identifier) override {
        return userHasWikipediaForMapIdentifier(identifier);
    }
    void downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                              const std::string& identifier) override;
    void downloadProgressChangedToForIdentifier(const ZELDownloadStatus& status,
                                                const std::string& identifier) override;

  private:
    std::shared_ptr<CBMapStoreInfoMap> infoForMap(const Map& map);
    // The stored record; `update` hears the store's answer when it is asked
    // (always without a stored record; nullptr when it could not tell).
    std::shared_ptr<CBMapStoreInfoMap> fetchInfoForMap(
        const Map& map, std::function<void(const std::shared_ptr<CBMapStoreInfoMap>&)> update);
    void showLanguageSheetForMapInView(const Map& map, const CBMapStoreInfoMap& info,
                                       const std::shared_ptr<UIView>& view);
    // The store could not give what the download needs: one line, and a
    // way to try again.
    void tellStoreUnavailable(const char* messageKey, const Map& map,
                              const std::shared_ptr<UIView>& view);
    void tellPackageListOfMapIdentifier(const std::string& identifier);
    // Validates the staged package and puts each item over its namesake;
    // false with *error when nothing was changed or an item could not move.
    bool installStagedPackage(const Download& download, NSError* error);

    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreEngine> catalogue_;
    ZELMulticastDelegate<CBWikipediaManagerDelegate> delegates_;
    std::optional<std::string> currentMapIdentifier_;
    // Maps whose list the store did not give at the last asking.
    std::set<std::string> failedPackageLists_;
    mutable std::mutex imgPathMutex_;
    std::string currentImgPath_;
    std::atomic<bool> wikipediaAvailable_{false};
    Map mapToDownload_;
    // Where the language sheet shows, for a retry after it.
    std::weak_ptr<UIView> sheetView_;
    // Names the image folders set aside for removal in this run.
    unsigned deletedImageFolders_ = 0;
    std::optional<std::vector<std::string>> allAvailableWikipediaLinks_;
    std::shared_ptr<CBWikipediaTitleIndex> titleIndex_;  // search queue only
};
