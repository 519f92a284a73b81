#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreReportReader.h"

// Helpers for tests that crash a child process and read its report.
namespace CrashTestSupport {

// A fresh temporary path for a report file.
std::string temporaryPath(const std::string& name);
std::vector<uint8_t> readFile(const std::string& path);

// Runs body in a forked child that has crash capture installed, writing its
// report to reportPath. Returns the child's wait status.
int runCrashingChild(const std::string& reportPath, const std::function<void()>& body);

// Decodes a report file, failing the test when it does not decode.
BITCrashCoreReportMessage decodeReportFile(const std::string& path);

// The names of a thread's frame symbols, in order (empty for a frame without one).
std::vector<std::string> frameSymbols(const Zvcrash__CrashReport__Thread& thread);
bool anySymbolContains(const Zvcrash__CrashReport__Thread& thread, const std::string& text);
const Zvcrash__CrashReport__Thread* crashedThread(const Zvcrash__CrashReport& report);

}  // namespace CrashTestSupport
