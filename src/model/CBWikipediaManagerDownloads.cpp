#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLocale.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIAlertView.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELStagedInstall.h"
#include "uiadditions/CBRetryAlert.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWalkWarningKey = "CBWikipediaManagerDidDisplazWalkWarning";
constexpr const char* kErrorDomain = "CBWikipediaManagerErrorDomain";

bool refuse(NSError* error, const std::string& description) {
    NSLogWithLevel(NSLogLevel::Warning, "Wikipedia package refused: %s", description.c_str());
    if (error) {
        *error = NSError::errorWithDomain(
            kErrorDomain, 1, {{NSError::NSLocalizedDescriptionKey, Value(description)}});
    }
    return false;
}

std::string languageTitle(const std::string& code) {
    const auto locale = NSLocale::currentLocale();
    if (auto name =
            locale ? locale->displayNameForKeyValue(NSLocaleLanguageCode, code) : std::nullopt)
        return *name;
    return NSLocalizedString(code);
}

}  // namespace

std::shared_ptr<CBMapStoreInfoMap> CBWikipediaManager::infoForMap(const Map& map) {
    return fetchInfoForMap(map, nullptr);
}

std::shared_ptr<CBMapStoreInfoMap> CBWikipediaManager::fetchInfoForMap(
    const Map& map, std::function<void(const std::shared_ptr<CBMapStoreInfoMap>&)> update) {
    const auto identifier = map ? map->identifier() : std::nullopt;
    const auto country = map ? map->country() : nullptr;
    const auto countryCode = country ? country->countryCode() : std::nullopt;
    if (!catalogue_ || !identifier || !countryCode) {
        if (update)
            DispatchQueue::main()->async([update] { update(nullptr); });
        return nullptr;
    }
    const auto region = map->region();
    return catalogue_->infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
        *identifier, *countryCode, region ? region->regionCode() : std::nullopt, std::move(update));
}

bool CBWikipediaManager::wikipediaAvailableForDownloadForMapIdentifier(
    const std::string& identifier) {
    const auto info = infoForMap(catalogue_ ? catalogue_->mapForIdentifier(identifier) : nullptr);
    return info && !info->wikiInfos().empty();
}

std::optional<std::string> CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(
    const Map& map, const std::string& languageCode) {
    if (!map)
        return std::nullopt;
    std::optional<std::string> code;
    if (const auto region = map->region())
        code = region->regionCode();
    else if (const auto country = map->country())
        code = country->countryCode();
    const auto identifier = map->identifier();
    if (!identifier || !code)
        return std::nullopt;
    return CBMapStoreURLManager::stringForURLForWikipediaForMapWithIdentifierCodeLanguageCode(
        *identifier, *code, languageCode);
}

void CBWikipediaManager::startDownloadForMapInView(const Map& map,
                                                   const std::shared_ptr<UIView>& view) {
    if (!view || !map || !map->identifier())
        return;
    // Without a stored record the store is asked, and the update block
    // always comes: nullptr when the store could not tell.
    std::weak_ptr<CBWikipediaManager> weakSelf =
        std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    std::weak_ptr<UIView> weakView = view;
    auto asked = std::make_shared<bool>(false);
    const auto info = fetchInfoForMap(
        map, [weakSelf, weakView, map, asked](const std::shared_ptr<CBMapStoreInfoMap>& info) {
            if (!*asked)
                return;
            auto self = weakSelf.lock();
            auto view = weakView.lock();
            if (!self || !view || !view->window())
                return;
            // Statistics that arrive are there for the next tap; none is said.
            if (!info)
                self->tellStoreUnavailable("WikipediaLanguagesNotLoaded", map, view);
        });
    // A stored record answers now; a fresher one coming later waits for
    // the next tap.
    if (info) {
        if (!info->wikiInfos().empty())
            showLanguageSheetForMapInView(map, *info, view);
        return;
    }
    *asked = true;
}

void CBWikipediaManager::startDownloadForMapIdentifierInView(const std::string& identifier,
                                                             const std::shared_ptr<UIView>& view) {
    startDownloadForMapInView(catalogue_ ? catalogue_->mapForIdentifier(identifier) : nullptr,
                              view);
}

void CBWikipediaManager::showLanguageSheetForMapInView(const Map& map,
                                                       const CBMapStoreInfoMap& info,
                                                       const std::shared_ptr<UIView>& view) {
    mapToDownload_ = map;
    sheetView_ = view;
    auto self = std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    auto sheet = std::make_shared<UIActionSheet>(NSLocalizedString("SelectLanguageForWikipedia"),
                                                 self, std::nullopt, std::nullopt);
    for (const auto& language : info.wikiLanguages())
        sheet->addButtonWithTitle(languageTitle(language));
    sheet->setCancelButtonIndex(sheet->addButtonWithTitle(NSLocalizedString("Cancel")));
    sheet->showInView(view);
}

void CBWikipediaManager::tellStoreUnavailable(const char* messageKey, const Map& map,
                                              const std::shared_ptr<UIView>& view) {
    // Without a store address no answer can come: that is what to say.
    const char* message = CBMapStoreURLManager::baseURL() ? messageKey : "MapStoreNoAddress";
    std::weak_ptr<CBWikipediaManager> weakSelf =
        std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    std::weak_ptr<UIView> weakView = view;
    CBRetryAlert::show(NSLocalizedString("MapStoreUnavailableTitle"), NSLocalizedString(message),
                       [weakSelf, weakView, map] {
                           auto self = weakSelf.lock();
                           auto view = weakView.lock();
                           if (self && view)
                               self->startDownloadForMapInView(map, view);
                       });
}

void CBWikipediaManager::actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) {
    const Map map = std::move(mapToDownload_);
    mapToDownload_.reset();
    auto view = sheetView_.lock();
    sheetView_.reset();
    if (index == sheet.cancelButtonIndex() || index < 0 || !map || !downloadManager_)
        return;
    const auto info = infoForMap(map);
    if (!info)
        return;
    const auto languages = info->wikiLanguages();
    if (static_cast<size_t>(index) >= languages.size())
        return;
    const auto url = urlForWikipediaOfMapWithLanguageCode(map, languages[index]);
    if (!url) {
        if (view)
            tellStoreUnavailable("WikipediaDownloadNotStarted", map, view);
        return;
    }
    downloadManager_->addDownload({.url = *url,
                                   .destinationPath = basePathForWikipedia(),
                                   .identifier = *map->identifier(),
                                   .type = kDownloadType,
                                   .title = map->localName(),
                                   .subTitle = "Wikipedia",
                                   .downloadSize = 0,
                                   .progressReservedForPostProcessing = 0.05});
    downloadManager_->resumeDownloads();
}

void CBWikipediaManager::deleteWikipediaContentForMapIdentifier(const std::string& identifier) {
    if (identifier == currentMapIdentifier_)
        releaseCoreDataStack();
    else if (!wikipediaAvailable_ && currentMapIdentifier_)
        resetWikipediaForMapIdentifier(currentMapIdentifier_);
    // The store and the guide go at once, so every screen asked right after
    // sees the articles gone; the images folder is moved out of the way and
    // removed in the background, clear of a new download of the same map.
    std::error_code ignored;
    fs::remove(filePathForWikipediaForMapIdentifier(identifier), ignored);
    fs::remove(filePathForWikipediaGuideForMapIdentifier(identifier), ignored);
    const fs::path images = filePathForWikipediaImagesForMapIdentifier(identifier);
    fs::path doomed = images;
    doomed += ".deleted-" + std::to_string(++deletedImageFolders_);
    std::error_code moved;
    fs::rename(images, doomed, moved);
    DispatchQueue::global()->async([folder = moved ? images : doomed] {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    });
    downloadStatusChangedToForIdentifier(downloadStatusForMapIdentifier(identifier), identifier);
}

void CBWikipediaManager::migrateDownloadQueue() {
    std::weak_ptr<CBWikipediaManager> weakSelf =
        std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    DispatchQueue::main()->sync([weakSelf] {
        if (auto self = weakSelf.lock(); self && self->downloadManager_)
            self->downloadManager_->moveDownloadsOfTypeToDestinationPath(kDownloadType,
                                                                         basePathForWikipedia());
    });
}

void CBWikipediaManager::displayWalkWarningIfNeeded() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kWalkWarningKey))
        return;
    auto alert = std::make_shared<UIAlertView>(
        NSLocalizedString("WikiWalkWarningTitle"), NSLocalizedString("WikiWalkWarningMessage"),
        std::weak_ptr<UIAlertViewDelegate>(), std::nullopt, std::vector<std::string>{"OK"});
    alert->show();
    defaults->setBoolForKey(true, kWalkWarningKey);
}

std::optional<std::vector<std::string>>
CBWikipediaManager::downloadManagerStagedItemNamesForDownload(ZELDownloadManagerEngine&,
                                                              const Download& download) {
    return packageItemNamesForMapIdentifier(download->identifier());
}

void CBWikipediaManager::downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                                        const Download& download) {
    std::weak_ptr<CBWikipediaManager> weakSelf =
        std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    std::weak_ptr<ZELDownloadManagerEngine> weakEngine = engine.shared_from_this();
    // In a later turn of the main loop, out of the engine's call.
    DispatchQueue::main()->async([weakSelf, weakEngine, download] {
        auto self = weakSelf.lock();
        auto engine = weakEngine.lock();
        if (!engine)
            return;
        NSError error;
        const bool installed = self && self->installStagedPackage(download, &error);
        engine->postProcessingFinishedForDownload(
            download, installed ? std::nullopt : std::optional<NSError>(error));
    });
}

bool CBWikipediaManager::installStagedPackage(const Download& download, NSError* error) {
    const std::string identifier = download->identifier();
    const std::string staging = download->stagingPath();
    const std::string target = download->destinationPath();
    const auto names = packageItemNamesForMapIdentifier(identifier);
    const std::string store = staging + "/" + names[0];
    const std::string images = staging + "/" + names[1];
    const std::string guide = staging + "/" + names[2];
    std::error_code ignored;
    if (!fs::is_regular_file(fs::symlink_status(store, ignored)))
        return refuse(error, "The package has no article store " + names[0]);
    if (fs::exists(fs::symlink_status(images, ignored)) &&
        !fs::is_directory(fs::symlink_status(images, ignored)))
        return refuse(error, names[1] + " is no folder");
    if (fs::exists(fs::symlink_status(guide, ignored)) &&
        !fs::is_regular_file(fs::symlink_status(guide, ignored)))
        return refuse(error, names[2] + " is no file");
    if (!validatePeristentStoreAtPath(store))
        return refuse(error, names[0] + " is no article store");

    const bool current = currentMapIdentifier_ == identifier;
    if (current)
        releaseCoreDataStack();
    bool ok = true;
    for (const auto& name : names) {
        const std::string staged = staging + "/" + name;
        const std::string installed = target + "/" + name;
        if (!fs::exists(fs::symlink_status(staged, ignored))) {
            // Nothing of an older package may stay beside the new one.
            fs::remove_all(installed, ignored);
            continue;
        }
        if (!ZELStagedInstall::installStagedItemAtPathToPath(staged, installed, nullptr, nullptr,
                                                             error)) {
            ok = false;
            break;
        }
    }
    if (current)
        resetWikipediaForMapIdentifier(identifier);
    return ok;
}

std::optional<bool> CBWikipediaManager::downloadManagerShouldUnzipDownload(
    ZELDownloadManagerEngine&, const Download& download) {
    if (download && download->type() == kDownloadType)
        return true;
    return std::nullopt;
}

void CBWikipediaManager::downloadManagerDidCancelDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine& engine, const std::string& identifier, const std::string& type) {
    if (type != "map")
        return;
    if (auto download = engine.downloadForIdentifierOfType(identifier, kDownloadType))
        engine.cancelDownloads({download});
}

void CBWikipediaManager::changeCurrentMapTo(const Map& map) {
    currentMapIdentifier_ = map ? map->identifier() : std::nullopt;
    resetWikipediaForMapIdentifier(currentMapIdentifier_);
    // Asks the store early which packages the map has, so that the guide
    // can offer them when it opens.
    if (currentMapIdentifier_)
        askStoreForPackageListOfMapIdentifier(*currentMapIdentifier_);
}

// The map's articles go with it, and so does a download of them with what it
// loaded so far.
void CBWikipediaManager::didDeleteMapWithIdentifier(const std::string& identifier) {
    deleteWikipediaContentForMapIdentifier(identifier);
    if (auto download = downloadManager_ ? downloadManager_->downloadForIdentifierOfType(
                                               identifier, kDownloadType)
                                         : nullptr)
        downloadManager_->cancelDownloads({download});
}
