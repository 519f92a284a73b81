#include "CBGeoData/CBCoreDataManager.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"

namespace {

constexpr size_t kMaximumSearchCharacters = 50;

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isWhiteSpace(text[begin]))
        ++begin;
    while (end > begin && isWhiteSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The first `count` characters (code points) of UTF-8 text.
std::string prefixCharacters(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (characters == count)
                return text.substr(0, i);
            ++characters;
        }
    }
    return text;
}

// The integer value of a word's leading digits (an optional sign first), as
// a number object reads it: "12a" is 12, "abc" is 0.
long long leadingInteger(const std::string& word) {
    return std::strtoll(word.c_str(), nullptr, 10);
}

bool isOrdinal(const std::string& word) {
    if (word.size() < 3)
        return false;
    std::string ending = word.substr(word.size() - 2);
    return ending == "st" || ending == "nd" || ending == "rd" || ending == "th";
}

}  // namespace

CBCoreDataManager::CBCoreDataManager() = default;

CBCoreDataManager::~CBCoreDataManager() {
    cancelSearch();
}

std::shared_ptr<NSManagedObjectModel> CBCoreDataManager::managedObjectModel() {
    NSAssert(false, "CBGeoData/CBCoreDataManager",
             "SUBCLASS OF CBCoreDataManager -> %s DOES NOT IMPLEMENT managedObjectModel (or calls "
             "[super "
             "managedObjectModel])",
             typeid(*this).name());
    return nullptr;
}

std::shared_ptr<NSPersistentStoreCoordinator> CBCoreDataManager::persistentStoreCoordinator() {
    NSAssert(false, "CBGeoData/CBCoreDataManager",
             "SUBCLASS OF CBCoreDataManager -> %s DOES NOT IMPLEMENT persistentStoreCoordinator "
             "(or calls [super "
             "persistentStoreCoordinator])",
             typeid(*this).name());
    return nullptr;
}

void CBCoreDataManager::startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>&) {
    NSLog("CBCoreDataManager startSearchWithSearchInfo: does nothing");
}

std::shared_ptr<NSPredicate> CBCoreDataManager::predicateForCanonicalSearchTerm(
    const std::string&) {
    return NSPredicate::predicateWithValue(true);
}

std::shared_ptr<NSManagedObjectContext> CBCoreDataManager::managedObjectContext() {
    if (!managedObjectContext_) {
        managedObjectContext_ = std::make_shared<NSManagedObjectContext>();
        managedObjectContext_->setPersistentStoreCoordinator(persistentStoreCoordinator());
    }
    return managedObjectContext_;
}

std::shared_ptr<NSManagedObjectContext> CBCoreDataManager::searchObjectContext() {
    if (!searchObjectContext_) {
        searchObjectContext_ = std::make_shared<NSManagedObjectContext>();
        searchObjectContext_->setPersistentStoreCoordinator(persistentStoreCoordinator());
    }
    return searchObjectContext_;
}

std::shared_ptr<DispatchQueue> CBCoreDataManager::searchQueue() {
    std::call_once(searchQueueOnce_, [this] { searchQueue_ = createSearchQueue(); });
    return searchQueue_;
}

bool CBCoreDataManager::coreDataStackIsComplete() {
    auto context = managedObjectContext();
    auto coordinator = persistentStoreCoordinator();
    return context && context->persistentStoreCoordinator() &&
           context->persistentStoreCoordinator()->managedObjectModel() && coordinator &&
           !coordinator->persistentStores().empty();
}

bool CBCoreDataManager::saveChanges() {
    auto coordinator = persistentStoreCoordinator();
    if (!coordinator || coordinator->persistentStores().empty() || !managedObjectContext_)
        return false;
    NSError error;
    if (!managedObjectContext_->save(&error)) {
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
        return false;
    }
    return true;
}

bool CBCoreDataManager::validatePeristentStoreAtPath(const std::optional<std::string>& path) {
    if (!path || path->empty() || !std::filesystem::is_regular_file(*path))
        return false;
    std::shared_ptr<NSManagedObjectModel> model = managedObjectModel();
    if (!model)
        return false;
    NSPersistentStoreCoordinator trial(model);
    NSError error;
    return trial.addPersistentStoreWithType(NSSQLiteStoreType, "", *path,
                                            {{NSReadOnlyPersistentStoreOption, Value(true)}},
                                            &error) != nullptr;
}

std::shared_ptr<NSManagedObject> CBCoreDataManager::managedObjectForURIStringRepresentation(
    const std::optional<std::string>& uri) {
    auto coordinator = persistentStoreCoordinator();
    if (!uri || !coordinator)
        return nullptr;
    NSManagedObjectID objectID = coordinator->managedObjectIDForURIRepresentation(*uri);
    if (objectID.isNull())
        return nullptr;
    return managedObjectContext()->existingObjectWithID(objectID);
}

std::string CBCoreDataManager::applicationDocumentsDirectory() {
    return NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
}

std::string CBCoreDataManager::applicationCachesDirectory() {
    return NSSearchPathForDirectory(NSSearchPathDirectory::Caches);
}

void CBCoreDataManager::releaseCoreDataStack() {
    releaseCoreDataStackKeepingPersistentStoreCoordinator(false);
}

void CBCoreDataManager::releaseCoreDataStackKeepingPersistentStoreCoordinator(bool keep) {
    cancelSearch();
    if (auto queue = searchQueue()) {
        std::weak_ptr<CBCoreDataManager> weakSelf = weak_from_this();
        queue->async([weakSelf] {
            if (auto self = weakSelf.lock())
                self->searchObjectContext_.reset();
        });
    }
    managedObjectContext_.reset();
    managedObjectModel_.reset();
    if (!keep) {
        persistentStoreCoordinator_.reset();
    } else if (persistentStoreCoordinator_) {
        for (const auto& store : persistentStoreCoordinator_->persistentStores()) {
            persistentStoreCoordinator_->removePersistentStore(store, nullptr);
        }
    }
}

std::string CBCoreDataManager::canonicalStringFromString(const std::string& text) const {
    return NSStringFold(text, kPredicateCaseInsensitive | kPredicateDiacriticInsensitive);
}

bool CBCoreDataManager::isHouseNumberWord(const std::string& word) {
    return leadingInteger(word) != 0 && !isOrdinal(word);
}

std::shared_ptr<CBGeoSearchRequest> CBCoreDataManager::geoSearchRequestFromSearchText(
    const std::optional<std::string>& text) {
    if (!text)
        return nullptr;
    auto request = std::make_shared<CBGeoSearchRequest>();
    request->searchString = *text;
    std::vector<std::string> houseNumbers;
    std::vector<std::shared_ptr<NSPredicate>> namePredicates;
    size_t i = 0;
    while (i < text->size()) {
        while (i < text->size() && isWhiteSpace((*text)[i]))
            ++i;
        size_t start = i;
        while (i < text->size() && !isWhiteSpace((*text)[i]))
            ++i;
        if (i == start)
            continue;
        std::string word = text->substr(start, i - start);
        if (isHouseNumberWord(word)) {
            houseNumbers.push_back(word);
        } else if (auto predicate = predicateForCanonicalSearchTerm(word)) {
            namePredicates.push_back(predicate);
        }
    }
    if (!houseNumbers.empty())
        request->arrayOfHouseNumbers = houseNumbers;
    if (!namePredicates.empty()) {
        request->searchPredicate = NSPredicate::andPredicateWithSubpredicates(namePredicates);
        request->houseNumberOnly = false;
    } else if (!houseNumbers.empty()) {
        std::vector<std::shared_ptr<NSPredicate>> numberPredicates;
        for (const std::string& number : houseNumbers) {
            if (auto predicate = predicateForCanonicalSearchTerm(number))
                numberPredicates.push_back(predicate);
        }
        request->houseNumberOnly = true;
        request->searchPredicate = NSPredicate::orPredicateWithSubpredicates(numberPredicates);
    } else {
        return nullptr;
    }
    return request;
}

std::shared_ptr<CBGeoSearchInfo> CBCoreDataManager::pendingSearchInfo() {
    std::lock_guard lock(searchMutex_);
    return pendingSearchInfo_;
}

std::shared_ptr<CBGeoSearchInfo> CBCoreDataManager::lastExecutedSearchInfo() {
    std::lock_guard lock(searchMutex_);
    return lastExecutedSearchInfo_;
}

bool CBCoreDataManager::searchWithGeoSearchInfo(
    const std::shared_ptr<CBGeoSearchInfo>& callerInfo) {
    if (!callerInfo || !callerInfo->completionBlock) {
        NSLog("invalid call to searchObjectsMatchingString...");
        cancelSearch();
        return false;
    }
    std::string text = trimmed(callerInfo->searchString);
    if (text.empty()) {
        cancelSearch();
        return false;
    }
    text = prefixCharacters(text, kMaximumSearchCharacters);
    {
        // The same text asked again with or without addresses is another
        // question, and gets its own answer.
        auto sameQuery = [&](const std::shared_ptr<CBGeoSearchInfo>& other) {
            return other && other->searchString == text &&
                   other->shouldFindAddresses == callerInfo->shouldFindAddresses;
        };
        std::lock_guard lock(searchMutex_);
        if (sameQuery(pendingSearchInfo_))
            return true;
        if (!pendingSearchInfo_ && sameQuery(lastExecutedSearchInfo_))
            return false;
    }
    cancelPendingSearch();
    auto info = std::make_shared<CBGeoSearchInfo>();
    info->startDate = NSDate::date();
    info->searchString = text;
    info->shouldFindAddresses = callerInfo->shouldFindAddresses;
    info->completionBlock = callerInfo->completionBlock;
    info->delaySearch = callerInfo->delaySearch;
    info->additionalInfoDict = callerInfo->additionalInfoDict;
    double delay = 0;
    if (info->delaySearch) {
        size_t characters = 0;
        for (unsigned char c : text)
            characters += (c & 0xC0) != 0x80;
        if (characters < 3) {
            cancelSearch();
            return false;
        }
        delay = characters <= 4 ? searchDelayLong : searchDelayShort;
    }
    {
        std::lock_guard lock(searchMutex_);
        pendingSearchInfo_ = info;
    }
    scheduleDelayedSearchWithTimeIntervalAndSearchInfo(delay, info);
    return true;
}

void CBCoreDataManager::cancelSearch() {
    cancelPendingSearch();
    resetLastExecutedSearch();
}

void CBCoreDataManager::cancelPendingSearch() {
    cancelSearchTimer();
    std::lock_guard lock(searchMutex_);
    pendingSearchInfo_.reset();
}

void CBCoreDataManager::resetLastExecutedSearch() {
    std::lock_guard lock(searchMutex_);
    lastExecutedSearchInfo_.reset();
}

void CBCoreDataManager::cancelSearchTimer() {
    std::shared_ptr<NSTimer> timer;
    {
        std::lock_guard lock(searchMutex_);
        timer = std::move(delayedSearchTimer_);
        delayedSearchTimer_.reset();
    }
    if (timer && timer->isValid())
        timer->invalidate();
}

void CBCoreDataManager::scheduleDelayedSearchWithTimeIntervalAndSearchInfo(
    double seconds, const std::shared_ptr<CBGeoSearchInfo>& info) {
    std::weak_ptr<CBCoreDataManager> weakSelf = weak_from_this();
    auto timer =
        NSTimer::scheduledTimerWithTimeInterval(seconds, false, [weakSelf, info](NSTimer&) {
            if (auto self = weakSelf.lock())
                self->startDelayedSearch(info);
        });
    std::lock_guard lock(searchMutex_);
    delayedSearchTimer_ = std::move(timer);
}

void CBCoreDataManager::startDelayedSearch(const std::shared_ptr<CBGeoSearchInfo>& info) {
    {
        std::lock_guard lock(searchMutex_);
        delayedSearchTimer_.reset();
    }
    if (isRelevantGeoSearchInfo(info))
        startSearchWithSearchInfo(info);
}

bool CBCoreDataManager::isRelevantGeoSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) {
    std::lock_guard lock(searchMutex_);
    return info && pendingSearchInfo_ && info->startDate == pendingSearchInfo_->startDate;
}

bool CBCoreDataManager::needsFetchForGeoSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) {
    std::shared_ptr<CBGeoSearchInfo> last = lastExecutedSearchInfo();
    if (!info || !last || last->searchString.empty())
        return true;
    // Results found without addresses cannot answer a search for them.
    if (info->shouldFindAddresses != last->shouldFindAddresses)
        return true;
    if (info->searchString.find(last->searchString) == std::string::npos)
        return true;
    if (last->geoSearchRequest && last->geoSearchRequest->houseNumberOnly)
        return true;
    size_t found = last->resultsArray.size();
    return !(found >= 1 && found < searchFetchLimit);
}

void CBCoreDataManager::runSearchJob(const std::shared_ptr<CBGeoSearchInfo>& info,
                                     SearchFetch fetch, ResultBuilder build) {
    auto queue = searchQueue();
    if (!queue || !info)
        return;
    std::weak_ptr<CBCoreDataManager> weakSelf = weak_from_this();
    queue->async([weakSelf, info, fetch = std::move(fetch), build = std::move(build)] {
        auto self = weakSelf.lock();
        if (!self)
            return;
        info->canonicalSearchString = self->canonicalStringFromString(info->searchString);
        info->geoSearchRequest = self->geoSearchRequestFromSearchText(info->canonicalSearchString);
        bool realFetch = self->needsFetchForGeoSearchInfo(info);
        std::optional<std::vector<std::shared_ptr<NSManagedObject>>> objects;
        if (info->geoSearchRequest && info->geoSearchRequest->searchPredicate) {
            if (realFetch) {
                auto context = self->searchObjectContext();
                if (context && context->persistentStoreCoordinator()) {
                    objects = fetch(*context, *info->geoSearchRequest, self->searchFetchLimit);
                }
            } else {
                objects = NSPredicateFilteredObjects(self->lastExecutedSearchInfo()->resultsArray,
                                                     *info->geoSearchRequest->searchPredicate);
            }
        }
        if (!objects) {
            // The job ends here too: clear it and tell the caller there is
            // nothing, so typing the same text again starts a new search.
            if (!self->finishPendingSearch(info, false))
                return;
            self->deliver(info, {}, build);
            return;
        }
        info->resultsArray = std::move(*objects);
        if (!self->isRelevantGeoSearchInfo(info))
            return;
        std::vector<NSManagedObjectID> objectIDs;
        objectIDs.reserve(info->resultsArray.size());
        for (const auto& object : info->resultsArray)
            objectIDs.push_back(object->objectID());
        if (!self->finishPendingSearch(info, realFetch))
            return;
        self->deliver(info, objectIDs, build);
    });
}

bool CBCoreDataManager::finishPendingSearch(const std::shared_ptr<CBGeoSearchInfo>& info,
                                            bool becomesLast) {
    std::shared_ptr<NSTimer> timer;
    {
        std::lock_guard lock(searchMutex_);
        if (!info || !pendingSearchInfo_ || info->startDate != pendingSearchInfo_->startDate)
            return false;
        // A filtered job never replaces the broader one it was filtered from.
        if (becomesLast)
            lastExecutedSearchInfo_ = info;
        pendingSearchInfo_.reset();
        timer = std::move(delayedSearchTimer_);
        delayedSearchTimer_.reset();
    }
    if (timer && timer->isValid())
        timer->invalidate();
    return true;
}

void CBCoreDataManager::deliver(const std::shared_ptr<CBGeoSearchInfo>& info,
                                const std::vector<NSManagedObjectID>& objectIDs,
                                const ResultBuilder& build) {
    std::weak_ptr<CBCoreDataManager> weakSelf = weak_from_this();
    DispatchQueue::main()->sync([weakSelf, info, &objectIDs, &build] {
        auto self = weakSelf.lock();
        if (!self || !self->coreDataStackIsComplete())
            return;
        auto context = self->managedObjectContext();
        std::vector<std::shared_ptr<NSManagedObject>> objects;
        for (const auto& objectID : objectIDs) {
            if (auto object = context->objectWithID(objectID))
                objects.push_back(std::move(object));
        }
        std::vector<std::any> results = build ? build(*info, objects) : std::vector<std::any>{};
        if (info->completionBlock)
            info->completionBlock(results);
    });
}
