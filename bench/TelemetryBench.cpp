// What tracking telemetry costs the thread that tracks: building the item and
// writing bundles happen on the SDK's own queues, never on the caller's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Foundation/NSPathUtilities.h"
#include "sdk/BITChannel.h"
#include "sdk/BITEventData.h"
#include "sdk/BITMetricsManager.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITTelemetryContext.h"
#include "sdk/BITZizavaLogger.h"

namespace {

// A manager in a throw-away home whose uploads go nowhere (nothing listens on
// port 9 of the loopback).
std::shared_ptr<BITMetricsManager> benchManager() {
    static const std::shared_ptr<BITMetricsManager> manager = [] {
        const auto home = std::filesystem::temp_directory_path() /
                          ("kelvara-telemetry-bench-" + std::to_string(getpid()));
        NSSetApplicationHome(home.string());
        static const std::string folder = home.string();
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        });
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelNone);
        auto made = std::make_shared<BITMetricsManager>("01234567-89ab-cdef-0123-456789abcdef",
                                                        BITAppEnvironmentOther);
        made->setMetricsServerURL("http://127.0.0.1:9/v2/track");
        return made;
    }();
    return manager;
}

// The caller's side only: the event is built and written on the SDK's queues.
// A fixed count keeps the work those queues are left with bounded.
void BM_TrackEventWithName(benchmark::State& state) {
    const auto manager = benchManager();
    for (auto _ : state)
        manager->trackEventWithName(std::string("map opened"));
}
BENCHMARK(BM_TrackEventWithName)->Iterations(20000);

void BM_TrackEventWithProperties(benchmark::State& state) {
    const auto manager = benchManager();
    const Value::Dictionary properties{{"mode", "walk"}, {"region", "Bavaria"}};
    const Value::Dictionary measurements{{"km", Value(2.5)}};
    for (auto _ : state)
        manager->trackEventWithNamePropertiesMeasurements(std::string("route"), properties,
                                                          measurements);
}
BENCHMARK(BM_TrackEventWithProperties)->Iterations(20000);

// The channel's own work per item on its queue: envelope, JSON, append.
void BM_ChannelLinePerItem(benchmark::State& state) {
    const auto manager = benchManager();
    const auto channel = manager->channel();
    const auto item = std::make_shared<BITEventData>();
    item->name = "map opened";
    for (auto _ : state) {
        const auto dictionary = channel->dictionaryForTelemetryData(item);
        benchmark::DoNotOptimize(channel->serializeDictionaryToJSONString(*dictionary));
    }
}
BENCHMARK(BM_ChannelLinePerItem);

// For contrast: what one bundle write to disk costs (done on the persistence queue).
void BM_BundleWrite(benchmark::State& state) {
    const auto manager = benchManager();
    const auto persistence = manager->persistence();
    const std::string line(600, 'x');
    const Value::Data bundle(line.begin(), line.end());
    for (auto _ : state) {
        persistence->persistBundle(bundle);
        persistence->waitForPendingWrites();
        state.PauseTiming();
        for (const std::string& path :
             persistence->persistedFilesForType(BITPersistenceTypeTelemetry)
                 .value_or(std::vector<std::string>{}))
            std::filesystem::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BundleWrite)->Iterations(200);

}  // namespace
