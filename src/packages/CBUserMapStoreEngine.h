#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/ZELMulticastDelegate.h"
#include "packages/CBMapDocumentInfo.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBUserMapStoreEngineDelegate.h"
#include "packages/ZELDownloadInstaller.h"
#include "packages/ZELDownloadStatus.h"
#include "packages/ZELDownloadStatusListener.h"

// The registry of installed maps: the store "CBUserMapStore.bin" (entity
// "map" of the catalogue model, with the dates and the downloading flag),
// the current map (kept in <Caches>/"CBUserMapStore_state.plist"), and the
// installer of downloads of type "map": it records the map while its package
// loads, validates the staged package's geo store, swaps it in, and tells
// its delegates. It answers what each map's download is at and tells its
// delegates as that changes, so screens need not read the download queue.
//
// Main thread only.
class CBUserMapStoreEngine : public CBMapStoreEngine,
                             public ZELDownloadStatusListener,
                             public ZELDownloadInstaller {
  public:
    using Map = std::shared_ptr<CBMapStoreMap>;
    using Download = ZELDownloadStatusListener::Download;
    // Work after an install (the application sets the tile-cache pre-fill):
    // reports progress 0...1 and calls `done` on the main thread. Without a
    // step an install is done once the map is recorded.
    using PostInstallStep =
        std::function<void(const Map& map, bool isUpdate, std::function<void(double)> progress,
                           std::function<void()> done)>;

    static constexpr const char* kStoreFileName = "CBUserMapStore.bin";
    static constexpr const char* kStateFileName = "CBUserMapStore_state.plist";
    static constexpr const char* kDownloadType = "map";

    // The registry over <Documents>/CBUserMapStore.bin, joined to the engine's
    // delegates and its installer of "map" packages; `catalogue` is where the
    // maps being installed are described (nullptr: the catalogue in use).
    static std::shared_ptr<CBUserMapStoreEngine> createWithDownloadManager(
        std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
        std::shared_ptr<CBMapStoreEngine> catalogue = nullptr);
    explicit CBUserMapStoreEngine(std::string storePath);
    ~CBUserMapStoreEngine() override;

    void addDelegate(const std::shared_ptr<CBUserMapStoreEngineDelegate>& delegate);
    void removeDelegate(const std::shared_ptr<CBUserMapStoreEngineDelegate>& delegate);
    void setPostInstallStep(PostInstallStep step) { postInstallStep_ = std::move(step); }
    // Work after a map is deleted, given its identifier (the application sets
    // removing its rendered tiles from the tile cache).
    using DeletedMapStep = std::function<void(const std::string& identifier)>;
    void setDeletedMapStep(DeletedMapStep step) { deletedMapStep_ = std::move(step); }
    // Work just before an installed map's files are deleted or replaced by an
    // update, given its identifier (the application closes the map where it
    // is open, so nothing reads the files as they go); also for a map whose
    // post-install step is under way when the registry goes, so that the
    // step ends with it.
    using ReleaseMapStep = std::function<void(const std::string& identifier)>;
    void setReleaseMapStep(ReleaseMapStep step) { releaseMapStep_ = std::move(step); }

    std::optional<std::string> currentMapIdentifier() const { return currentMapIdentifier_; }
    Map currentMap();
    std::optional<std::string> currentMapTitle();
    void setCurrentMap(const Map& map);
    void storeState();
    void resetState();

    std::set<std::string> allIdentifiers();
    std::vector<Map> mapsSortedByName();
    std::vector<Map> mapsSortedByDate();

    // Removes the map's record, folder, covers and rendered tiles (files and
    // index rows); with cancelDownloads its download too, with what it loaded.
    void deleteMap(const Map& map);
    void deleteMapAndCancelRelatedDownloads(const Map& map, bool cancelDownloads);

    // The map's download as it stands: its status while one is queued, else
    // installed or nothing.
    ZELDownloadStatus downloadStatusForMapIdentifier(const std::optional<std::string>& identifier) {
        return downloadStatusForIdentifier(identifier);
    }

    void checkIntegrityOfMapCovers();
    void copyCoverToDocumentsForMap(const Map& map);
    std::optional<std::vector<CBMapDocumentInfo>> documentInfosArrayForMap(const Map& map);

    // At start: brings the records in line with the download queue (the
    // engine has repaired interrupted downloads; a map whose package is
    // queued is downloading, one whose download left the queue no longer)
    // and finishes installs a crash interrupted.
    void migrateDownloadQueue();

    // The download engine's delegate, for downloads of type "map".
    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& download) override;
    // The installer of "map" packages.
    void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                        const Download& download) override;

    // Whether the file is a geo store of a map package: it opens with the geo
    // model and holds objects.
    static bool validateMapStoreAtPath(const std::string& path, NSError* error);

    // Whether the installed map's geo store cannot be read (checked once a
    // run, when first asked; a new install of the map checks it anew). A map
    // found damaged stays so on later starts until it is installed again. A
    // map being loaded (its package in the download queue) is never damaged.
    bool checkMapIsDamaged(const Map& map);
    // Whether checkMapIsDamaged found it so, or it was marked so.
    bool isMapDamaged(const std::optional<std::string>& identifier) const;
    // Marks the installed map damaged as checkMapIsDamaged would: its store
    // failed while open (why: `reason`). False when it was marked already.
    bool markMapDamaged(const Map& map, const std::string& reason);
    // Loads the map's package from the map store: a queued download of it
    // (paused or failed) goes on with the bytes it has, else a new one is
    // queued and started. `expectedSize`, when the caller knows one fresher
    // than the stored statistics, bounds the new download. false when the
    // map has no address there (or no download engine is joined).
    bool downloadOrRetryMap(const Map& map, std::optional<int64_t> expectedSize = std::nullopt);
    // Installs a package that is on this computer already (a folder holding
    // <identifier>.sqlite and the package's other files), described by the
    // catalogue like a download; the installed map when it was installed
    // before. nullptr when its geo store does not validate or the copy fails.
    Map installLocalPackageWithIdentifierFromFolder(const std::string& identifier,
                                                    const std::string& folder);

  protected:
    // What the map downloads are at, told to the delegates.
    std::shared_ptr<ZELDownloadManagerEngine> followedDownloadEngine() const override {
        return downloadManager();
    }
    bool hasInstalledIdentifier(const std::string& identifier) override;
    void downloadLeftQueueWithIdentifier(const std::string& identifier) override;
    void downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                              const std::string& identifier) override;
    void downloadProgressChangedToForIdentifier(const ZELDownloadStatus& status,
                                                const std::string& identifier) override;

  private:
    std::shared_ptr<CBUserMapStoreEngine> userSelf();
    // Opens the store; one that does not open is set aside and the records
    // are made anew from the maps on disk whose geo stores validate.
    void openStoreOrRebuildFromMapsOnDisk();
    void recordMapsOnDisk();
    bool hasQueuedDownload(const std::string& identifier) const;
    void install(const Download& download);
    // Copies the catalogue's description of the map into the record.
    bool fillRecordFromCatalogue(const Map& record, const std::string& identifier);
    Map recordForDownload(const Download& download, bool create);
    void downloadOfMapEnded(const Map& map);
    void finishInstall(const Download& download, const Map& map, bool isUpdate);
    void adoptStoredCover(const Map& map, const std::shared_ptr<UIImage>& cover);
    std::vector<Map> allMaps(const std::vector<NSSortDescriptor>& order);
    std::string stateFilePath() const;
    template <class Call>
    void tellDelegates(Call call) {
        for (const auto& delegate : delegates_.currentDelegates())
            call(*delegate);
    }

    std::shared_ptr<CBMapStoreEngine> catalogue_;
    ZELMulticastDelegate<CBUserMapStoreEngineDelegate> delegates_;
    std::optional<std::string> currentMapIdentifier_;
    // Maps checked this run: true for a damaged one.
    std::map<std::string, bool> checkedMaps_;
    // Maps whose post-install step is under way (an update's may start
    // before the last install's ends).
    std::multiset<std::string> finishing_;
    PostInstallStep postInstallStep_;
    DeletedMapStep deletedMapStep_;
    ReleaseMapStep releaseMapStep_;
};
