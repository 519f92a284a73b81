#include <filesystem>

#include "CBGeoData/CBGeoDataManager.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIImage.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreMapTitle.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELStagedInstall.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kErrorDomain = "CBUserMapStoreEngineErrorDomain";

bool fail(NSError* error, const std::string& description) {
    NSLog("CBUserMapStoreEngine: %s", description.c_str());
    if (error)
        *error = NSError::errorWithDomain(
            kErrorDomain, 1, {{NSError::NSLocalizedDescriptionKey, Value(description)}});
    return false;
}

std::shared_ptr<NSManagedObjectModel> geoModel() {
    const auto path = NSBundle::mainBundle()->pathForResource(CBGeoDataManager::kModelResource, "");
    return path ? NSManagedObjectModel::modelWithContentsOfFile(*path) : nullptr;
}

// The object of `entity` in `context` whose `key` is `value`, made when missing.
std::shared_ptr<NSManagedObject> findOrInsert(NSManagedObjectContext& context,
                                              const std::string& entity, const std::string& key,
                                              const std::string& value, bool* inserted) {
    NSFetchRequest request(entity);
    request.predicate = NSPredicate::predicateWithFormat(key + " == %@", {Value(value)});
    request.fetchLimit = 1;
    const auto found = context.executeFetchRequest(request);
    *inserted = !found || found->empty();
    if (!*inserted)
        return found->front();
    auto object = context.insertNewObjectForEntityForName(entity);
    if (object)
        object->setValueForKey(key, value);
    return object;
}

void copyValues(NSManagedObject& from, NSManagedObject& to,
                std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        to.setValueForKey(key, from.valueForKey(key));
}

// Writes the image as JPEG under a temporary name and renames it into place,
// so a cover file is never seen half written.
void writeCover(const std::shared_ptr<UIImage>& image, const std::string& path) {
    if (!image)
        return;
    const auto data = UIImageJPEGRepresentation(image, 0.9);
    if (data.empty())
        return;
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    const std::string temporary = path + ".writing";
    if (FILE* file = std::fopen(temporary.c_str(), "wb")) {
        const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
        if (std::fclose(file) == 0 && written) {
            fs::rename(temporary, path, error);
            return;
        }
    }
    fs::remove(temporary, error);
}

}  // namespace

bool CBUserMapStoreEngine::validateMapStoreAtPath(const std::string& path, NSError* error) {
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored))
        return fail(error, "The package has no geo store " + fs::path(path).filename().string());
    const auto model = geoModel();
    if (!model)
        return fail(error, "No geo model in the bundle");
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError storeError;
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path,
                                                 {{NSReadOnlyPersistentStoreOption, Value(true)}},
                                                 &storeError))
        return fail(error, "The geo store does not open: " + storeError.localizedDescription());
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    const auto objects = context->countForFetchRequest(NSFetchRequest("object"), &storeError);
    if (!objects || *objects == 0)
        return fail(error, "The geo store holds no objects");
    return true;
}

CBUserMapStoreEngine::Map CBUserMapStoreEngine::recordForDownload(const Download& download,
                                                                  bool create) {
    const std::string identifier = download->payLoad().value_or(download->identifier());
    if (auto map = mapForIdentifier(identifier))
        return map;
    auto context = managedObjectContext();
    if (!create || !context || !persistentStoreCoordinator())
        return nullptr;
    auto map = std::dynamic_pointer_cast<CBMapStoreMap>(
        context->insertNewObjectForEntityForName(CBMapStoreMap::kEntityName));
    if (map)
        fillRecordFromCatalogue(map, identifier);
    return map;
}

bool CBUserMapStoreEngine::fillRecordFromCatalogue(const Map& record,
                                                   const std::string& identifier) {
    record->setValueForKey("identifier", identifier);
    if (!catalogue_)
        catalogue_ = std::make_shared<CBMapStoreEngine>();
    const auto source = catalogue_->mapForIdentifier(identifier);
    auto context = managedObjectContext();
    if (!source || !context) {
        if (record->stringForKey("name").value_or("").empty())
            record->setValueForKey("name", identifier);
        return false;
    }
    copyValues(*source, *record,
               {"name", "places", "searchText", "priority", "NELatitude", "NELongitude",
                "SWLatitude", "SWLongitude"});
    record->setTransformableValueForKey("shape", source->transformableValueForKey("shape"));
    bool inserted = false;
    std::shared_ptr<NSManagedObject> country;
    if (auto from = source->country(); from && from->countryCode()) {
        country = findOrInsert(*context, CBMapStoreCountry::kEntityName, "countryCode",
                               *from->countryCode(), &inserted);
        if (country)
            copyValues(*from, *country,
                       {"name", "NELatitude", "NELongitude", "SWLatitude", "SWLongitude"});
    }
    record->setObjectForKey("country", country);
    std::shared_ptr<NSManagedObject> region;
    if (auto from = source->region(); from && from->regionCode()) {
        region = findOrInsert(*context, CBMapStoreFederalRegion::kEntityName, "regionCode",
                              *from->regionCode(), &inserted);
        if (region) {
            copyValues(*from, *region, {"name"});
            region->setObjectForKey("country", country);
        }
    }
    record->setObjectForKey("region", region);
    for (const auto& title : record->titles())
        context->deleteObject(title);
    for (const auto& title : source->titles()) {
        auto copy = context->insertNewObjectForEntityForName(CBMapStoreMapTitle::kEntityName);
        if (!copy)
            continue;
        copyValues(*title, *copy, {"languageCode", "title"});
        copy->setObjectForKey("map", record);
    }
    return true;
}

void CBUserMapStoreEngine::downloadManagerDidAdd(ZELDownloadManagerEngine&,
                                                 const Download& download) {
    if (download->type() != kDownloadType)
        return;
    if (auto map = recordForDownload(download, true)) {
        map->setIsDownloading(true);
        saveChanges();
    }
}

void CBUserMapStoreEngine::downloadManagerInstallDownload(ZELDownloadManagerEngine&,
                                                          const Download& download) {
    // Installed in a later turn of the main loop, out of the engine's call.
    std::weak_ptr<CBUserMapStoreEngine> weakSelf = userSelf();
    DispatchQueue::main()->async([weakSelf, download] {
        if (auto self = weakSelf.lock())
            self->install(download);
    });
}

void CBUserMapStoreEngine::downloadLeftQueueWithIdentifier(const std::string& identifier) {
    if (auto map = mapForIdentifier(identifier); map && map->isDownloading()) {
        downloadOfMapEnded(map);
        saveChanges();
    }
}

void CBUserMapStoreEngine::install(const Download& download) {
    auto engine = downloadManager();
    if (!engine)
        return;
    const std::string identifier = download->identifier();
    const Map map = recordForDownload(download, true);
    if (!map) {
        engine->postProcessingFinishedForDownload(
            download, ZELDownloadErrorMake(ZELDownloadFailure::CannotWrite,
                                           "No record for the map " + identifier));
        return;
    }
    const bool isUpdate = map->dateAdded().has_value();
    NSError error;
    const bool installed = ZELStagedInstall::installStagedItemAtPathToPath(
        download->stagedItemPath(), download->installPath(),
        [&](const std::string& staged, NSError* stepError) {
            if (!validateMapStoreAtPath(staged + "/" + identifier + ".sqlite", stepError))
                return false;
            if (!isUpdate)
                return true;
            tellDelegates([&](auto& delegate) { delegate.userMapStoreWillUpdateMap(*this, map); });
            if (releaseMapStep_)
                releaseMapStep_(identifier);
            return true;
        },
        [&](const std::string&, NSError* stepError) {
            fillRecordFromCatalogue(map, download->payLoad().value_or(identifier));
            map->setDateAdded(NSDate::date());
            map->setIsDownloading(false);
            if (saveChanges())
                return true;
            if (stepError)
                *stepError = ZELDownloadErrorMake(ZELDownloadFailure::CannotWrite,
                                                  "The installed map cannot be recorded");
            return false;
        },
        &error);
    if (!installed) {
        // The record goes back to what the store holds.
        if (auto context = managedObjectContext())
            context->refreshObjectMergeChanges(map, false);
        engine->postProcessingFinishedForDownload(download, error);
        return;
    }
    finishInstall(download, map, isUpdate);
}

void CBUserMapStoreEngine::finishInstall(const Download& download, const Map& map, bool isUpdate) {
    if (auto identifier = map->identifier(); identifier && checkedMaps_.erase(*identifier))
        storeState();
    tellDelegates([&](auto& delegate) {
        if (isUpdate)
            delegate.userMapStoreUpdatedMap(*this, map);
        else
            delegate.userMapStoreAddedMap(*this, map);
    });
    copyCoverToDocumentsForMap(map);
    std::weak_ptr<ZELDownloadManagerEngine> weakEngine = downloadManager();
    auto progress = [weakEngine, download](double value) {
        if (auto engine = weakEngine.lock())
            engine->setPostProcessingProgressForDownload(value, download);
    };
    auto done = [weakEngine, download] {
        if (auto engine = weakEngine.lock())
            engine->postProcessingFinishedForDownload(download, std::nullopt);
    };
    if (postInstallStep_)
        postInstallStep_(map, isUpdate, progress, done);
    else
        done();
}

void CBUserMapStoreEngine::copyCoverToDocumentsForMap(const Map& map) {
    const auto target =
        map ? defaultCoverPathForMapWithIdentifier(map->identifier()) : std::nullopt;
    std::error_code ignored;
    if (!target || fs::exists(*target, ignored))
        return;
    if (const auto cached = cachedCoverPathForMap(*map); cached && fs::is_regular_file(*cached)) {
        fs::create_directories(fs::path(*target).parent_path(), ignored);
        const std::string temporary = *target + ".writing";
        fs::copy_file(*cached, temporary, fs::copy_options::overwrite_existing, ignored);
        if (!ignored)
            fs::rename(temporary, *target, ignored);
        if (!ignored)
            adoptStoredCover(map, UIImage::imageWithContentsOfFile(*target));
        return;
    }
    // A cover that cannot be fetched becomes the generated one, so the
    // installed map always has a cover of its own.
    const std::string path = *target;
    std::weak_ptr<CBUserMapStoreEngine> weakSelf = userSelf();
    auto now = coverImageForMapCompletion(
        map, [weakSelf, map, path](const std::shared_ptr<UIImage>& image) {
            auto cover = image ? image : generatedCoverForMap(*map);
            writeCover(cover, path);
            if (auto self = weakSelf.lock())
                self->adoptStoredCover(map, cover);
        });
    if (now) {
        writeCover(now, path);
        adoptStoredCover(map, now);
    }
}

// Until now the map object may hold a generated stand-in, made when the map
// was shown before its cover was there.
void CBUserMapStoreEngine::adoptStoredCover(const Map& map, const std::shared_ptr<UIImage>& cover) {
    if (!cover)
        return;
    deliverCover(map, cover, nullptr);
    tellDelegates([&](auto& delegate) { delegate.userMapStoreStoredCoverForMap(*this, map); });
}

void CBUserMapStoreEngine::checkIntegrityOfMapCovers() {
    for (const auto& map : allMaps({})) {
        const auto target = defaultCoverPathForMapWithIdentifier(map->identifier());
        const auto cached = cachedCoverPathForMap(*map);
        std::error_code ignored;
        if (target && cached && !fs::exists(*target, ignored) && fs::is_regular_file(*cached))
            copyCoverToDocumentsForMap(map);
    }
}
