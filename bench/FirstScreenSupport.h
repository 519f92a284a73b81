#pragma once

// Measuring the first complete screen of a program: each run gets its own
// empty application home, with the disk tile cache cold or already filled.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <string>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSPathUtilities.h"

namespace bench {

// An empty folder for the application's files, made anew.
inline std::filesystem::path freshHome(const std::string& name) {
    auto home = std::filesystem::temp_directory_path() / ("kelvara-bench-" + name);
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    return home;
}

// Times firstScreen on a new empty home each iteration.
inline void measureWithColdCache(benchmark::State& state, const std::string& name,
                                 const std::function<void()>& firstScreen) {
    for (auto _ : state) {
        state.PauseTiming();
        NSSetApplicationHome(freshHome(name + "-cold").string());
        state.ResumeTiming();
        firstScreen();
    }
    NSSetApplicationHome("");
}

// Times firstScreen once a first run has filled the disk tile cache.
inline void measureWithWarmCache(benchmark::State& state, const std::string& name,
                                 const std::function<void()>& firstScreen) {
    NSSetApplicationHome(freshHome(name + "-warm").string());
    firstScreen();
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.5));
    for (auto _ : state)
        firstScreen();
    NSSetApplicationHome("");
}

}  // namespace bench
