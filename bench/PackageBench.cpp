// Map packages: building the Neubrandenburg package from its .pbf with the
// package builder (time and peak memory of the child process), and opening
// the built package and faulting every object, element and tag.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

namespace fs = std::filesystem;

namespace {

// The build folder is the parent of this program's folder; its CMakeCache
// names the source folder.
fs::path buildDirectory() {
    return fs::canonical("/proc/self/exe").parent_path().parent_path();
}

fs::path sourceDirectory() {
    std::ifstream cache(buildDirectory() / "CMakeCache.txt");
    std::string line;
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    while (std::getline(cache, line)) {
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size());
    }
    return {};
}

void BM_BuildNeubrandenburgPackage(benchmark::State& state) {
    fs::path source = sourceDirectory();
    fs::path builder = buildDirectory() / "tools/package-builder/kelvara-package-builder";
    fs::path output = fs::temp_directory_path() / "kvpackage-bench";
    fs::create_directories(output);
    std::string input = (source / "data/osm/neubrandenburg.osm.pbf").string();
    std::string model = (source / "resources/Quillmere.bundle/CBGeoObject.model").string();
    std::string types = (source / "resources/Quillmere.bundle/CBGeoTypes.plist").string();
    long peak = 0;
    for (auto _ : state) {
        pid_t child = fork();
        if (child == 0) {
            freopen("/dev/null", "w", stdout);
            execl(builder.c_str(), builder.c_str(), "--input", input.c_str(), "--output",
                  output.c_str(), "--id", "neubrandenburg", "--model", model.c_str(), "--types",
                  types.c_str(), "--country", "DE", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the package builder failed");
            break;
        }
        peak = std::max(peak, usage.ru_maxrss);
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
    auto zip = output / "neubrandenburg.zip";
    auto store = output / "neubrandenburg/neubrandenburg.sqlite";
    if (fs::exists(zip)) {
        state.counters["zip_MB"] = static_cast<double>(fs::file_size(zip)) / 1e6;
        state.counters["sqlite_MB"] = static_cast<double>(fs::file_size(store)) / 1e6;
    }
    fs::remove_all(output);
}
BENCHMARK(BM_BuildNeubrandenburgPackage)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_OpenPackageAndFaultEveryObject(benchmark::State& state) {
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    fs::path source = sourceDirectory();
    auto model = NSManagedObjectModel::modelWithContentsOfFile(
        (source / "resources/Quillmere.bundle/CBGeoObject.model").string());
    std::string path =
        (buildDirectory() / "packages/neubrandenburg/neubrandenburg.sqlite").string();
    if (!model || !fs::exists(path)) {
        state.SkipWithError("the Neubrandenburg package is not built");
        return;
    }
    size_t objects = 0;
    for (auto _ : state) {
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        coordinator->addPersistentStoreWithType(
            NSSQLiteStoreType, "", path, {{NSReadOnlyPersistentStoreOption, Value(true)}}, nullptr);
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        NSFetchRequest request(CBGeoObject::kEntityName);
        request.includesPropertyValues = false;
        auto rows = context->executeFetchRequest(request);
        objects = rows ? rows->size() : 0;
        size_t touched = 0;
        for (const auto& row : rows.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
            auto object = std::static_pointer_cast<CBGeoObject>(row);
            touched += object->name() ? 1 : 0;
            touched += object->tags().size();
            for (const auto& element : object->elements())
                touched += element->path() ? 1 : 0;
        }
        benchmark::DoNotOptimize(touched);
    }
    state.counters["objects"] = static_cast<double>(objects);
}
BENCHMARK(BM_OpenPackageAndFaultEveryObject)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
