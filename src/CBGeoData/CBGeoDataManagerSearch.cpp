#include <cmath>
#include <deque>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoPlaceKey.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSLog.h"
#include "foundation/NSString+ZELRegexAdditions.h"

namespace {

constexpr int kFolding = kPredicateCaseInsensitive | kPredicateDiacriticInsensitive;
constexpr size_t kBoxSearchFetchLimit = 50;
constexpr double kClosestObjectSpan = 0.0002;
constexpr float kSimilarObjectDistance = 0.0001f;

// The text as a literal inside an ICU pattern: every ASCII character that is
// not a letter or digit gets a backslash (ICU reads those as literals).
std::string escapedForRegex(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && !std::isalnum(byte))
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

// The house number stands alone in the address's number: only non-digits
// before it and only letters after it within the word (12 finds 12, 12a and
// No.12, not 112 or 123).
bool houseNumberMatches(const std::string& houseNumber, const std::string& wanted) {
    if (NSStringFold(houseNumber, kFolding).find(NSStringFold(wanted, kFolding)) ==
        std::string::npos) {
        return false;
    }
    return isMatchedByRegex(houseNumber, "\\b[^0-9]*" + escapedForRegex(wanted) + "[a-zA-Z]*\\b",
                            ZELRegexCaseless);
}

// The distance the searches compare: |dlat| + |dlon| in degrees, as a float.
float manhattanDistance(CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    return static_cast<float>(std::fabs(a.latitude - b.latitude) +
                              std::fabs(a.longitude - b.longitude));
}

std::vector<std::shared_ptr<CBGeoObject>> asObjects(
    const std::vector<std::shared_ptr<NSManagedObject>>& rows) {
    std::vector<std::shared_ptr<CBGeoObject>> objects;
    objects.reserve(rows.size());
    for (const auto& row : rows) {
        if (auto object = std::dynamic_pointer_cast<CBGeoObject>(row))
            objects.push_back(object);
    }
    return objects;
}

}  // namespace

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForCanonicalSearchTerm(
    const std::string& term) {
    return predicateForCanonicalName(term);
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForCanonicalName(const std::string& word) {
    return predicateForCanonicalNameInBBox(word, nullptr);
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForCanonicalNameInBBox(
    const std::string& word, const std::shared_ptr<CBBoundingBox>& box) {
    auto name = NSPredicate::predicateWithFormat("canonicalName CONTAINS %@", {word});
    if (!box)
        return name;
    auto inBox = NSPredicate::predicateWithFormat(
        "SUBQUERY(nodes, $n, $n.longitude >= %f AND $n.longitude <= %f AND $n.latitude >= %f AND "
        "$n.latitude <= %f).@count != 0",
        {box->SW().longitude, box->NE().longitude, box->SW().latitude, box->NE().latitude});
    return NSPredicate::andPredicateWithSubpredicates({name, inBox});
}

bool CBGeoDataManager::searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
    const std::string& text, bool includeAddresses, bool delayed,
    SearchCompletionBlock completion) {
    if (!coreDataStackIsComplete())
        return false;
    auto guard = std::make_shared<CBGeoSearchCompletion<SearchResults>>(completion);
    auto info = std::make_shared<CBGeoSearchInfo>();
    info->startDate = NSDate::date();
    info->searchString = text;
    info->shouldFindAddresses = includeAddresses;
    info->delaySearch = delayed;
    info->completionBlock = [guard](const std::vector<std::any>& found) {
        SearchResults results;
        results.reserve(found.size());
        for (const auto& item : found) {
            if (const auto* result = std::any_cast<std::shared_ptr<CBGeoSearchResult>>(&item))
                results.push_back(*result);
        }
        guard->deliver(results);
    };
    auto pendingBefore = pendingSearchInfo();
    bool accepted = searchWithGeoSearchInfo(info);
    auto pendingAfter = pendingSearchInfo();
    auto previous = textSearchCompletion_.lock();
    if (accepted && pendingBefore && pendingAfter == pendingBefore && previous) {
        // The same text is still pending: that job answers this caller.
        guard->supersede();
        previous->replaceBlock(std::move(completion));
        return true;
    }
    if (previous)
        previous->supersede();
    textSearchCompletion_.reset();
    if (!accepted || !pendingAfter) {
        guard->supersede();
        return false;
    }
    textSearchCompletion_ = guard;
    textSearchStartDate_ = pendingAfter->startDate;
    return true;
}

void CBGeoDataManager::startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) {
    if (!info)
        return;
    std::shared_ptr<CBGeoSearchCompletion<SearchResults>> guard;
    if (textSearchStartDate_ == info->startDate)
        guard = textSearchCompletion_.lock();
    std::weak_ptr<CBGeoDataManager> weakSelf =
        std::static_pointer_cast<CBGeoDataManager>(shared_from_this());
    auto fetch = [weakSelf](NSManagedObjectContext& context, const CBGeoSearchRequest& request,
                            size_t limit) {
        NSFetchRequest fetchRequest(CBGeoObject::kEntityName);
        fetchRequest.predicate = request.searchPredicate;
        fetchRequest.sortDescriptors = {NSSortDescriptor{"name", true}};
        fetchRequest.fetchLimit = limit;
        if (auto self = weakSelf.lock())
            self->restrictFetchRequestToMapStores(fetchRequest);
        return context.executeFetchRequest(fetchRequest);
    };
    auto build = [weakSelf](const CBGeoSearchInfo& job,
                            const std::vector<std::shared_ptr<NSManagedObject>>& rows) {
        std::vector<std::any> found;
        auto self = weakSelf.lock();
        if (!self)
            return found;
        auto results = self->arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
            job.geoSearchRequest, asObjects(rows), job.shouldFindAddresses);
        if (results) {
            found.reserve(results->size());
            for (auto& result : *results)
                found.emplace_back(std::move(result));
        }
        return found;
    };
    runSearchJob(info, fetch, build);
    // Queued behind the job: whatever way the job ended, its caller has had
    // an answer by now, or gets the empty one.
    if (guard) {
        if (auto queue = searchQueue())
            queue->async([guard] { guard->finish(); });
    }
}

std::optional<CBGeoDataManager::SearchResults>
CBGeoDataManager::arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjectsIncludeAddresses(
    const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
    bool includeAddresses) {
    return arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(request, objects,
                                                                     includeAddresses);
}

std::optional<CBGeoDataManager::SearchResults>
CBGeoDataManager::arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
    const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
    bool includeAddresses) {
    if (!request || !objects)
        return std::nullopt;
    std::vector<std::string> houseNumbers;
    if (includeAddresses && request->arrayOfHouseNumbers)
        houseNumbers = *request->arrayOfHouseNumbers;
    std::vector<std::shared_ptr<CBGeoSearchResult>> exactHits;
    std::deque<std::shared_ptr<CBGeoSearchResult>> results;
    for (const auto& object : *objects) {
        if (!object)
            continue;
        if (object->canonicalName() == request->searchString) {
            exactHits.push_back(CBGeoSearchResult::geoSearchResultWithObject(object));
            continue;
        }
        bool foundAddress = false;
        if (!houseNumbers.empty()) {
            const auto addresses = object->addresses();
            for (const std::string& wanted : houseNumbers) {
                for (const auto& address : addresses) {
                    auto number = address->houseNumber();
                    if (number && houseNumberMatches(*number, wanted)) {
                        results.push_front(CBGeoSearchResult::geoSearchResultWithObjectAndAddress(
                            object, address));
                        foundAddress = true;
                    }
                }
            }
        }
        if (!foundAddress)
            results.push_back(CBGeoSearchResult::geoSearchResultWithObject(object));
    }
    for (auto& exact : exactHits)
        results.push_front(std::move(exact));
    return SearchResults(results.begin(), results.end());
}

void CBGeoDataManager::migrateGeoSearchResultsInArrayToContext(
    const SearchResults& results, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return;
    for (const auto& result : results) {
        if (!result)
            continue;
        if (result->object()) {
            result->setObject(std::dynamic_pointer_cast<CBGeoObject>(
                context->objectWithID(result->object()->objectID())));
        }
        if (result->address()) {
            result->setAddress(std::dynamic_pointer_cast<CBGeoAddress>(
                context->objectWithID(result->address()->objectID())));
        }
    }
}

void CBGeoDataManager::searchForClosestObjectToWithCompletionBlock(
    CLLocationCoordinate2D coordinate, ObjectCompletionBlock completion) {
    auto guard = std::make_shared<CBGeoSearchCompletion<std::shared_ptr<CBGeoObject>>>(
        std::move(completion));
    auto queue = searchQueue();
    if (!queue) {
        guard->finish();
        return;
    }
    std::weak_ptr<CBGeoDataManager> weakSelf =
        std::static_pointer_cast<CBGeoDataManager>(shared_from_this());
    queue->async([weakSelf, guard, coordinate] {
        auto self = weakSelf.lock();
        if (!self)
            return;  // the guard answers nil
        auto context = self->searchObjectContext();
        // The model of the stack the context was made on: the main thread
        // may release the manager's own meanwhile.
        auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
        auto model = coordinator ? coordinator->managedObjectModel() : nullptr;
        if (!model)
            return;
        auto box = CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(
            coordinate, kClosestObjectSpan, kClosestObjectSpan);
        box->heal();
        NSPredicate::Variables variables;
        for (const auto& [key, value] : box->dictionary())
            variables.emplace(key, NSPredicateArgument(value));
        auto request = model->fetchRequestFromTemplateWithNameSubstitutionVariables("objectsInBBox",
                                                                                    variables);
        if (!request)
            return;
        self->restrictFetchRequestToMapStores(*request);
        auto rows = context->executeFetchRequest(*request);
        if (!rows)
            return;
        std::shared_ptr<CBGeoObject> closest;
        float closestDistance = 0;
        for (const auto& object : asObjects(*rows)) {
            if (!object->name())
                continue;
            float distance = manhattanDistance(object->coordinate(), coordinate);
            if (!closest || distance < closestDistance) {
                closest = object;
                closestDistance = distance;
            }
        }
        if (!closest)
            return;
        NSManagedObjectID objectID = closest->objectID();
        DispatchQueue::main()->async([weakSelf, guard, objectID] {
            auto owner = weakSelf.lock();
            if (!owner || !owner->coreDataStackIsComplete())
                return;
            guard->deliver(std::dynamic_pointer_cast<CBGeoObject>(
                owner->managedObjectContext()->existingObjectWithID(objectID)));
        });
    });
}

void CBGeoDataManager::searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
    ObjectsCompletionBlock completion) {
    auto guard = std::make_shared<CBGeoSearchCompletion<Objects>>(std::move(completion));
    auto queue = searchQueue();
    if (!box || !queue || !coreDataStackIsComplete()) {
        guard->finish();
        return;
    }
    std::weak_ptr<CBGeoDataManager> weakSelf =
        std::static_pointer_cast<CBGeoDataManager>(shared_from_this());
    CLLocationCoordinate2D ne = box->NE(), sw = box->SW();
    queue->async([weakSelf, guard, ne, sw, predicate] {
        auto self = weakSelf.lock();
        if (!self)
            return;
        auto context = self->searchObjectContext();
        if (!context || !context->persistentStoreCoordinator() ||
            !context->persistentStoreCoordinator()->managedObjectModel()) {
            return;
        }
        NSFetchRequest request(CBGeoObject::kEntityName);
        auto inBox = NSPredicate::predicateWithFormat(
            "longitude >= %f\tAND longitude <= %f AND latitude >= %f AND latitude <= %f",
            {sw.longitude, ne.longitude, sw.latitude, ne.latitude});
        request.predicate =
            predicate ? NSPredicate::andPredicateWithSubpredicates({inBox, predicate}) : inBox;
        request.fetchLimit = kBoxSearchFetchLimit;
        self->restrictFetchRequestToMapStores(request);
        NSError error;
        auto objectIDs = context->executeFetchRequestForObjectIDs(request, &error);
        if (!objectIDs) {
            NSLog("error: %s (%s)", error.description().c_str(),
                  error.localizedDescription().c_str());
            return;
        }
        if (objectIDs->empty())
            return;
        DispatchQueue::main()->async([weakSelf, guard, ids = std::move(*objectIDs)] {
            auto owner = weakSelf.lock();
            if (!owner || !owner->coreDataStackIsComplete())
                return;
            NSFetchRequest mainRequest(CBGeoObject::kEntityName);
            mainRequest.predicate = NSPredicate::predicateWithFormat("self IN %@", {ids});
            auto rows = owner->managedObjectContext()->executeFetchRequest(mainRequest);
            if (rows)
                guard->deliver(asObjects(*rows));
        });
    });
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForSimilarObjectTo(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    const auto key = result ? CBGeoPlaceKey::ofResult(*result) : std::nullopt;
    return key ? predicateForPlaceKey(*key) : nullptr;
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPlaceKey(const CBGeoPlaceKey& key) {
    Value typeID = key.typeID ? Value(*key.typeID) : Value();
    Value name = key.canonicalName ? Value(*key.canonicalName) : Value();
    if (key.atAddress && key.isStreet)
        return NSPredicate::predicateWithFormat(
            "typeID = %@ AND canonicalName = %@ AND ANY addresses.houseNumber = %@",
            {typeID, name, key.houseNumber ? Value(*key.houseNumber) : Value()});
    return NSPredicate::predicateWithFormat("typeID = %@ AND canonicalName = %@", {typeID, name});
}

std::shared_ptr<CBGeoSearchResult> CBGeoDataManager::findSimilarObjectToObjectFromOtherContext(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    if (!result || !result->object())
        return nullptr;
    auto context = managedObjectContext();
    if (context && result->object()->managedObjectContext() == context)
        return result;
    return nearestPlaceMatchingPredicate(predicateForSimilarObjectTo(result),
                                         *CBGeoPlaceKey::ofResult(*result));
}

std::shared_ptr<CBGeoSearchResult> CBGeoDataManager::findPlaceWithKey(const CBGeoPlaceKey& key) {
    return nearestPlaceMatchingPredicate(predicateForPlaceKey(key), key);
}

std::shared_ptr<CBGeoSearchResult> CBGeoDataManager::nearestPlaceMatchingPredicate(
    const std::shared_ptr<NSPredicate>& predicate, const CBGeoPlaceKey& key) {
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator() ||
        !context->persistentStoreCoordinator()->managedObjectModel()) {
        return nullptr;
    }
    NSFetchRequest request(CBGeoObject::kEntityName);
    request.predicate = predicate;
    restrictFetchRequestToMapStores(request);
    auto rows = context->executeFetchRequest(request);
    if (!rows)
        return nullptr;
    auto candidates = asObjects(*rows);
    if (candidates.empty())
        return nullptr;
    std::shared_ptr<CBGeoObject> nearest;
    float nearestDistance = 0;
    for (const auto& candidate : candidates) {
        float distance = manhattanDistance(candidate->coordinate(), key.coordinate);
        if (!nearest || distance < nearestDistance) {
            nearest = candidate;
            nearestDistance = distance;
        }
    }
    if (!(nearestDistance < kSimilarObjectDistance))
        return nullptr;
    auto similar = CBGeoSearchResult::geoSearchResultWithObject(nearest);
    if (!key.atAddress)
        return similar;
    for (const auto& address : nearest->addresses()) {
        if (address->houseNumber() == key.houseNumber) {
            similar->setAddress(address);
            return similar;
        }
    }
    return nullptr;
}
