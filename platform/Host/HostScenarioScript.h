#pragma once

#include <optional>
#include <string>
#include <vector>

// One step of a scenario script: its line, its words (quotes removed) and
// the line as written.
struct HostScenarioStep {
    int line = 0;
    std::vector<std::string> words;
    std::string source;
};

// Parses a scenario script (the format is in docs/SCENARIOS.md). nullopt
// with "line N: ..." in error for an unknown step or bad arguments.
std::optional<std::vector<HostScenarioStep>> HostParseScenario(const std::string& script,
                                                               std::string* error);
