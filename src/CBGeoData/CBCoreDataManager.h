#pragma once

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoSearchInfo.h"
#include "CBGeoData/CBGeoSearchRequest.h"
#include "CBGeoData/CBLockedPointer.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSTimer.h"

// Base of every manager that owns a Core Data stack and a type-ahead search:
// the stack (model, coordinator, main context, search context), the folding
// of search text, and one delayed, cancellable search job at a time.
//
// searchWithGeoSearchInfo() and the delivery run on the main thread; the
// fetch runs on the subclass's serial search queue in its own context.
class CBCoreDataManager : public std::enable_shared_from_this<CBCoreDataManager> {
  public:
    // A subclass's fetch for a job: the objects of `context` that the request
    // matches, at most `limit`; nullopt on a failed fetch.
    using SearchFetch = std::function<std::optional<std::vector<std::shared_ptr<NSManagedObject>>>(
        NSManagedObjectContext& context, const CBGeoSearchRequest& request, size_t limit)>;
    // Builds the caller's results from the job's objects, on the main thread,
    // with the objects already moved into the main context.
    using ResultBuilder = std::function<std::vector<std::any>(
        const CBGeoSearchInfo& info, const std::vector<std::shared_ptr<NSManagedObject>>& objects)>;

    CBCoreDataManager();
    virtual ~CBCoreDataManager();
    CBCoreDataManager(const CBCoreDataManager&) = delete;
    CBCoreDataManager& operator=(const CBCoreDataManager&) = delete;

    // What a subclass supplies; the base versions assert.
    virtual std::shared_ptr<NSManagedObjectModel> managedObjectModel();
    virtual std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator();
    virtual void startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info);
    // The predicate one folded word must satisfy (always true here).
    virtual std::shared_ptr<NSPredicate> predicateForCanonicalSearchTerm(const std::string& term);

    // The main-thread context, made on first call.
    virtual std::shared_ptr<NSManagedObjectContext> managedObjectContext();
    // The search queue's context, made on first call there.
    virtual std::shared_ptr<NSManagedObjectContext> searchObjectContext();
    // The serial search queue, made on first use by createSearchQueue().
    std::shared_ptr<DispatchQueue> searchQueue();

    bool coreDataStackIsComplete();
    bool saveChanges();
    // Can a fresh coordinator on this model open the file read-only? The trial
    // coordinator is discarded.
    bool validatePeristentStoreAtPath(const std::optional<std::string>& path);
    std::shared_ptr<NSManagedObject> managedObjectForURIStringRepresentation(
        const std::optional<std::string>& uri);

    static std::string applicationDocumentsDirectory();
    static std::string applicationCachesDirectory();

    virtual void releaseCoreDataStack();
    void releaseCoreDataStackKeepingPersistentStoreCoordinator(bool keep);

    // Case- and diacritic-folded text.
    std::string canonicalStringFromString(const std::string& text) const;
    std::shared_ptr<CBGeoSearchRequest> geoSearchRequestFromSearchText(
        const std::optional<std::string>& text);
    // Whether a word of the search text names a house number (it is matched
    // against addresses, not names).
    static bool isHouseNumberWord(const std::string& word);

    // Accepts or refuses a job; true while a search for the same text is pending.
    bool searchWithGeoSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info);
    void cancelSearch();
    void cancelPendingSearch();
    void resetLastExecutedSearch();
    void cancelSearchTimer();
    void scheduleDelayedSearchWithTimeIntervalAndSearchInfo(
        double seconds, const std::shared_ptr<CBGeoSearchInfo>& info);
    void startDelayedSearch(const std::shared_ptr<CBGeoSearchInfo>& info);
    bool isRelevantGeoSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info);
    bool needsFetchForGeoSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info);

    std::shared_ptr<CBGeoSearchInfo> pendingSearchInfo();
    std::shared_ptr<CBGeoSearchInfo> lastExecutedSearchInfo();

    size_t searchFetchLimit = 100;
    double searchDelayShort = 0.5;
    double searchDelayLong = 0.75;

  protected:
    // The subclass's serial queue; the base has none.
    virtual std::shared_ptr<DispatchQueue> createSearchQueue() { return nullptr; }

    // Runs one job as every subclass's startSearchWithSearchInfo does: fold
    // and parse the text on the search queue, fetch (or refine the last
    // results in memory), and deliver on the main thread only while the job
    // is still the pending one. A failed fetch still ends the job: it is
    // cleared and an empty result delivered, so the same text can run again.
    void runSearchJob(const std::shared_ptr<CBGeoSearchInfo>& info, SearchFetch fetch,
                      ResultBuilder build);

    // The search queue reads these while the main thread replaces or
    // releases them (a map switch while a search or index read is queued).
    CBLockedPointer<NSManagedObjectModel> managedObjectModel_;
    CBLockedPointer<NSPersistentStoreCoordinator> persistentStoreCoordinator_;
    std::shared_ptr<NSManagedObjectContext> managedObjectContext_;
    std::shared_ptr<NSManagedObjectContext> searchObjectContext_;  // search queue only

  private:
    // Ends the job if it is still the pending one, in one step with the
    // relevance test (a newer job accepted meanwhile stays pending).
    bool finishPendingSearch(const std::shared_ptr<CBGeoSearchInfo>& info, bool becomesLast);
    void deliver(const std::shared_ptr<CBGeoSearchInfo>& info,
                 const std::vector<NSManagedObjectID>& objectIDs, const ResultBuilder& build);

    std::once_flag searchQueueOnce_;
    std::shared_ptr<DispatchQueue> searchQueue_;
    std::mutex searchMutex_;  // guards the three below
    std::shared_ptr<NSTimer> delayedSearchTimer_;
    std::shared_ptr<CBGeoSearchInfo> pendingSearchInfo_;
    std::shared_ptr<CBGeoSearchInfo> lastExecutedSearchInfo_;
};
