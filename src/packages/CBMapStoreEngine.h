#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoreDataManager.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "packages/CBMapStoreEngineDelegate.h"
#include "packages/ZELDownloadRequest.h"

class CBMapStoreCountry;
class CBMapStoreFederalRegion;
class CBMapStoreGroup;
class CBMapStoreInfoCountry;
class CBMapStoreInfoMap;
class CBMapStoreInfoStore;
class CBMapStoreMap;
class UIImage;
class ZELDownloadManagerEngine;

// The map catalogue: groups, countries, federal regions and maps of the
// read-only store "mapStore.sqlite" (the downloaded update in <Documents>
// when there is a valid one, else the bundled one), their statistics from
// the server and their covers.
//
// Main thread, except the searches, which fetch on the serial queue
// "CBMapStoreEngineSearch" in their own context and answer on the main queue.
class CBMapStoreEngine : public CBCoreDataManager {
  public:
    using MapsCompletion = std::function<void(const std::vector<std::shared_ptr<CBMapStoreMap>>&)>;
    using InfoCountryBlock = std::function<void(const std::shared_ptr<CBMapStoreInfoCountry>&)>;
    using InfoMapBlock = std::function<void(const std::shared_ptr<CBMapStoreInfoMap>&)>;
    using CoverBlock = std::function<void(const std::shared_ptr<UIImage>&)>;

    static constexpr const char* kCatalogueFileName = "mapStore.sqlite";
    static constexpr size_t kMapsInBoundingBoxLimit = 15;

    // The catalogue in use: the downloaded one, else the bundled one.
    CBMapStoreEngine();
    // A store of this model at path (the installed-maps registry's own
    // store, or a catalogue under test).
    CBMapStoreEngine(std::string storePath, bool readOnly);
    ~CBMapStoreEngine() override;

    // The model "CBMapStore.model" of the main bundle, read once.
    static std::shared_ptr<NSManagedObjectModel> mapStoreModel();
    static std::optional<std::string> bundledCataloguePath();
    // <Documents>/mapStore.sqlite.
    static std::string downloadedCataloguePath();
    // The downloaded catalogue when it validates, else the bundled one.
    static std::optional<std::string> currentCataloguePath();
    const std::string& storePath() const { return storePath_; }

    void setDelegate(std::weak_ptr<CBMapStoreEngineDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<CBMapStoreEngineDelegate> delegate() const { return delegate_.lock(); }
    void setDownloadManager(std::shared_ptr<ZELDownloadManagerEngine> manager) {
        downloadManager_ = std::move(manager);
    }
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager() const { return downloadManager_; }

    // By local name, then "europe" first, then "US" first; nullopt without a model.
    std::optional<std::vector<std::shared_ptr<CBMapStoreGroup>>> sortedGroups();
    // The delayed catalogue search (see the source for its rules).
    bool mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
        const std::optional<std::string>& text,
        const std::vector<std::shared_ptr<CBMapStoreCountry>>& countries,
        const std::vector<std::shared_ptr<CBMapStoreFederalRegion>>& regions,
        MapsCompletion completion);
    // At most 15 maps whose boxes meet the box, highest priority first.
    void mapsInBoundingBoxWithCompletionBlock(const CBBoundingBox& box, MapsCompletion completion);
    std::shared_ptr<CBMapStoreMap> mapIncludingCoordinate(CLLocationCoordinate2D coordinate);
    std::shared_ptr<CBMapStoreCountry> countryForCountryCode(const std::string& code);
    std::shared_ptr<CBMapStoreMap> mapForIdentifier(const std::optional<std::string>& identifier);

    // Statistics (CBMapStoreEngineInfo.cpp).
    std::shared_ptr<CBMapStoreInfoCountry> infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
        const std::string& countryCode, const std::optional<std::string>& regionCode,
        InfoCountryBlock block);
    std::shared_ptr<CBMapStoreInfoMap>
    infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
        const std::string& identifier, const std::string& countryCode,
        const std::optional<std::string>& regionCode, InfoMapBlock block);
    // The manual catalogue check: every stored record is fetched anew on its
    // next use, and stays in use until the fresh one has arrived.
    void expireStoredInfos();
    const std::shared_ptr<CBMapStoreInfoStore>& infoStore() const { return infoStore_; }
    // The package size the stored statistics give (none are fetched here).
    std::optional<int64_t> storedPackageSizeForMap(const std::shared_ptr<CBMapStoreMap>& map);
    // The download of the map's package from the map store into the maps
    // folder, with the stored package size as its expected size, which bounds
    // what the download may load; nullopt for a map without an address.
    std::optional<ZELDownloadRequest> downloadRequestForMap(
        const std::shared_ptr<CBMapStoreMap>& map);

    // Covers (CBMapStoreEngineCovers.cpp).
    std::shared_ptr<UIImage> coverImageForMapDownloadCoverIfNeededCompletion(
        const std::shared_ptr<CBMapStoreMap>& map, bool downloadIfNeeded, CoverBlock completion);
    std::shared_ptr<UIImage> coverImageForMapCompletion(const std::shared_ptr<CBMapStoreMap>& map,
                                                        CoverBlock completion);
    // <Documents>/covers/<id>_custom.jpg; nullopt for an invalid identifier.
    static std::optional<std::string> customCoverPathForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    // <Documents>/covers/<id>.jpg, the installed map's cover.
    static std::optional<std::string> defaultCoverPathForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    // <Caches>/mapCovers/<CODE>/<id>.jpg, the catalogue's cover as fetched.
    static std::optional<std::string> cachedCoverPathForMap(CBMapStoreMap& map);
    bool customCoverExistsForMap(const std::shared_ptr<CBMapStoreMap>& map);
    void resetCustomCoverForMap(const std::shared_ptr<CBMapStoreMap>& map);
    // A plain cover with the map's name, for maps without one.
    static std::shared_ptr<UIImage> generatedCoverForMap(CBMapStoreMap& map);

    // The package URL on the map store server; nullopt for nil or a map
    // whose identifier or code is not valid.
    std::optional<std::string> urlForMap(const std::shared_ptr<CBMapStoreMap>& map);
    std::string basePathForMaps();

    // Replaces the catalogue in use by the validated one at stagedPath
    // (moved to downloadedCataloguePath()); the delegate hears of it before
    // and after. false, with nothing changed, when it does not validate.
    bool installCatalogueFromPath(const std::string& stagedPath, std::string* reason = nullptr);

    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override;
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override;
    void startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) override;
    std::shared_ptr<NSPredicate> predicateForCanonicalSearchTerm(const std::string& term) override;

  protected:
    std::shared_ptr<DispatchQueue> createSearchQueue() override;
    std::shared_ptr<CBMapStoreEngine> self();
    // Makes the image the map object's cover (its blurred copy is made anew
    // from it) and hands it to the completion.
    void deliverCover(const std::shared_ptr<CBMapStoreMap>& map,
                      const std::shared_ptr<UIImage>& image, const CoverBlock& completion);

  private:
    struct SearchScope {
        std::vector<NSManagedObjectID> countries;
        std::vector<NSManagedObjectID> regions;
        bool operator==(const SearchScope&) const = default;
    };
    void downloadCover(const std::shared_ptr<CBMapStoreMap>& map, const std::string& source,
                       CoverBlock completion);

    void fetchInfoForCode(const std::string& code, InfoCountryBlock block);

    std::mutex coordinatorMutex_;  // the coordinator is made on either thread
    std::string storePath_;
    bool readOnly_ = true;
    std::weak_ptr<CBMapStoreEngineDelegate> delegate_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreInfoStore> infoStore_;
    SearchScope searchScope_;  // main thread, and copied into each job
    // Main thread: the callers waiting for each code's statistics.
    std::map<std::string, std::vector<InfoCountryBlock>> pendingInfoFetches_;
};
