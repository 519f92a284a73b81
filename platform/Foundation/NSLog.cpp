#include "Foundation/NSLog.h"
#include "Foundation/NSLogToStandardError.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

namespace {

struct LogState {
    std::mutex mutex;
    NSLogSink sink;
    NSLogLevel minimum = std::getenv("KELVARA_DEBUG") ? NSLogLevel::Debug : NSLogLevel::Info;
    std::atomic<bool> timestamps = true;  // read by the writer under the lock or not
};

LogState& state() {
    static LogState* logState = new LogState;  // never destroyed: logging works during exit
    return *logState;
}

const char* levelName(NSLogLevel level) {
    switch (level) {
        case NSLogLevel::Debug:
            return "debug";
        case NSLogLevel::Info:
            return "info";
        case NSLogLevel::Warning:
            return "warning";
        case NSLogLevel::Error:
            return "error";
    }
    return "";
}

std::string timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[64];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(buffer + length, sizeof buffer - length, ".%03d ", static_cast<int>(millis));
    return buffer;
}

std::string format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0)
        return format;
    if (static_cast<size_t>(length) < sizeof small)
        return std::string(small, length);
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    return std::string(large.data(), static_cast<size_t>(length));
}

}  // namespace

void NSLogv(NSLogLevel level, const char* formatString, va_list args) {
    LogState& log = state();
    {
        std::lock_guard lock(log.mutex);
        if (level < log.minimum)
            return;
    }
    const std::string message = format(formatString, args);
    std::lock_guard lock(log.mutex);
    if (log.sink) {
        log.sink(level, message);
        return;
    }
    NSLogToStandardError(level, message);
}

void NSLogToStandardError(NSLogLevel level, const std::string& message) {
    const std::string prefix = state().timestamps ? timestamp() : std::string();
    std::fprintf(stderr, "%skelvara[%d] %s: %s\n", prefix.c_str(), static_cast<int>(getpid()),
                 levelName(level), message.c_str());
    std::fflush(stderr);
}

void NSLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    NSLogv(NSLogLevel::Info, format, args);
    va_end(args);
}

void NSLogWithLevel(NSLogLevel level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    NSLogv(level, format, args);
    va_end(args);
}

NSLogSink NSLogSetSink(NSLogSink sink) {
    std::lock_guard lock(state().mutex);
    NSLogSink previous = std::move(state().sink);
    state().sink = std::move(sink);
    return previous;
}

void NSLogSetMinimumLevel(NSLogLevel level) {
    std::lock_guard lock(state().mutex);
    state().minimum = level;
}

void NSLogSetTimestamps(bool enabled) {
    std::lock_guard lock(state().mutex);
    state().timestamps = enabled;
}
