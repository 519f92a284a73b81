#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Shared by the benchmark programs: where the build's data and the source
// tree's resources are, and the statistics of per-keystroke searches.
namespace bench {

// The build tree holding the benchmark program (<build>/bench/<program>).
inline std::filesystem::path buildDirectory() {
    std::error_code error;
    auto binary = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : binary.parent_path().parent_path();
}

// The source tree's resources named in <build>/CMakeCache.txt;
// KELVARA_RESOURCES overrides.
inline std::string resourcesPath() {
    if (const char* configured = std::getenv("KELVARA_RESOURCES"))
        return configured;
    std::ifstream cache(buildDirectory() / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(cache, line);) {
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size()) + "/resources";
    }
    return "resources";
}

// Every prefix of a typed text that ends on a whole UTF-8 character.
inline std::vector<std::string> prefixes(const std::string& text) {
    std::vector<std::string> list;
    for (size_t i = 1; i <= text.size(); ++i) {
        if (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        list.push_back(text.substr(0, i));
    }
    return list;
}

// Median, 90th percentile and worst time of the keystrokes, and the hits.
inline void reportKeystrokes(benchmark::State& state, std::vector<double> milliseconds,
                             size_t hits) {
    std::sort(milliseconds.begin(), milliseconds.end());
    if (milliseconds.empty())
        return;
    state.counters["keystrokes"] = static_cast<double>(milliseconds.size());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["p90_ms"] = milliseconds[milliseconds.size() * 9 / 10];
    state.counters["worst_ms"] = milliseconds.back();
    state.counters["hits_per_keystroke"] =
        static_cast<double>(hits) / static_cast<double>(milliseconds.size());
}

}  // namespace bench
