// A fetched results controller over 10,000 objects in 30 sections: the
// fetch with sections and index titles, and following one insert.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CoreData/NSFetchedResultsController.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

namespace {

constexpr int kObjects = 10000;
constexpr int kSections = 30;

const char* kModel = R"(
model Bench
entity place class=BenchPlace
    attribute name string indexed
    attribute district string indexed
)";

std::string districtFor(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "District %02d", i % kSections);
    return name;
}

struct Store {
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator;

    Store() {
        NSManagedObject::registerClass("BenchPlace",
                                       [] { return std::make_shared<NSManagedObject>(); });
        // Sections by a key the class derives: the district's number.
        NSManagedObject::registerDerivedProperty(
            "BenchPlace", "districtNumber", [](const NSManagedObject& object) {
                auto district =
                    const_cast<NSManagedObject&>(object).stringForKey("district").value_or("");
                return Value(district.size() > 9 ? district.substr(9) : district);
            });
        auto directory = std::filesystem::temp_directory_path() / "kvfrc-bench";
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        coordinator = std::make_shared<NSPersistentStoreCoordinator>(
            NSManagedObjectModel::modelWithText(kModel));
        coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                (directory / "store.sqlite").string(), {}, nullptr);
        auto context = newContext();
        for (int i = 0; i < kObjects; ++i) {
            auto place = context->insertNewObjectForEntityForName("place");
            place->setValueForKey("name", Value("Place " + std::to_string(i * 7919 % kObjects)));
            place->setValueForKey("district", Value(districtFor(i)));
        }
        context->save();
    }

    std::shared_ptr<NSManagedObjectContext> newContext() const {
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        return context;
    }
};

Store& store() {
    static Store shared;
    return shared;
}

std::shared_ptr<NSFetchRequest> request() {
    auto request = NSFetchRequest::fetchRequestWithEntityName("place");
    request->sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("district", true),
                                NSSortDescriptor::sortDescriptorWithKey("name", true)};
    return request;
}

class Listener : public NSFetchedResultsControllerDelegate {
  public:
    void controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
        NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>&,
        std::optional<NSIndexPath>, NSFetchedResultsChangeType,
        std::optional<NSIndexPath>) override {
        ++changes;
    }
    int changes = 0;
};

// The same fetch alone, for comparison.
void BM_FetchOnly(benchmark::State& state) {
    auto context = store().newContext();
    context->setRetainsRegisteredObjects(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(context->executeFetchRequest(*request())->size());
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_FetchOnly)->Unit(benchmark::kMillisecond);

// The fetch, the grouping into sections and their index titles.
void BM_PerformFetch(benchmark::State& state, const char* sectionKey) {
    auto context = store().newContext();
    context->setRetainsRegisteredObjects(true);  // rows stay read between runs
    for (auto _ : state) {
        NSFetchedResultsController controller(request(), context, sectionKey);
        controller.performFetch();
        benchmark::DoNotOptimize(controller.sectionIndexTitles().size());
        if (controller.sections().size() != kSections)
            state.SkipWithError("wrong section count");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK_CAPTURE(BM_PerformFetch, attribute, "district")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PerformFetch, derived, "districtNumber")->Unit(benchmark::kMillisecond);

// One object inserted and then deleted, each reported to the delegate.
void BM_FollowInsert(benchmark::State& state) {
    auto context = store().newContext();
    NSFetchedResultsController controller(request(), context, "district");
    auto listener = std::make_shared<Listener>();
    controller.setDelegate(listener);
    controller.performFetch();
    for (auto _ : state) {
        auto place = context->insertNewObjectForEntityForName("place");
        place->setValueForKey("name", Value("Place new"));
        place->setValueForKey("district", Value(districtFor(17)));
        context->processPendingChanges();
        context->deleteObject(place);
        context->processPendingChanges();
    }
    if (listener->changes != 2 * static_cast<int>(state.iterations()))
        state.SkipWithError("changes were not reported");
}
BENCHMARK(BM_FollowInsert)->Unit(benchmark::kMicrosecond);

}  // namespace
