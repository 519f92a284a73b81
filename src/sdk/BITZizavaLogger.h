#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Levels of SDK messages: a message is written when the current level is at
// least its own, so 0 silences everything.
enum BITLogLevel : int {
    BITLogLevelNone = 0,
    BITLogLevelError = 1,
    BITLogLevelWarning = 2,
    BITLogLevelDebug = 3,
    BITLogLevelVerbose = 4,
};

// The one funnel of SDK messages. A message travels as a provider that builds
// its text, so a message below the current level is never formatted.
class BITZizavaLogger {
  public:
    using MessageProvider = std::function<std::string()>;
    using LogHandler = std::function<void(const MessageProvider& provider, BITLogLevel level,
                                          const char* file, const char* function, unsigned line)>;

    static BITLogLevel currentLogLevel();  // initially BITLogLevelWarning
    static void setCurrentLogLevel(BITLogLevel level);
    // An empty handler writes nothing and builds no message.
    static void setLogHandler(LogHandler handler);
    static void logMessageLevelFileFunctionLine(const MessageProvider& provider, BITLogLevel level,
                                                const char* file, const char* function,
                                                unsigned line);

    // Writes messages at or below the current level to the system log (syslog,
    // also echoed on standard error) as "[ZizavaSDK] <function>/<line> <text>".
    static void defaultLogHandler(const MessageProvider& provider, BITLogLevel level,
                                  const char* file, const char* function, unsigned line);
};

// A body sent or answered as it goes into a message: its first
// kLoggedBodyBytes (cut before a character that does not fit) and its whole
// length, so that a large answer costs the log no more than a small one.
constexpr size_t kLoggedBodyBytes = 4096;
std::string bit_loggedBody(std::string_view body);
std::string bit_loggedBody(const std::vector<uint8_t>& body);

// printf-style formatting for messages.
std::string bit_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

#define BITZizavaLog(level, ...)                                                             \
    BITZizavaLogger::logMessageLevelFileFunctionLine(                                        \
        [&]() -> std::string { return bit_format(__VA_ARGS__); }, level, __FILE__, __func__, \
        __LINE__)
#define BITZizavaLogError(...) BITZizavaLog(BITLogLevelError, __VA_ARGS__)
#define BITZizavaLogWarning(...) BITZizavaLog(BITLogLevelWarning, __VA_ARGS__)
#define BITZizavaLogDebug(...) BITZizavaLog(BITLogLevelDebug, __VA_ARGS__)
#define BITZizavaLogVerbose(...) BITZizavaLog(BITLogLevelVerbose, __VA_ARGS__)
