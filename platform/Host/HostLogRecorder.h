#pragma once

#include <string>
#include <vector>

// The lines the program logs, kept for a scenario's `expect-logged` steps.
// Recording starts once (later calls change nothing); every line still
// reaches the sink set before (standard error when none).
void HostStartRecordingLog();
// The lines logged since recording started, oldest first.
std::vector<std::string> HostRecordedLogLines();
