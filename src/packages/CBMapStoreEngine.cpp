#include "packages/CBMapStoreEngine.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "packages/CBMapStoreCatalogue.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEntities.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"

namespace {

template <class T>
std::shared_ptr<T> singleResult(NSManagedObjectContext& context, NSFetchRequest& request) {
    request.fetchLimit = 1;
    NSError error;
    auto found = context.executeFetchRequest(request, &error);
    if (!found) {
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
        return nullptr;
    }
    if (found->size() != 1)
        return nullptr;
    return std::dynamic_pointer_cast<T>(found->front());
}

}  // namespace

CBMapStoreEngine::CBMapStoreEngine()
    : CBMapStoreEngine(currentCataloguePath().value_or(""), true) {}

CBMapStoreEngine::CBMapStoreEngine(std::string storePath, bool readOnly)
    : storePath_(std::move(storePath)),
      readOnly_(readOnly),
      infoStore_(
          std::make_shared<CBMapStoreInfoStore>(applicationCachesDirectory() + "/mapStoreInfo")) {
    CBMapStoreEntities::registerClasses();
    CBCoordinatePathValueTransformer::registerTransformer();
}

CBMapStoreEngine::~CBMapStoreEngine() = default;

std::shared_ptr<CBMapStoreEngine> CBMapStoreEngine::self() {
    return std::static_pointer_cast<CBMapStoreEngine>(shared_from_this());
}

std::shared_ptr<NSManagedObjectModel> CBMapStoreEngine::mapStoreModel() {
    static std::mutex mutex;
    static std::shared_ptr<NSManagedObjectModel> model;
    static std::string modelPath;
    std::lock_guard lock(mutex);
    auto path = NSBundle::mainBundle()->pathForResource("CBMapStore", "model");
    if (!path) {
        NSLog("CBMapStoreEngine: the bundle has no CBMapStore.model");
        return nullptr;
    }
    // Tests move the main bundle; a model read from another folder is read anew.
    if (!model || modelPath != *path) {
        model = NSManagedObjectModel::modelWithContentsOfFile(*path);
        modelPath = *path;
    }
    return model;
}

std::optional<std::string> CBMapStoreEngine::bundledCataloguePath() {
    return NSBundle::mainBundle()->pathForResource("mapStore", "sqlite");
}

std::string CBMapStoreEngine::downloadedCataloguePath() {
    return applicationDocumentsDirectory() + "/" + kCatalogueFileName;
}

std::optional<std::string> CBMapStoreEngine::currentCataloguePath() {
    const std::string downloaded = downloadedCataloguePath();
    std::error_code ignored;
    if (std::filesystem::exists(downloaded, ignored)) {
        std::string reason;
        if (CBMapStoreCatalogue::validateCatalogueAtPath(downloaded, mapStoreModel(), &reason))
            return downloaded;
        NSLog("CBMapStoreEngine: the downloaded catalogue is not used: %s", reason.c_str());
    }
    return bundledCataloguePath();
}

std::shared_ptr<NSManagedObjectModel> CBMapStoreEngine::managedObjectModel() {
    std::lock_guard lock(coordinatorMutex_);
    if (!managedObjectModel_)
        managedObjectModel_ = mapStoreModel();
    return managedObjectModel_;
}

std::shared_ptr<NSPersistentStoreCoordinator> CBMapStoreEngine::persistentStoreCoordinator() {
    std::lock_guard lock(coordinatorMutex_);
    if (persistentStoreCoordinator_ || storePath_.empty())
        return persistentStoreCoordinator_;
    if (!managedObjectModel_)
        managedObjectModel_ = mapStoreModel();
    auto model = managedObjectModel_;
    if (!model)
        return nullptr;
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    Value::Dictionary options{
        {NSReadOnlyPersistentStoreOption, Value(readOnly_)},
        {NSSQLitePragmasOption, Value(Value::Dictionary{{"journal_mode", Value("DELETE")}})},
    };
    NSError error;
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", storePath_, options,
                                                 &error)) {
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
        return nullptr;
    }
    persistentStoreCoordinator_ = coordinator;
    return persistentStoreCoordinator_;
}

std::shared_ptr<DispatchQueue> CBMapStoreEngine::createSearchQueue() {
    return DispatchQueue::createSerial("CBMapStoreEngineSearch");
}

std::optional<std::vector<std::shared_ptr<CBMapStoreGroup>>> CBMapStoreEngine::sortedGroups() {
    auto context = managedObjectContext();
    if (!managedObjectModel() || !context || !context->persistentStoreCoordinator())
        return std::nullopt;
    NSFetchRequest request(CBMapStoreGroup::kEntityName);
    NSError error;
    auto found = context->executeFetchRequest(request, &error);
    if (!found)
        return std::nullopt;
    std::vector<std::pair<std::string, std::shared_ptr<CBMapStoreGroup>>> keyed;
    for (const auto& object : *found) {
        if (auto group = std::dynamic_pointer_cast<CBMapStoreGroup>(object))
            keyed.emplace_back(group->localName(), group);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return NSStringLocalizedCompare(a.first, b.first, false) < 0;
    });
    std::vector<std::shared_ptr<CBMapStoreGroup>> groups;
    for (auto& entry : keyed)
        groups.push_back(std::move(entry.second));
    for (const char* code : {"europe", "US"}) {
        auto first = std::find_if(groups.begin(), groups.end(),
                                  [code](const auto& group) { return group->groupCode() == code; });
        if (first != groups.end())
            std::rotate(groups.begin(), first, first + 1);
    }
    return groups;
}

void CBMapStoreEngine::mapsInBoundingBoxWithCompletionBlock(const CBBoundingBox& box,
                                                            MapsCompletion completion) {
    auto queue = searchQueue();
    if (!queue || !completion)
        return;
    std::weak_ptr<CBMapStoreEngine> weakSelf = self();
    const double north = box.NE().latitude, east = box.NE().longitude;
    const double south = box.SW().latitude, west = box.SW().longitude;
    queue->async([weakSelf, north, east, south, west, completion = std::move(completion)] {
        auto engine = weakSelf.lock();
        if (!engine)
            return;
        std::vector<NSManagedObjectID> found;
        auto context = engine->searchObjectContext();
        if (context && context->persistentStoreCoordinator()) {
            NSFetchRequest request(CBMapStoreMap::kEntityName);
            request.predicate = NSPredicate::predicateWithFormat(
                "SWLatitude <= %f AND NELatitude >= %f AND SWLongitude <= %f AND NELongitude >= "
                "%f",
                {north, south, east, west});
            request.sortDescriptors = {NSSortDescriptor{"priority", false}};
            request.fetchLimit = kMapsInBoundingBoxLimit;
            for (const auto& object : context->executeFetchRequest(request).value_or(
                     std::vector<std::shared_ptr<NSManagedObject>>{}))
                found.push_back(object->objectID());
            context->reset();
        }
        DispatchQueue::main()->async([weakSelf, found, completion] {
            auto engine = weakSelf.lock();
            if (!engine)
                return;
            std::vector<std::shared_ptr<CBMapStoreMap>> maps;
            auto context = engine->managedObjectContext();
            for (const auto& objectID : found) {
                if (auto map = std::dynamic_pointer_cast<CBMapStoreMap>(
                        context ? context->objectWithID(objectID) : nullptr))
                    maps.push_back(map);
            }
            completion(maps);
        });
    });
}

std::shared_ptr<CBMapStoreMap> CBMapStoreEngine::mapIncludingCoordinate(
    CLLocationCoordinate2D coordinate) {
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    NSFetchRequest request(CBMapStoreMap::kEntityName);
    request.predicate = NSPredicate::predicateWithFormat(
        "SWLatitude <= %f AND NELatitude >= %f AND SWLongitude <= %f AND NELongitude >= %f",
        {coordinate.latitude, coordinate.latitude, coordinate.longitude, coordinate.longitude});
    request.sortDescriptors = {NSSortDescriptor{"priority", false}};
    for (const auto& object : context->executeFetchRequest(request).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{})) {
        auto map = std::dynamic_pointer_cast<CBMapStoreMap>(object);
        auto shape = map ? map->shape() : nullptr;
        if (shape && shape->containsCoordinate(coordinate))
            return map;
    }
    return nullptr;
}

std::shared_ptr<CBMapStoreCountry> CBMapStoreEngine::countryForCountryCode(
    const std::string& code) {
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    NSFetchRequest request(CBMapStoreCountry::kEntityName);
    request.predicate = NSPredicate::predicateWithFormat("countryCode = %@", {code});
    return singleResult<CBMapStoreCountry>(*context, request);
}

std::shared_ptr<CBMapStoreMap> CBMapStoreEngine::mapForIdentifier(
    const std::optional<std::string>& identifier) {
    auto context = managedObjectContext();
    if (!identifier || !context || !context->persistentStoreCoordinator())
        return nullptr;
    NSFetchRequest request(CBMapStoreMap::kEntityName);
    request.predicate = NSPredicate::predicateWithFormat("identifier = %@", {*identifier});
    return singleResult<CBMapStoreMap>(*context, request);
}

std::optional<std::string> CBMapStoreEngine::urlForMap(const std::shared_ptr<CBMapStoreMap>& map) {
    if (!map)
        return std::nullopt;
    return CBMapStoreURLManager::stringForURLForMapWithIdentifierCode(map->identifier(),
                                                                      map->code());
}

std::string CBMapStoreEngine::basePathForMaps() {
    return applicationDocumentsDirectory() + "/maps";
}

bool CBMapStoreEngine::installCatalogueFromPath(const std::string& stagedPath,
                                                std::string* reason) {
    std::string why;
    if (!CBMapStoreCatalogue::validateCatalogueAtPath(stagedPath, mapStoreModel(), &why)) {
        NSLog("CBMapStoreEngine: the catalogue update is refused: %s", why.c_str());
        if (reason)
            *reason = why;
        return false;
    }
    auto listener = delegate();
    if (listener)
        listener->mapStoreWillUpdate();
    cancelSearch();
    releaseCoreDataStack();
    const bool moved = CBMapStoreCatalogue::installValidatedCatalogue(
        stagedPath, downloadedCataloguePath(), mapStoreModel(), &why);
    if (moved) {
        storePath_ = downloadedCataloguePath();
        readOnly_ = true;
    } else {
        NSLog("CBMapStoreEngine: the catalogue update is refused: %s", why.c_str());
        if (reason)
            *reason = why;
    }
    if (listener)
        listener->mapStoreUpdated();
    return moved;
}
