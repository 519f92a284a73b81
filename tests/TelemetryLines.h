#pragma once

#include <cstddef>
#include <string>

// Telemetry lines as the SDK service accepts them, one event envelope each:
// about `bytes` of them in all, at least one.
inline std::string validTelemetryLines(size_t bytes = 1) {
    const std::string line =
        R"({"ver":1,"name":"Zizava.Telemetry.Event","time":"2026-01-02T03:04:05.678Z",)"
        R"("sampleRate":100.0,"tags":{"ai.session.id":"s"},)"
        R"("data":{"baseType":"EventData","baseData":{"ver":2,"name":"opened"}}})"
        "\n";
    std::string lines = line;
    while (lines.size() < bytes)
        lines += line;
    return lines;
}
