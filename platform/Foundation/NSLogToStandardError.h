#pragma once

#include <string>

#include "Foundation/NSLog.h"

// Writes a line to standard error as logging does without a sink, so a sink
// that records lines can pass them on. Any thread, from within a sink too.
void NSLogToStandardError(NSLogLevel level, const std::string& message);
