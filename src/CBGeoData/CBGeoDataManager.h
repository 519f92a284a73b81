#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoreDataManager.h"
#include "CBGeoData/CBGeoContextLease.h"
#include "CBGeoData/CBGeoElementAnchor.h"
#include "CBGeoData/CBGeoSearchCompletion.h"
#include "CBGeoData/ZELManagedObjectContextWrapper.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSNotificationCenter.h"

class CBGeoMapTile;
class NSFetchRequest;
class CBGeoNode;
class CBGeoObject;
class CBGeoTag;
class CBGeoCity;
class CBGeoSearchResult;
struct CBGeoPlaceKey;
struct NSError;

// The geo databases of the map now shown, side by side on one coordinator,
// and one managed object context per thread for the tile drawing threads;
// the queries the map and the screens put to them (tiles by quad key, objects
// in a box, tags, public-transport families) and the searches for places and
// addresses.
//
// A quad key is the decimal number 1 followed by one digit 0 to 3 per zoom
// level (x bit + 2 * y bit, coarsest level first), held in a signed 64-bit
// integer: it fits up to zoom 18, so deeper zooms are refused.
class CBGeoDataManager : public CBCoreDataManager {
  public:
    using ContextTable = std::map<std::string, std::shared_ptr<ZELManagedObjectContextWrapper>>;
    using Objects = std::vector<std::shared_ptr<CBGeoObject>>;
    using SearchResults = std::vector<std::shared_ptr<CBGeoSearchResult>>;
    using SearchCompletionBlock = std::function<void(const SearchResults&)>;
    using ObjectCompletionBlock = std::function<void(const std::shared_ptr<CBGeoObject>&)>;
    using ObjectsCompletionBlock = std::function<void(const Objects&)>;

    static constexpr int kMaximumQuadKeyZoomLevel = 18;
    // "recentObjects" looks back 60480 s, 16.8 hours.
    static constexpr double kRecentObjectsInterval = 60480.0;
    // Public-transport families of tags and objects.
    static constexpr int kPubTransNoFilter = -1;
    static constexpr int kPubTransTramLike = 0;
    static constexpr int kPubTransTrainLike = 1;
    static constexpr int kPubTransBusLike = 2;
    static constexpr int kPubTransFerryLike = 3;
    static constexpr int kPubTransOther = 99;

    // The posted name of the application's memory warning.
    static constexpr const char* UIApplicationDidReceiveMemoryWarningNotification =
        "UIApplicationDidReceiveMemoryWarningNotification";
    // The model resource inside the main bundle.
    static constexpr const char* kModelResource = "Quillmere.bundle/CBGeoObject.model";
    // Posted on the main queue, once per store file, when a read of one of
    // the manager's stores finds the file damaged (SQLite finds it corrupt or
    // no database), from whichever thread read it. The object is the manager;
    // userInfo names the file under "path" and what failed under "reason". A
    // store added anew at that path is told of again.
    static constexpr const char* CBGeoDataManagerStoreDamagedNotification =
        "CBGeoDataManagerStoreDamagedNotification";

    // Asserts that the coordinate-path transformer is registered.
    static std::shared_ptr<CBGeoDataManager> create();
    ~CBGeoDataManager() override;

    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override;
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override;
    std::shared_ptr<NSManagedObjectContext> managedObjectContext() override;
    void releaseCoreDataStack() override;

    // Adds the SQLite store at path (under key, replacing what was there);
    // answers the coordinator, or nullptr when the store cannot be opened.
    // A path inside the application bundle opens read-only. A failure is
    // logged, or handed to the caller in `error` when one is given.
    std::shared_ptr<NSPersistentStoreCoordinator> addPersistentStoreCoordinatorWithPath(
        const std::string& path);
    std::shared_ptr<NSPersistentStoreCoordinator> addPersistentStoreCoordinatorWithPathForKey(
        const std::string& path, const std::optional<std::string>& key, NSError* error = nullptr);
    std::shared_ptr<NSPersistentStoreCoordinator>
    addPersistentStoreCoordinatorWithPathForKeyAndCenter(const std::string& path,
                                                         const std::optional<std::string>& key,
                                                         bool center, NSError* error = nullptr);

    std::map<std::string, std::shared_ptr<NSPersistentStore>> persistentStoresDictionary();
    bool hasPersistentStoreForKey(const std::string& key);
    // The key the map's restaurant guide is opened under beside the map.
    static constexpr const char* kTopTableStoreKey = "toptable";
    // Limits a fetch to the map's own stores. The restaurant guide's entries
    // stand at the places of the map under their names: they are reached
    // through those places, never found by the searches on their own.
    void restrictFetchRequestToMapStores(NSFetchRequest& request);

    // The calling thread's context, made if needed and marked in use; nullptr
    // while no store was ever added. The caller holds it until it unlocks.
    std::shared_ptr<NSManagedObjectContext> lockedContextForCurrentThread();
    void lockContextForCurrentThread();
    void unlockContextForCurrentThread();
    // The calling thread's context in use until the lease ends (drawing
    // fetches through it); an empty lease while no store is open.
    CBGeoContextLease leaseContextForCurrentThread();
    void handleThreadWillExitNotification(const std::string& threadIdentifier);
    void handleDidReceiveMemoryWarningNotification();
    // The current table of per-thread contexts: an immutable snapshot,
    // replaced as a whole after each change; nullptr before the first context.
    std::shared_ptr<const ContextTable> managedObjectContextDict() const;

    const std::shared_ptr<NSPredicate>& quadKeysPredicate() const { return quadKeysPredicate_; }

    // <Library>/Application Support/quillmereData
    static std::string applicationSupportDirectory();

    // Queries. Each returns nullptr or nullopt while no store is open; fetches
    // run in the main context on the calling (main) thread.
    std::shared_ptr<NSFetchRequest> requestForAllObjects();
    std::shared_ptr<NSFetchRequest> requestForObjectsInBBox(
        const std::shared_ptr<CBBoundingBox>& box);
    static std::shared_ptr<NSPredicate> predicateForObjectsInBBox(
        const std::shared_ptr<CBBoundingBox>& box);
    // The model's template "recentObjects": objects made in the last week.
    std::shared_ptr<NSFetchRequest> requestForRecentObjects();
    std::shared_ptr<NSFetchRequest> requestForTagsWithKey(const std::string& key);
    // With an attribute the request asks for one row.
    std::shared_ptr<NSFetchRequest> requestForTagsWithKeyAndAttribute(
        const std::string& key, const std::optional<std::string>& attribute);
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>> tagsMatchingKeyAndAttribute(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute);
    // nullopt on a failed fetch or when nothing matches.
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
    tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute,
        const std::vector<std::string>& keyPaths);
    std::optional<std::vector<std::shared_ptr<CBGeoNode>>> getNodes();
    std::optional<Objects> getObjects();
    std::optional<std::vector<std::shared_ptr<NSManagedObject>>> getElements();
    std::shared_ptr<CBGeoCity> currentCity();

    // The map tiles stored under the keys, fetched in the calling thread's
    // own context, which stays locked: the caller unlocks it with
    // unlockContextForCurrentThread() once done with the tiles. nullopt when
    // none is stored, on a failed fetch and without a store. A refetch skips
    // the prefetch of the tiles' elements.
    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> mapTilesForQuadKeys(
        const std::vector<int64_t>& quadKeys);
    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> mapTilesForQuadKeysIsRefetch(
        const std::vector<int64_t>& quadKeys, bool refetch);
    // The anchored elements of the tiles under the keys, key by key in the
    // order given and by element within a tile, read by one prepared query
    // without loading the elements. Locks the thread's context as
    // mapTilesForQuadKeys does. nullopt without a store or on a failed query.
    std::optional<std::vector<CBGeoElementAnchor>> elementAnchorsForQuadKeys(
        const std::vector<int64_t>& quadKeys);
    // The tiles of the key, else of its nearest stored ancestor (a package
    // stores only some zoom levels); *foundKey tells which key answered.
    // Locks the thread's context as mapTilesForQuadKeys does.
    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> mapTilesForQuadKeyOrParent(
        int64_t quadKey, int64_t* foundKey = nullptr);

    // Tag key to (tag attribute to readable text), from "OSMTags-HReadable".
    const Value::Dictionary& tagTranslationDictionary();
    // The object IDs of the stored tags whose readable text begins with the
    // text (ignoring case and diacritics); nullopt without a store.
    std::optional<std::vector<NSManagedObjectID>> findTranslatedTagContaining(
        const std::string& text);

    // Quad keys. nullopt for a zoom above kMaximumQuadKeyZoomLevel (the key
    // would not fit) and for tile numbers outside the zoom's grid.
    static std::optional<int64_t> quadKeyForTileXYZ(int64_t x, int64_t y, int z);
    // The key one zoom level up; nullopt for zoom 0 and 1 keys and for
    // anything that is no quad key.
    static std::optional<int64_t> parentQuadKeyForQuadKey(int64_t quadKey);
    // Zoom level of a key; nullopt when it is no quad key.
    static std::optional<int> zoomLevelForQuadKey(int64_t quadKey);
    // The tile a key names; nullopt when it is no quad key.
    struct TileXYZ {
        int64_t x = 0, y = 0;
        int z = 0;
    };
    static std::optional<TileXYZ> tileXYZForQuadKey(int64_t quadKey);
    // The tile's Web Mercator box; nullptr with the log line "Invalid
    // QuadKey digit sequence." for anything that is no quad key.
    static std::shared_ptr<CBBoundingBox> boundingBoxForMapTileWithQuadKey(int64_t quadKey);
    static std::shared_ptr<CBBoundingBox> boundingBoxForMapTileWithXYZ(int64_t x, int64_t y, int z);

    // Public-transport families. The object forms ask for any tag of the
    // family; the tag form (type -1: nullptr, no filter) for the tag itself.
    // Both "other" forms leave out all four families: ferries are a family
    // of their own, never "other".
    static const std::vector<std::string>& pubTransAttributesOfType(int type);
    static std::shared_ptr<NSPredicate> predicateForPubTransTramLikeTags();
    static std::shared_ptr<NSPredicate> predicateForPubTransTrainLikeTags();
    static std::shared_ptr<NSPredicate> predicateForPubTransBusLikeTags();
    static std::shared_ptr<NSPredicate> predicateForPubTransFerryLikeTags();
    static std::shared_ptr<NSPredicate> predicateForPubTransOtherTags();
    static std::shared_ptr<NSPredicate> predicateForAttributeOfPubTransType(int type);

    // Searches. Each completion runs on the main thread with objects of the
    // main context, exactly once per accepted call: with the hits, or empty
    // (nullptr) on no hit, a failed fetch, a closed store or a released
    // manager. A text search replaced by newer typing never answers.

    // False (and the completion is never called) when no store is open or
    // the text is refused (see searchWithGeoSearchInfo).
    bool searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        const std::string& text, bool includeAddresses, bool delayed,
        SearchCompletionBlock completion);
    void startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) override;
    std::shared_ptr<NSPredicate> predicateForCanonicalSearchTerm(const std::string& term) override;
    static std::shared_ptr<NSPredicate> predicateForCanonicalName(const std::string& word);
    static std::shared_ptr<NSPredicate> predicateForCanonicalNameInBBox(
        const std::string& word, const std::shared_ptr<CBBoundingBox>& box);
    // Exact hits (folded name equals the text) first, then the address hits
    // for the house numbers, then the rest in fetch (name) order. Subclasses
    // may rework the list.
    virtual std::optional<SearchResults> arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
        const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
        bool includeAddresses);
    // The same ordering, through a subclass's rework too.
    std::optional<SearchResults>
    arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjectsIncludeAddresses(
        const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
        bool includeAddresses);
    static void migrateGeoSearchResultsInArrayToContext(
        const SearchResults& results, const std::shared_ptr<NSManagedObjectContext>& context);
    // The named object nearest to the coordinate (within 0.0001 degrees).
    void searchForClosestObjectToWithCompletionBlock(CLLocationCoordinate2D coordinate,
                                                     ObjectCompletionBlock completion);
    // At most 50 objects in the box that match the predicate (all when nullptr).
    void searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
        const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
        ObjectsCompletionBlock completion);
    // The same place in this manager's stores as a result from another
    // context (a bookmark carried over); nullptr when there is none.
    std::shared_ptr<CBGeoSearchResult> findSimilarObjectToObjectFromOtherContext(
        const std::shared_ptr<CBGeoSearchResult>& result);
    // The objects of this manager's stores that may be the result's place;
    // a subclass with other rules (the bookmarks' streets) overrides it.
    virtual std::shared_ptr<NSPredicate> predicateForSimilarObjectTo(
        const std::shared_ptr<CBGeoSearchResult>& result);
    // The place of this manager's map stores that the key describes (the
    // rules of the search above, from values kept of a place); nullptr when
    // none is near enough.
    std::shared_ptr<CBGeoSearchResult> findPlaceWithKey(const CBGeoPlaceKey& key);
    static std::shared_ptr<NSPredicate> predicateForPlaceKey(const CBGeoPlaceKey& key);

  protected:
    CBGeoDataManager();
    std::shared_ptr<DispatchQueue> createSearchQueue() override;

  private:
    void publishTable();  // under contextMutex_
    // The object nearest to the key's position among those the predicate
    // gives, within 0.0001 degrees, at the key's house number when it was
    // found at an address.
    std::shared_ptr<CBGeoSearchResult> nearestPlaceMatchingPredicate(
        const std::shared_ptr<NSPredicate>& predicate, const CBGeoPlaceKey& key);

    // The store files told damaged, shared with the coordinator's handler.
    struct DamagedStores;
    std::shared_ptr<DamagedStores> damagedStores_;
    std::mutex storesMutex_;  // guards the dictionary and the coordinator pointer
    std::map<std::string, std::shared_ptr<NSPersistentStore>> persistentStoresDictionary_;
    std::mutex contextMutex_;
    ContextTable contextTable_;         // the master, under contextMutex_
    mutable std::mutex snapshotMutex_;  // held only to copy or swap the pointer below
    std::shared_ptr<const ContextTable> contextSnapshot_;
    std::shared_ptr<NSPredicate> quadKeysPredicate_;
    std::shared_ptr<NSNotificationObserver> memoryWarningObserver_;
    std::once_flag tagTranslationOnce_;
    Value::Dictionary tagTranslationDictionary_;
    // The completion of the last accepted text search (main thread only),
    // owned by that job: when the job is dropped unanswered, it answers empty.
    std::weak_ptr<CBGeoSearchCompletion<SearchResults>> textSearchCompletion_;
    NSDate textSearchStartDate_;
};
