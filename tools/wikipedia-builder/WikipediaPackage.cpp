#include "WikipediaPackage.h"

#include <filesystem>
#include <fstream>

#include "ArticleText.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSStringFolding.h"
#include "CoverRenderer.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "PackageArchive.h"
#include "SampleArticles.h"
#include "SampleGuide.h"
#include "WalkRoute.h"
#include "foundation/NSString+HashValue.h"
#include "wikiguide/CBWikipediaArticle.h"
#include "wikiguide/ZELWikiGuideLoader.h"

namespace fs = std::filesystem;

namespace {

constexpr double kLinkRadius = 1000.0;
constexpr int kPictureZoom = 16;

bool writeArticleStore(const std::vector<SampleArticle>& articles,
                       const std::vector<std::string>& imageFiles, const std::string& path,
                       std::string* error) {
    CBWikipediaArticle::registerClass();
    const auto modelPath = NSBundle::mainBundle()->pathForResource("wikipedia", "model");
    const auto model =
        modelPath ? NSManagedObjectModel::modelWithContentsOfFile(*modelPath) : nullptr;
    if (!model) {
        *error = "the bundle has no wikipedia model";
        return false;
    }
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError openError;
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, &openError)) {
        *error = "cannot create " + path + ": " + openError.localizedDescription();
        return false;
    }
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    for (size_t i = 0; i < articles.size(); ++i) {
        const SampleArticle& sample = articles[i];
        std::vector<ArticleText::Neighbour> neighbours;
        for (const SampleArticle& other : articles) {
            const double metres = SampleArticles::distance(sample, other);
            if (&other != &sample && metres <= kLinkRadius)
                neighbours.push_back({&other, metres});
        }
        std::sort(neighbours.begin(), neighbours.end(),
                  [](const auto& a, const auto& b) { return a.metres < b.metres; });
        auto article = CBWikipediaArticle::articleInContext(*context);
        article->setValueForKey("title", Value(sample.title));
        article->setValueForKey("url", Value(sample.url));
        article->setValueForKey("latitude", Value(sample.coordinate.latitude));
        article->setValueForKey("longitude", Value(sample.coordinate.longitude));
        article->setValueForKey(
            "canonicalSearchTerm",
            Value(NSStringFold(sample.title,
                               kPredicateCaseInsensitive | kPredicateDiacriticInsensitive)));
        article->setFirstLetterFromTitle();
        // Every second article links its neighbours as typed.
        const auto spelling =
            i % 2 ? ArticleText::LinkSpelling::Typed : ArticleText::LinkSpelling::Stored;
        const std::string body = ArticleText::html(sample, imageFiles[i], neighbours, spelling);
        article->setHtml(Value::Data(body.begin(), body.end()));
    }
    NSError saveError;
    if (!context->save(&saveError)) {
        *error = "cannot save the article store: " + saveError.localizedDescription();
        return false;
    }
    return true;
}

bool addWikiInfo(const fs::path& statistics, const std::string& identifier,
                 const std::string& language, const Value::Dictionary& info, std::string* error) {
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(statistics.string());
    Value* maps = plist ? plist->mutableDictionary().count("maps")
                              ? &plist->mutableDictionary()["maps"]
                              : nullptr
                        : nullptr;
    if (!maps || !maps->dictionaryValue() || !maps->dictionaryValue()->count(identifier)) {
        *error = statistics.string() + " lists no map " + identifier;
        return false;
    }
    Value& map = maps->mutableDictionary()[identifier];
    map.mutableDictionary()["wiki"] = Value(Value::Dictionary{{language, Value(info)}});
    NSError writeError;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            *plist, statistics.string(), NSPropertyListSerialization::Format::XML, &writeError)) {
        *error = "cannot write " + statistics.string();
        return false;
    }
    return true;
}

}  // namespace

bool WikipediaPackage::build(const WikipediaPackageRequest& request, std::string* error) {
    auto data = CBGeoDataManager::create();
    if (!data->addPersistentStoreCoordinatorWithPath(request.storePath)) {
        *error = "cannot open " + request.storePath;
        return false;
    }
    auto context = data->managedObjectContext();
    const auto articles = SampleArticles::read(*context, request.language);
    if (articles.empty()) {
        *error = request.storePath + " has no object with a \"wikipedia\" tag";
        return false;
    }

    const std::string id = request.identifier;
    const fs::path work = fs::path(request.outputDirectory) / (id + "_wiki-" + request.language);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    fs::create_directories(work / (id + "_wiki"), ignored);

    std::vector<std::string> imageUrls, imageFiles;
    std::vector<PackageArchive::Entry> entries;
    for (size_t i = 0; i < articles.size(); ++i) {
        imageUrls.push_back("https://kelvara.invalid/wiki-sample/" + id + "/" +
                            std::to_string(i + 1) + ".jpg");
        imageFiles.push_back(sha256String(imageUrls.back()));
        const fs::path picture = work / (id + "_wiki") / imageFiles.back();
        if (!CoverRenderer::renderCover(request.storePath, articles[i].coordinate, kPictureZoom,
                                        articles[i].title, picture.string(), error))
            return false;
        entries.push_back({picture.string(), id + "_wiki/" + imageFiles.back()});
    }
    const fs::path store = work / (id + "_wiki.sqlite");
    if (!writeArticleStore(articles, imageFiles, store.string(), error))
        return false;
    entries.push_back({store.string(), id + "_wiki.sqlite"});

    SampleGuide guide = SampleGuide::make(articles, imageUrls, *context, error);
    if (guide.walk.points.empty())
        return false;
    const fs::path guideFile = work / (id + "_wikipedia");
    if (!ZELWikiGuideLoader::saveWikiGuideWithIdentifierToPath(guide.dictionary, id,
                                                               guideFile.string())) {
        *error = "cannot write the guide file";
        return false;
    }
    entries.push_back({guideFile.string(), id + "_wikipedia"});
    if (!request.gpxPath.empty()) {
        fs::create_directories(fs::path(request.gpxPath).parent_path(), ignored);
        std::ofstream(request.gpxPath) << guide.walk.gpx(guide.walkTitle);
    }

    const fs::path zip =
        fs::path(request.outputDirectory) / (id + "_wiki-" + request.language + ".zip");
    if (!PackageArchive::zipFiles(entries, zip.string(), error))
        return false;
    if (request.rootDirectory.empty())
        return true;

    const fs::path root(request.rootDirectory);
    const fs::path served = root / "wikipedia" / request.regionCode / zip.filename();
    fs::create_directories(served.parent_path(), ignored);
    fs::copy_file(zip, served, fs::copy_options::overwrite_existing, ignored);
    if (ignored) {
        *error = "cannot copy " + zip.string() + " to " + served.string();
        return false;
    }
    const Value::Dictionary info{{"fileSize", Value(int64_t(fs::file_size(zip)))},
                                 {"numImages", Value(int64_t(imageFiles.size()))},
                                 {"numArticles", Value(int64_t(articles.size()))},
                                 {"guide", Value(true)},
                                 {"walks", Value(int64_t(1))}};
    for (const std::string& code : {request.regionCode, request.countryCode}) {
        if (!addWikiInfo(root / "map" / (code + "_master_Stats.plist"), id, request.language, info,
                         error))
            return false;
    }
    return true;
}
