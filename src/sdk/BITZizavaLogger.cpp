#include "sdk/BITZizavaLogger.h"

#include <syslog.h>

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <vector>

namespace {

std::atomic<int> logLevel = BITLogLevelWarning;

std::mutex& handlerMutex() {
    static auto* mutex = new std::mutex;  // never destroyed: logging works during exit
    return *mutex;
}

BITZizavaLogger::LogHandler& handler() {
    static auto* current = new BITZizavaLogger::LogHandler(BITZizavaLogger::defaultLogHandler);
    return *current;
}

int syslogPriority(BITLogLevel level) {
    switch (level) {
        case BITLogLevelError:
            return LOG_ERR;
        case BITLogLevelWarning:
            return LOG_WARNING;
        case BITLogLevelDebug:
            return LOG_INFO;
        default:
            return LOG_DEBUG;
    }
}

}  // namespace

BITLogLevel BITZizavaLogger::currentLogLevel() {
    return static_cast<BITLogLevel>(logLevel.load());
}

void BITZizavaLogger::setCurrentLogLevel(BITLogLevel level) {
    logLevel = level;
}

void BITZizavaLogger::setLogHandler(LogHandler newHandler) {
    std::lock_guard lock(handlerMutex());
    handler() = std::move(newHandler);
}

void BITZizavaLogger::logMessageLevelFileFunctionLine(const MessageProvider& provider,
                                                      BITLogLevel level, const char* file,
                                                      const char* function, unsigned line) {
    LogHandler current;
    {
        std::lock_guard lock(handlerMutex());
        current = handler();
    }
    if (current)
        current(provider, level, file, function, line);
}

void BITZizavaLogger::defaultLogHandler(const MessageProvider& provider, BITLogLevel level,
                                        const char*, const char* function, unsigned line) {
    if (!provider || currentLogLevel() < level)
        return;
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("kelvara", LOG_PID | LOG_PERROR, LOG_USER); });
    const std::string message = provider();
    syslog(syslogPriority(level), "[ZizavaSDK] %s/%u %s", function ? function : "", line,
           message.c_str());
}

std::string bit_loggedBody(std::string_view body) {
    const std::string length = " (" + std::to_string(body.size()) + " bytes)";
    if (body.size() <= kLoggedBodyBytes)
        return std::string(body) + length;
    size_t end = kLoggedBodyBytes;
    while (end > 0 && (static_cast<unsigned char>(body[end]) & 0xC0) == 0x80)
        --end;  // not inside a UTF-8 sequence
    return std::string(body.substr(0, end)) + "..." + length;
}

std::string bit_loggedBody(const std::vector<uint8_t>& body) {
    return bit_loggedBody(
        std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
}

std::string bit_format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
    return text;
}
