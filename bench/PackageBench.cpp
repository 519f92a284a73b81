// Map packages: building the Neubrandenburg package from its .pbf with the
// package builder (time and peak memory of the child process), opening the
// built package and faulting every object, element and tag, loading it from
// the local map store server (the download engine's transfer against plain
// curl on the same file) and unpacking and installing it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "LocalServerSpawn.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadTransfer.h"
#include "packages/ZELStagedInstall.h"
#include "packages/ZELZipArchive.h"

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

// What a start adds to check that the current map can be read: its geo
// store opens with the geo model and holds objects.
void BM_CheckCurrentMapAtStart(benchmark::State& state) {
    const std::string path =
        (buildDirectory() / "packages/neubrandenburg/neubrandenburg.sqlite").string();
    if (!fs::exists(path)) {
        state.SkipWithError("the Neubrandenburg package is not built");
        return;
    }
    NSBundle::setMainBundlePath((sourceDirectory() / "resources").string());
    for (auto _ : state)
        benchmark::DoNotOptimize(CBUserMapStoreEngine::validateMapStoreAtPath(path, nullptr));
    NSBundle::setMainBundlePath("");
}
BENCHMARK(BM_CheckCurrentMapAtStart)->Unit(benchmark::kMillisecond)->UseRealTime();

// The local map store server over a root holding the Neubrandenburg
// package, as a child process for one benchmark.
class LocalMapStore {
  public:
    LocalMapStore() {
        root_ = fs::temp_directory_path() / ("kvbench-store-" + std::to_string(getpid()));
        fs::create_directories(root_ / "map/DE");
        const fs::path package = buildDirectory() / "packages/neubrandenburg.zip";
        std::error_code error;
        fs::copy_file(package, root_ / "map/DE/neubrandenburg.zip",
                      fs::copy_options::overwrite_existing, error);
        if (error)
            return;
        size_ = fs::file_size(package);
        const std::string server =
            (buildDirectory() / "tools/mapstore-server/kelvara-mapstore-server").string();
        const int port = spawnLocalServer({server, "--root", root_.string(), "--port", "0"}, pid_);
        if (port > 0)
            url_ = "http://127.0.0.1:" + std::to_string(port) + "/map/DE/neubrandenburg.zip";
    }
    ~LocalMapStore() {
        stopLocalServer(pid_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const std::string& url() const { return url_; }
    uintmax_t size() const { return size_; }
    fs::path scratch(const std::string& name) const { return root_ / name; }

  private:
    fs::path root_;
    pid_t pid_ = -1;
    std::string url_;
    uintmax_t size_ = 0;
};

void BM_DownloadEngineTransferFromLocalServer(benchmark::State& state) {
    LocalMapStore store;
    if (store.url().empty()) {
        state.SkipWithError("no package or no map store server");
        return;
    }
    auto queue = DispatchQueue::createSerial("kelvara.downloader");
    const std::string target = store.scratch("engine.zip").string();
    for (auto _ : state) {
        fs::remove(target);
        std::promise<bool> done;
        ZELDownloadTransferStart start;
        start.url = store.url();
        start.path = target;
        ZELDownloadTransfer::start(start, queue, nullptr, [&](ZELDownloadTransferResult result) {
            done.set_value(!result.error);
        });
        if (!done.get_future().get()) {
            state.SkipWithError("the transfer failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * store.size()));
}
BENCHMARK(BM_DownloadEngineTransferFromLocalServer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlTransferFromLocalServer(benchmark::State& state) {
    LocalMapStore store;
    if (store.url().empty()) {
        state.SkipWithError("no package or no map store server");
        return;
    }
    const std::string target = store.scratch("curl.zip").string();
    for (auto _ : state) {
        pid_t child = fork();
        if (child == 0) {
            execlp("curl", "curl", "-s", "-o", target.c_str(), store.url().c_str(),
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * store.size()));
}
BENCHMARK(BM_CurlTransferFromLocalServer)->Unit(benchmark::kMillisecond)->UseRealTime();

// Unpacking into staging, validating the geo store, swapping it in and
// saving the registry's record.
void BM_UnzipAndInstallNeubrandenburg(benchmark::State& state) {
    const fs::path zip = buildDirectory() / "packages/neubrandenburg.zip";
    const fs::path home = fs::temp_directory_path() / ("kvbench-home-" + std::to_string(getpid()));
    if (!fs::exists(zip)) {
        state.SkipWithError("the Neubrandenburg package is not built");
        return;
    }
    NSSetApplicationHome(home.string());
    NSBundle::setMainBundlePath((sourceDirectory() / "resources").string());
    auto registry = CBUserMapStoreEngine::createWithDownloadManager(nullptr);
    const std::string maps = registry->basePathForMaps();
    for (auto _ : state) {
        NSError error;
        const auto staged = ZELZipArchive::unzipFileToStagingPath(
            zip.string(), maps + "/neubrandenburg.map.staging", "neubrandenburg", &error);
        const bool installed =
            staged &&
            ZELStagedInstall::installStagedItemAtPathToPath(
                *staged, maps + "/neubrandenburg",
                [](const std::string& path, NSError* stepError) {
                    return CBUserMapStoreEngine::validateMapStoreAtPath(
                        path + "/neubrandenburg.sqlite", stepError);
                },
                [&](const std::string&, NSError*) {
                    auto map = registry->mapForIdentifier("neubrandenburg");
                    if (!map) {
                        map = std::dynamic_pointer_cast<CBMapStoreMap>(
                            registry->managedObjectContext()->insertNewObjectForEntityForName(
                                CBMapStoreMap::kEntityName));
                        map->setValueForKey("identifier", "neubrandenburg");
                    }
                    map->setDateAdded(NSDate::date());
                    return registry->saveChanges();
                },
                &error);
        fs::remove_all(maps + "/neubrandenburg.map.staging");
        if (!installed) {
            state.SkipWithError(error.description().c_str());
            break;
        }
    }
    registry.reset();
    NSBundle::setMainBundlePath("");
    NSSetApplicationHome("");
    std::error_code ignored;
    fs::remove_all(home, ignored);
}
BENCHMARK(BM_UnzipAndInstallNeubrandenburg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
