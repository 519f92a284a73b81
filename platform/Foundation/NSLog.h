#pragma once

#include <cstdarg>
#include <functional>
#include <string>

// Logging with levels. Lines go to standard error by default; a sink can take
// them instead (tests capture what was logged).
enum class NSLogLevel { Debug = 0, Info = 1, Warning = 2, Error = 3 };

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));  // Info
void NSLogWithLevel(NSLogLevel level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void NSLogv(NSLogLevel level, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

using NSLogSink = std::function<void(NSLogLevel, const std::string&)>;
// Replaces the sink; an empty function restores standard error. Returns the previous sink.
NSLogSink NSLogSetSink(NSLogSink sink);
// Lines below this level are dropped (default Info, Debug when KELVARA_DEBUG is set).
void NSLogSetMinimumLevel(NSLogLevel level);
// Standard error lines start with the local time (default on).
void NSLogSetTimestamps(bool enabled);
