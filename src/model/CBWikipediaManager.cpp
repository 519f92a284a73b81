#include "model/CBWikipediaManager.h"

#include <filesystem>

#include "CoreData/NSFetchRequest.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "packages/CBMapStoreEngine.h"

namespace fs = std::filesystem;

namespace {

// Read once; a bundle without the model is asked again next time.
std::shared_ptr<NSManagedObjectModel> wikipediaModel() {
    static std::mutex mutex;
    static std::shared_ptr<NSManagedObjectModel> model;
    std::lock_guard lock(mutex);
    if (!model) {
        CBWikipediaArticle::registerClass();
        if (const auto path = NSBundle::mainBundle()->pathForResource("wikipedia", "model"))
            model = NSManagedObjectModel::modelWithContentsOfFile(*path);
    }
    return model;
}

// The words of a folded search text that are matched against titles (house
// numbers are not, as in every type-ahead search).
std::vector<std::string> nameWords(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!word.empty() && !CBCoreDataManager::isHouseNumberWord(word))
            words.push_back(word);
        start = end + 1;
    }
    return words;
}

bool isFile(const std::string& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

}  // namespace

std::shared_ptr<CBWikipediaManager> CBWikipediaManager::create(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBMapStoreEngine> catalogue) {
    auto manager =
        std::make_shared<CBWikipediaManager>(std::move(downloadManager), std::move(catalogue));
    if (manager->downloadManager_)
        manager->downloadManager_->setInstallerForType(manager, kDownloadType);
    return manager;
}

CBWikipediaManager::CBWikipediaManager(std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
                                       std::shared_ptr<CBMapStoreEngine> catalogue)
    : ZELDownloadStatusListener(kDownloadType),
      downloadManager_(std::move(downloadManager)),
      catalogue_(std::move(catalogue)) {
    std::error_code ignored;
    fs::create_directories(basePathForWikipedia(), ignored);
}

CBWikipediaManager::~CBWikipediaManager() = default;

std::shared_ptr<DispatchQueue> CBWikipediaManager::createSearchQueue() {
    return DispatchQueue::createSerial("CBWikiManagerSearch");
}

std::string CBWikipediaManager::basePathForWikipedia() {
    return applicationDocumentsDirectory() + "/wikipedia";
}

std::string CBWikipediaManager::filePathForWikipediaForMapIdentifier(
    const std::string& identifier) {
    return basePathForWikipedia() + "/" + identifier + "_wiki.sqlite";
}

std::string CBWikipediaManager::filePathForWikipediaImagesForMapIdentifier(
    const std::string& identifier) {
    return basePathForWikipedia() + "/" + identifier + "_wiki";
}

std::string CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier(
    const std::string& identifier) {
    return basePathForWikipedia() + "/" + identifier + "_wikipedia";
}

std::vector<std::string> CBWikipediaManager::packageItemNamesForMapIdentifier(
    const std::string& identifier) {
    return {identifier + "_wiki.sqlite", identifier + "_wiki", identifier + "_wikipedia"};
}

bool CBWikipediaManager::userHasWikipediaForMapIdentifier(const std::string& identifier) const {
    return isFile(filePathForWikipediaForMapIdentifier(identifier));
}

bool CBWikipediaManager::wikipediaIsDamagedForMapIdentifier(const std::string& identifier) {
    const std::string store = filePathForWikipediaForMapIdentifier(identifier);
    return isFile(store) && !validatePeristentStoreAtPath(store);
}

bool CBWikipediaManager::userHasWikipediaGuideForMapIdentifier(
    const std::string& identifier) const {
    return isFile(filePathForWikipediaGuideForMapIdentifier(identifier));
}

std::string CBWikipediaManager::currentImgPath() const {
    std::lock_guard lock(imgPathMutex_);
    return currentImgPath_;
}

void CBWikipediaManager::setSqlitePath(const std::optional<std::string>& path) {
    releaseCoreDataStack();
    if (!path || !isFile(*path))
        return;
    const auto model = managedObjectModel();
    if (!model)
        return;
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError error;
    const Value::Dictionary options{{NSReadOnlyPersistentStoreOption, Value(true)}};
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", *path, options, &error)) {
        NSLog("Unresolved error %s, %s", error.description().c_str(),
              error.localizedDescription().c_str());
        return;
    }
    persistentStoreCoordinator_ = std::move(coordinator);
    wikipediaAvailable_ = true;
    // The title index is read in the background while the map opens, so
    // that the first keystroke does not wait for it.
    if (auto queue = searchQueue()) {
        std::weak_ptr<CBWikipediaManager> weakSelf =
            std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
        queue->async([weakSelf] {
            auto self = weakSelf.lock();
            auto context = self ? self->searchObjectContext() : nullptr;
            if (context && context->persistentStoreCoordinator())
                self->titleIndex_ =
                    CBWikipediaTitleIndex::indexForContext(*context, self->titleIndex_);
        });
    }
}

void CBWikipediaManager::resetWikipediaForMapIdentifier(
    const std::optional<std::string>& identifier) {
    setSqlitePath(identifier ? std::optional(filePathForWikipediaForMapIdentifier(*identifier))
                             : std::nullopt);
    std::lock_guard lock(imgPathMutex_);
    currentImgPath_ = identifier ? filePathForWikipediaImagesForMapIdentifier(*identifier) : "";
}

bool CBWikipediaManager::openWikipediaForMapIdentifier(const std::string& identifier) {
    const std::string store = filePathForWikipediaForMapIdentifier(identifier);
    auto coordinator = wikipediaAvailable_ ? persistentStoreCoordinator_.load() : nullptr;
    const auto stores = coordinator ? coordinator->persistentStores()
                                    : std::vector<std::shared_ptr<NSPersistentStore>>{};
    if (stores.empty() || stores.front()->path() != store)
        resetWikipediaForMapIdentifier(identifier);
    return wikipediaAvailable_;
}

void CBWikipediaManager::releaseCoreDataStack() {
    // Whenever the store goes, Wikipedia is unavailable: no search may start
    // on a released stack.
    wikipediaAvailable_ = false;
    allAvailableWikipediaLinks_.reset();
    CBCoreDataManager::releaseCoreDataStack();
}

std::shared_ptr<NSManagedObjectModel> CBWikipediaManager::managedObjectModel() {
    if (!managedObjectModel_)
        managedObjectModel_ = wikipediaModel();
    return managedObjectModel_;
}

std::shared_ptr<NSPersistentStoreCoordinator> CBWikipediaManager::persistentStoreCoordinator() {
    return persistentStoreCoordinator_;
}

std::shared_ptr<NSManagedObjectContext> CBWikipediaManager::searchObjectContext() {
    if (!wikipediaAvailable_)
        return nullptr;
    return CBCoreDataManager::searchObjectContext();
}

std::shared_ptr<CBWikipediaArticle> CBWikipediaManager::articleForUrl(const std::string& url) {
    if (!wikipediaAvailable_)
        return nullptr;
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    NSFetchRequest request(CBWikipediaArticle::kEntityName);
    request.predicate = NSPredicate::predicateWithFormat("url = %@", {url});
    request.fetchLimit = 1;
    const auto found = context->executeFetchRequest(request);
    if (!found || found->empty())
        return nullptr;
    return std::dynamic_pointer_cast<CBWikipediaArticle>(found->front());
}

std::optional<std::vector<std::string>> CBWikipediaManager::allAvailableWikipediaLinks() {
    if (allAvailableWikipediaLinks_)
        return allAvailableWikipediaLinks_;
    if (!wikipediaAvailable_)
        return std::nullopt;
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return std::nullopt;
    NSFetchRequest request(CBWikipediaArticle::kEntityName);
    std::vector<std::string> links;
    for (const auto& object : context->executeFetchRequest(request).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{})) {
        if (auto url = object->stringForKey("url"))
            links.push_back(std::move(*url));
    }
    allAvailableWikipediaLinks_ = std::move(links);
    return allAvailableWikipediaLinks_;
}

bool CBWikipediaManager::searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
    const std::string& text, bool delayed, SearchCompletion completion) {
    if (!wikipediaAvailable_)
        return false;
    auto info = std::make_shared<CBGeoSearchInfo>();
    info->startDate = NSDate::date();
    info->searchString = text;
    info->delaySearch = delayed;
    info->completionBlock = [completion](const std::vector<std::any>& found) {
        if (!completion)
            return;
        Articles articles;
        for (const auto& item : found) {
            if (const auto* article = std::any_cast<std::shared_ptr<CBWikipediaArticle>>(&item))
                articles.push_back(*article);
        }
        completion(articles.empty() ? std::nullopt : std::optional<Articles>(articles));
    };
    return searchWithGeoSearchInfo(info);
}

void CBWikipediaManager::startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) {
    auto fetch = [this](
                     NSManagedObjectContext& context, const CBGeoSearchRequest& request,
                     size_t limit) -> std::optional<std::vector<std::shared_ptr<NSManagedObject>>> {
        // Runs while the job holds the manager, on the search queue that
        // alone uses the title index.
        const auto words = nameWords(request.searchString);
        titleIndex_ = words.empty() ? titleIndex_
                                    : CBWikipediaTitleIndex::indexForContext(context, titleIndex_);
        if (titleIndex_) {
            std::vector<std::shared_ptr<NSManagedObject>> articles;
            for (const auto& objectID : titleIndex_->articlesContainingAllWords(words, limit)) {
                if (auto article = context.objectWithID(objectID))
                    articles.push_back(std::move(article));
            }
            return articles;
        }
        NSFetchRequest fetchRequest(CBWikipediaArticle::kEntityName);
        fetchRequest.predicate = request.searchPredicate;
        fetchRequest.sortDescriptors = {NSSortDescriptor{"title", true}};
        fetchRequest.fetchLimit = limit;
        return context.executeFetchRequest(fetchRequest);
    };
    auto build = [](const CBGeoSearchInfo&,
                    const std::vector<std::shared_ptr<NSManagedObject>>& objects) {
        std::vector<std::any> articles;
        for (const auto& object : objects) {
            if (auto article = std::dynamic_pointer_cast<CBWikipediaArticle>(object))
                articles.emplace_back(std::move(article));
        }
        return articles;
    };
    runSearchJob(info, fetch, build);
}

std::shared_ptr<NSPredicate> CBWikipediaManager::predicateForCanonicalSearchTerm(
    const std::string& term) {
    return NSPredicate::predicateWithFormat("canonicalSearchTerm CONTAINS %@", {term});
}
