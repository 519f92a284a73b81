#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreReportReader.h"
#include "sdk/crash/BITCrashCoreReporter.h"

// Helpers for tests that crash a child process and read its report.
namespace CrashTestSupport {

// A fresh temporary path for a report file.
std::string temporaryPath(const std::string& name);
std::vector<uint8_t> readFile(const std::string& path);

// A temporary application home (NSSetApplicationHome) for the life of the
// object; removed with everything in it afterwards.
class TemporaryHome {
  public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The signal dispositions and handler lists a forked child inherits from
// other tests, cleared so the child starts as a fresh process would.
void resetInheritedSignalHandling();

// The reporter the crash tests enable and read with: identifier
// "net.kelvara.tests", version "1", marketing version "1.0", all symbolication.
std::shared_ptr<BITCrashCoreReporter> makeTestReporter(uint32_t signalHandlerType);

// Runs body in a forked child that has crash capture enabled through the
// facade (signal handler type 0 or 1), and moves the report it leaves to
// reportPath. Returns the child's wait status.
int runCrashingChild(const std::string& reportPath, const std::function<void()>& body,
                     uint32_t signalHandlerType = 0);

// Decodes a report file, failing the test when it does not decode.
BITCrashCoreReportMessage decodeReportFile(const std::string& path);

// The names of a thread's frame symbols, in order (empty for a frame without one).
std::vector<std::string> frameSymbols(const Zvcrash__CrashReport__Thread& thread);
bool anySymbolContains(const Zvcrash__CrashReport__Thread& thread, const std::string& text);
const Zvcrash__CrashReport__Thread* crashedThread(const Zvcrash__CrashReport& report);

}  // namespace CrashTestSupport
