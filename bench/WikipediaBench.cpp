// Speed of the offline Wikipedia: the article title search per keystroke over
// the sample package of Neubrandenburg and over a synthetic store of 50,000
// titles, and loading the sample package's guide file.
//
// The sample package comes from <build>/wikipedia (KELVARA_WIKIPEDIA_DIR
// overrides), the resources from the source tree named in
// <build>/CMakeCache.txt (KELVARA_RESOURCES overrides).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <chrono>
#include <filesystem>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSStringFolding.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "model/CBWikipediaManager.h"
#include "wikiguide/ZELWikiGuideLoader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path sampleFolder() {
    const char* configured = getenv("KELVARA_WIKIPEDIA_DIR");
    return (configured ? fs::path(configured) : bench::buildDirectory() / "wikipedia") /
           "neubrandenburg_wiki-de";
}

fs::path home() {
    static const fs::path folder = [] {
        fs::path made = fs::temp_directory_path() / ("kvwikibench-" + std::to_string(getpid()));
        fs::create_directories(made);
        NSSetApplicationHome(made.string());
        NSBundle::setMainBundlePath(bench::resourcesPath());
        return made;
    }();
    return folder;
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ignored;
        fs::remove_all(fs::temp_directory_path() / ("kvwikibench-" + std::to_string(getpid())),
                       ignored);
    }
} cleanup;

// 50,000 titles of two to four German words and a number, as a city's
// package of a large region might hold.
std::string syntheticStore() {
    static std::string path;
    if (!path.empty())
        return path;
    path = (home() / "synthetic_wiki.sqlite").string();
    CBWikipediaArticle::registerClass();
    const auto model = NSManagedObjectModel::modelWithContentsOfFile(
        *NSBundle::mainBundle()->pathForResource("wikipedia", "model"));
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr);
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    const std::vector<std::string> first{"Alte",   "Neue",     "Große", "Kleine", "Obere",
                                         "Untere", "Östliche", "Hohe",  "Stille", "Grüne"};
    const std::vector<std::string> second{"Kirche", "Mühle",   "Brücke", "Burg",  "Schule",
                                          "Straße", "Allee",   "Tor",    "Turm",  "Schleuse",
                                          "Wiese",  "Kapelle", "Villa",  "Halle", "Bahnhof"};
    const std::vector<std::string> third{"Neubrandenburg", "Penzlin",     "Friedland", "Woldegk",
                                         "Strasburg",      "Stavenhagen", "Malchin",   "Waren"};
    for (int i = 0; i < 50000; ++i) {
        const std::string title = first[i % first.size()] + " " + second[(i / 10) % second.size()] +
                                  " (" + third[(i / 150) % third.size()] + " " + std::to_string(i) +
                                  ")";
        auto article = CBWikipediaArticle::articleInContext(*context);
        article->setValueForKey("title", Value(title));
        article->setValueForKey("url",
                                Value("https://de.wikipedia.org/wiki/A" + std::to_string(i)));
        article->setValueForKey(
            "canonicalSearchTerm",
            Value(NSStringFold(title, kPredicateCaseInsensitive | kPredicateDiacriticInsensitive)));
        article->setFirstLetterFromTitle();
    }
    context->save(nullptr);
    return path;
}

std::shared_ptr<CBWikipediaManager> managerFor(const std::string& store) {
    home();
    auto manager = CBWikipediaManager::create(nullptr, nullptr);
    manager->setSqlitePath(store);
    return manager->wikipediaAvailable() ? manager : nullptr;
}

void typeTitles(benchmark::State& state, const std::string& store,
                const std::vector<std::string>& typed) {
    auto manager = managerFor(store);
    if (!manager) {
        state.SkipWithError("no article store: build the wikipedia_package target");
        return;
    }
    // The store was opened with the map, long before the first keystroke.
    bool warm = false;
    manager->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
        "warm up", false, [&](const auto&) { warm = true; });
    NSRunLoop::mainRunLoop()->runUntil([&] { return warm; }, 10.0);
    std::vector<double> milliseconds;
    size_t hits = 0;
    for (auto _ : state) {
        for (const std::string& text : typed) {
            manager->cancelSearch();
            for (const std::string& prefix : bench::prefixes(text)) {
                bool answered = false;
                const auto start = Clock::now();
                if (!manager->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
                        prefix, false, [&](const auto& found) {
                            answered = true;
                            hits += found ? found->size() : 0;
                        }))
                    continue;
                NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
                milliseconds.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        }
    }
    bench::reportKeystrokes(state, std::move(milliseconds), hits);
}

void BM_TitleSearchKeystrokeSample(benchmark::State& state) {
    typeTitles(state, (sampleFolder() / "neubrandenburg_wiki.sqlite").string(),
               {"Stargarder Tor", "Friedländer Tor", "tollensesee", "Haus der Kultur"});
}
BENCHMARK(BM_TitleSearchKeystrokeSample)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_TitleSearchKeystroke50000(benchmark::State& state) {
    typeTitles(state, syntheticStore(),
               {"Grosse Muhle", "stille schleuse waren", "Hohe Turm (Penzlin 4"});
}
BENCHMARK(BM_TitleSearchKeystroke50000)->Iterations(3)->Unit(benchmark::kMillisecond);

// Opening a store until its first search is answered: the title index is
// read in the background when the store opens.
void BM_OpenStoreUntilFirstAnswer50000(benchmark::State& state) {
    const std::string store = syntheticStore();
    for (auto _ : state) {
        auto manager = managerFor(store);
        bool answered = false;
        if (!manager || !manager->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
                            "muhle", false, [&](const auto&) { answered = true; })) {
            state.SkipWithError("cannot search the synthetic store");
            return;
        }
        NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
    }
}
BENCHMARK(BM_OpenStoreUntilFirstAnswer50000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_LoadGuideFile(benchmark::State& state) {
    const std::string path = (sampleFolder() / "neubrandenburg_wikipedia").string();
    for (auto _ : state) {
        auto guide =
            ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath("neubrandenburg", path);
        if (!guide) {
            state.SkipWithError("no guide file: build the wikipedia_package target");
            return;
        }
        benchmark::DoNotOptimize(guide->rootGroup()->recursiveArticles().size());
    }
}
BENCHMARK(BM_LoadGuideFile)->Unit(benchmark::kMicrosecond);

}  // namespace
