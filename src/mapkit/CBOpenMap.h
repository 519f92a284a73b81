#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSError.h"
#include "mapkit/CBMapStoreCities.h"

class CBBoundingBox;
class CBDiskTileCache;
class CBGeoDataManager;
class CBGeoObject;
class CBGeoSearchResult;
class CBGeoStyleSheet;
class CBGeoTag;
class NSPredicate;

// A map whose stores are open: what drawing, search and the place screens of
// one map share. It holds the geo data manager over the stores, the parsed
// default style sheet, the process's disk tile cache, the towns of the map
// and the box they span, and the stores' version that keys its cached tiles.
//
// The table: a map is opened once per store identifier (the stores' file
// names without extension, sorted and joined). openStorePathes hands out the
// open map while anyone holds it, and opens the stores otherwise; the table
// holds its maps weakly, so the stores close with the last holder. A store
// that does not open fails every caller with the same error and leaves
// nothing in the table, so the next open tries again. A map whose files
// were replaced (another inode or another store version) is closed and
// opened anew; other files of the same name (a copy elsewhere) are another
// map. invalidateStoreIdentifier closes a map at once, before its files are
// deleted or swapped: its holders then see isClosed() and hear
// kCBOpenMapDidCloseNotification (userInfo "identifier") to open the map
// again or let it go; work on the map run through performWhileOpen has ended
// by then.
//
// Threads: the table and the accessors from any thread; the searches as the
// geo data manager's.
class CBOpenMap {
  public:
    static constexpr const char* kCBOpenMapDidCloseNotification = "CBOpenMapDidCloseNotification";
    static constexpr const char* kErrorDomain = "CBOpenMapErrorDomain";
    static constexpr long kNoStoreError = 1;
    static constexpr long kStoreUnreadableError = 2;

    // The open map of the stores, opening them when nobody holds it; nullptr
    // (and the reason in *error when given) when a store is missing or does
    // not open.
    static std::shared_ptr<CBOpenMap> openStorePathes(const std::vector<std::string>& paths,
                                                      NSError* error = nullptr);
    static std::shared_ptr<CBOpenMap> openStorePath(const std::string& path,
                                                    NSError* error = nullptr);
    // The open map of an identifier while somebody holds it, else nullptr.
    static std::shared_ptr<CBOpenMap> openMapWithIdentifier(const std::string& identifier);
    // Closes the identifier's open map (its holders keep an object that
    // answers isClosed()) and posts kCBOpenMapDidCloseNotification on the
    // main queue. Nothing when it is not open.
    static void invalidateStoreIdentifier(const std::string& identifier);
    // How many times the table opened stores since the program started;
    // each open is logged ("CBOpenMap: opened the map <identifier> from <first path>").
    static long openCount();

    // The identifier of stores: their file names without extension, sorted
    // and joined; nullopt for none.
    static std::optional<std::string> identifierForStorePathes(
        const std::vector<std::string>& paths);
    // The stores' identities (their NSStoreUUID, in path order, joined by
    // ","); empty when one cannot be read.
    static std::string versionForStorePathes(const std::vector<std::string>& paths);

    // The stores close with the geo data manager's last holder (a tile being
    // drawn may outlive the open map).
    ~CBOpenMap() = default;
    CBOpenMap(const CBOpenMap&) = delete;
    CBOpenMap& operator=(const CBOpenMap&) = delete;

    const std::string& identifier() const { return identifier_; }
    const std::vector<std::string>& storePathes() const { return storePathes_; }
    const std::string& version() const { return version_; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    const std::shared_ptr<CBGeoStyleSheet>& styleSheet() const { return styleSheet_; }
    const std::shared_ptr<CBDiskTileCache>& diskCache() const { return diskCache_; }
    const CBMapStoreCities& cities() const { return cities_; }
    // The box the map's towns span; nullptr when no town has one.
    const std::shared_ptr<CBBoundingBox>& boundingBox() const { return cities_.boundingBox; }
    bool isClosed() const { return closed_; }
    // Runs `work` unless the map is closed, and answers whether it ran. Closing
    // waits for work under way, so nothing done through here (a pre-fill's
    // tile put into the tile cache) comes after the map closed. `work` must
    // neither close nor open a map.
    bool performWhileOpen(const std::function<void()>& work);
    // Whether the paths name the files this map opened, in order (a copy
    // of the same name elsewhere is another map).
    bool opensFiles(const std::vector<std::string>& paths) const;

    // Searches of the map's data. A closed map starts none and its
    // completions hear of no hits.
    bool searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        const std::string& text, bool includeAddresses, bool delayed,
        std::function<void(const std::vector<std::shared_ptr<CBGeoSearchResult>>&)> completion);
    void cancelSearchForObjectsMatchingString();
    void searchForClosestObjectToWithCompletionBlock(
        CLLocationCoordinate2D coordinate,
        std::function<void(const std::shared_ptr<CBGeoObject>&)> completion);
    void searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
        const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
        std::function<void(const std::vector<std::shared_ptr<CBGeoObject>>&)> completion);
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>> tagsMatchingKeyAndAttribute(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute);
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
    tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute,
        const std::vector<std::string>& keyPaths);

  private:
    CBOpenMap() = default;
    static std::shared_ptr<CBOpenMap> open(const std::string& identifier,
                                           const std::vector<std::string>& paths, NSError* error);
    void close();
    // Whether its own paths still name those files, of the same version.
    bool filesUnchanged() const;

    std::string identifier_;
    std::vector<std::string> storePathes_;
    std::string version_;
    // The stores' files as opened (device and inode each): a file renamed
    // over one of them is another map.
    std::vector<std::pair<unsigned long, unsigned long>> files_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::shared_ptr<CBGeoStyleSheet> styleSheet_;
    std::shared_ptr<CBDiskTileCache> diskCache_;
    CBMapStoreCities cities_;
    std::atomic<bool> closed_ = false;
    // Work run through performWhileOpen, which a close waits for.
    std::mutex workMutex_;
    std::condition_variable workEnded_;
    int runningWork_ = 0;
};
