#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/ZELMulticastDelegate.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMapObserver.h"
#include "packages/CBUserMapStoreEngineDelegate.h"

class CBGeoDataManager;
class CBOpenMap;
class NSNotificationObserver;
class CBUserMapStoreEngine;
class CBWikipediaManager;

// The map being shown, and what belongs to it: the open map (its stores,
// style and towns, shared through the table of open maps), the registry's
// record of it (identifier, title, country), its bookmark store, its
// restaurant guide and its offline Wikipedia. The application owns one;
// every screen of a map reads the map from it.
//
// The map screen opens a map, shows it and hands it over (`showOpenMap`);
// the registry's news of the maps keeps it true: the observers hear before
// the map shown closes for an update or a deletion, a deleted map closes,
// one replaced by an update opens anew and is told to the observers (so is
// one closed by an update that then failed, on its old files), a record
// that became the current map's is taken up. The registry's "no current
// map" (the shelf is on show) leaves the map shown as it is. Main thread
// only.
class CBCurrentMap : public CBUserMapStoreEngineDelegate,
                     public std::enable_shared_from_this<CBCurrentMap> {
  public:
    // `registry` may be null (a map shown without installed maps, tests);
    // so may `bookmarks` and `wikipedia`.
    static std::shared_ptr<CBCurrentMap> create(std::shared_ptr<CBUserMapStoreEngine> registry,
                                                std::shared_ptr<CBBookmarksManager> bookmarks,
                                                std::shared_ptr<CBWikipediaManager> wikipedia);

    void addObserver(const std::shared_ptr<CBCurrentMapObserver>& observer);
    void removeObserver(const std::shared_ptr<CBCurrentMapObserver>& observer);

    // The geo store of an installed map, also while an update of it loads;
    // nullopt while its first package loads or when its file is gone.
    static std::optional<std::string> installedStorePath(const Map& map);

    // Makes the open map the one shown: takes the registry's record when it
    // is the current map's, opens the map's bookmark store and its
    // restaurant guide beside the map, and tells the observers when it is
    // another map than the one shown. Answers the bookmark store's state
    // when the store was opened anew; nullopt when the map's store stayed
    // open, there is no bookmark manager, or no map (nullptr, a closed map).
    std::optional<CBBookmarksManager::StoreState> showOpenMap(std::shared_ptr<CBOpenMap> map);
    // Lets the map shown go: its stores close and the observers are told.
    void close();

    bool isOpen() const { return storePath_.has_value(); }
    const std::optional<std::string>& storePath() const { return storePath_; }
    const std::shared_ptr<CBOpenMap>& openMap() const { return openMap_; }
    // The open map's geo data manager; nullptr without a map.
    std::shared_ptr<CBGeoDataManager> dataManager() const;
    // The installed map's identifier, or for a store shown from elsewhere
    // (the sample, a --map file) the name of its file, which is the
    // identifier it has once installed.
    const std::optional<std::string>& identifier() const { return identifier_; }
    // The registry's record; null for a store shown from elsewhere.
    const Map& record() const { return record_; }
    std::optional<std::string> title() const;
    std::optional<std::string> country() const;
    // The city of addresses without one: the record's title, else the name
    // of the map's main city; nullopt without either.
    std::optional<std::string> cityName() const;

    // The bookmarks of the map shown.
    const std::shared_ptr<CBBookmarksManager>& bookmarks() const { return bookmarks_; }

    // The package's restaurant guide: open beside the map, and where its
    // venues' photos are (empty without a map).
    bool hasRestaurantGuide() const { return restaurantGuide_; }
    std::string restaurantGuideImagesPath() const;

    // The offline Wikipedia, and whether the map shown has its articles open.
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const { return wikipedia_; }
    bool hasWikipedia() const;

    ~CBCurrentMap() override;

    void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreWillUpdateMap(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreWillDeleteMap(CBUserMapStoreEngine&, const Map& map) override;

  private:
    CBCurrentMap(std::shared_ptr<CBUserMapStoreEngine> registry,
                 std::shared_ptr<CBBookmarksManager> bookmarks,
                 std::shared_ptr<CBWikipediaManager> wikipedia);
    bool isShown(const Map& map) const;
    bool closesWith(const Map& map) const;
    void tellWillClose();
    // The restaurant guide of the map shown, beside it in its data manager.
    void openRestaurantGuide();
    // Empties the record and closes the stores, keeping the observers.
    void release();
    // The map shown, closed by an update, opens again from its files (the
    // new ones, or the old ones of an update that failed) with the guide
    // they bring, and the observers hear of it; without files it closes.
    void renewOpenMap();
    template <class Call>
    void tellObservers(Call call) {
        for (const auto& observer : observers_.currentDelegates())
            call(*observer);
    }

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<CBBookmarksManager> bookmarks_;
    std::shared_ptr<CBWikipediaManager> wikipedia_;
    ZELMulticastDelegate<CBCurrentMapObserver> observers_;
    std::optional<std::string> storePath_;
    std::shared_ptr<CBOpenMap> openMap_;
    std::optional<std::string> identifier_;
    Map record_;
    bool restaurantGuide_ = false;
    std::shared_ptr<NSNotificationObserver> closedMapObserver_;
};
