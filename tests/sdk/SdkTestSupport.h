#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Foundation/Value.h"
#include "sdk/BITZizavaLogger.h"

// Every test runs with its own application home and a main bundle whose
// Info.plist says CFBundleIdentifier "org.kelvara.sdktests", CFBundleVersion
// "42" and CFBundleShortVersionString "1.0". Its en.lproj translates
// "AppKey"; the SDK resource bundle translates "AppKey" and "SdkKey".
constexpr const char* kTestBundleIdentifier = "org.kelvara.sdktests";

// Points the main bundle at a fresh copy of the test bundle whose Info.plist
// also holds `extra`.
void useTestBundleWithInfo(const Value::Dictionary& extra);

// Keeps every SDK message (all levels, built at once) while it lives.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();

    bool contains(const std::string& text) const;
    // Runs the main run loop until a message holding `text` arrived.
    bool waitFor(const std::string& text, double seconds = 10.0) const;
    std::vector<std::pair<BITLogLevel, std::string>> messages() const;

  private:
    // Shared with the handler, which a late message on another thread may
    // still call after the capture has gone.
    struct State {
        std::mutex mutex;
        std::vector<std::pair<BITLogLevel, std::string>> messages;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Runs the main run loop for a while (lets delayed blocks run): until a block
// due after `seconds` has run, so every block queued before and every timer
// due within it ran too, however little time this thread was given. False if
// the loop did not get there within a minute more.
bool runMainLoopFor(double seconds);
// Runs the main run loop until `done` answers true; false after `seconds`.
bool runMainLoopUntil(const std::function<bool()>& done, double seconds = 10.0);
// Runs the main run loop until every block queued on the main queue so far
// has run.
inline bool drainMainQueue() {
    return runMainLoopFor(0);
}
