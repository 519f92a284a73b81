#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "CBGeoData/CBGeoDataManager.h"
#include "mapkit/CBAnnotation.h"
#include "packages/CBDamagedStore.h"

class CBBookmarksManager;
class CBGeoObject;
class CBGeoSearchResult;

// Told before a bookmark goes: the result's object is the bookmark.
class CBBookmarksManagerDelegate {
  public:
    virtual ~CBBookmarksManagerDelegate() = default;
    virtual void bookmarkManagerWillDeleteBookmark(CBBookmarksManager& manager,
                                                   const std::shared_ptr<CBGeoSearchResult>&) = 0;
};

// The user's bookmarks of the map shown, one store per map:
// <Documents>/bookmarks/<map identifier>.sqlite, of the geo data model. A
// bookmark is a geo object of that store: a copy of a map's object (tagged
// "originalCanonicalName") or a place the user dropped (type -1), with the
// user's note as the tag "kelvara:desc". Main thread only.
class CBBookmarksManager : public CBGeoDataManager {
  public:
    // Whether the current map's bookmarks can be used.
    enum class StoreState {
        Closed,      // no map, or an identifier that cannot name a file
        Open,        //
        Unreadable,  // a file that is no bookmark store and could not be set aside
    };
    static constexpr const char* kFolderName = "bookmarks";
    static constexpr const char* kOriginalCanonicalNameKey = "originalCanonicalName";
    // A deletion is saved this long after it, unless something saves sooner.
    static constexpr double kDeletionSaveDelay = 0.5;

    // Makes <Documents>/bookmarks when it is missing.
    static std::shared_ptr<CBBookmarksManager> create();

    const std::string& bookmarksBasePath() const { return bookmarksBasePath_; }
    std::shared_ptr<CBBookmarksManagerDelegate> bookmarkDelegate() const {
        return bookmarkDelegate_.lock();
    }
    void setBookmarkDelegate(std::weak_ptr<CBBookmarksManagerDelegate> delegate) {
        bookmarkDelegate_ = std::move(delegate);
    }

    // Saves what is pending and opens the map's store, made when missing.
    // A file that does not open as a bookmark store is set aside as
    // "<file>.<date>-<time>.<number>.corrupt" (CBDamagedStore) and a new
    // store made in its place. An identifier that cannot name a file in the
    // folder ("/", "..", empty) or none opens nothing.
    StoreState setupForMapWithIdentifier(const std::optional<std::string>& identifier);
    StoreState storeState() const { return storeState_; }
    // The damaged store set aside since the last call, with the earlier
    // copies removed to make room, for telling the user once; nullopt when
    // none was.
    std::optional<CBDamagedStore::SetAside> takeSetAsideStore() {
        return std::exchange(setAsideStore_, {});
    }
    // Where it was set aside (takeSetAsideStore).
    std::optional<std::string> takeSetAsideStorePath() {
        auto store = takeSetAsideStore();
        return store ? std::optional<std::string>(std::move(store->path)) : std::nullopt;
    }
    const std::optional<std::string>& mapIdentifier() const { return mapIdentifier_; }
    // The file of an identifier's store; nullopt for an identifier that cannot name one.
    std::optional<std::string> storePathForMapWithIdentifier(
        const std::optional<std::string>& identifier) const;

    // A result for the object; a street of the store gets one of its addresses.
    std::shared_ptr<CBGeoSearchResult> searchResultObjectForGeoObject(
        const std::shared_ptr<CBGeoObject>& object);
    bool hasBookmarkForSearchResult(const std::shared_ptr<CBGeoSearchResult>& result);
    bool hasBookmarkForObject(const std::shared_ptr<CBGeoObject>& object);
    // A street without a shown address matches only a bookmark of the whole
    // street (one without addresses).
    std::shared_ptr<NSPredicate> predicateForSimilarObjectTo(
        const std::shared_ptr<CBGeoSearchResult>& result) override;

    // The new bookmark, saved; nullptr for an object of this store or when
    // no store is open.
    std::shared_ptr<CBGeoObject> addBookmarkForObject(const std::shared_ptr<CBGeoObject>& object);
    std::shared_ptr<CBGeoObject> addBookmarkForSearchResult(
        const std::shared_ptr<CBGeoSearchResult>& result);
    // A place of the user's own at the pin: named by its title (the date and
    // time when it has none), its subtitle as the note.
    std::shared_ptr<CBGeoObject> addBookmarkFromAnnotation(const CBAnnotationRef& annotation);

    // Deletes the bookmark of the result (a bookmark or the map object it
    // copies), telling the delegate first; nothing when there is none.
    void deleteBookmarkForSearchResult(const std::shared_ptr<CBGeoSearchResult>& result);
    void deleteBookmark(const std::shared_ptr<CBGeoObject>& bookmark);
    void deleteObjectsRelatedToBookmark(const std::shared_ptr<CBGeoObject>& bookmark);

    // Searches over bookmarks answer with an address wherever the bookmark has one.
    std::optional<SearchResults> arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
        const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
        bool includeAddresses) override;

  protected:
    CBBookmarksManager();

  private:
    bool isBookmarkObject(const std::shared_ptr<CBGeoObject>& object);
    void deleteBookmarkTellingDelegate(const std::shared_ptr<CBGeoSearchResult>& bookmark);
    void scheduleDeletionSave();

    std::string bookmarksBasePath_;
    std::weak_ptr<CBBookmarksManagerDelegate> bookmarkDelegate_;
    StoreState storeState_ = StoreState::Closed;
    std::optional<std::string> mapIdentifier_;
    std::optional<CBDamagedStore::SetAside> setAsideStore_;
};
