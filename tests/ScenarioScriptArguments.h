#pragma once

#include <fstream>
#include <string>

// The program's options of a scenario script: its "# args:" line.
inline std::string scenarioScriptArguments(const std::string& script) {
    std::ifstream in(script);
    const std::string marker = "# args:";
    for (std::string line; std::getline(in, line);)
        if (line.rfind(marker, 0) == 0)
            return line.substr(marker.size());
    return {};
}
